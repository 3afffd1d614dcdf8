#!/usr/bin/env bash
# Whether two builds of quillward-batch do the same runs: same log, same exit status, same
# report, same destination tree, byte for byte. For a change that should alter nothing a
# user sees (a move of files, a new seam in the code), run against a build made before it.
#
#   bench/same_output.sh EARLIER_BUILD [LATER_BUILD]
#
# Each build folder holds bin/quillward-batch and bin/screnc (LATER_BUILD defaults to
# build). Both programs of each build are copied to one and the same folder, the sites to
# one and the same place, so that paths in logs and reports agree. The runs, each on a
# fresh copy of its site and with private settings and state folders:
#   example  examples/site: every kind encoded, 2 workers, a report; then a dry run,
#            verbose, into a fresh destination
#   random   a generated site of 2,000 files (bench/gen_site.py): encoded with --changed;
#            some sources removed and one changed; a dry run with --changed --delete
#            --verbose; then that run for real
# In a report only what cannot agree is masked: the times (started, ended, milliseconds)
# and the encoder's size and date. Exit status 0: the same; 1: a difference (shown);
# 2: the script could not run.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
die() { echo "same_output: $*" >&2; exit 2; }
[ $# -ge 1 ] && [ $# -le 2 ] || die "usage: same_output.sh EARLIER_BUILD [LATER_BUILD]"
abs() { (cd "$1" 2>/dev/null && pwd) || die "no folder $1"; }
earlier=$(abs "$1")
later=$(abs "${2:-$root/build}")
for b in "$earlier" "$later"; do
  for p in quillward-batch screnc; do [ -x "$b/bin/$p" ] || die "$b/bin/$p is missing"; done
done

work=$(mktemp -d "${TMPDIR:-/tmp}/qw-same.XXXXXX")
trap 'rm -rf "$work"' EXIT
python3 "$here/gen_site.py" 2000 "$work/random-site" --seed 7 >/dev/null || die "gen_site.py failed"
cp -a "$root/examples/site" "$work/example-site"

enc=(--jobs 2 --set chkASP=1 --set chkHTML=1 --set chkJS=1 --set Check2=1 --set 'txtDefxt=*.inc'
     --set chkLangDirect=0 --set Combo1=VBScript --set Combo2=JScript)

# batch NAME ARG...: one run in the shared folders; its log, errors, status and report
# (masked) kept as $results/NAME.*.
batch() {
  local name=$1 status=0
  shift
  XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state "$work/app/quillward-batch" "${enc[@]}" \
    --report "$work/report.json" "$@" </dev/null >"$results/$name.log" 2>"$results/$name.err" || status=$?
  echo "$status" >"$results/$name.status"
  if [ -f "$work/report.json" ]; then
    sed -E -e 's/"(started|ended|modified)": "[^"]*"/"\1": "*"/' \
           -e 's/"(milliseconds|size)": [0-9.]+/"\1": */' "$work/report.json" >"$results/$name.report"
    rm -f "$work/report.json"
  fi
}

# listing NAME DIR: every entry of DIR with its kind, and a hash of each file's bytes.
listing() {
  (cd "$2" && find . -printf '%y %p\n' | LC_ALL=C sort &&
   find . -type f -print0 | LC_ALL=C sort -z | xargs -0r sha256sum) >"$results/$1.tree"
}

# runs LABEL BUILD: every run with that build's programs, results in $work/LABEL.
runs() {
  results=$work/$1
  mkdir -p "$results"
  rm -rf "$work/app" && mkdir -p "$work/app"
  cp "$2/bin/quillward-batch" "$2/bin/screnc" "$work/app/"

  rm -rf "$work/config" "$work/state" "$work/src" "$work/out" "$work/dry"
  mkdir -p "$work/config" "$work/state"
  cp -a "$work/example-site" "$work/src"
  batch example "$work/src" "$work/out"
  listing example "$work/out"
  batch example-dry --dry-run --verbose "$work/src" "$work/dry"
  [ ! -e "$work/dry" ] || echo "the dry run made $work/dry" >>"$results/example-dry.err"

  rm -rf "$work/config" "$work/state" "$work/src" "$work/out"
  mkdir -p "$work/config" "$work/state"
  cp -a "$work/random-site" "$work/src"
  batch random --changed "$work/src" "$work/out"
  listing random "$work/out"
  # Every 97th file gone, the first page changed: work for --changed and --delete.
  find "$work/src" -type f | LC_ALL=C sort | awk 'NR % 97 == 0' | while read -r f; do rm -- "$f"; done
  first=$(find "$work/src" -type f -name '*.asp' | LC_ALL=C sort | sed -n 1p)
  printf '<%% Response.Write "changed" %%>\r\n' >>"$first"
  batch random-dry --dry-run --changed --delete --verbose "$work/src" "$work/out"
  listing random-dry "$work/out"
  batch random-again --changed --delete "$work/src" "$work/out"
  listing random-again "$work/out"
}

runs earlier "$earlier"
runs later "$later"
if diff -r "$work/earlier" "$work/later"; then
  echo "same_output: the same ($(ls "$work/later" | wc -l) files compared: logs, errors, exit statuses, reports, trees)"
else
  echo "same_output: the builds differ (above: < $earlier, > $later)"
  exit 1
fi
