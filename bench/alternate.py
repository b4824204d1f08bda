#!/usr/bin/env python3
# SPDX-License-Identifier: Zlib
"""Runs two commands in alternation, ROUNDS times each, and prints their
median wall times and the ratio of the first to the second, then the same
for processor time (user and system, the command's children included).
Alternating keeps a busy neighbour on this shared machine from favouring
either side; processor time is what a busy neighbour shifts least, and what
a build that keeps every core busy pays.
With --exec, each command runs directly, without a shell, and may fail:
for start-up times, which a shell's own start would swamp.
Usage: bench/alternate.py [--exec] ROUNDS LABEL COMMAND LABEL COMMAND"""
import resource
import shlex
import statistics
import subprocess
import sys
import time


def main():
    args = sys.argv[1:]
    direct = args[0] == "--exec"
    if direct:
        args = args[1:]
    rounds = int(args[0])
    labels = [args[1], args[3]]
    commands = [shlex.split(args[2]), shlex.split(args[4])] if direct else [args[2], args[4]]
    run = lambda command: subprocess.run(command, shell=not direct, check=not direct,
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL if direct else None)
    times = [[], []]
    cpu = [[], []]
    for command in commands:  # warm the page cache
        run(command)
    for i in range(rounds):
        for k in ((0, 1) if i % 2 == 0 else (1, 0)):
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            start = time.perf_counter()
            run(commands[k])
            times[k].append((time.perf_counter() - start) * 1000)
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            cpu[k].append((after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime) * 1000)
    for kind, samples in (("", times), ("processor time, ", cpu)):
        medians = [statistics.median(t) for t in samples]
        shown = [f"{m:.1f}" if m >= 10 else f"{m:.3f}" for m in medians]
        print(f"{kind}{labels[0]}: {shown[0]} ms  {labels[1]}: {shown[1]} ms  "
              f"ratio {medians[0] / medians[1]:.3f}  (medians of {rounds})")


main()
