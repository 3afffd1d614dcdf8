#!/usr/bin/env bash
# Re-deploys with --changed and our real encoder, side by side: a first run into an empty
# destination with no manifest (and the same without --changed, for what keeping the
# manifest costs), a re-run of the unchanged site, and a re-run after ten pages were
# edited. Each command has its own destination and state folder, prepared untimed, so
# the interleaved order of timer.py cannot mix them up. Sites, outputs and state live on
# tmpfs (/dev/shm). Prints medians and the ratios the goals are stated in.
#
# Environment: CHANGED_SIZE (default 10000), CHANGED_RUNS (default 3),
# CHANGED_DIR (default /dev/shm/qw-changed), QW_BUILD_DIR (default build).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${QW_BUILD_DIR:-$root/build}
n=${CHANGED_SIZE:-10000}
runs=${CHANGED_RUNS:-3}
dir=${CHANGED_DIR:-/dev/shm/qw-changed}
jobs=$(nproc)

rm -rf "$dir"
mkdir -p "$dir/app" "$dir/config"
trap 'rm -rf "$dir"' EXIT
cp "$build/bin/quillward-batch" "$build/bin/screnc" "$dir/app/"
export XDG_CONFIG_HOME=$dir/config
python3 "$here/gen_site.py" "$n" "$dir/site" >/dev/null
cp -a "$dir/site" "$dir/site-ten"

enc="--jobs $jobs --set chkASP=1 --set chkHTML=1 --set chkJS=1 --set Check2=1 --set txtDefxt=*.inc"
# A run of `site` into `out-NAME` with the state folder `state-NAME`.
run() { echo "XDG_STATE_HOME=$dir/state-$2 $dir/app/quillward-batch $enc $3 $dir/$1 $dir/out-$2"; }
fresh() { echo "rm -rf $dir/out-$1 $dir/state-$1"; }
# Deployed once already (untimed, the first time only).
deployed() { echo "[ -e $dir/out-$2 ] || $(run "$1" "$2" --changed) >/dev/null"; }
edit10="$(deployed site-ten ten); find $dir/site-ten -name '*.asp' | sort | head -10 | while read -r f; do echo \"<% ' edit \$RANDOM %>\" >> \"\$f\"; done"

python3 "$here/timer.py" --runs "$runs" --json "$dir/changed.json" \
  first-plain "$(fresh plain)" "$(run site plain '')" \
  first-changed "$(fresh first)" "$(run site first --changed)" \
  unchanged "$(deployed site same)" "$(run site same --changed)" \
  ten-changed "$edit10" "$(run site-ten ten --changed)" >/dev/null

# The last re-runs did what they should: nothing, and the ten pages.
out=$(bash -c "$(run site same --changed)" | tail -1)
case $out in "Done: 0 files, 0 failed, $n unchanged"*) ;; *) echo "unexpected: $out" >&2; exit 1;; esac

python3 - "$dir/changed.json" "$n" <<'PY'
import json, sys
med = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
n = sys.argv[2]
p, f, u, t = med["first-plain"], med["first-changed"], med["unchanged"], med["ten-changed"]
print(f"{n} files: first run {f:.2f} s (without --changed {p:.2f} s, manifest costs {100 * (f / p - 1):+.0f}%), "
      f"unchanged re-run {u:.3f} s, ten pages changed {t:.3f} s")
print(f"  unchanged / first {u / f:.3f} (goal < 0.05 = 1/20); ten changed / first {t / f:.3f} (goal < 0.1 = 1/10)")
PY
