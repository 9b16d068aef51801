#!/usr/bin/env python3
"""Makes the benchmark trees and times the scan engine beside jdupes, fdupes and rmlint.

    bench/run_bench.py [--root DIR] [--runs N] [--trees M,S,B,G,P,L] [--bench PATH]
                       [--tools tarvik,jdupes,fdupes,rmlint] [--before PATH] [--cold] [--busy]
                       [--scan PATH] [--scan-before PATH]

The trees are made once, with a fixed seed, under --root (default /tmp/tarvik-bench), never
in the repository; they are remade only if their recipe changed (L takes several minutes and
about 5 GB of disk). Every tool runs once per tree to warm the page cache, then --runs times,
the tools taking turns. With --cold the tree's pages are dropped from the page cache
(vmtouch -e) before every run of every tool. The report gives the median wall time of each
tool, the engine's ratios to the others, the median CPU time (user and system, all threads;
steadier than wall time on a busy machine, though it misses time spent waiting) and the peak
memory of each run (the largest resident size, from GNU time). --before times an older
bench_scan in the same runs, taking turns with the others; --scan and --scan-before time
tarvik-scan builds the same way, results and writing included. With --busy another program keeps
one processor busy for the whole run (stress-ng --cpu 1, or a busy loop where it is missing).

  M  about 10,000 files of mixed sizes (median about 100 KB, a long tail to tens of MB),
     15% copies of others, 3% of equal size but other content (half of them differing
     only in the last byte)
  S  100,000 files of 1 to 8 KB in a tree six levels deep, 30% copies (of 70,000 originals)
  B  30 files of 40 to 160 MB: 20 originals, 5 copies, 5 of equal size differing only in
     their last byte
  G  48 files of 40 to 160 MB: 36 originals, 6 of them with one exact copy each, 6 others
     with a file of equal size differing only in its last byte
  P  photo-like: 10,000 files of 100 KB to 1 MB (about 3 GB) in 50 albums: 8,500 originals,
     1,400 copies, 100 of equal size with a few bytes changed near the start
  L  1,008,500 files of median 600 B (1 B to 64 KB, about 1 GB) in 40,000 folders: 750,000
     originals, 250,000 copies, 8,500 of equal size differing in the last byte
"""

import argparse
import json
import math
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

SEED = 20240601
RECIPE_VERSION = 1
POOL_SIZE = 64 * 1024 * 1024
TIME_OUT = "/tmp/tarvik-bench-time.txt"
# A file of our own, never /dev/null: a peer may replace the file it writes to.
RMLINT_OUT = "/tmp/tarvik-bench-rmlint.txt"


class Pool:
    """Random bytes from the fixed seed; file contents are slices of it behind a unique
    16-byte head, so equal contents come only from deliberate copies."""

    def __init__(self, rng):
        self.data = rng.randbytes(POOL_SIZE)
        self.rng = rng

    def content(self, size):
        head = self.rng.randbytes(min(16, size))
        out = bytearray(head)
        while len(out) < size:
            start = self.rng.randrange(POOL_SIZE - 1)
            take = min(size - len(out), POOL_SIZE - start, 1 << 20)
            out += self.data[start:start + take]
        return bytes(out)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def flip_last(data):
    return data[:-1] + bytes([data[-1] ^ 0x5A])


def make_m(root, rng, pool):
    dirs = [os.path.join(root, "p%d" % a, "q%d" % b) for a in range(10) for b in range(10)]
    originals = []
    for i in range(8200):
        size = int(math.exp(rng.gauss(math.log(100_000), 1.5)))
        size = max(1024, min(size, 64 * 1024 * 1024))
        path = os.path.join(rng.choice(dirs), "o%05d.bin" % i)
        write(path, pool.content(size))
        originals.append(path)
    for i in range(1500):
        src = rng.choice(originals)
        shutil.copyfile(src, os.path.join(rng.choice(dirs), "c%05d.bin" % i))
    for i in range(300):
        src = rng.choice(originals)
        with open(src, "rb") as f:
            data = f.read()
        other = flip_last(data) if i % 2 == 0 else pool.content(len(data))
        write(os.path.join(rng.choice(dirs), "v%05d.bin" % i), other)


def make_s(root, rng, pool):
    def leaf():
        return os.path.join(root, *("%s%d" % (c, rng.randrange(4)) for c in "abcdef"))

    originals = []
    for i in range(70_000):
        path = os.path.join(leaf(), "s%06d.dat" % i)
        write(path, pool.content(rng.randint(1024, 8192)))
        originals.append(path)
    for i in range(30_000):
        shutil.copyfile(rng.choice(originals), os.path.join(leaf(), "k%06d.dat" % i))


def make_b(root, rng, pool):
    originals = []
    for i in range(20):
        path = os.path.join(root, "g%d" % (i % 4), "big%02d.bin" % i)
        write(path, pool.content(rng.randint(40, 160) * 1_000_000 + rng.randrange(1000)))
        originals.append(path)
    for i, src in enumerate(rng.sample(originals, 10)):
        dst = os.path.join(root, "g%d" % (i % 4), "twin%02d.bin" % i)
        if i < 5:
            shutil.copyfile(src, dst)
        else:
            with open(src, "rb") as f:
                write(dst, flip_last(f.read()))


def make_g(root, rng, pool):
    originals = []
    for i in range(36):
        path = os.path.join(root, "h%d" % (i % 6), "large%02d.bin" % i)
        write(path, pool.content(rng.randint(40, 160) * 1_000_000 + rng.randrange(1000)))
        originals.append(path)
    for i, src in enumerate(rng.sample(originals, 12)):
        dst = os.path.join(root, "h%d" % ((i + 3) % 6), "pair%02d.bin" % i)
        if i < 6:
            shutil.copyfile(src, dst)
        else:
            with open(src, "rb") as f:
                write(dst, flip_last(f.read()))


def make_p(root, rng, pool):
    """Photos: sizes spread around 300 KB, so that few share a size by chance; copies, and
    edited copies whose change (as a rewritten header would) lies near the start."""
    albums = [os.path.join(root, "album%02d" % a) for a in range(50)]
    originals = []
    for i in range(8500):
        size = int(math.exp(rng.gauss(math.log(290_000), 0.3)))
        size = max(100_000, min(size, 1_000_000))
        path = os.path.join(rng.choice(albums), "IMG_%05d.JPG" % i)
        write(path, pool.content(size))
        originals.append(path)
    for i in range(1400):
        shutil.copyfile(rng.choice(originals),
                        os.path.join(rng.choice(albums), "copy_%05d.JPG" % i))
    for i in range(100):
        with open(rng.choice(originals), "rb") as f:
            data = bytearray(f.read())
        for _ in range(4):
            data[rng.randrange(64, 2048)] ^= 0x5A
        write(os.path.join(rng.choice(albums), "edit_%05d.JPG" % i), bytes(data))


def make_l(root, rng, pool):
    """A million small files in 40,000 folders: contents are regenerated from their number,
    so copies need no source file read back and the script stays small in memory."""
    originals, copies, variants = 750_000, 250_000, 8_500
    dirs = [os.path.join(root, "t%03d" % a, "u%03d" % b) for a in range(200) for b in range(200)]
    for d in dirs:
        os.makedirs(d)
    sizes = [max(1, min(int(math.exp(rng.gauss(math.log(600), 1.0))), 65536))
             for _ in range(originals)]
    data = pool.data

    def content(i, size):
        head = i.to_bytes(8, "little")[:size]
        start = (i * 2654435761) % (POOL_SIZE - 65536)
        return head + data[start:start + size - len(head)]

    def put(path, body):
        with open(path, "wb") as f:
            f.write(body)

    for i in range(originals):
        put(os.path.join(dirs[rng.randrange(len(dirs))], "o%06d" % i), content(i, sizes[i]))
    for i in range(copies):
        src = rng.randrange(originals)
        put(os.path.join(dirs[rng.randrange(len(dirs))], "c%06d" % i), content(src, sizes[src]))
    for i in range(variants):
        # Equal size, other content: the same start, one byte changed near the end.
        src = rng.randrange(originals)
        body = bytearray(content(src, sizes[src]))
        body[-1] ^= 0x5A
        put(os.path.join(dirs[rng.randrange(len(dirs))], "v%06d" % i), bytes(body))


TREES = {"M": make_m, "S": make_s, "B": make_b, "G": make_g, "P": make_p, "L": make_l}


def ensure_tree(base, name):
    root = os.path.join(base, name)
    stamp = os.path.join(base, name + ".recipe")
    recipe = "%s %d %d" % (name, SEED, RECIPE_VERSION)
    if os.path.isdir(root) and os.path.exists(stamp) and open(stamp).read() == recipe:
        return root
    shutil.rmtree(root, ignore_errors=True)
    print("making tree %s in %s ..." % (name, root), flush=True)
    rng = random.Random("%d-%s" % (SEED, name))
    TREES[name](root, rng, Pool(rng))
    with open(stamp, "w") as f:
        f.write(recipe)
    return root


def start_busy():
    """One processor's worth of other work, until stopped."""
    if shutil.which("stress-ng"):
        return subprocess.Popen(["stress-ng", "--cpu", "1", "--quiet"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return subprocess.Popen([sys.executable, "-c", "while True: pass"])


def drop_cache(tree):
    subprocess.run(["vmtouch", "-q", "-e", tree], check=True)


def run(cmd):
    """Runs a command; returns (seconds, peak KiB, CPU seconds, stdout). The peak and the CPU
    time (user and system, all threads) come from GNU time, which starts the command from its
    own small image, so the script's size never counts."""
    start = time.perf_counter()
    proc = subprocess.run(["/usr/bin/time", "-f", "%M %U %S", "-o", TIME_OUT] + cmd,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    seconds = time.perf_counter() - start
    if proc.returncode != 0:
        sys.exit("%s failed with %d" % (" ".join(cmd), proc.returncode))
    with open(TIME_OUT) as f:
        peak, user, system = f.read().strip().splitlines()[-1].split()
    return seconds, int(peak), float(user) + float(system), proc.stdout.decode("utf-8", "replace")


def fdupes_groups(text):
    groups = [g for g in text.split("\n\n") if g.strip()]
    return len(groups), sum(len(g.strip().splitlines()) for g in groups)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--root", default="/tmp/tarvik-bench")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--trees", default="M,S,B")
    ap.add_argument("--bench", default=os.path.join(here, "..", "build", "bench", "bench_scan"))
    ap.add_argument("--tools", default="tarvik,jdupes,fdupes,rmlint")
    ap.add_argument("--before", help="an older bench_scan, timed in the same run as 'before'")
    ap.add_argument("--cold", action="store_true",
                    help="drop the tree from the page cache before every run")
    ap.add_argument("--scan", help="a tarvik-scan, timed in the same runs as 'tarvik-scan'")
    ap.add_argument("--scan-before", help="an older tarvik-scan, timed as 'scan-before'")
    ap.add_argument("--busy", action="store_true",
                    help="keep one processor busy with another program during the runs")
    ap.add_argument("--json", help="also write the figures to this file")
    args = ap.parse_args()
    root = os.path.abspath(args.root)
    repo = os.path.abspath(os.path.join(here, ".."))
    if root == repo or root.startswith(repo + os.sep):
        sys.exit("the trees must not be made inside the repository")
    if not os.access(args.bench, os.X_OK):
        sys.exit("no bench_scan at %s (build the project or pass --bench)" % args.bench)

    busy = start_busy() if args.busy else None
    try:
        report = run_trees(args, root)
    finally:
        if busy:
            busy.terminate()
            busy.wait()
    if args.json:
        with open(args.json, "w") as f:
            json.dump(report, f, indent=1)


def run_trees(args, root):
    report = {}
    print("load average before: %s" % open("/proc/loadavg").read().split(" ", 3)[:3])
    for name in args.trees.split(","):
        tree = ensure_tree(root, name)
        every = {
            "tarvik": [args.bench, tree],
            "jdupes": ["jdupes", "-r", "-q", tree],
            "fdupes": ["fdupes", "-r", "-q", tree],
            "rmlint": ["rmlint", "-T", "df", "-o", "fdupes:" + RMLINT_OUT, tree],
        }
        tools = {tool: every[tool] for tool in args.tools.split(",")}
        if args.before:
            tools["before"] = [args.before, tree]
        if args.scan:
            tools["tarvik-scan"] = [args.scan, tree]
        if args.scan_before:
            tools["scan-before"] = [args.scan_before, tree]
        # Warm-up, which also cross-checks what each tool found.
        found = {}
        for tool, cmd in tools.items():
            _, _, _, out = run(cmd)
            if tool in ("tarvik", "before"):
                figures = dict(line.split(": ", 1) for line in out.strip().splitlines())
                found[tool] = (int(figures["groups"]),
                               int(figures["groups"]) + int(figures["duplicate events"]))
            elif tool == "rmlint":
                with open(RMLINT_OUT) as f:
                    found[tool] = fdupes_groups(f.read())
            else:
                found[tool] = fdupes_groups(out)
        times = {tool: [] for tool in tools}
        cpus = {tool: [] for tool in tools}
        peaks = {tool: [] for tool in tools}
        engine = []
        for _ in range(args.runs):
            for tool, cmd in tools.items():
                if args.cold:
                    drop_cache(tree)
                seconds, peak, cpu, out = run(cmd)
                times[tool].append(seconds)
                cpus[tool].append(cpu)
                peaks[tool].append(peak)
                if tool == "tarvik":
                    engine.append(dict(line.split(": ", 1) for line in out.strip().splitlines()))
        med = {tool: statistics.median(v) for tool, v in times.items()}
        cpu_med = {tool: statistics.median(v) for tool, v in cpus.items()}
        report[name] = {
            "median_s": med,
            "runs_s": times,
            "median_cpu_s": cpu_med,
            "runs_cpu_s": cpus,
            "peak_kib": {tool: max(v) for tool, v in peaks.items()},
            "found_groups_files": found,
            "engine": engine[len(engine) // 2],
            "cold": args.cold,
            "busy": args.busy,
            "load_after": open("/proc/loadavg").read().split(" ", 3)[:3],
        }
        for tool in tools:
            if tool != "tarvik":
                report[name]["ratio_" + tool] = med["tarvik"] / med[tool]
                report[name]["cpu_ratio_" + tool] = cpu_med["tarvik"] / cpu_med[tool]
        e = report[name]["engine"]
        print("\ntree %s: %s files listed, %.1f MB listed, %.1f MB read, %s groups, %s events"
              % (name, e["files listed"], int(e["bytes listed"]) / 1e6,
                 int(e["bytes read"]) / 1e6, e["groups"], e["duplicate events"]))
        for tool in tools:
            print("  %-11s median %7.3f s  (runs %s)  CPU %7.3f s  peak %7.1f MB  found %d groups"
                  " / %d files" % (tool, med[tool], " ".join("%.3f" % t for t in times[tool]),
                                   cpu_med[tool], max(peaks[tool]) / 1024, *found[tool]))
        print("  wall " + ", ".join("tarvik/%s %.2f" % (tool, report[name]["ratio_" + tool])
                                    for tool in tools if tool != "tarvik"))
        print("  CPU  " + ", ".join("tarvik/%s %.2f" % (tool, report[name]["cpu_ratio_" + tool])
                                    for tool in tools if tool != "tarvik"))
        print("  load average after: %s" % " ".join(report[name]["load_after"]), flush=True)
    return report


if __name__ == "__main__":
    main()
