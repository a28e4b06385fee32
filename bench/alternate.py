#!/usr/bin/env python3
"""Times shell commands in turn, round after round, and prints the median of each pair's ratios.

A virtual machine's speed drifts by tens of per cent within a minute: runs of one command after
the other's would take that drift for a difference between them. Here every round runs each
command once, each round gives its ratios, and their median is the figure.

    alternate.py ROUNDS --cmd NAME COMMAND [--cmd NAME COMMAND ...]
                 --ratio LABEL OURS PEER MUST [AIM] [--ratio ...]
"""
import statistics
import subprocess
import sys
import time


def parse(args):
    rounds = max(int(args[0]), 5)
    commands, ratios = {}, []
    i = 1
    while i < len(args):
        if args[i] == "--cmd":
            commands[args[i + 1]] = args[i + 2]
            i += 3
        elif args[i] == "--ratio":
            end = i + 5
            aim = None
            if end < len(args) and not args[end].startswith("--"):
                aim = float(args[end])
                end += 1
            ratios.append((args[i + 1], args[i + 2], args[i + 3], float(args[i + 4]), aim))
            i = end
        else:
            sys.exit(f"alternate.py: unknown argument {args[i]}")
    return rounds, commands, ratios


def run(command):
    start = time.perf_counter()
    subprocess.run(command, shell=True, check=True)
    return time.perf_counter() - start


def main():
    rounds, commands, wanted = parse(sys.argv[1:])
    for command in commands.values():  # warm-up
        run(command)
    times = {name: [] for name in commands}
    for _ in range(rounds):
        for name, command in commands.items():
            times[name].append(run(command))
    for label, ours, peer, must, aim in wanted:
        ratios = [t / p for t, p in zip(times[ours], times[peer])]
        ratio = statistics.median(ratios)
        goal = f"must <= {must}" + (f", aim <= {aim}" if aim else "")
        print(f"{label} {statistics.median(times[ours]):7.3f} s   {peer} "
              f"{statistics.median(times[peer]):7.3f} s   ratio {ratio:5.2f} (median of {rounds} "
              f"rounds, {min(ratios):.2f} to {max(ratios):.2f})   ({goal}) "
              f"{'ok' if ratio <= must else 'MISSED'}")


if __name__ == "__main__":
    main()
