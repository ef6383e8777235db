#!/usr/bin/env bash
# wine-prefix.sh PREFIX
# Creates the Wine prefix once (never the user's own ~/.wine); later calls return
# at once. Safe to call from several processes at the same time.
set -u
prefix=$(realpath -m "$1")
[ -f "$prefix/.tolv-ready" ] && exit 0

export WINEPREFIX=$prefix
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.tolv-ready" ] && exit 0
# Wine's first start failed once in a clean run, saying nothing: a prefix it
# could not make is removed and made once more, and what Wine said the second
# time is shown.
log=$(mktemp "${TMPDIR:-/tmp}/wineboot.XXXXXX")
made=false
for attempt in 1 2; do
  if wineboot --init >"$log" 2>&1 </dev/null; then
    made=true
    break
  fi
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  timeout 30 wineserver -w >/dev/null 2>&1 || true
  rm -rf "$prefix"
  echo "wine-prefix: making $prefix failed (attempt $attempt)" >&2
done
if ! $made; then
  tail -n 20 "$log" >&2
  rm -f "$log"
  echo "wine-prefix: could not create the Wine prefix $prefix" >&2
  exit 1
fi
rm -f "$log"
# Without a window manager (Xvfb has none) a managed window makes MessageBoxW
# wait about 2 s for the withdrawal that never comes; unmanaged windows don't.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
# The prefix's desktop and documents folders link into $HOME; unlink them so
# that test runs never write into a real home folder.
for link in "$prefix"/drive_c/users/*/*; do
  if [ -L "$link" ]; then
    rm -f "$link"
    mkdir -p "$link"
  fi
done
touch "$prefix/.tolv-ready"
