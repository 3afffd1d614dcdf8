#!/usr/bin/env bash
# quillward-batch.exe (build-windows/bin) under Wine against the Linux build (build/bin):
#  - runs of a copy of examples/site (plus folders and pages with blanks and non-ASCII
#    letters) with several option sets, each giving the same log and a destination tree
#    equal byte for byte to the Linux run's with the same options (with screnc.exe; when
#    it is not built, the encoding comparison is skipped and said so);
#  - the registry store: values written with `reg add` under HKCU\Software\VB and VBA
#    Program Settings\Quillward\Settings are read (names in any case, REG_SZ and
#    REG_DWORD), --set overrides them, and a run writes nothing there;
#  - a shell registration for .htm that the rules do not know, which must not let HTML
#    out plain;
#  - refusals of identical and nested folders spelled the Windows ways (letter case,
#    trailing backslash, \\?\ prefix, forward slashes, . and ..);
#  - the run's safety on Windows: a missing encoder refused before anything is written,
#    each way an encoder can fail leaving no file, the time limit, Ctrl-C, exit statuses.
#
# Wine runs headless in its own prefix under build-windows/, with a wineserver that this
# script starts and ends. Ends with "wine batch: N passed, M failed" and the time taken.
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
winbin=$root/build-windows/bin
fake=$root/build-windows/tests/fake-screnc.exe
lin=$root/build/bin
work=$root/build-windows/wine-batch-test

for f in "$winbin/quillward-batch.exe" "$fake" "$lin/quillward-batch" "$lin/screnc"; do
  [ -x "$f" ] || { echo "wine batch: $f is missing (make windows; make build)" >&2; exit 1; }
done
label="wine batch"
. "$root/tests/wine/prefix.sh"

rm -rf "$work"
mkdir -p "$work"
check() { if eval "$2"; then pass; else fail "$1"; fi; }

# A Windows log as the Linux one reads: no CR, Z:\ paths as POSIX paths.
as_linux() { tr -d '\r' < "$1" | sed -e 's|Z:\\|/|g' -e 's|\\|/|g'; }

key='HKCU\Software\VB and VBA Program Settings\Quillward'
reg() { "$wine" reg "$@" >/dev/null 2>&1; }
reg delete "$key" /f || true

# Each program in a folder of its own, as installed: the Windows one beside screnc.exe
# (or the stand-in), the Linux one beside screnc.
app=$work/app app_fake=$work/app-fake app_none=$work/app-none
mkdir -p "$app" "$app_fake" "$app_none"
cp "$winbin/quillward-batch.exe" "$app/"
cp "$winbin/quillward-batch.exe" "$app_fake/"
cp "$winbin/quillward-batch.exe" "$app_none/"
cp "$fake" "$app_fake/screnc.exe"
have_screnc=0
if [ -x "$winbin/screnc.exe" ]; then
  cp "$winbin/screnc.exe" "$app/"
  have_screnc=1
else
  echo "wine batch: screnc.exe is not built: the runs are compared with the stand-in encoder, not byte for byte with the real one"
  cp "$fake" "$app/screnc.exe"
fi
export XDG_CONFIG_HOME=$work/linux-config  # the Linux side: no stored settings

# win APP ARGS...: quillward-batch.exe; stdout, stderr and exit status in $work/w.*
win() {
  local dir=$1; shift
  wstatus=0
  "$wine" "$dir/quillward-batch.exe" "$@" >"$work/w.out" 2>"$work/w.err" || wstatus=$?
}
linux() { lstatus=0; "$lin/quillward-batch" "$@" >"$work/l.out" 2>"$work/l.err" || lstatus=$?; }

# The site: the sample, and names the console and the encoder must take whole.
site="$work/my site ä"
cp -r "$root/examples/site" "$site"
mkdir -p "$site/dir with blanks/中文"
printf '<%% Response.Write "a b" %%>\r\n' > "$site/dir with blanks/中文/a b.asp"
printf '<script>var s = "ä ö ü";</script>\r\n' > "$site/dir with blanks/ä ö ü.htm"
printf 'var s = "中文";\r\n' > "$site/dir with blanks/中文.js"
printf '<%% Const X = 1 %%>\r\n' > "$site/dir with blanks/Straße.INC"
printf 'plain' > "$site/dir with blanks/ÄPFEL.txt"
printf 'plain' > "$site/dir with blanks/apfel.txt"

# compare NAME WINARGS -- LINUXARGS: the same log and tree from the same source.
compare() {
  local name=$1; shift
  local wargs=() largs=()
  while [ "$1" != -- ]; do wargs+=("$1"); shift; done
  shift
  largs=("$@")
  rm -rf "$work/out-w" "$work/out-l"
  win "$app" "${wargs[@]}" "$(winpath "$site")" "$(winpath "$work/out-w")"
  linux "${largs[@]}" "$site" "$work/out-l"
  check "$name: exit $wstatus, Linux $lstatus: $(tr -d '\r' < "$work/w.out" | grep ' - ' | head -3)" \
    '[ "$wstatus" = "$lstatus" ]'
  as_linux "$work/w.out" | sed "s|$work/out-w|$work/out-l|g" > "$work/w.log"
  check "$name: logs differ: $(diff "$work/w.log" "$work/l.out" | head -5)" 'cmp -s "$work/w.log" "$work/l.out"'
  if [ "$have_screnc" = 1 ]; then
    check "$name: trees differ: $(diff -r "$work/out-w" "$work/out-l" 2>&1 | head -5)" 'diff -r "$work/out-w" "$work/out-l" >/dev/null'
  fi
}

all=(--set chkASP=1 --set chkHTML=1 --set chkJS=1 --set Check2=1)
compare "every kind on" "${all[@]}" -- "${all[@]}"
compare "defaults" -- 
compare "includes, JScript, no directive" --set 'txtDefxt=*.inc *.txt' --set Combo1=JScript --set chkLangDirect=1 --set chkASP=1 \
  -- --set 'txtDefxt=*.inc *.txt' --set Combo1=JScript --set chkLangDirect=1 --set chkASP=1

# The registry store: what the classic program saved is read, in any letter case.
reg add "$key\\Settings" /v chkASP /t REG_SZ /d 1 /f
reg add "$key\\Settings" /v CHECK2 /t REG_SZ /d 1 /f
reg add "$key\\Settings" /v chkJS /t REG_DWORD /d 1 /f
reg add "$key\\Settings" /v txtDefxt /t REG_SZ /d '*.inc *.txt' /f
"$wine" reg query "$key" /s > "$work/reg-before.txt" 2>&1
compare "settings from the registry" -- --set chkASP=1 --set Check2=1 --set chkJS=1 --set 'txtDefxt=*.inc *.txt'
compare "--set over the registry" --set chkasp=0 --set TXTDEFXT=*.inc -- --set Check2=1 --set chkJS=1
"$wine" reg query "$key" /s > "$work/reg-after.txt" 2>&1
check "a run wrote to the registry: $(diff "$work/reg-before.txt" "$work/reg-after.txt")" \
  'cmp -s "$work/reg-before.txt" "$work/reg-after.txt"'
check "registry values not listed" 'grep -q "txtDefxt" "$work/reg-after.txt"'
reg delete "$key" /f || true

# A browser's name for .htm is not one the rules know: HTML is encoded all the same.
reg add 'HKCR\.htm' /ve /d BrowserHTML /f
reg add 'HKCR\BrowserHTML' /ve /d 'Browser HTML Document' /f
compare "an unknown shell name for .htm" --set chkHTML=1 -- --set chkHTML=1
reg delete 'HKCR\.htm' /f || true
reg delete 'HKCR\BrowserHTML' /f || true

# Refusals: one folder, or one inside the other, however Windows lets it be spelled.
src=$(winpath "$site")
upper=$(printf '%s' "$src" | tr 'a-z' 'A-Z')
same="Source and Destination Paths can not be the same!"
dest_in="Destination Path can not be inside the Source Path!"
src_in="Source Path can not be inside the Destination Path!"
while IFS='|' read -r destination message; do
  win "$app" --set chkASP=1 "$src" "$destination"
  check "refusal of $destination: exit $wstatus" '[ "$wstatus" = 2 ]'
  check "refusal of $destination: $(cat "$work/w.err")" 'grep -qF "Source Encode: $message" "$work/w.err"'
  check "refusal of $destination: wrote $(ls "$site" | grep -i deploy || true)" '! ls "$site" | grep -qi deploy'
done <<EOF
$upper|$same
$src\\|$same
\\\\?\\$src|$same
$src\\.\\dir with blanks\\..|$same
$src\\deploy|$dest_in
$upper\\DEPLOY\\new|$dest_in
\\\\?\\$upper\\deploy|$dest_in
${src//\\//}/deploy|$dest_in
$(winpath "$work")|$src_in
EOF

# The same run with both folders spelled \\?\: the same tree as the Linux run's.
rm -rf "$work/out-w" "$work/out-l"
win "$app" "${all[@]}" "\\\\?\\$src" "\\\\?\\$(winpath "$work/out-w")"
linux "${all[@]}" "$site" "$work/out-l"
check "\\\\?\\ spelling: exit $wstatus: $(tr -d '\r' < "$work/w.out" | grep ' - ' | head -3)" '[ "$wstatus" = 0 ]'
if [ "$have_screnc" = 1 ]; then
  check "\\\\?\\ spelling: trees differ: $(diff -r "$work/out-w" "$work/out-l" 2>&1 | head -3)" \
    'diff -r "$work/out-w" "$work/out-l" >/dev/null'
fi

# Links already in the destination that lead into the source: Wine shows the host's
# links to folders as links that its own calls then follow, and links to files as
# files. Whatever they are taken for, nothing in the source is written or removed.
links=$work/links
mkdir -p "$links/site/sub" "$links/site/empty" "$links/out"
printf '<%% page %%>' > "$links/site/page.inc"
printf 'gif' > "$links/site/logo.gif"
printf '<%% inner %%>' > "$links/site/sub/inner.inc"
ln "$links/site/page.inc" "$links/site/hard.inc"
ln -s "$links/site/page.inc" "$links/out/page.inc"
ln -s "$links/site/logo.gif" "$links/out/logo.gif"
ln "$links/site/hard.inc" "$links/out/hard.inc"
ln -s "$links/site" "$links/out/sub"
ln -s "$links/site/empty" "$links/out/empty"
tree_of() { (cd "$1" && find . | sort && find . -type f -exec md5sum {} + | sort); }
tree_of "$links/site" > "$work/links-before.txt"
win "$app" "$(winpath "$links/site")" "$(winpath "$links/out")"
tree_of "$links/site" > "$work/links-after.txt"
check "links in the destination: the source changed: $(diff "$work/links-before.txt" "$work/links-after.txt" | head -3)" \
  'cmp -s "$work/links-before.txt" "$work/links-after.txt"'
# Only the two links to folders fail; the hard link of a page the other worker encodes
# is replaced once the encoder lets go of it.
check "links in the destination: $(grep -c ' - ' "$work/w.out") failed: $(tr -d '\r' < "$work/w.out" | grep ' - ' | head -3)" \
  '[ -f "$links/out/page.inc" ] && [ ! -L "$links/out/page.inc" ] && [ ! -L "$links/out/logo.gif" ] && [ "$(grep -c " - " "$work/w.out")" = 2 ]'

# A missing encoder is found before anything is written.
win "$app_none" "$src" "$(winpath "$work/none")"
check "missing encoder: exit $wstatus" '[ "$wstatus" = 2 ]'
check "missing encoder: $(cat "$work/w.err")" \
  'grep -qF "The encoder cannot be started: $(winpath "$app_none")\\screnc.exe - " "$work/w.err"'
check "missing encoder: the destination was made" '[ ! -e "$work/none" ]'

# Each way the encoder can fail: the page fails, nothing is left in its place, the walk
# goes on, the exit status is 1.
small=$work/small
mkdir -p "$small"
printf '<%% a %%>' > "$small/a.inc"
printf 'b' > "$small/b.txt"
while IFS='|' read -r mode stale extra reason; do
  rm -rf "$work/out-f"
  mkdir -p "$work/out-f"
  [ "$stale" = stale ] && printf 'from an earlier run' > "$work/out-f/a.inc"
  QW_FAKE_MODE=$mode win "$app_fake" $extra "$(winpath "$small")" "$(winpath "$work/out-f")"
  as_linux "$work/w.out" > "$work/w.log"
  check "encoder $mode: exit $wstatus" '[ "$wstatus" = 1 ]'
  check "encoder $mode: $(sed -n 2p "$work/w.log")" '[ "$(sed -n 2p "$work/w.log")" = "$small/a.inc - $reason" ]'
  check "encoder $mode: a.inc left" '[ ! -e "$work/out-f/a.inc" ]'
  check "encoder $mode: $(tail -n 1 "$work/w.log")" \
    '[ "$(tail -n 1 "$work/w.log")" = "Done: 2 files, 1 failed" ] && [ -f "$work/out-f/b.txt" ]'
done <<'EOF'
exit:3|new||encoder exit code 3
exit:3|stale||encoder exit code 3; the earlier output was removed
nooutput|new||encoder wrote no output
nooutput|stale||encoder left the earlier output unchanged; the earlier output was removed
empty|new||encoder wrote an empty file
stderr:cannot write the file|new||encoder exit code 1: screnc: cannot write the file
hang|stale|--timeout 1|encoder timed out after 1 s; the earlier output was removed
EOF
check "an encoder outlived its time limit" '! pgrep -f "app-fake.screnc.exe" >/dev/null'

# Ctrl-C (Wine makes a SIGINT one) while the encoder hangs: the file is given up after
# the grace time, the walk stops, 130. A second Ctrl-C ends the program at once, and its
# encoder with it. (timeout --foreground: the signal reaches the program once.)
for presses in 1 2; do
  rm -rf "$work/out-c" "$work/pid"
  QW_FAKE_MODE=hang QW_FAKE_PID=$(winpath "$work/pid") \
    timeout --foreground 60 "$wine" "$app_fake/quillward-batch.exe" --jobs 1 "$(winpath "$small")" "$(winpath "$work/out-c")" \
    >"$work/w.out" 2>"$work/w.err" &
  run=$!
  for _ in $(seq 600); do [ -s "$work/pid" ] && break; sleep 0.05; done
  kill -INT "$run"
  if [ "$presses" = 2 ]; then
    for _ in $(seq 200); do grep -q "stopping" "$work/w.err" && break; sleep 0.05; done
    kill -INT "$run"
  fi
  cstatus=0
  wait "$run" || cstatus=$?
  last=$(tr -d '\r' < "$work/w.out" | tail -n 1)
  if [ "$presses" = 1 ]; then
    check "Ctrl-C: exit $cstatus" '[ "$cstatus" = 130 ]'
    check "Ctrl-C: $last" '[ "$last" = "Stopped: 1 files, 1 failed" ]'
    check "Ctrl-C: $(cat "$work/w.err")" 'grep -q "stopping after the current file" "$work/w.err"'
  else
    # The second press may land after the grace time has already ended the file: then
    # the run has stopped on its own. Either way the program ends with 130.
    check "Ctrl-C twice: exit $cstatus, $last" '[ "$cstatus" = 130 ]'
  fi
  check "Ctrl-C x$presses: an encoder is left" '! pgrep -f "app-fake.screnc.exe" >/dev/null'
  check "Ctrl-C x$presses: a.inc left" '[ ! -e "$work/out-c/a.inc" ]'
done

# Arguments: help, refused ones.
# Re-deploys on Windows: the manifest in the local application data folder, a re-run that
# finds everything unchanged, a dry run that writes nothing, removal of only what the
# tool wrote, and a report the schema accepts.
redeploy=$work/redeploy
mkdir -p "$redeploy"
cp -r "$root/examples/site" "$redeploy/site"
rsite=$(winpath "$redeploy/site") rout=$(winpath "$redeploy/out")
last_line() { tr -d '\r' < "$work/w.out" | tail -n 1; }
win "$app" "${all[@]}" --changed "$rsite" "$rout"
check "--changed, first run: exit $wstatus, $(last_line)" '[ "$wstatus" = 0 ]'
win "$app" "${all[@]}" --changed "$rsite" "$rout"
check "--changed again: $(last_line)" 'last_line | grep -qE "^Done: 0 files, 0 failed, [0-9]+ unchanged$"'
check "--changed: no manifest under AppData\\Local\\Quillward" \
  'find "$WINEPREFIX/drive_c/users" -path "*/AppData/Local/Quillward/manifests/*" -type f | grep -q .'
rm "$redeploy/site/contact.asp"
printf 'server' > "$redeploy/out/web.config"
tree_of "$redeploy/out" > "$work/rd-before.txt"
win "$app" "${all[@]}" --changed --delete --dry-run "$rsite" "$rout"
tree_of "$redeploy/out" > "$work/rd-after.txt"
check "--dry-run --delete: $(last_line)" 'tr -d "\r" < "$work/w.out" | grep -q "contact.asp - would delete$"'
check "--dry-run wrote: $(diff "$work/rd-before.txt" "$work/rd-after.txt" | head -3)" \
  'cmp -s "$work/rd-before.txt" "$work/rd-after.txt"'
win "$app" "${all[@]}" --changed --delete --report "$(winpath "$redeploy/report.json")" "$rsite" "$rout"
check "--delete: exit $wstatus, $(last_line)" \
  '[ "$wstatus" = 0 ] && [ ! -e "$redeploy/out/contact.asp" ] && [ -f "$redeploy/out/web.config" ]'
check "--report: $(python3 "$root/tests/batch/check_report.py" "$root/docs/report.schema.json" "$redeploy/report.json" 2>&1 | head -3)" \
  'python3 "$root/tests/batch/check_report.py" "$root/docs/report.schema.json" "$redeploy/report.json"'

# A report onto the null device is written into it: the run ends well, nothing left beside.
win "$app" "${all[@]}" --report NUL "$rsite" "$(winpath "$redeploy/out-nul")"
check "--report NUL: exit $wstatus, $(tr -d '\r' < "$work/w.err" | head -2)" '[ "$wstatus" = 0 ] && [ ! -s "$work/w.err" ]'

win "$app" --help
check "--help: exit $wstatus" '[ "$wstatus" = 0 ] && grep -q "Usage: quillward-batch" "$work/w.out"'
win "$app" --set chkXYZ=1 a b
check "unknown key: exit $wstatus" '[ "$wstatus" = 2 ] && grep -q "unknown settings key" "$work/w.err"'
win "$app" "$src"
check "one path: exit $wstatus" '[ "$wstatus" = 2 ] && grep -q "expected SOURCE and DESTINATION" "$work/w.err"'

echo "wine batch: took $(seconds "$t0") s"
echo "wine batch: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
