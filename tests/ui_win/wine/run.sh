#!/usr/bin/env bash
# quillward.exe (build-windows/bin) under Wine, Xvfb and openbox, driven by real X input
# (xdotool); qw-probe.exe finds controls by name and reads their text, as an
# accessibility tool would.
#  - `quillward.exe SRC DST`, the splash closed by a key, Alt+S: the destination equals,
#    byte for byte, the Linux quillward-batch run's with the same settings;
#  - with an encoder that hangs on one page: Stop by a mouse press held 100 ms, by Space
#    and by Alt+T ends the run within that file, and the encoder with it;
#  - the close box (Alt+F4 through the window manager) during a run asks "Cancel current
#    Action?": No goes on, Yes stops and closes;
#  - Options by keys alone: what OK stores `reg query` shows; Cancel stores nothing;
#  - screenshots of the main window, Options, About and the splash at 96 and 144 dpi
#    (Wine's LogPixels), in build-windows/wine-ui-test/shots/;
#  - the installer: msiexec /i /qn, the installed programs run the sample site, the
#    shortcut, an upgrade from an older build that keeps the settings and leaves one
#    entry, msiexec /x /qn that leaves no program file.
# Own prefix (build-windows/wine-prefix-ui), own X server and wineserver, both ended at
# the end. Ends with "wine window: N passed, M failed" and the time taken.
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
winbin=$root/build-windows/bin
probe_exe=$root/build-windows/tests/qw-probe.exe
fake=$root/build-windows/tests/fake-screnc.exe
lin=$root/build/bin
work=$root/build-windows/wine-ui-test
label="wine window"

for f in "$winbin/quillward.exe" "$winbin/screnc.exe" "$winbin/quillward-batch.exe" "$probe_exe" "$fake" \
         "$lin/quillward-batch" "$lin/screnc"; do
  [ -x "$f" ] || { echo "$label: $f is missing (make windows; make build)" >&2; exit 1; }
done
for tool in Xvfb openbox xdotool xwd; do
  command -v $tool >/dev/null || { echo "$label: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export WINEPREFIX=$root/build-windows/wine-prefix-ui WINEDEBUG=-all LANG=C.UTF-8 LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="
t0=$(date +%s.%N)
seconds() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'; }
passed=0 failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "$label: FAIL $*" >&2; }
check() { if eval "$2"; then pass; else fail "$1"; fi; }
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

rm -rf "$work"
mkdir -p "$work/shots"

# An X server on a free display, and a window manager on it.
xpids=()
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  for p in "${xpids[@]}"; do kill "$p" 2>/dev/null || true; done
}
trap cleanup EXIT
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$work/display" 2>/dev/null &
xpids+=($!)
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=:$(cat "$work/display")
openbox --sm-disable >/dev/null 2>&1 &
xpids+=($!)

# The prefix: a copy of the console tests' one when there is one (making a prefix takes
# about 40 s), else a new one.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  if [ -f "$root/build-windows/wine-prefix/system.reg" ]; then
    cp -a "$root/build-windows/wine-prefix" "$WINEPREFIX"
  else
    mkdir -p "$WINEPREFIX"
    "$wine" wineboot -i >/dev/null 2>&1
  fi
  echo "$label: prefix ready in $(seconds "$t0") s"
fi
"$wineserver" -p || true

reg() { "$wine" reg "$@" >/dev/null 2>&1; }
key='HKCU\Software\VB and VBA Program Settings\Quillward'
settings="$key\\Settings"
set_dpi() { reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f; }
set_dpi 96

# One qw-probe.exe for the whole test, through two FIFOs: a Wine process costs about a
# second to start, a look through the running one a few milliseconds.
mkfifo "$work/probe.in" "$work/probe.out"
"$wine" "$probe_exe" serve <"$work/probe.in" >"$work/probe.out" 2>/dev/null &
xpids+=($!)
exec 7>"$work/probe.in" 8<"$work/probe.out"
probe() {
  printf '%s\n' "$*" >&7
  local line out="" status=1
  while IFS= read -r line <&8; do
    line=${line%$'\r'}
    case $line in "status "*) status=${line#status }; break ;; esac
    out+="$line"$'\n'
  done
  printf '%s' "$out"
  return "$status"
}
# wait_for SECONDS COMMAND...: until the command succeeds; false after SECONDS.
wait_for() {
  local end
  end=$(awk -v a="$(date +%s.%N)" -v b="$1" 'BEGIN { printf "%.3f", a + b }')
  shift
  until "$@"; do
    awk -v a="$(date +%s.%N)" -v b="$end" 'BEGIN { exit !(a >= b) }' && return 1
    sleep 0.05
  done
}
main_window() { xdotool search --onlyvisible --name '(^|- )Quillward$' 2>/dev/null | head -n 1 || true; }
has_window() { [ -n "$(main_window)" ]; }
no_window() { [ -z "$(main_window)" ]; }
status_is() { probe text lblStatus | grep -q "$1"; }
window_of() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }
has_titled() { [ -n "$(window_of "$1")" ]; }
press() { xdotool key --clearmodifiers "$@" 2>/dev/null; }
# The main window active, so that keys reach it (the window manager may be slow to move
# the focus back from a window that has just closed).
is_active() { [ -n "$(main_window)" ] && [ "$(xdotool getactivewindow 2>/dev/null)" = "$(main_window)" ]; }
activate() {
  local w
  w=$(main_window)
  [ -n "$w" ] || return 1
  xdotool windowactivate "$w" 2>/dev/null || true
  wait_for 10 is_active
}
# A message box: a dialog (class #32770) titled $1, told from a main window of that title.
box_shown() { probe windows | grep -q "^#32770	$1\$"; }
box_gone() { ! box_shown "$1"; }

# Each program in a folder of its own, as installed.
app=$work/app app_fake=$work/app-fake
mkdir -p "$app" "$app_fake"
cp "$winbin/quillward.exe" "$winbin/screnc.exe" "$app/"
cp "$winbin/quillward.exe" "$app_fake/"
cp "$fake" "$app_fake/screnc.exe"

wpid=
# start APP ARGS...: quillward.exe in the background; the splash is closed by a key press
# and the main window waited for.
start() {
  local dir=$1; shift
  "$wine" "$dir/quillward.exe" "$@" >"$work/window.out" 2>&1 &
  wpid=$!
  if wait_for 30 has_titled ""; then :; fi
  wait_for 30 has_window || { fail "the main window did not appear: $(cat "$work/window.out")"; return 1; }
  activate || fail "the main window did not become active"
}
# Waits for the program to end (at most 30 s).
ended() { ! kill -0 "$wpid" 2>/dev/null; }
close_window() {
  if has_window; then
    activate || true
    press alt+F4
  fi
  wait_for 30 ended || { fail "quillward.exe did not end"; kill "$wpid" 2>/dev/null || true; }
  wait "$wpid" 2>/dev/null || true
}

# --- The splash: closed by a key; then the window, a run by Alt+S, the Linux tree. ---
site="$work/my site"
cp -r "$root/examples/site" "$site"
reg delete "$key" /f || true
for k in chkASP chkHTML chkJS Check2; do reg add "$settings" /v $k /t REG_SZ /d 1 /f; done
reg add "$settings" /v Jobs /t REG_SZ /d 1 /f
"$wine" "$app/quillward.exe" "$(winpath "$site")" "$(winpath "$work/out-w")" >"$work/window.out" 2>&1 &
wpid=$!
splash_shown() { probe rect lblProductName >/dev/null; }
splash_gone() { ! splash_shown; }
if wait_for 30 splash_shown; then
  pass
  xwd -root -silent > "$work/shots/splash-96.xwd"
  # A click on the frame's empty part, left of the copyright line, closes it at once (the
  # splash is a tool window, which the window manager gives no keyboard focus to).
  read -r cx _ _ _ < <(probe rect lblCompanyProduct)
  read -r _ cy _ _ < <(probe rect lblCopyright)
  tk=$(date +%s.%N)
  xdotool mousemove $((cx - 60)) $((cy + 4)) click 1
  check "the splash did not close at a click" 'wait_for 1.5 splash_gone'
  echo "$label: splash closed $(seconds "$tk") s after the click"
else
  fail "no splash"
fi
wait_for 30 has_window || fail "no main window"
activate || fail "the main window did not become active"
check "the source field: $(probe text txtPath1)" '[ "$(probe text txtPath1)" = "$(winpath "$site")" ]'
check "the destination field: $(probe text txtPath2)" '[ "$(probe text txtPath2)" = "$(winpath "$work/out-w")" ]'
xwd -root -silent > "$work/shots/main-96.xwd"
tr0=$(date +%s.%N)
press alt+s
check "Alt+S: no run ended: $(probe text lblStatus)" 'wait_for 60 status_is "^Done"'
echo "$label: the sample site encoded through the window in $(seconds "$tr0") s"
probe text Text1 > "$work/log.txt"
"$lin/quillward-batch" --set chkASP=1 --set chkHTML=1 --set chkJS=1 --set Check2=1 "$site" "$work/out-l" > "$work/l.out" 2>&1 || true
check "the window's tree differs from the Linux run's: $(diff -r "$work/out-w" "$work/out-l" 2>&1 | head -3)" \
  'diff -r "$work/out-w" "$work/out-l" >/dev/null'
check "the log's last line is not the status line: $(tail -n 1 "$work/log.txt") / $(probe text lblStatus)" \
  '[ "$(tail -n 1 "$work/log.txt")" = "$(probe text lblStatus)" ]'
check "the focus is not on Start after the run" '[ "$(probe enabled Command1)" = 1 ] && [ "$(probe enabled Command2)" = 0 ]'
xwd -root -silent > "$work/shots/main-after-run-96.xwd"

# --- Options by keys alone; reg query shows what OK stored; Cancel stores nothing. ---
options_open() { has_titled Options; }
press alt+f o
if wait_for 15 options_open; then
  pass
  xwd -root -silent > "$work/shots/options-96.xwd"
  press alt+r alt+v alt+t
  press ctrl+a BackSpace 6 0 Return
  check "Enter did not close Options" 'wait_for 10 bash -c "! xdotool search --onlyvisible --name ^Options\$ >/dev/null"'
  "$wine" reg query "$settings" > "$work/reg-ok.txt" 2>&1 || true
  check "OK: chkChanged not stored: $(grep -i chkChanged "$work/reg-ok.txt")" 'grep -iq "chkChanged.*REG_SZ.*1" "$work/reg-ok.txt"'
  check "OK: chkVerify not stored" 'grep -iq "chkVerify.*REG_SZ.*1" "$work/reg-ok.txt"'
  check "OK: the time limit not stored: $(grep -i EncoderTimeout "$work/reg-ok.txt")" 'grep -iq "EncoderTimeout.*REG_SZ.*60" "$work/reg-ok.txt"'
  check "OK: chkASP lost" 'grep -iq "chkASP.*REG_SZ.*1" "$work/reg-ok.txt"'
  press alt+f o
  wait_for 15 options_open || fail "Options did not open again"
  press alt+r alt+m Escape
  check "Esc did not close Options" 'wait_for 10 bash -c "! xdotool search --onlyvisible --name ^Options\$ >/dev/null"'
  "$wine" reg query "$settings" > "$work/reg-cancel.txt" 2>&1 || true
  check "Cancel stored: $(diff "$work/reg-ok.txt" "$work/reg-cancel.txt")" 'cmp -s "$work/reg-ok.txt" "$work/reg-cancel.txt"'
else
  fail "Alt+F, O did not open Options"
fi

# --- About: opened by keys; System Info says it is not there under Wine; Esc closes. ---
press alt+h a
if wait_for 15 has_titled About; then
  pass
  xwd -root -silent > "$work/shots/about-96.xwd"
  press alt+s
  check "System Info: no message: $(probe windows)" 'wait_for 15 box_shown Quillward'
  xwd -root -silent > "$work/shots/sysinfo-96.xwd"
  press Return
  check "the message did not close at Enter" 'wait_for 10 box_gone Quillward'
  press Escape
  check "Esc did not close About" 'wait_for 10 bash -c "! xdotool search --onlyvisible --name ^About\$ >/dev/null"'
else
  fail "Alt+H, A did not open About"
fi
close_window
reg delete "$settings" /v chkChanged /f || true
reg delete "$settings" /v chkVerify /f || true
reg delete "$settings" /v EncoderTimeout /f || true

# --- Stop while the encoder hangs on one page: by a press, Space, Alt+T. ---
hang=$work/hang
mkdir -p "$hang"
for i in 01 02 03 05 06; do printf '<%% page %s %%>\r\n' "$i" > "$hang/$i.asp"; done
printf '<%% the encoder hangs here %%>\r\n' > "$hang/04hang.asp"
before_hang() { [ "$(find "$1" -name '*.asp' 2>/dev/null | wc -l)" -ge 3 ]; }
encoder_gone() { ! pgrep -f 'app-fake.screnc.exe' >/dev/null; }
for how in press space alt+t; do
  out=$work/stop-${how/+/-}
  QW_FAKE_MODE=hang QW_FAKE_MODE_ONLY=04hang start "$app_fake" "$(winpath "$hang")" "$(winpath "$out")" || continue
  press alt+s
  if ! wait_for 30 before_hang "$out"; then fail "stop by $how: the run did not reach the hanging page"; close_window; continue; fi
  ts=$(date +%s.%N)
  case $how in
    press)
      read -r x y w h < <(probe rect Command2)
      xdotool mousemove $((x + w / 2)) $((y + h / 2)) mousedown 1 sleep 0.1 mouseup 1 ;;
    space) press space ;;
    alt+t) press alt+t ;;
  esac
  check "stop by $how: the run did not end: $(probe text lblStatus)" 'wait_for 20 status_is "^Stopped"'
  echo "$label: stop by $how: the run ended $(seconds "$ts") s after the input"
  check "stop by $how: the encoder is left" 'wait_for 10 encoder_gone'
  check "stop by $how: pages after the hanging one were written" '[ ! -e "$out/04hang.asp" ] && [ ! -e "$out/05.asp" ]'
  close_window
done

# --- The close box during a run: No goes on, Yes stops and closes. ---
out=$work/close
QW_FAKE_MODE=hang QW_FAKE_MODE_ONLY=04hang start "$app_fake" "$(winpath "$hang")" "$(winpath "$out")"
press alt+s
wait_for 30 before_hang "$out" || fail "close: the run did not reach the hanging page"
press alt+F4
if wait_for 15 has_titled "Encode Website"; then
  pass
  xwd -root -silent > "$work/shots/question-96.xwd"
  press n
  check "No: the question stayed" 'wait_for 10 bash -c "! xdotool search --onlyvisible --name \"^Encode Website\$\" >/dev/null"'
  check "No: the run did not go on: $(probe text lblStatus)" '! status_is "^Stop" && has_window && ! encoder_gone'
  activate || true
  press alt+F4
  wait_for 15 has_titled "Encode Website" || fail "the second close did not ask"
  press y
  check "Yes: the program did not end" 'wait_for 20 ended'
  check "Yes: the encoder is left" 'wait_for 10 encoder_gone'
else
  fail "close during a run did not ask: $(probe windows)"
  kill "$wpid" 2>/dev/null || true
fi
wait "$wpid" 2>/dev/null || true

# --- 144 dpi: each window again, for the eye (and the README). ---
set_dpi 144
QW_FAKE_MODE=hang QW_FAKE_MODE_ONLY=04hang start "$app_fake" "$(winpath "$hang")" "$(winpath "$work/out-144")"
xwd -root -silent > "$work/shots/main-144.xwd"
press alt+f o
wait_for 15 options_open && xwd -root -silent > "$work/shots/options-144.xwd"
press Escape
wait_for 10 bash -c '! xdotool search --onlyvisible --name "^Options$" >/dev/null' || true
press alt+h a
wait_for 15 has_titled About && xwd -root -silent > "$work/shots/about-144.xwd"
press Escape
close_window
set_dpi 96
for f in "$work"/shots/*.xwd; do python3 "$root/tests/ui_win/wine/xwd_png.py" "$f" "${f%.xwd}.png" && rm "$f"; done

echo "$label: windows took $(seconds "$t0") s"

# --- The installer. ---
if [ -n "${QW_SKIP_MSI:-}" ]; then
  echo "$label: the installer's part is skipped (QW_SKIP_MSI)"
else
  . "$root/tests/ui_win/wine/msi.sh"
fi

echo "$label: took $(seconds "$t0") s"
echo "$label: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
