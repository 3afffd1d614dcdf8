#!/usr/bin/env bash
# `make run`: starts the windows. Without a display it says so and points to the console
# front end, which needs none.
set -euo pipefail
if [ "$(uname -s)" = Linux ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] \
   && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "make run: no display (DISPLAY and WAYLAND_DISPLAY are unset); without one use the console front end: build/bin/quillward-batch SOURCE DEST (or make run-batch)"
  exit 0
fi
exec ./build/bin/quillward
