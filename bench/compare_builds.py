#!/usr/bin/python3
"""Two builds of a benchmark, run by turns: medians per case, and their ratios.

The machine is shared, so the two sides take turns, in the order A B B A
A B B A ... (a load that rises or falls during the runs then falls on both
alike), and each side's figure is the median over its runs. Cases report median_ms (wall) and, where measured, cpu_ms
(CPU of all threads), which the load skews less.

Usage: bench/compare_builds.py BENCH_A BENCH_B FILTER [--rounds N] [-- ARGS...]
e.g.   bench/compare_builds.py /tmp/old/bench_render build/bench/bench_render \
           'render/chest/ssd/512/(full|complete)/' --rounds 3 -- --threads 1
"""

import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile


def run_once(bench, pattern, extra, into):
    with tempfile.NamedTemporaryFile(suffix=".json", delete=False) as f:
        out = f.name
    try:
        subprocess.run([bench, "--benchmark_filter=" + pattern, "--benchmark_out=" + out,
                        "--benchmark_out_format=json"] + extra,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        with open(out) as f:
            for run in json.load(f)["benchmarks"]:
                case = into.setdefault(run["name"].split("/iterations")[0], {"wall": [], "cpu": []})
                if "median_ms" in run:
                    case["wall"].append(run["median_ms"])
                if "cpu_ms" in run:
                    case["cpu"].append(run["cpu_ms"])
    finally:
        os.unlink(out)


def median_or_none(values):
    return statistics.median(values) if values else None


def main():
    argv = sys.argv[1:]
    extra = []
    if "--" in argv:
        extra = argv[argv.index("--") + 1:]
        argv = argv[:argv.index("--")]
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("a")
    parser.add_argument("b")
    parser.add_argument("filter")
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args(argv)
    results = ({}, {})
    loads = [os.getloadavg()[0]]
    benches = (args.a, args.b)
    for r in range(args.rounds):
        for side in ((0, 1) if r % 2 == 0 else (1, 0)):
            run_once(benches[side], args.filter, extra, results[side])
            loads.append(os.getloadavg()[0])
    print(f"load average (1 min) during the runs: {min(loads):.1f} .. {max(loads):.1f}")
    print(f"{'case':44s} {'A wall':>9s} {'B wall':>9s} {'B/A':>6s}   {'A cpu':>9s} {'B cpu':>9s} {'B/A':>6s}")
    for name, a in results[0].items():
        b = results[1].get(name)
        if not b:
            continue
        line = f"{name:44s}"
        for key in ("wall", "cpu"):
            x, y = median_or_none(a[key]), median_or_none(b[key])
            if x and y:
                line += f" {x:9.1f} {y:9.1f} {y / x:6.2f}  "
            else:
                line += f" {'':9s} {'':9s} {'':6s}  "
        print(line.rstrip())


if __name__ == "__main__":
    main()
