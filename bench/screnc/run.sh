#!/usr/bin/env bash
# Speed of screnc: encoding a 100 MB ASP-like page against `cat` of the same file, and
# the start-up time of one process. Needs hyperfine and a built build/bin/screnc.
#   bench/screnc/run.sh [SCRENC] [MEGABYTES]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
screnc=${1:-$here/../../build/bin/screnc}
megabytes=${2:-100}
[ -x "$screnc" ] || { echo "bench: $screnc is not built (make build)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
page=$work/page.asp
python3 "$here/gen_page.py" "$page" "$megabytes"
printf '<%% x = 1 %%>\r\n' > "$work/tiny.asp"
bytes=$(stat -c %s "$page")

hyperfine --style basic --warmup 1 --runs 5 --export-json "$work/big.json" \
  -n cat "cat '$page' > '$work/cat.out'" \
  -n screnc "'$screnc' /s '$page' '$work/enc.asp'"
hyperfine --style basic -N --warmup 20 --runs 300 --export-json "$work/start.json" \
  -n "screnc, one small file" "$screnc /s $work/tiny.asp $work/tiny.out.asp"

python3 - "$work/big.json" "$work/start.json" "$bytes" <<'PY'
import json, sys
big = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
start = json.load(open(sys.argv[2]))["results"][0]
mb = int(sys.argv[3]) / 1e6
for name in ("cat", "screnc"):
    t = big[name]["median"]
    print(f"{name:7s} {mb:.0f} MB in {t*1000:.0f} ms: {mb/t:.0f} MB/s")
print(f"start-up (encode one small file): median {start['median']*1000:.2f} ms, "
      f"mean {start['mean']*1000:.2f} ms")
PY
