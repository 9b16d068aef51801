#!/usr/bin/env python3
"""Times the real window filling from a tree beside the engine alone, taking turns.

    bench/gui/run_window_bench.py [--runs N] [--build build] [TREE]

TREE defaults to the million-file tree that bench/run_bench.py makes (/tmp/tarvik-bench/L).
Each round runs bench_scan (the engine, headless) and then bench_gui (the result page, offscreen)
on the same tree; the machine is shared and noisy, so what counts is the ratio of the medians
measured side by side. Peak memory is the largest resident size, from GNU time."""

import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile


def run(cmd):
    with tempfile.NamedTemporaryFile("r") as peak:
        proc = subprocess.run(["/usr/bin/time", "-f", "%e %M", "-o", peak.name] + cmd,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        if proc.returncode != 0:
            sys.exit("%s failed with %d" % (" ".join(cmd), proc.returncode))
        seconds, kib = peak.read().split()[-2:]
    return float(seconds), int(kib) / 1024, proc.stdout.decode("utf-8", "replace")


def figure(pattern, text):
    match = re.search(pattern, text)
    if not match:
        sys.exit("no '%s' in:\n%s" % (pattern, text))
    return float(match.group(1).replace(",", ""))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--build", default=os.path.join(here, "..", "..", "build"))
    ap.add_argument("tree", nargs="?", default="/tmp/tarvik-bench/L")
    args = ap.parse_args()
    engine_cmd = [os.path.join(args.build, "bench", "bench_scan"), args.tree]
    window_cmd = [os.path.join(args.build, "bench", "gui", "bench_gui"), args.tree]
    run(engine_cmd)  # warms the page cache
    engine, window, gaps, p99, peaks, busy = [], [], [], [], [], []
    for i in range(args.runs):
        seconds, engine_peak, out = run(engine_cmd)
        engine.append(figure(r"wall time: ([\d.]+) s", out))
        _, peak, out = run(window_cmd)
        window.append(figure(r"scan through the result page: ([\d.]+) s", out))
        gaps.append(figure(r"longest ([\d.]+) ms", out))
        p99.append(figure(r"99th percentile ([\d.]+) ms", out))
        busy.append(figure(r"at most ([\d.]+) ms between two ticks", out))
        peaks.append(peak)
        print("round %d: engine %.2f s (%.0f MB), window %.2f s, longest gap %.1f ms, "
              "99th percentile %.1f ms, longest on the processor %.1f ms, peak %.0f MB"
              % (i + 1, engine[-1], engine_peak, window[-1], gaps[-1], p99[-1], busy[-1], peak),
              flush=True)
    me, mw = statistics.median(engine), statistics.median(window)
    print("medians: engine %.2f s, window %.2f s, window/engine %.2f; longest gap median %.1f ms, "
          "worst %.1f ms (on the processor at most %.1f ms); peak memory median %.0f MB, worst %.0f MB"
          % (me, mw, mw / me, statistics.median(gaps), max(gaps), max(busy),
             statistics.median(peaks), max(peaks)))


if __name__ == "__main__":
    main()
