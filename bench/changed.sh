#!/usr/bin/env bash
# Re-deploys with --changed and our real encoder, side by side with `rsync -a` mirroring
# the same trees: a first run into an empty destination with no manifest (and the same
# without --changed, for what keeping the manifest costs), a re-run of the unchanged site
# (and rsync of the same unchanged tree into a mirror it made), and a re-run after ten
# pages were edited (rsync after the same edit of its own copy of the site). Each command
# has its own site copy, destination and state folder, prepared untimed, so the
# interleaved order of timer.py cannot mix them up. Sites, outputs and state live on
# tmpfs (/dev/shm). Prints medians and the ratios the goals are stated in.
#
# Environment: CHANGED_SIZE (default 10000), CHANGED_RUNS (default 5),
# CHANGED_DIR (default /dev/shm/qw-changed), QW_BUILD_DIR (default build),
# CHANGED_BEFORE (a folder holding an earlier build's quillward-batch and screnc: its
# unchanged and ten-page re-runs and its first runs go in the same rounds).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${QW_BUILD_DIR:-$root/build}
n=${CHANGED_SIZE:-10000}
runs=${CHANGED_RUNS:-5}
dir=${CHANGED_DIR:-/dev/shm/qw-changed}
before=${CHANGED_BEFORE:-}
jobs=$(nproc)
command -v rsync >/dev/null || { echo "changed.sh needs rsync" >&2; exit 1; }

rm -rf "$dir"
mkdir -p "$dir/app" "$dir/config"
trap 'rm -rf "$dir"' EXIT
cp "$build/bin/quillward-batch" "$build/bin/screnc" "$dir/app/"
if [ -n "$before" ]; then
  mkdir -p "$dir/before"
  cp "$before/quillward-batch" "$before/screnc" "$dir/before/"
fi
export XDG_CONFIG_HOME=$dir/config
python3 "$here/gen_site.py" "$n" "$dir/site" >/dev/null
for copy in ten ten-rsync ten-before; do cp -a "$dir/site" "$dir/site-$copy"; done

enc="--jobs $jobs --set chkASP=1 --set chkHTML=1 --set chkJS=1 --set Check2=1 --set txtDefxt=*.inc"
# A run of `site` into `out-NAME` with the state folder `state-NAME`, by the build in `app`.
run() { echo "XDG_STATE_HOME=$dir/state-$2 $dir/${4:-app}/quillward-batch $enc $3 $dir/$1 $dir/out-$2"; }
fresh() { echo "rm -rf $dir/out-$1 $dir/state-$1"; }
# Deployed once already (untimed, the first time only).
deployed() { echo "[ -e $dir/out-$2 ] || $(run "$1" "$2" --changed "${3:-app}") >/dev/null"; }
mirrored() { echo "[ -e $dir/out-$2 ] || rsync -a $dir/$1/ $dir/out-$2/"; }
# Ten pages of a site copy edited (appended to: a new size and time).
edit10() { echo "find $dir/$1 -name '*.asp' | sort | head -10 | while read -r f; do echo \"<% ' edit \$RANDOM %>\" >> \"\$f\"; done"; }

cmds=(
  rsync-unchanged "$(mirrored site rsync-same)" "rsync -a $dir/site/ $dir/out-rsync-same/"
  unchanged "$(deployed site same)" "$(run site same --changed)"
  rsync-ten "$(mirrored site-ten-rsync rsync-ten); $(edit10 site-ten-rsync)" "rsync -a $dir/site-ten-rsync/ $dir/out-rsync-ten/"
  ten-changed "$(deployed site-ten ten); $(edit10 site-ten)" "$(run site-ten ten --changed)"
  first-plain "$(fresh plain)" "$(run site plain '')"
  first-changed "$(fresh first)" "$(run site first --changed)"
)
if [ -n "$before" ]; then
  cmds+=(
    before-unchanged "$(deployed site bsame before)" "$(run site bsame --changed before)"
    before-ten-changed "$(deployed site-ten-before bten before); $(edit10 site-ten-before)" "$(run site-ten-before bten --changed before)"
    before-first-plain "$(fresh bplain)" "$(run site bplain '' before)"
    before-first-changed "$(fresh bfirst)" "$(run site bfirst --changed before)"
  )
fi
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
python3 "$here/timer.py" --runs "$runs" --json "$dir/changed.json" "${cmds[@]}" >/dev/null
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"

# The last re-runs did what they should: nothing, and the ten pages; and the outputs of
# a first run and of a re-run are the same files.
out=$(bash -c "$(run site same --changed)" | tail -1)
case $out in "Done: 0 files, 0 failed, $n unchanged"*) ;; *) echo "unexpected: $out" >&2; exit 1;; esac
out=$(bash -c "$(edit10 site-ten); $(run site-ten ten --changed)" | tail -1)
case $out in "Done: 10 files, 0 failed, $((n - 10)) unchanged"*) ;; *) echo "unexpected: $out" >&2; exit 1;; esac
diff -r "$dir/out-same" "$dir/out-plain" >/dev/null || { echo "re-run output differs from a first run's" >&2; exit 1; }

python3 - "$dir/changed.json" "$n" <<'PY'
import json, sys
res = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
n = sys.argv[2]
def line(name, base=None, goal=None):
    r = res[name]
    cpu = sum(r["user"]) / len(r["user"]) + sum(r["system"]) / len(r["system"])
    text = f"  {name:<22} {r['median']:7.3f} s  (min {r['min']:.3f}, max {r['max']:.3f}; CPU {cpu:.3f} s)"
    if base:
        text += f"  {r['median'] / res[base]['median']:5.2f}x {base}"
        if goal:
            text += f" (goal <= {goal})"
    print(text)
print(f"{n} files, medians of {len(res['unchanged']['times'])}:")
line("rsync-unchanged")
line("unchanged", "rsync-unchanged", "1")
if "before-unchanged" in res:
    line("before-unchanged", "rsync-unchanged")
line("rsync-ten")
line("ten-changed", "rsync-ten", "1.5")
if "before-ten-changed" in res:
    line("before-ten-changed", "rsync-ten")
line("first-plain")
line("first-changed", "first-plain", "1.1")
if "before-first-plain" in res:
    line("before-first-plain")
    line("before-first-changed", "before-first-plain")
PY
