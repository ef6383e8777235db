#!/usr/bin/env bash
# Runs a command on a headless X display of its own with a private session
# bus and the accessibility bus, the way a desktop session has them, so that
# tests read GTK windows through AT-SPI. Everything started here is stopped
# afterwards; the command's exit status is the bench's.
#   scripts/linux-bench.sh COMMAND [ARG...]
set -euo pipefail

xvfb_pid=
fdfile=$(mktemp "${TMPDIR:-/tmp}/linux-bench-display.XXXXXX")
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -f "$fdfile"
}
trap cleanup EXIT

# Xvfb picks a free display itself and reports its number on a file descriptor,
# so that benches running side by side never race for one.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$fdfile" ] && break
  sleep 0.1
done
[ -s "$fdfile" ] || { echo "linux-bench: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$fdfile")"
unset NO_AT_BRIDGE GTK_A11Y
export GTK_MODULES=${GTK_MODULES:-}

# dbus-run-session ends the session bus when the command ends; the
# accessibility bus launcher lives inside it and is stopped by the inner shell.
dbus-run-session -- bash -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  launcher=$!
  status=0
  "$@" || status=$?
  kill "$launcher" 2>/dev/null || true
  wait "$launcher" 2>/dev/null || true
  exit "$status"' bench "$@" 2> >(grep -v "Failed to set fd limit" >&2)
