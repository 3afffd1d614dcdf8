#!/usr/bin/env bash
# x11_session.sh COMMAND [ARG...]: runs COMMAND inside a private X server (Xvfb) with a
# window manager (openbox), as a person's desktop would have, and ends both afterwards.
# Input goes through the X server (xdotool), so what a real press, a held key or the
# window manager's close does reaches the program as it would on a desktop.
# Exit status: COMMAND's; 77 (skipped) when the tools are missing outside CI, where
# scripts/install-deps.sh has not been run; in CI a missing tool is a failure.
set -euo pipefail

for tool in Xvfb openbox xdotool xprop; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    if [ "${CI:-}" = true ]; then
      echo "x11_session: $tool is missing (scripts/install-deps.sh installs it)" >&2
      exit 1
    fi
    echo "x11_session: SKIP: $tool is missing; run scripts/install-deps.sh" >&2
    exit 77
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/qw-x11.XXXXXX")
xvfb_pid=""
wm_pid=""
finish() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT

# Xvfb picks a free display itself and writes its number on fd 3 when it is ready.
Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp -dpi 96 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 1 200); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; echo "x11_session: Xvfb did not start" >&2; exit 1; }
  sleep 0.05
done
[ -s "$work/display" ] || { echo "x11_session: Xvfb gave no display" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
# The window manager is up when it has announced itself on the root window.
for _ in $(seq 1 200); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  kill -0 "$wm_pid" 2>/dev/null || { cat "$work/openbox.log" >&2; echo "x11_session: openbox did not start" >&2; exit 1; }
  sleep 0.05
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || { echo "x11_session: no window manager" >&2; exit 1; }

export QT_QPA_PLATFORM=xcb
status=0
"$@" || status=$?
exit "$status"
