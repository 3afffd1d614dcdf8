#!/usr/bin/env bash
# The Windows halves of the platform pairs cannot run here; this compiles each of them
# for Windows (syntax and types only) with MinGW against the Qt headers, so that a change
# to a shared header cannot leave them broken unnoticed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cxx=x86_64-w64-mingw32-g++-posix

qt=$(dirname "$(find /usr/include -maxdepth 3 -type d -name QtCore -path '*qt6*' | head -n 1)")
status=0
for f in $(git ls-files '*_win.cpp'); do
  if ! "$cxx" -std=c++20 -fsyntax-only -Wall -Wextra -Wno-attributes \
      -I . -I batch -I ui -I screnc -I "$qt" -I "$qt/QtCore" -I "$qt/QtGui" -I "$qt/QtWidgets" "$f"; then
    echo "check-windows: $f does not compile for Windows" >&2
    status=1
  fi
done
[ $status -eq 0 ] && echo "check-windows: every *_win.cpp compiles for Windows"
exit $status
