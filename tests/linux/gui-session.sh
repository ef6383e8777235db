#!/usr/bin/env bash
# gui-session.sh COMMAND [ARGS...]
# Runs COMMAND in a desktop session of its own: a headless X display, a D-Bus
# session bus and the accessibility bus, all gone afterwards.
set -eu
if [ -z "${TOLV_GUI_SESSION:-}" ]; then
  export TOLV_GUI_SESSION=1
  exec xvfb-run -a -s "-screen 0 1600x1200x24 -nolisten tcp" dbus-run-session -- "$0" "$@"
fi
export NO_AT_BRIDGE=0 GTK_A11Y=atspi
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
launcher=$!
trap 'kill $launcher 2>/dev/null || true' EXIT
sleep 0.5
"$@"
