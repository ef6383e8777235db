#!/usr/bin/env bash
# wine-bench.sh PREFIX COMMAND [ARGS...]
# Runs COMMAND (usually ctest) with a headless X display of its own and a warm,
# persistent wineserver for PREFIX, then stops both, so that nothing is left
# running afterwards whatever the command's outcome.
set -u
prefix=$(realpath -m "$1")
shift
here=$(cd "$(dirname "$0")" && pwd)

export WINEPREFIX=$prefix
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  timeout 20 wineserver -w >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -f "${fdfile:-}"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Xvfb picks a free display itself and reports its number on a file descriptor.
fdfile=$(mktemp "${TMPDIR:-/tmp}/xvfb-display.XXXXXX")
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$fdfile" ] && break
  sleep 0.1
done
[ -s "$fdfile" ] || { echo "wine-bench: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n 1 "$fdfile")

# Create the prefix before the persistent server starts: creating it waits for
# the server of its own run to finish.
"$here/wine-prefix.sh" "$prefix" || exit 1

# A server left from creating the prefix would refuse the persistent one.
timeout 30 wineserver -w >/dev/null 2>&1 || true
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1

"$@"
