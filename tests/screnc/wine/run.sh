#!/usr/bin/env bash
# screnc.exe (build-windows/bin) under Wine against the Linux build (build/bin/screnc):
# the same arguments, in Windows form for the one and POSIX form for the other, must give
# the same exit status and byte-identical output. Checks every page of the shared
# vectors (also against the real encoder's output; skipped when the folder is absent),
# a few hundred random pages in every kind, encoding and switch set, names with blanks
# and non-ASCII letters, backslash and slash paths with drive letters (Wine maps Z: to
# /) and the \\?\ prefix, long names, an existing destination replaced, the stderr line
# of a failure under /s, the serving mode (--serve), and that a process killed while
# writing leaves nothing.
#
# Wine runs headless in its own prefix under build-windows/, with a wineserver that this
# script starts and ends. Ends with "wine: N passed, M failed".
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
exe=$root/build-windows/bin/screnc.exe
lin=$root/build/bin/screnc
vectors=${SCRENC_VECTORS:-$root/../shared/screnc-vectors}
pages=${WINE_PAGES:-400}
work=$root/build-windows/wine-test

for f in "$exe" "$lin"; do
  [ -x "$f" ] || { echo "wine: $f is missing (make windows build)" >&2; exit 1; }
done
label="wine"
. "$root/tests/wine/prefix.sh"

rm -rf "$work"
mkdir -p "$work"


# win ARGS...: screnc.exe with stdout to $work/out.txt and stderr to $work/err.txt;
# the exit status in $status.
win() { status=0; "$wine" "$exe" "$@" >"$work/out.txt" 2>"$work/err.txt" || status=$?; }
linux() { lstatus=0; "$lin" "$@" >/dev/null 2>&1 || lstatus=$?; }

# same WHAT FILE_A FILE_B: the two outputs are byte for byte the same (or both missing).
same() {
  if [ ! -e "$2" ] && [ ! -e "$3" ]; then pass; return; fi
  if cmp -s "$2" "$3"; then pass; else fail "$1: $2 and $3 differ"; fi
}

# Every file of the vectors with each side, then against the real encoder's output.
if [ -d "$vectors" ]; then
  mkdir -p "$work/vec-linux" "$work/vec-win"
  for f in "$vectors"/*; do
    name=$(basename "$f")
    case "$name" in
      *.asp) ext=asp ;; *.htm) ext=htm ;; *.vbe) ext=vbs ;; *.js|*.jse|*.plain) ext=js ;; *) continue ;;
    esac
    linux /s /e $ext "$f" "$work/vec-linux/$name"
    win /s /e $ext "$(winpath "$f")" "$(winpath "$work/vec-win/$name")"
    [ "$status" = "$lstatus" ] && pass || fail "vector $name: exit $status, Linux $lstatus"
    same "vector $name" "$work/vec-linux/$name" "$work/vec-win/$name"
  done
  while IFS=$'\t' read -r source expected switches; do
    # shellcheck disable=SC2086
    win /s $switches "$(winpath "$vectors/$source")" "$(winpath "$work/vec-win/real-$expected")"
    same "real output $expected" "$vectors/$expected" "$work/vec-win/real-$expected"
  done < <(python3 - "$vectors/manifest.json" <<'PY'
import json, sys
for v in json.load(open(sys.argv[1]))['vectors']:
    if 'source' in v:
        sw = ['/xl'] if v.get('xl') else []
        sw += ['/nl', 'crlf'] if v.get('newline') == '\r\n' else []
        print('\t'.join([v['source'], v['file'], ' '.join(sw)]))
PY
  )
else
  echo "wine: no vectors at $vectors, skipped"
fi

# Random pages, one call per kind and switch set (the wildcard path), on both sides.
python3 "$(dirname "$0")/gen_pages.py" "$work/pages" "$pages" 20240607
set_no=0
for switches in "" "/xl /l JScript" "/nl crlf /cp 1252" "/e asp /xl"; do
  set_no=$((set_no + 1))
  for kind in js vbs asp htm; do
    outl=$work/pages-linux-$set_no/$kind outw=$work/pages-win-$set_no/$kind
    mkdir -p "$outl" "$outw"
    # shellcheck disable=SC2086
    linux /s $switches "$work/pages/*.$kind" "$outl"
    # shellcheck disable=SC2086
    win /s $switches "$(winpath "$work/pages")\\*.$kind" "$(winpath "$outw")"
    [ "$status" = "$lstatus" ] && pass || fail "pages *.$kind [$switches]: exit $status, Linux $lstatus"
    for f in "$work/pages"/*."$kind"; do
      same "page $(basename "$f") [$switches]" "$outl/$(basename "$f")" "$outw/$(basename "$f")"
    done
  done
done

# Names and path spellings: each through Wine, compared with the Linux output.
names=$work/names
mkdir -p "$names/dir with blanks/中文" "$names/out" "$names/linux"
printf '<%% Response.Write "x" %%>\r\n\x1a' > "$names/dir with blanks/中文/a b.asp"
printf 'var s = "中文";\r\n' > "$names/dir with blanks/中文.js"
printf '<script>x()</script>\r\n' > "$names/dir with blanks/ä ö ü.htm"
printf '<%% y %%>' > "$names/dir with blanks/$(printf 'n%.0s' $(seq 251)).asp"
printf '<%% z %%>' > "$names/dir with blanks/$(printf '名%.0s' $(seq 80)).asp"
for src in "中文/a b.asp" "中文.js" "ä ö ü.htm" "$(printf 'n%.0s' $(seq 251)).asp" "$(printf '名%.0s' $(seq 80)).asp"; do
  from="$names/dir with blanks/$src" name=$(basename "$src")
  linux /s "$from" "$names/linux/$name"
  back=$(winpath "$from") slash="z:${from}" out=$(winpath "$names/out/$name")
  for spelling in "$back" "$slash" "${back/Z:/z:}" "\\\\?\\$back"; do
    rm -f "$names/out/$name"
    win /s "$spelling" "$out"
    [ "$status" = 0 ] && pass || fail "name $spelling: exit $status: $(cat "$work/err.txt")"
    same "name $spelling" "$names/linux/$name" "$names/out/$name"
  done
done

# An existing destination is replaced, in place too; nothing else is left in the folder.
rep=$work/replace
mkdir -p "$rep"
printf '<%% a %%>\r\n' > "$rep/src.asp"
printf 'OLD' > "$rep/dst.asp"
linux /s "$rep/src.asp" "$rep/linux.asp"
win /s "$(winpath "$rep/src.asp")" "$(winpath "$rep/dst.asp")"
same "existing destination replaced" "$rep/linux.asp" "$rep/dst.asp"
cp "$rep/src.asp" "$rep/inplace.asp"
win /s /f "$(winpath "$rep/inplace.asp")"
same "in place" "$rep/linux.asp" "$rep/inplace.asp"
# Pages larger than the piece the encoder reads at a time (read in pieces, written as they
# go): encoded, in place too, and decoded again; one turns out not to be UTF-8 near its end
# after a block with a non-ASCII letter, one is refused there (BOM, then a stray byte).
big=$work/big
mkdir -p "$big"
python3 - "$big" <<'PY'
import sys
rows = ''.join('<tr><td><%%= rs("n%d") %%></td><td>Caf\u00e9</td></tr>\r\n' % i for i in range(20000)).encode()
pages = {'rows.asp': rows, 'block.asp': rows + b'<% x = "' + b'q' * (3 << 20) + b'" %>' + rows,
         'late.asp': '<% a = "\u00e9" %>'.encode() + rows + b'\xe9', 'refused.asp': b'\xef\xbb\xbf' + rows + b'\xff'}
for name, data in pages.items():
    open(sys.argv[1] + '/' + name, 'wb').write(data)
PY
for f in "$big"/*.asp; do
  n=$(basename "$f" .asp)
  linux /s "$f" "$big/$n.linux"
  win /s "$(winpath "$f")" "$(winpath "$big/$n.win")"
  [ "$status" = "$lstatus" ] && pass || fail "large page $n: exit $status, Linux $lstatus"
  same "large page $n" "$big/$n.linux" "$big/$n.win"
  [ -e "$big/$n.linux" ] || continue
  linux --decode "$big/$n.linux" "$big/$n.back-linux"
  win --decode "$(winpath "$big/$n.win")" "$(winpath "$big/$n.back-win")"
  same "large page $n decoded" "$big/$n.back-linux" "$big/$n.back-win"
done
cp "$big/block.asp" "$big/inplace.asp"
win /s /f "$(winpath "$big/inplace.asp")"
same "large page in place" "$big/block.linux" "$big/inplace.asp"
win /s "$(winpath "$rep/src.asp")" "$(winpath "$rep")"'\'
[ "$status" = 255 ] && pass || fail "a folder as destination: exit $status"
leftover=$(find "$work" -name '*.screnc-*' | head -n 3)
[ -z "$leftover" ] && pass || fail "temporary files left: $leftover"

# The one stderr line of a failure, also under /s; the same file refused, by its name in
# another case or by its identity (a hard link).
win /s "$(winpath "$rep/src.asp")" "$(winpath "$rep/nofolder/x.asp")"
line=$(tr -d '\r' < "$work/err.txt")
expect="screnc: cannot write '$(winpath "$rep/nofolder/x.asp")': "
[[ "$line" == "$expect"* ]] && [ ! -s "$work/out.txt" ] && pass || fail "stderr line: '$line'"
ln "$rep/src.asp" "$rep/hard link.asp"
for other in "$rep/SRC.ASP" "$rep/hard link.asp"; do
  win "$(winpath "$rep/src.asp")" "$(winpath "$other")"
  grep -q "Source and destination are the same" "$work/out.txt" && [ "$status" = 255 ] && pass ||
    fail "same file refused: $other"
done

# A device as destination (NUL, also as \\.\NUL) is written into, never replaced.
for device in NUL '\\.\NUL'; do
  win /s "$(winpath "$rep/src.asp")" "$device"
  [ "$status" = 0 ] && pass || fail "$device as destination: exit $status: $(cat "$work/err.txt")"
done
# Asked with nothing on its input, as a run asks whether it serves: the greeting alone.
greeting=$("$wine" "$exe" --serve </dev/null 2>/dev/null | tr -d '\r') && [ "$greeting" = "screnc-serve 1" ] &&
  pass || fail "serve with nothing to read: '$greeting'"

# The serving mode: the handshake, then one request that succeeds (its output the same
# as the Linux build's) and one that fails (status 255 and its stderr line), in one process.
srv=$work/serve
mkdir -p "$srv"
printf '<%% Response.Write "s" %%>\r\n<script>x()</script>\r\n' > "$srv/page.asp"
linux /s "$srv/page.asp" "$srv/linux.asp"
serve_result=$(python3 - "$wine" "$exe" "$(winpath "$srv/page.asp")" "$(winpath "$srv/win.asp")" \
  "$(winpath "$srv/missing.asp")" "$(winpath "$srv/never.asp")" <<'PY'
import struct, subprocess, sys
wine, exe, page, out, missing, never = sys.argv[1:]
p = subprocess.Popen([wine, exe, "--serve"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
def ask(*args):
    req = struct.pack("<I", len(args))
    for a in args:
        b = a.encode()
        req += struct.pack("<I", len(b)) + b
    p.stdin.write(req)
    p.stdin.flush()
    status, n = struct.unpack("<II", p.stdout.read(8))
    return status, p.stdout.read(n).decode(errors="replace")
p.stdin.write(b"screnc-serve 1\n")
p.stdin.flush()
hello = p.stdout.read(15)
ok_status, ok_text = ask("/s", page, out)
bad_status, bad_text = ask("/s", missing, never)
p.stdin.close()
code = p.wait()
good = (hello == b"screnc-serve 1\n" and ok_status == 0 and ok_text == "" and
        bad_status == 255 and bad_text.startswith("screnc: cannot read '%s': " % missing) and
        code == 0)
print("ok" if good else "hello=%r ok=%r %r bad=%r %r exit=%r" %
      (hello, ok_status, ok_text, bad_status, bad_text, code))
PY
)
[ "$serve_result" = ok ] && pass || fail "serve: $serve_result"
same "serve output" "$srv/linux.asp" "$srv/win.asp"
[ -e "$srv/win.asp" ] && pass || fail "serve: no output written"

# Killed while writing a large page: the temporary file is gone with the process.
kill_dir=$work/kill
mkdir -p "$kill_dir/out"
python3 -c "import sys; sys.stdout.write('<tr><td><%= rs(\"n\") %></td></tr>\r\n' * 3000000)" > "$kill_dir/big.asp"
"$wine" "$exe" /s "$(winpath "$kill_dir/big.asp")" "$(winpath "$kill_dir/out/big.asp")" &
pid=$!
for _ in $(seq 2000); do [ -n "$(ls -A "$kill_dir/out")" ] && break; sleep 0.005; done
kill -9 "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
for _ in $(seq 400); do [ -z "$(ls -A "$kill_dir/out")" ] && break; sleep 0.005; done
left=$(ls -A "$kill_dir/out")
[ -z "$left" ] || [ "$left" = big.asp ] && pass || fail "killed run left: $left"

echo "wine: took $(seconds "$t0") s"
echo "wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
