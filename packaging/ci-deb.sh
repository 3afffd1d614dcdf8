#!/usr/bin/env bash
# CI: builds the Debian package, installs it with dpkg, runs the installed
# quillward-batch on the sample site and checks its output, starts the installed window
# as the desktop entry's "Open with" does (under Xvfb and openbox) and checks that it
# opened the folder given, then removes the package.
# BUILD_DIR: the build folder (default build, the default preset's).
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

build=${BUILD_DIR:-build}
cmake --preset default -B "$build" -DQW_BUILD_GUI=ON >/dev/null
cmake --build "$build" -j 2
(cd "$build" && rm -f quillward_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/quillward_*.deb)
echo "ci-deb: built $deb"

out=$(mktemp -d)
cleanup() {
  rm -rf "$out"
  $sudo dpkg -r quillward >/dev/null 2>&1 || true
}
trap cleanup EXIT

if ! $sudo dpkg -i "$deb"; then
  # Missing dependencies: let apt bring them and finish the install.
  $sudo apt-get install -f -y -qq
fi

fail() { echo "ci-deb: $*" >&2; exit 1; }
[ "$(readlink -f /usr/bin/quillward-batch)" = /usr/lib/quillward/quillward-batch ] \
  || fail "/usr/bin/quillward-batch does not lead to /usr/lib/quillward"
[ -x /usr/lib/quillward/screnc ] || fail "screnc is not installed beside quillward-batch"
[ -x /usr/lib/quillward/quillward ] || fail "quillward is not installed"
[ -f /usr/share/applications/quillward.desktop ] || fail "the desktop entry is missing"
if ldd /usr/lib/quillward/quillward | grep -q "not found"; then fail "quillward lacks libraries"; fi

XDG_CONFIG_HOME="$out/config" /usr/bin/quillward-batch --set chkASP=1 --set chkHTML=1 --set chkJS=1 --set Check2=1 \
  examples/site "$out/site" >"$out/log.txt" || { cat "$out/log.txt"; fail "quillward-batch failed"; }
[ -f "$out/site/default.asp" ] || fail "no default.asp in the output"
! cmp -s examples/site/default.asp "$out/site/default.asp" || fail "default.asp was not encoded"
cmp -s examples/site/robots.txt "$out/site/robots.txt" || fail "robots.txt was not copied unchanged"
echo "ci-deb: the installed package encoded examples/site: $(tail -n 1 "$out/log.txt")"

# The installed window, started as "Open with Quillward" starts it (the desktop entry
# passes the folder, %f), then closed by the window manager: it opened that folder,
# and remembered it on closing.
grep -qx 'Exec=quillward %f' /usr/share/applications/quillward.desktop || fail "the desktop entry passes no folder"
gui=$out/gui
mkdir -p "$gui/config" "$gui/home"
XDG_CONFIG_HOME=$gui/config HOME=$gui/home bash tests/ui/x11/x11_session.sh bash -c '
  /usr/bin/quillward "$1" & pid=$!
  # Alt+F4 to every Quillward window until the program has ended: first the splash,
  # if it is still there, then the main window.
  for _ in $(seq 1 300); do
    kill -0 "$pid" 2>/dev/null || break
    for w in $(xdotool search --onlyvisible --name "^Quillward\$" 2>/dev/null); do
      xdotool windowactivate --sync "$w" key alt+F4 2>/dev/null || true
    done
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && { kill "$pid"; echo "ci-deb: the window did not close" >&2; exit 1; }
  wait "$pid"' _ "$PWD/examples/site" || fail "the installed window did not run and close"
grep -qx "LastSource=$PWD/examples/site" "$gui/config/Quillward/Quillward.conf" \
  || { cat "$gui/config/Quillward/Quillward.conf" >&2; fail "the window did not open the folder it was given"; }
echo "ci-deb: the installed window opened the folder it was given and closed by the window manager"
