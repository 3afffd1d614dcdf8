#!/usr/bin/env python3
"""The table of bench/window/run.sh: each command's median wall time with min and max,
its ratio to quillward-batch, and the CPU time of its own process (perf's task-clock,
the encoders it starts not counted).

    report.py WINDOW-N.json OUTDIR
"""
import json
import os
import statistics
import sys

CPU_FILES = {"quillward-batch": "batch", "window, offscreen": "offscreen", "window, Xvfb + openbox": "x11"}


def own_cpu(outdir, name):
    path = os.path.join(outdir, f"window-cpu-{CPU_FILES.get(name, '')}.txt")
    if not os.path.exists(path):
        return None
    ms = []
    with open(path) as f:
        for line in f:
            parts = line.strip().split(",")
            if len(parts) > 2 and parts[2] == "task-clock":
                try:
                    ms.append(float(parts[0]))
                except ValueError:
                    pass
    return statistics.median(ms) / 1000 if ms else None


def run_only(outdir, name):
    """The median of the window's own "run S s" lines: Start to the run's end."""
    path = os.path.join(outdir, f"window-run-{CPU_FILES.get(name, '')}.txt")
    if not os.path.exists(path):
        return None
    secs = [float(line.split()[1]) for line in open(path) if line.startswith("run ")]
    return statistics.median(secs) if secs else None


def main():
    data = json.load(open(sys.argv[1]))
    outdir = sys.argv[2]
    results = data["results"]
    base = next(r for r in results if r["command"] == "quillward-batch")["median"]
    print(f"{'command':<24} {'median s':>9} {'min':>7} {'max':>7} {'vs batch':>9} {'own CPU s':>10}"
          f" {'run alone s':>12} {'vs batch':>9}")
    for r in results:
        cpu = own_cpu(outdir, r["command"])
        cpu_text = f"{cpu:10.2f}" if cpu is not None else f"{'-':>10}"
        alone = run_only(outdir, r["command"])
        alone_text = f"{alone:12.2f} {alone / base:8.2f}x" if alone is not None else f"{'-':>12} {'-':>9}"
        print(f"{r['command']:<24} {r['median']:9.2f} {r['min']:7.2f} {r['max']:7.2f}"
              f" {r['median'] / base:8.2f}x {cpu_text} {alone_text}")
    print(f"runs per command: {len(results[0]['times'])}, interleaved; wall times are whole processes less bash's start;")
    print("'run alone' is the window's run from Start to its end, without the program's start-up and window mapping")


if __name__ == "__main__":
    main()
