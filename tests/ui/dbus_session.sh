#!/usr/bin/env bash
# dbus_session.sh COMMAND [ARG...]: runs COMMAND with a session bus of its own, so that a
# test can offer and use services without touching the user's bus. Exit status:
# COMMAND's; 77 (skipped) when dbus-run-session is missing outside CI.
set -euo pipefail
if ! command -v dbus-run-session >/dev/null 2>&1; then
  if [ "${CI:-}" = true ]; then
    echo "dbus_session: dbus-run-session is missing (scripts/install-deps.sh installs it)" >&2
    exit 1
  fi
  echo "dbus_session: SKIP: dbus-run-session is missing; run scripts/install-deps.sh" >&2
  exit 77
fi
exec dbus-run-session -- "$@"
