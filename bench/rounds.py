#!/usr/bin/env python3
# SPDX-License-Identifier: Zlib
"""Runs every benchmark of a Google Benchmark program in a process of its own,
ROUNDS times in turn, and prints each one's median time per iteration.
A process of its own: one peer's heap and mappings do not shape the next
one's (a hash map filled after another benchmark freed 100 MB measured half
again slower). In turn, in an order that rotates each round: a busy
neighbour on this shared machine favours none of them.
Usage: bench/rounds.py ROUNDS PROGRAM [PROGRAM ARGUMENTS...]
BENCH_FILTER, when set, is a regular expression that picks the benchmarks run.
BENCH_PEER, when set, is a second build of the same program (linked another
way, say): each benchmark then runs in both, in turn, and the report gives
the peer's median and its ratio to the first's."""
import json
import os
import re
import statistics
import subprocess
import sys


def main():
    rounds = int(sys.argv[1])
    program = sys.argv[2:]
    listed = subprocess.run(program[:1] + ["--benchmark_list_tests=true"] + program[1:],
                            capture_output=True, text=True)
    if listed.returncode != 0:
        sys.exit(listed.stderr.strip() or f"{program[0]} failed (status {listed.returncode})")
    names = listed.stdout.split()
    if os.environ.get("BENCH_FILTER"):
        names = [name for name in names if re.search(os.environ["BENCH_FILTER"], name)]
    if not names:
        sys.exit("no benchmark matches BENCH_FILTER")
    programs = [program[0]] + ([os.environ["BENCH_PEER"]] if os.environ.get("BENCH_PEER") else [])
    runs = [(name, p) for name in names for p in range(len(programs))]
    times = {run: [] for run in runs}
    rates = {run: [] for run in runs}
    for r in range(rounds):
        shift = r % len(runs)
        for name, p in runs[shift:] + runs[:shift]:
            pattern = "^" + name + "$"
            done = subprocess.run(
                [programs[p], f"--benchmark_filter={pattern}", "--benchmark_min_time=0.2",
                 "--benchmark_format=json"] + program[1:],
                capture_output=True, text=True)
            if done.returncode != 0:
                sys.exit(f"{name} failed (status {done.returncode}):\n{done.stderr}")
            for run in json.loads(done.stdout)["benchmarks"]:
                if run.get("error_occurred"):
                    sys.exit(f"{name}: {run.get('error_message', 'failed')}")
                scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[run["time_unit"]]
                times[(name, p)].append(run["real_time"] * scale)
                if "items_per_second" in run:  # counted on CPU time; wall time per item
                    items = run["items_per_second"] * run["cpu_time"] * scale / 1e9
                    rates[(name, p)].append(run["real_time"] * scale / items)
    width = max(len(name) for name in names)
    print(f"{'benchmark':{width}}  {'median':>14}  per item   (medians of {rounds} rounds)"
          + ("   peer: median  ratio" if len(programs) > 1 else ""))
    for name in names:
        median = statistics.median(times[(name, 0)])
        line = f"{name:{width}}  {format_ns(median):>14}"
        line += f"  {format_ns(statistics.median(rates[(name, 0)])):9}" if rates[(name, 0)] else " " * 11
        if len(programs) > 1:
            peer = statistics.median(times[(name, 1)])
            line += f"  {format_ns(peer):>12}  {peer / median:.3f}"
        print(line)


def format_ns(ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if ns >= scale:
            return f"{ns / scale:.3g} {unit}"
    return f"{ns:.3g} ns"


main()
