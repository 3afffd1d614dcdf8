#!/usr/bin/env bash
# Speed of screnc: encoding a 100 MB ASP-like page against `cat` of the same file, the
# start-up time of one process, and N small files through one `screnc --serve` against
# one process per file. Needs hyperfine and a built build/bin/screnc.
#   bench/screnc/run.sh [SCRENC] [MEGABYTES] [SMALL_FILES]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
screnc=${1:-$here/../../build/bin/screnc}
megabytes=${2:-100}
small_files=${3:-2000}
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

# The encoder alone, in memory, without the file system's share.
core=$here/../../build/screnc/libscrenc_core.a
if [ -f "$core" ] && command -v c++ >/dev/null; then
  c++ -std=c++20 -O2 -I"$here/../../screnc" "$here/encode_loop.cpp" "$core" -o "$work/encode_loop"
  echo -n "in memory: "
  "$work/encode_loop" "$page" 10
fi

# N small pages: one process each, then all through one server (same output checked).
python3 - "$screnc" "$work/small" "$small_files" <<'PY'
import os, struct, subprocess, sys, time
screnc, folder, n = sys.argv[1], sys.argv[2], int(sys.argv[3])
os.makedirs(f"{folder}/src")
os.makedirs(f"{folder}/per-process")
os.makedirs(f"{folder}/served")
page = b'<%@ LANGUAGE = VBScript %>\r\n<p><%= Now() %></p>\r\n<% x = x + 1 %>\r\n' * 20
for i in range(n):
    with open(f"{folder}/src/p{i}.asp", "wb") as f:
        f.write(page)
t0 = time.perf_counter()
for i in range(n):
    subprocess.run([screnc, "/s", f"{folder}/src/p{i}.asp", f"{folder}/per-process/p{i}.asp"],
                   check=True)
per_process = time.perf_counter() - t0
t0 = time.perf_counter()
srv = subprocess.Popen([screnc, "--serve"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
srv.stdin.write(b"screnc-serve 1\n")
srv.stdin.flush()
assert srv.stdout.read(15) == b"screnc-serve 1\n"
for i in range(n):
    args = [b"/s", f"{folder}/src/p{i}.asp".encode(), f"{folder}/served/p{i}.asp".encode()]
    srv.stdin.write(struct.pack("<I", len(args)) +
                    b"".join(struct.pack("<I", len(a)) + a for a in args))
    srv.stdin.flush()
    status, size = struct.unpack("<II", srv.stdout.read(8))
    srv.stdout.read(size)
    assert status == 0, status
srv.stdin.close()
srv.wait()
served = time.perf_counter() - t0
for i in range(n):
    a = open(f"{folder}/per-process/p{i}.asp", "rb").read()
    b = open(f"{folder}/served/p{i}.asp", "rb").read()
    assert a == b, f"p{i}.asp differs"
print(f"{n} small files: one process each {per_process*1000:.0f} ms "
      f"({per_process/n*1e6:.0f} us a file), one server {served*1000:.0f} ms "
      f"({served/n*1e6:.0f} us a file): {per_process/served:.1f}x")
PY
