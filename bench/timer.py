#!/usr/bin/env python3
"""Time commands against each other, interleaved, and write the figures as JSON.

    timer.py --runs R --json OUT  NAME PREPARE COMMAND  [NAME PREPARE COMMAND]...

Each round runs every command once, after its PREPARE (not timed); odd rounds go in
the given order, even rounds in reverse (A B, B A, A B, ...), so that a load that
rises or falls during the benchmark falls on both sides alike instead of on whichever
command happens to run last. PREPARE and COMMAND are bash command texts; stdout and
stderr of COMMAND go to /dev/null; a non-zero exit status stops the benchmark.

OUT gets {"results": [{"command", "times", "user", "system", "median", "min", "max"}]}
(seconds, wall clock; user and system time of the command and its children). The
cost of starting bash itself, measured first, is taken off every time, as hyperfine does.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import time


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--json", required=True)
    ap.add_argument("triples", nargs="+", help="NAME PREPARE COMMAND, repeated")
    args = ap.parse_args()
    if len(args.triples) % 3:
        ap.error("give NAME PREPARE COMMAND triples")
    cmds = [tuple(args.triples[i:i + 3]) for i in range(0, len(args.triples), 3)]
    results = {name: {"command": name, "times": [], "user": [], "system": []} for name, _, _ in cmds}

    def run(command):
        start = time.perf_counter()
        proc = subprocess.Popen(["bash", "-c", command], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(proc.pid, 0)
        return time.perf_counter() - start, os.waitstatus_to_exitcode(status), usage

    shell = statistics.median(run("true")[0] for _ in range(20))

    for r in range(args.runs):
        for name, prepare, command in (cmds if r % 2 == 0 else cmds[::-1]):
            if prepare:
                subprocess.run(["bash", "-c", prepare], check=True)
            elapsed, code, usage = run(command)
            elapsed = max(0.0, elapsed - shell)
            if code != 0:
                print(f"timer: '{name}' exited {code}: {command}", file=sys.stderr)
                return 1
            res = results[name]
            res["times"].append(elapsed)
            res["user"].append(usage.ru_utime)
            res["system"].append(usage.ru_stime)
            print(f"  run {r + 1}/{args.runs}  {name:<28} {elapsed:9.3f} s"
                  f"  (user {usage.ru_utime:.3f} s, system {usage.ru_stime:.3f} s)", flush=True)

    for res in results.values():
        res.update(median=statistics.median(res["times"]), min=min(res["times"]),
                   max=max(res["times"]))
    with open(args.json, "w") as f:
        json.dump({"shell_seconds": shell, "results": list(results.values())}, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
