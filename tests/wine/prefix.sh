# Sourced by the Wine test scripts: a headless Wine in its own prefix under
# build-windows/, a wineserver that stays up until the script ends, and the pass/fail
# counters. The sourcing script sets `root` (the project folder) and `label` (the
# prefix of its messages) first.
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

export WINEPREFIX=$root/build-windows/wine-prefix WINEDEBUG=-all
# Wine reads the command line and host file names in the locale's character set: in the
# C locale a non-ASCII name would not arrive.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko to install
unset DISPLAY WAYLAND_DISPLAY

t0=$(date +%s.%N)
seconds() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'; }
mkdir -p "$WINEPREFIX"
"$wineserver" -p || true  # stays up between the runs, until -k (2: already up)
trap '"$wineserver" -k 2>/dev/null || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot -i >/dev/null 2>&1
  echo "$label: new prefix made in $(seconds "$t0") s"
fi

passed=0 failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "$label: FAIL $*" >&2; }

# Z:\ plus the POSIX path with backslashes.
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
