#!/usr/bin/env bash
# The window model's tests (build-windows/tests/window_model_tests.exe) under Wine: the
# rules both faces share, on Windows paths, the Windows halves of the folder and
# environment look-ups and the registry's System Info lookup. Ends with
# "window wine: N passed, M failed".
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
exe=$root/build-windows/tests/window_model_tests.exe
[ -f "$exe" ] || { echo "window wine: $exe is missing (make windows)" >&2; exit 1; }
label="window wine"
. "$root/tests/wine/prefix.sh"

out=$root/build-windows/wine-window-tests.txt
status=0
# A temporary folder of Wine's own (its C: drive), not the host's.
"$wine" "$exe" >"$out" 2>&1 || status=$?
grep -E "^(FAIL|.*FAIL in)" "$out" >&2 || true
passed=$(grep -c '^PASS ' "$out" || true)
failed=$(grep -c '^FAIL ' "$out" || true)
[ "$status" = 0 ] || [ "$failed" -gt 0 ] || failed=1
echo "window wine: $passed passed, $failed failed in $(seconds "$t0") s"
[ "$failed" = 0 ]
