#!/usr/bin/env bash
# The benchmark behind `make bench`: figures, never a pass or fail on timing.
# See bench/README.md for what is measured and how to read the table.
#
# Environment (all optional):
#   BENCH_SIZES   file counts of the synthetic sites    (default "1000 10000 100000")
#   BENCH_RUNS    timed runs per command; the median is used (default 3; the checked
#                 run of each command before them is its warm-up)
#   BENCH_SEED    generator seed                        (default 1)
#   BENCH_OUT     where sites, outputs and results go   (default bench/out)
#   BENCH_WORK    folder in which a qw-bench-work folder takes the outputs (default: they go
#                 to $BENCH_OUT/work); e.g. a tmpfs folder, to take the disk out of the figures
#   QW_BUILD_DIR  build folder with bin/quillward-batch and tests/fake-screnc (default build)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${QW_BUILD_DIR:-$root/build}
case $build in /*) ;; *) build=$root/$build ;; esac
sizes=${BENCH_SIZES:-"1000 10000 100000"}
runs=${BENCH_RUNS:-3}
seed=${BENCH_SEED:-1}
out=${BENCH_OUT:-$here/out}
mkdir -p "$out"
out=$(cd "$out" && pwd)

batch=$build/bin/quillward-batch
fake=$build/tests/fake-screnc

die() { echo "bench: $*" >&2; exit 2; }
# No file of the benchmark comes near 1 GB: a runaway copy stops there (512-byte blocks).
ulimit -f $((2 * 1024 * 1024))
for tool in python3 cc; do
  command -v "$tool" >/dev/null || die "$tool is needed (apt-get install $tool)"
done
[ -x "$batch" ] || die "$batch is missing: build first (make build)"
if [ ! -x "$fake" ]; then
  cmake --build "$build" --target fake-screnc >/dev/null || die "cannot build fake-screnc in $build"
fi

# A private settings folder, so the user's stored settings neither change the run nor get
# touched by it; every key that matters is also given with --set.
work=${BENCH_WORK:+$BENCH_WORK/qw-bench-work}
work=${work:-$out/work}
trash=$work/trash
rm -rf "$work"
mkdir -p "$work/config" "$work/encbin" "$trash"
# Outputs are moved aside between runs and deleted only at the end: on ext4 a file
# deleted in the last minutes makes the creation of new files slower (the allocator
# steps over recently freed inodes), which would charge one command for another's cleanup.
trap 'rm -rf "$trash"' EXIT
export XDG_CONFIG_HOME=$work/config
for v in $(compgen -e | grep '^QW_FAKE_' || true); do unset "$v"; done

# quillward-batch starts <its own folder>/screnc: a copy of it beside the stand-in encoder.
cp "$batch" "$work/encbin/quillward-batch"
cp "$fake" "$work/encbin/screnc"
encbatch=$work/encbin/quillward-batch
encoder=$work/encbin/screnc
cc -O2 -o "$work/spawn_loop" "$here/spawn_loop.c" || die "cannot compile spawn_loop.c"

copy_sets=(--set chkASP=0 --set chkHTML=0 --set chkJS=0 --set Check2=0 --set txtDefxt=)
enc_sets=(--set chkASP=1 --set chkHTML=1 --set chkJS=1 --set Check2=1 --set 'txtDefxt=*.inc'
          --set chkLangDirect=0 --set Combo1=VBScript --set Combo2=JScript)
# q ARG...: the arguments quoted for sh and joined by single blanks (no trailing blank).
q() { local out='' a; for a in "$@"; do out+="${out:+ }$(printf '%q' "$a")"; done; printf '%s' "$out"; }

echo "bench: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); sizes: $sizes; $runs timed runs each after one checked warm-up run"
# probe: microseconds to create one empty file, a gauge of the file system's state.
probe() {
  local dir
  dir=$(mktemp -d "$trash/probe.XXXXXX")
  python3 -c 'import os, sys, time
d = sys.argv[1]; t = time.perf_counter()
for i in range(2000): os.close(os.open(f"{d}/{i}", os.O_CREAT | os.O_WRONLY, 0o644))
print(f"{(time.perf_counter() - t) / 2000 * 1e6:.0f}")' "$dir"
}
# own_cpu OUT CMD-TEXT: runs CMD-TEXT; where perf works, OUT gets the CPU time of that
# process alone (not of the processes it starts), which wall-clock noise does not blur.
if perf stat --no-inherit -x, -e task-clock -o /dev/null -- true 2>/dev/null; then
  own_cpu() { perf stat --no-inherit -x, -e task-clock -o "$1" -- bash -c "exec $2"; }
else
  echo "bench: perf is not usable here: no CPU-time figures"
  own_cpu() { rm -f "$1"; bash -c "$2"; }
fi
results=()
for n in $sizes; do
  site=$out/site-$n
  dst=$work/dst-$n
  calls=$work/calls-$n.bin
  python3 "$here/gen_site.py" "$n" "$site" --seed "$seed"

  # Copy only: run both commands once and check their output, then time them.
  cp_cmd=$(q cp -r "$site/." "$dst")
  copy_cmd=$(q "$batch" "${copy_sets[@]}" "$site" "$dst")
  fresh_dst="{ [ ! -e $(q "$dst") ] || mv $(q "$dst") \"\$(mktemp -d $(q "$trash/run.XXXXXX"))\"; } && $(q mkdir "$dst")"
  for which in cp batch; do
    if [ $which = cp ]; then cmd=$cp_cmd; else cmd=$copy_cmd; fi
    echo "bench: checking: $cmd"
    bash -c "$fresh_dst" && status=0 && own_cpu "$out/cpu-copy-$which-$n.txt" "$cmd" >"$work/copy-$n.log" || status=$?
    [ "$status" = 0 ] || die "exit status $status from: $cmd (see $work/copy-$n.log)"
    python3 "$here/check_tree.py" copy "$site" "$dst" || die "wrong output from: $cmd"
  done
  us=$(probe)
  echo "$us" >"$out/probe-$n.txt"
  echo "bench: timing copy only, $n files (creating an empty file takes $us us here now)"
  python3 "$here/timer.py" --runs "$runs" --json "$out/copy-$n.json" \
    "cp -r" "$fresh_dst" "$cp_cmd" \
    "quillward-batch, copy only" "$fresh_dst" "$copy_cmd"

  # Encode every script file: record the encoder calls once and check the output, then
  # time the run against a loop that makes the same calls and nothing else.
  enc_cmd=$(q "$encbatch" "${enc_sets[@]}" "$site" "$dst")
  loop_cmd=$(q "$work/spawn_loop" "$encoder" "$calls")
  (cd "$site" && find . -mindepth 1 -type d) >"$work/dirs-$n.txt"
  dirs_only="$fresh_dst && cd $(q "$dst") && xargs -d '\n' mkdir -p < $(q "$work/dirs-$n.txt")"
  echo "bench: checking: $enc_cmd"
  rm -f "$calls"
  bash -c "$fresh_dst" && status=0 &&
    QW_FAKE_LOG=$calls own_cpu "$out/cpu-encode-batch-$n.txt" "$enc_cmd" >"$work/encode-$n.log" || status=$?
  [ "$status" = 0 ] || die "exit status $status from: $enc_cmd (see $work/encode-$n.log)"
  python3 "$here/check_tree.py" encode "$site" "$dst" || die "wrong output from: $enc_cmd"
  echo "bench: checking: $loop_cmd"
  bash -c "$dirs_only" && own_cpu "$out/cpu-encode-loop-$n.txt" "$loop_cmd" || die "the spawn loop failed"

  echo "bench: timing encode, $n files"
  python3 "$here/timer.py" --runs "$runs" --json "$out/encode-$n.json" \
    "spawn loop" "$dirs_only" "$loop_cmd" \
    "quillward-batch, encode" "$fresh_dst" "$enc_cmd"

  results+=("$n")
  bash -c "$fresh_dst"
done

python3 "$here/report.py" "$out" "$work" ${results[@]} | tee "$out/results.txt"
echo "Results: $out/results.txt (every run: $out/copy-N.json, $out/encode-N.json)"
