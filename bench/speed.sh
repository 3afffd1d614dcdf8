#!/usr/bin/env bash
# Large sites with our real encoder, side by side in one run: a copy-only run of the same
# tree, the run through serving encoders with every core, the same with one worker, and
# one encoder process per file with one worker (QUILLWARD_PER_FILE=1). Sites, outputs and
# settings live on tmpfs (/dev/shm), so the disk is out of the figures. Prints medians
# and the ratios the goals are stated in.
#
# Environment: SPEED_SIZES (default "10000 100000"), SPEED_RUNS (default 3),
# SPEED_PER_FILE_RUNS (runs of the per-file way, which is slow; default 1),
# SPEED_DIR (default /dev/shm/qw-speed), QW_BUILD_DIR (default build),
# SPEED_BEFORE (a folder with an earlier quillward-batch and screnc: its copy-only,
# all-cores and one-worker runs are timed in the same rounds, and the ratios printed).
# The load average is printed before each size: the figures mean little without it.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${QW_BUILD_DIR:-$root/build}
sizes=${SPEED_SIZES:-"10000 100000"}
runs=${SPEED_RUNS:-3}
perFileRuns=${SPEED_PER_FILE_RUNS:-1}
dir=${SPEED_DIR:-/dev/shm/qw-speed}
jobs=$(nproc)

mkdir -p "$dir/app" "$dir/config"
trap 'rm -rf "$dir/out"' EXIT
cp "$build/bin/quillward-batch" "$build/bin/screnc" "$dir/app/"
before=${SPEED_BEFORE:-}
if [ -n "$before" ]; then
  mkdir -p "$dir/before"
  cp "$before/quillward-batch" "$before/screnc" "$dir/before/"
fi
export XDG_CONFIG_HOME=$dir/config
batch=$dir/app/quillward-batch
copy="--set chkASP=0 --set chkHTML=0 --set chkJS=0 --set Check2=0 --set txtDefxt="
enc="--set chkASP=1 --set chkHTML=1 --set chkJS=1 --set Check2=1 --set txtDefxt=*.inc"
# The last run's output is removed before each run (untimed). Keeping the outputs aside
# until the end instead made the 100,000-file runs about twice as slow as the same run
# alone (some GB of tmpfs in use), and the growth from 10k to 100k far above linear.
prep="rm -rf $dir/out"

for n in $sizes; do
  python3 "$here/gen_site.py" "$n" "$dir/site-$n" >/dev/null
  site=$dir/site-$n
  rows=(copy "$prep" "$batch --jobs $jobs $copy $site $dir/out"
        serve-all-cores "$prep" "$batch --jobs $jobs $enc $site $dir/out"
        serve-one-worker "$prep" "$batch --jobs 1 $enc $site $dir/out")
  if [ -n "$before" ]; then
    old=$dir/before/quillward-batch
    rows+=(copy-before "$prep" "$old --jobs $jobs $copy $site $dir/out"
           serve-all-cores-before "$prep" "$old --jobs $jobs $enc $site $dir/out"
           serve-one-worker-before "$prep" "$old --jobs 1 $enc $site $dir/out")
  fi
  echo "$n files, load before: $(cut -d' ' -f1-3 /proc/loadavg)"
  python3 "$here/timer.py" --runs "$runs" --json "$dir/fast-$n.json" "${rows[@]}" >/dev/null
  python3 "$here/timer.py" --runs "$perFileRuns" --json "$dir/slow-$n.json" \
    per-file-one-worker "$prep" "QUILLWARD_PER_FILE=1 $batch --jobs 1 $enc $site $dir/out" >/dev/null
done

python3 - "$dir" $sizes <<'PY'
import json, sys
d, sizes = sys.argv[1], sys.argv[2:]
med = {}
for n in sizes:
    for f in ("fast", "slow"):
        for r in json.load(open(f"{d}/{f}-{n}.json"))["results"]:
            med[(n, r["command"])] = r["median"]
for n in sizes:
    c, s, one, pf = (med[(n, k)] for k in ("copy", "serve-all-cores", "serve-one-worker", "per-file-one-worker"))
    print(f"{n} files: copy-only {c:.2f} s, serving with all cores {s:.2f} s, one worker {one:.2f} s, "
          f"per-file process {pf:.2f} s")
    print(f"  all cores / copy-only {s / c:.2f}x (goal <= 1.5x); per-file / all cores {pf / s:.1f}x (goal >= 10x); "
          f"one worker / copy-only {one / c:.2f}x")
    if (n, "copy-before") in med:
        bc, bs, bone = (med[(n, k + "-before")] for k in ("copy", "serve-all-cores", "serve-one-worker"))
        print(f"  before: copy-only {bc:.2f} s, all cores {bs:.2f} s, one worker {bone:.2f} s; "
              f"before / now: copy {bc / c:.2f}x, all cores {bs / s:.2f}x, one worker {bone / one:.2f}x; "
              f"all cores now / copy-only before {s / bc:.2f}x")
if len(sizes) >= 2:
    a, b = sizes[0], sizes[-1]
    for k in ("copy", "serve-all-cores", "per-file-one-worker"):
        print(f"growth {a} -> {b}, {k}: {med[(b, k)] / med[(a, k)]:.2f}x (goal <= {int(b) / int(a) * 1.1:.0f}x)")
PY
