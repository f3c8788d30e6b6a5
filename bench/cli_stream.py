#!/usr/bin/env python3
"""Does linepeek-cli stream? Peak memory and the time to the first row over trees of 1,000 and
100,000 small files, in every output format.

  bench/cli_stream.py <build folder> [--jobs N] [--small 1000] [--large 100000]

For each format it runs `linepeek-cli -r -o FORMAT -j N` over each tree, reads its output from
a pipe, and reports the peak resident memory (the CLI process, from wait4) and the share of the
run that passed before the first row arrived. The goals: the large tree's peak at most 1.2 times
the small tree's, and the first row within 5 % of the total time. The trees are written into a
temporary folder and removed afterwards. Times vary with the machine's load; the ratios are what
to compare.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

FORMATS = ["table", "csv", "tsv", "json"]


def make_tree(root, count):
    # 100 files to a folder, lines of a few kinds, so that every column has something to show.
    for i in range(count):
        folder = os.path.join(root, "d%04d" % (i // 100))
        if i % 100 == 0:
            os.makedirs(folder)
        with open(os.path.join(folder, "f%06d.txt" % i), "wb") as f:
            f.write(b"first line %d\r\nsecond\nlast %d\n" % (i, i * 7))


def run(cli, module, tree, fmt, jobs):
    start = time.monotonic()
    proc = subprocess.Popen([cli, "--module", module, "-r", "-o", fmt, "-j", str(jobs), tree],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    first = None
    header_seen = 0
    while True:
        chunk = os.read(proc.stdout.fileno(), 65536)
        if not chunk:
            break
        if first is None:
            # The first row: the second line of the output (the first is the header, or "[").
            header_seen += chunk.count(b"\n")
            if header_seen >= 2:
                first = time.monotonic() - start
    _, status, usage = os.wait4(proc.pid, 0)
    total = time.monotonic() - start
    if status != 0:
        sys.exit("linepeek-cli failed with status %d on %s" % (status, tree))
    return usage.ru_maxrss, first if first is not None else total, total


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--jobs", type=int, default=1)
    parser.add_argument("--small", type=int, default=1000)
    parser.add_argument("--large", type=int, default=100000)
    args = parser.parse_args()
    cli = os.path.join(args.build, "linepeek-cli")
    module = os.path.join(args.build, "linepeek.so")
    scratch = tempfile.mkdtemp(prefix="linepeek-cli-stream-")
    try:
        trees = {}
        for count in (args.small, args.large):
            trees[count] = os.path.join(scratch, "tree%d" % count)
            os.makedirs(trees[count])
            make_tree(trees[count], count)
        print("-j %d; peak RSS in KiB; first row as a share of the run" % args.jobs)
        print("%-6s %10s %10s %6s %9s %9s %7s" % ("format", "rss small", "rss large", "ratio",
                                                  "first s", "total s", "share"))
        worst_ratio = worst_share = 0.0
        for fmt in FORMATS:
            small_rss, _, _ = run(cli, module, trees[args.small], fmt, args.jobs)
            large_rss, first, total = run(cli, module, trees[args.large], fmt, args.jobs)
            ratio = large_rss / small_rss
            share = first / total
            worst_ratio = max(worst_ratio, ratio)
            worst_share = max(worst_share, share)
            print("%-6s %10d %10d %6.2f %9.3f %9.3f %6.1f%%" % (fmt, small_rss, large_rss, ratio,
                                                              first, total, 100 * share))
        verdict = worst_ratio <= 1.2 and worst_share <= 0.05
        print("worst ratio %.2f (goal 1.20), worst share %.1f%% (goal 5%%): %s" %
              (worst_ratio, 100 * worst_share, "met" if verdict else "NOT met"))
        return 0 if verdict else 1
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
