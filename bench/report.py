#!/usr/bin/env python3
"""Print the benchmark table from the JSON files that bench/run.sh (timer.py) leaves.

    report.py OUT WORK N...

OUT holds copy-N.json, encode-N.json and site-N.stats.json; WORK holds calls-N.bin
(the encoder calls recorded by the stand-in encoder). Figures only: the goals are
printed beside them, nothing fails.
"""
import json
import os
import sys

GOAL_COPY_RATIO = 1.5       # quillward-batch copy only / cp -r
GOAL_SCALING = 11.0         # time at 100k / time at 10k
GOAL_OVERHEAD_MS = 0.3      # the run's own cost per encoded file
SLOW_CREATE_US = 60         # above this, creating files is slowed by something else


def medians(path):
    with open(path) as f:
        data = json.load(f)
    return {r["command"]: (r["median"], r["min"], r["max"]) for r in data["results"]}


def count_calls(path):
    with open(path, "rb") as f:
        data = f.read()
    # each argument ends in NUL, each call ends in one more NUL: a call ends in "\0\0"
    return data.count(b"\0\0")


def own_cpu(out, name):
    """CPU seconds of one process alone, from a `perf stat -x,` file; None if absent."""
    try:
        with open(os.path.join(out, name)) as f:
            for line in f:
                fields = line.strip().split(",")
                if len(fields) > 2 and fields[2] == "task-clock" and fields[1] == "msec":
                    return float(fields[0]) / 1000
    except (OSError, ValueError):
        pass
    return None


def main():
    out, work, sizes = sys.argv[1], sys.argv[2], [int(n) for n in sys.argv[3:]]
    rows = {}
    for n in sizes:
        copy = medians(os.path.join(out, f"copy-{n}.json"))
        enc = medians(os.path.join(out, f"encode-{n}.json"))
        with open(os.path.join(out, f"site-{n}.stats.json")) as f:
            stats = json.load(f)
        calls = count_calls(os.path.join(work, f"calls-{n}.bin"))
        probe_path = os.path.join(out, f"probe-{n}.txt")
        probe = float(open(probe_path).read()) if os.path.exists(probe_path) else None
        cpu = {k: own_cpu(out, f"cpu-{k}-{n}.txt")
               for k in ("copy-cp", "copy-batch", "encode-batch", "encode-loop")}
        rows[n] = dict(stats=stats, calls=calls, probe=probe, cpu=cpu,
                       cp=copy["cp -r"], qcopy=copy["quillward-batch, copy only"],
                       loop=enc["spawn loop"], qenc=enc["quillward-batch, encode"])

    print()
    print("Medians of the timed runs (min-max in brackets); times in seconds.")
    print()
    print("Copy only (every encode option off):")
    print(f"{'files':>8} {'MB':>6} | {'cp -r':>18} | {'quillward-batch':>18} | ratio (goal <= {GOAL_COPY_RATIO})")
    for n, r in rows.items():
        ratio = r["qcopy"][0] / r["cp"][0]
        print(f"{n:>8} {r['stats']['bytes'] / 1e6:6.1f} | {r['cp'][0]:7.3f} [{r['cp'][1]:.3f}-{r['cp'][2]:.3f}]"
              f" | {r['qcopy'][0]:7.3f} [{r['qcopy'][1]:.3f}-{r['qcopy'][2]:.3f}] | {ratio:5.2f}x")
    print()
    print("Encode every script file with the stand-in encoder:")
    print(f"{'files':>8} {'encoded':>8} | {'spawn loop':>18} | {'quillward-batch':>18} |"
          f" own cost/encoded file (goal <= {GOAL_OVERHEAD_MS} ms): all-in, net of copies")
    for n, r in rows.items():
        calls = r["calls"]
        extra = r["qenc"][0] - r["loop"][0]
        # net: take away what copying the other files costs the run (from the copy-only run)
        copies = r["qcopy"][0] * (n - calls) / n
        per = extra / calls * 1000 if calls else float("nan")
        net = (extra - copies) / calls * 1000 if calls else float("nan")
        spawn = r["loop"][0] / calls * 1000 if calls else float("nan")
        print(f"{n:>8} {calls:>8} | {r['loop'][0]:7.3f} [{r['loop'][1]:.3f}-{r['loop'][2]:.3f}]"
              f" | {r['qenc'][0]:7.3f} [{r['qenc'][1]:.3f}-{r['qenc'][2]:.3f}] |"
              f" {per:6.3f} ms, {net:6.3f} ms   (encoder process alone: {spawn:.3f} ms)")
        if calls != r["stats"]["script_files"]:
            print(f"         note: {calls} encoder calls for {r['stats']['script_files']} script files")
    if any(None not in r["cpu"].values() for r in rows.values()):
        print()
        print("CPU time of each process alone (perf, not its children), from the checked run:")
        print(f"{'files':>8} | {'cp -r':>8} {'batch copy':>10} | {'spawn loop':>10} {'batch encode':>12} |"
              f" batch's own cost per encoded file beside the loop's: all-in, net of copies")
        for n, r in rows.items():
            c = r["cpu"]
            if None in c.values() or not r["calls"]:
                continue
            extra = c["encode-batch"] - c["encode-loop"]
            copies = c["copy-batch"] * (n - r["calls"]) / n
            print(f"{n:>8} | {c['copy-cp']:7.3f}s {c['copy-batch']:9.3f}s | {c['encode-loop']:9.3f}s"
                  f" {c['encode-batch']:11.3f}s | {extra / r['calls'] * 1000:6.3f} ms,"
                  f" {(extra - copies) / r['calls'] * 1000:6.3f} ms")
    if 10000 in rows and 100000 in rows:
        a, b = rows[10000], rows[100000]
        print()
        print(f"Scaling 100k / 10k (goal <= {GOAL_SCALING}x; 10x is linear):")
        for label, key in (("cp -r", "cp"), ("quillward-batch, copy only", "qcopy"),
                           ("spawn loop", "loop"), ("quillward-batch, encode", "qenc")):
            print(f"  {label:<28} {b[key][0] / a[key][0]:6.2f}x")
        cp_scale = b["cp"][0] / a["cp"][0]
        loop_scale = b["loop"][0] / a["loop"][0]
        print(f"  quillward-batch against its yardstick: copy only {b['qcopy'][0] / a['qcopy'][0] / cp_scale:.2f}"
              f" of cp -r's growth, encode {b['qenc'][0] / a['qenc'][0] / loop_scale:.2f} of the loop's")
    probes = {n: r["probe"] for n, r in rows.items() if r["probe"] is not None}
    if probes:
        print()
        print("Creating one empty file took " + ", ".join(f"{v:.0f} us (before {n})" for n, v in probes.items())
              + "; some 10-20 us is normal.")
        if max(probes.values()) > SLOW_CREATE_US:
            print("  The file system was slow to create files (files deleted in the last minutes, or other\n"
                  "  work on the disk): every copy figure above is inflated; run again later.")
    print()
    print(f"Machine: {os.cpu_count()} cores, load average {open('/proc/loadavg').read().split()[0:3]}"
          " at the end; other work on the machine shows up in the figures.")


if __name__ == "__main__":
    main()
