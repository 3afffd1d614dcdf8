#!/usr/bin/env bash
# Installs, from the distribution's packages, whatever the build and the tests need and
# the machine lacks. Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-qpa-plugins                   # the X11 display plugin, for the window under a real X server
  xvfb xauth openbox xdotool x11-utils  # the window's tests under an X server, a window manager and real input
  dbus                              # a private session bus for the end-of-run notice's test
  clang libclang-rt-14-dev          # libFuzzer for the encoder's scanners
  fonts-dejavu-core fonts-liberation2
  dpkg-dev file                     # CPack's .deb generator
  dosfstools                        # a FAT image: the run's tests on a file system that ignores case
  g++-mingw-w64-x86-64-posix        # the Windows build (make windows)
  g++-mingw-w64-i686-posix          # the same programs for 32-bit (x86) Windows
  wixl msitools                     # the Windows installers (.msi), and reading them in the tests
  wine wine64                       # runs it headless in the tests (make test-windows)
  x11-apps                          # xwd: the Windows window's screenshots under Xvfb
  python3                           # the tests' page generator and the bench scripts
  python3-jsonschema                # the tests check the run's report against its schema
  git                               # the ignore rules' tests check the matcher against git's own
  rsync                             # the yardstick of bench/changed.sh
)

# No 32-bit Wine (wine32:i386): where the kernel cannot run i386 programs it only breaks
# the `wine` command (it then prefers the 32-bit loader), and the 64-bit one cannot run
# 32-bit programs without it. The x86 build is therefore built, not run, here.

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo="sudo"
  else
    echo "install-deps: need root or sudo to install: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
