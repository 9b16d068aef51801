#!/usr/bin/env python3
"""Times the digest cache: a first scan that writes it against one without it, a rescan of the
unchanged tree against listing it with find, and (with --cold) both after the tree's pages
were dropped from the page cache; beside the peers' re-runs, and rmlint's own cache.

    bench/cache_bench.py [--root DIR] [--runs N] [--trees M,S,P,L] [--bench PATH] [--cold]
                         [--peers jdupes,fdupes,rmlint]

The trees are those of run_bench.py (made there, once). Each run takes turns: the engine
without a cache; the engine writing a new cache (the cache folder emptied first); the engine
rescanning through the cache the previous run wrote; `find TREE -type f -printf '%s %T@\\n'`;
and the peers. rmlint's --xattr cache writes into the files' attributes, which changes their
status-change times: it runs on a copy of the tree (P only) so the others are left alone. The
report gives medians, ratios of medians, and /proc/loadavg before and after.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run_bench  # noqa: E402

CACHE = "/tmp/tarvik-cache-bench/cache"
# GNU time's report, apart from run_bench.py's own: both may run at once.
run_bench.TIME_OUT = "/tmp/tarvik-cache-bench/time.txt"


def timed(cmd, cold_tree=None):
    if cold_tree:
        run_bench.drop_cache(cold_tree)
    seconds, peak, cpu, out = run_bench.run(cmd)
    return seconds, peak, cpu, out


def loadavg():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--root", default="/tmp/tarvik-bench")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--trees", default="M,S,P")
    ap.add_argument("--bench", default=os.path.join(here, "..", "build-ci", "bench", "bench_scan"))
    ap.add_argument("--cold", action="store_true")
    ap.add_argument("--peers", default="jdupes,fdupes,rmlint")
    args = ap.parse_args()
    peers = [p for p in args.peers.split(",") if p]
    os.makedirs(os.path.dirname(CACHE), exist_ok=True)
    print("load average before: %s" % loadavg(), flush=True)
    for name in args.trees.split(","):
        tree = run_bench.ensure_tree(args.root, name)
        cold = tree if args.cold else None
        cmds = {
            "no cache": [args.bench, tree],
            "first, writing": [args.bench, "--cache", CACHE, tree],
            "rescan": [args.bench, "--cache", CACHE, tree],
            "find": ["sh", "-c", "find '%s' -type f -printf '%%s %%T@\\n' >/dev/null" % tree],
            "jdupes": ["jdupes", "-r", "-q", tree],
            "fdupes": ["fdupes", "-r", "-q", tree],
            "rmlint": ["rmlint", "-T", "df", "-o", "fdupes:" + run_bench.RMLINT_OUT, tree],
        }
        order = ["no cache", "first, writing", "rescan", "find"] + peers
        xattr_tree = None
        if "rmlint" in peers and name == "P":
            xattr_tree = "/tmp/tarvik-cache-bench/P-xattr"
            if not os.path.isdir(xattr_tree):
                shutil.copytree(tree, xattr_tree)
            cmds["rmlint --xattr rescan"] = ["rmlint", "-T", "df", "--xattr", "-o",
                                             "fdupes:" + run_bench.RMLINT_OUT, xattr_tree]
            order.append("rmlint --xattr rescan")
            subprocess.run(cmds["rmlint --xattr rescan"], stdout=subprocess.DEVNULL)
        times = {k: [] for k in order}
        peaks = {k: [] for k in order}
        cpus = {k: [] for k in order}
        # Warm-up, and a cache for the first rescan.
        shutil.rmtree(CACHE, ignore_errors=True)
        timed(cmds["first, writing"])
        for run in range(args.runs):
            for key in order:
                if key == "first, writing":
                    shutil.rmtree(CACHE, ignore_errors=True)
                seconds, peak, cpu, out = timed(cmds[key], xattr_tree if key.endswith("--xattr rescan") and
                                     cold else cold)
                if key == "rescan" and "from the cache: 0\n" in out:
                    sys.exit("the rescan did not use the cache")
                times[key].append(seconds)
                peaks[key].append(peak)
                cpus[key].append(cpu)
            print("%s run %d: %s" % (name, run + 1, ", ".join(
                "%s %.3f" % (k, times[k][-1]) for k in order)), flush=True)
        med = {k: statistics.median(v) for k, v in times.items()}
        print("\n%s%s, medians of %d runs (s): %s" % (
            name, " cold" if args.cold else "", args.runs,
            ", ".join("%s %.3f" % (k, med[k]) for k in order)))
        print("  first writing / no cache: %.2f" % (med["first, writing"] / med["no cache"]))
        print("  rescan / no cache: %.2f" % (med["rescan"] / med["no cache"]))
        print("  rescan / find: %.2f" % (med["rescan"] / med["find"]))
        for p in peers + (["rmlint --xattr rescan"] if xattr_tree else []):
            print("  rescan / %s: %.2f" % (p, med["rescan"] / med[p]))
        cpu = {k: statistics.median(v) for k, v in cpus.items()}
        print("  CPU time (s, medians): %s" % ", ".join("%s %.2f" % (k, cpu[k]) for k in order))
        print("  CPU, rescan / find: %.2f; first writing / no cache: %.2f" % (
            cpu["rescan"] / cpu["find"], cpu["first, writing"] / cpu["no cache"]))
        print("  peak memory (MB): %s" % ", ".join(
            "%s %.1f" % (k, max(peaks[k]) / 1024) for k in order))
        print("  cache file: %d bytes" % os.path.getsize(os.path.join(CACHE, "digests.bin")),
              flush=True)
    print("load average after: %s" % loadavg())


if __name__ == "__main__":
    main()
