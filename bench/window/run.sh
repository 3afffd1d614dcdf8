#!/usr/bin/env bash
# `make bench-window`: the window's run against quillward-batch on the same site with
# the same settings and the same encoder, side by side: the window in the offscreen
# platform, and under a real X server with a window manager (Xvfb + openbox). Figures,
# never a pass or fail. See bench/README.md ("The window against the console").
#
# Environment (all optional):
#   BENCH_FILES    files in the synthetic site            (default 10000)
#   BENCH_RUNS     timed runs per command, interleaved     (default 5; the median is used)
#   BENCH_SEED     generator seed                         (default 1)
#   BENCH_ENCODER  real (our screnc) or fake (the stand-in) (default real)
#   BENCH_OUT      sites, JSON and the table              (default bench/out)
#   BENCH_WORK     folder for the outputs                 (default /dev/shm when it is a
#                  tmpfs, else $BENCH_OUT/work): a tmpfs takes the disk out of the figures
#   QW_BUILD_DIR   build folder                           (default build)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
bench=$(dirname "$here")
root=$(dirname "$bench")
build=${QW_BUILD_DIR:-$root/build}
case $build in /*) ;; *) build=$root/$build ;; esac
out=${BENCH_OUT:-$bench/out}
mkdir -p "$out"
out=$(cd "$out" && pwd)

die() { echo "bench-window: $*" >&2; exit 2; }

# Inside the X session: time the three commands against each other.
if [ "${1:-}" = --inside-x ]; then
  shift
  json=$1; shift
  exec python3 "$bench/timer.py" --runs "${BENCH_RUNS:-5}" --json "$json" "$@"
fi

files=${BENCH_FILES:-10000}
seed=${BENCH_SEED:-1}
batch=$build/bin/quillward-batch
window=$build/bench/quillward-window-bench
for p in "$batch" "$window"; do [ -x "$p" ] || die "$p is missing: build first (make build)"; done
command -v python3 >/dev/null || die "python3 is needed"

if [ -z "${BENCH_WORK:-}" ] && [ "$(stat -f -c %T /dev/shm 2>/dev/null)" = tmpfs ]; then BENCH_WORK=/dev/shm; fi
work=${BENCH_WORK:+$BENCH_WORK/qw-bench-window}
work=${work:-$out/work-window}
rm -rf "$work"
mkdir -p "$work/config" "$work/enc" "$work/trash"
trap 'rm -rf "$work"' EXIT
# A private settings folder: the user's settings neither change the figures nor get touched.
export XDG_CONFIG_HOME=$work/config
for v in $(compgen -e | grep '^QW_FAKE_' || true); do unset "$v"; done

# Both programs start <encoder folder>/screnc: quillward-batch its own folder, so it
# runs from a copy beside the encoder; the window is told the folder.
case ${BENCH_ENCODER:-real} in
  real) cp "$build/bin/screnc" "$work/enc/screnc" ;;
  fake) cp "$build/tests/fake-screnc" "$work/enc/screnc" ;;
  *) die "BENCH_ENCODER is real or fake" ;;
esac
cp "$batch" "$work/enc/quillward-batch"

site=$out/site-$files
python3 "$bench/gen_site.py" "$files" "$site" --seed "$seed"

sets=(--set chkASP=1 --set chkHTML=1 --set chkJS=1 --set Check2=1 --set 'txtDefxt=*.inc'
      --set chkLangDirect=0 --set Combo1=VBScript --set Combo2=JScript)
q() { local o='' a; for a in "$@"; do o+="${o:+ }$(printf '%q' "$a")"; done; printf '%s' "$o"; }
# own CPU of each program (not of the encoders it starts), where perf can count it.
if perf stat --no-inherit -x, -e task-clock -o /dev/null -- true 2>/dev/null; then
  cpu() { q perf stat --no-inherit -x, -e task-clock --append -o "$out/window-cpu-$1.txt" --; }
else
  echo "bench-window: perf is not usable here: no CPU-time figures"
  cpu() { :; }
fi
rm -f "$out"/window-cpu-*.txt "$out"/window-run-*.txt

declare -A cmd
cmd[batch]="$(cpu batch) $(q "$work/enc/quillward-batch" "${sets[@]}" "$site" "$work/dst-batch")"
# The window's program also prints the run alone (Start to its end), without its start-up.
cmd[offscreen]="QT_QPA_PLATFORM=offscreen $(cpu offscreen) $(q "$window" --encoder-dir "$work/enc" "${sets[@]}" "$site" "$work/dst-offscreen") >>$(q "$out/window-run-offscreen.txt")"
cmd[x11]="QT_QPA_PLATFORM=xcb $(cpu x11) $(q "$window" --encoder-dir "$work/enc" "${sets[@]}" "$site" "$work/dst-x11") >>$(q "$out/window-run-x11.txt")"
# Outputs are moved aside, never deleted between timed runs (bench/README.md, Pitfalls).
fresh() { echo "{ [ ! -e $(q "$work/dst-$1") ] || mv $(q "$work/dst-$1") \"\$(mktemp -d $(q "$work/trash/run.XXXXXX"))\"; } && mkdir -p $(q "$work/dst-$1")"; }

session=$root/tests/ui/x11/x11_session.sh
echo "bench-window: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); $files files, encoder ${BENCH_ENCODER:-real}, outputs in $work"
# One checked run of each (also the warm-up): the window's output is the console's, byte for byte.
for which in batch offscreen x11; do
  bash -c "$(fresh "$which")"
done
bash "$session" bash -c "${cmd[batch]} >/dev/null && ${cmd[offscreen]} && ${cmd[x11]}" \
  || die "a checked run failed"
diff -r "$work/dst-batch" "$work/dst-offscreen" >/dev/null || die "the offscreen window's output differs from the console's"
diff -r "$work/dst-batch" "$work/dst-x11" >/dev/null || die "the X11 window's output differs from the console's"
echo "bench-window: checked: the three outputs are identical"
rm -f "$out"/window-cpu-*.txt "$out"/window-run-*.txt

bash "$session" bash "$here/run.sh" --inside-x "$out/window-$files.json" \
  "quillward-batch" "$(fresh batch)" "${cmd[batch]}" \
  "window, offscreen" "$(fresh offscreen)" "${cmd[offscreen]}" \
  "window, Xvfb + openbox" "$(fresh x11)" "${cmd[x11]}"

python3 "$here/report.py" "$out/window-$files.json" "$out" | tee "$out/window-results.txt"
