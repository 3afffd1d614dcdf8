#!/usr/bin/env bash
# What "Verify each encoded file" (--verify) adds to a run: the same run of quillward-batch
# with our real encoder, with and without --verify, side by side. Each timed run is a fresh
# process into an empty destination on tmpfs, with private settings and state folders.
# Prints both medians and their ratio (goal: --verify at most 1.3x).
#
#   bash bench/verify.sh
#
# Environment: VERIFY_PAGES (default 3000), VERIFY_PAGE_BYTES (default 81920),
# VERIFY_RUNS (default 5), VERIFY_DIR (default /dev/shm/qw-verify), QW_BUILD_DIR
# (default build), VERIFY_BEFORE (a folder with an earlier quillward-batch and screnc:
# its two runs are timed in the same rounds, and the ratios printed).
# The pages come from bench/gen_pages.py: a LANGUAGE directive, several <% %> blocks a
# row, server and client script. Before the timed rounds one run of each is checked: both
# end with status 0 and write the same tree.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${QW_BUILD_DIR:-$root/build}
pages=${VERIFY_PAGES:-3000}
bytes=${VERIFY_PAGE_BYTES:-81920}
runs=${VERIFY_RUNS:-5}
dir=${VERIFY_DIR:-/dev/shm/qw-verify}
jobs=$(nproc)

mkdir -p "$dir/app" "$dir/config" "$dir/state"
trap 'rm -rf "$dir/out" "$dir/check-plain" "$dir/check-verify"' EXIT
cp "$build/bin/quillward-batch" "$build/bin/screnc" "$dir/app/"
before=${VERIFY_BEFORE:-}
if [ -n "$before" ]; then
  mkdir -p "$dir/before"
  cp "$before/quillward-batch" "$before/screnc" "$dir/before/"
fi
export XDG_CONFIG_HOME=$dir/config XDG_STATE_HOME=$dir/state
site=$dir/site-$pages-$bytes
python3 "$here/gen_pages.py" "$pages" "$bytes" "$site"
args="--jobs $jobs --set chkASP=1 --set chkHTML=1 --set chkJS=1 --set Check2=1 --set txtDefxt=*.inc"

check() {  # check PROGRAM: one run without and one with --verify, the same tree from both
  local prog=$1
  rm -rf "$dir/check-plain" "$dir/check-verify"
  "$prog" $args "$site" "$dir/check-plain" >/dev/null
  "$prog" $args --verify "$site" "$dir/check-verify" >/dev/null
  diff -r "$dir/check-plain" "$dir/check-verify" >/dev/null || { echo "verify.sh: $prog: the trees differ" >&2; exit 1; }
  rm -rf "$dir/check-plain" "$dir/check-verify"
}
check "$dir/app/quillward-batch"
prep="rm -rf $dir/out"
rows=(plain "$prep" "$dir/app/quillward-batch $args $site $dir/out"
      verify "$prep" "$dir/app/quillward-batch $args --verify $site $dir/out")
if [ -n "$before" ]; then
  check "$dir/before/quillward-batch"
  rows+=(plain-before "$prep" "$dir/before/quillward-batch $args $site $dir/out"
         verify-before "$prep" "$dir/before/quillward-batch $args --verify $site $dir/out")
fi

echo "$pages pages of $bytes bytes, $jobs workers, $runs rounds; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
python3 "$here/timer.py" --runs "$runs" --json "$dir/verify.json" "${rows[@]}"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
python3 - "$dir/verify.json" <<'PY'
import json, sys
r = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
def line(suffix, label):
    p, v = r["plain" + suffix], r["verify" + suffix]
    cpu = lambda x: sorted(u + s for u, s in zip(x["user"], x["system"]))[len(x["user"]) // 2]
    print(f"{label}: without --verify {p['median']:.2f} s (min {p['min']:.2f}, max {p['max']:.2f}), "
          f"with --verify {v['median']:.2f} s (min {v['min']:.2f}, max {v['max']:.2f}): "
          f"{v['median'] / p['median']:.2f}x (goal <= 1.3x); "
          f"CPU with children {cpu(p):.2f} s and {cpu(v):.2f} s")
line("", "now")
if "plain-before" in r:
    line("-before", "before")
    print(f"before / now with --verify: {r['verify-before']['median'] / r['verify']['median']:.2f}x")
PY
