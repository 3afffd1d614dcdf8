#!/usr/bin/env bash
# `make run`: encodes the sample site into build/out with the console front end.
set -euo pipefail
site=${SITE:-examples/site}
out=${OUT:-build/out}
mkdir -p "$out"
status=0
./build/bin/quillward-batch --set chkASP=1 --set chkHTML=1 --set chkJS=1 --set Check2=1 \
  "$site" "$out" || status=$?
echo "The encoded copy of $site is in $(cd "$out" && pwd)"
exit $status
