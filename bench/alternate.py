#!/usr/bin/env python3
# SPDX-License-Identifier: Zlib
"""Runs two commands in alternation, ROUNDS times each, and prints their
median wall times and the ratio of the first to the second, then the same
for processor time (user and system, the command's children included).
Alternating keeps a busy neighbour on this shared machine from favouring
either side; processor time is what a busy neighbour shifts least, and what
a build that keeps every core busy pays.
Usage: bench/alternate.py ROUNDS LABEL COMMAND LABEL COMMAND"""
import resource
import statistics
import subprocess
import sys
import time


def main():
    rounds = int(sys.argv[1])
    labels = [sys.argv[2], sys.argv[4]]
    commands = [sys.argv[3], sys.argv[5]]
    times = [[], []]
    cpu = [[], []]
    for command in commands:  # warm the page cache
        subprocess.run(command, shell=True, check=True, stdout=subprocess.DEVNULL)
    for i in range(rounds):
        for k in ((0, 1) if i % 2 == 0 else (1, 0)):
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            start = time.perf_counter()
            subprocess.run(commands[k], shell=True, check=True, stdout=subprocess.DEVNULL)
            times[k].append((time.perf_counter() - start) * 1000)
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            cpu[k].append((after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime) * 1000)
    for kind, samples in (("", times), ("processor time, ", cpu)):
        medians = [statistics.median(t) for t in samples]
        print(f"{kind}{labels[0]}: {medians[0]:.1f} ms  {labels[1]}: {medians[1]:.1f} ms  "
              f"ratio {medians[0] / medians[1]:.3f}  (medians of {rounds})")


main()
