#!/usr/bin/env bash
# docs/windows-screenshots.sh CASES: the Windows "İmza bilgisi" window for each
# kind of verdict, as docs/windows-*.png, under Wine with the build's prefix.
# CASES is the folder docs/screenshots.py made the long-term reports in (its
# WORK/longterm). Run it as
#   scripts/wine-bench.sh build/windows/wineprefix docs/windows-screenshots.sh /tmp/shots/longterm
set -u
cd "$(dirname "$0")/.."
prefix=$PWD/build/windows/wineprefix
cases=$(realpath "$1")
run() { scripts/wine-run.sh "$prefix" "$@"; }
key='HKLM\SOFTWARE\TolvViewerBrowser\CurrentVersion'
run reg add "$key\\TrustAnchors" /ve /t REG_SZ /d "$(run winepath -w "$cases/keys/ca.pem" | tr -d '\r')" \
  /f /reg:32 >/dev/null
run reg add "$key" /v OnlineRevocation /t REG_DWORD /d 0 /f /reg:32 >/dev/null
for pair in valid:$cases/lt-good.Tolv invalid:$cases/lt-revoked-before-ts.Tolv \
    altered:samples/sample-altered.Tolv untrusted:$cases/self-made-qualified.Tolv \
    revocation-unknown:$cases/t-only.Tolv weak-chain:$cases/weak-inter.Tolv; do
  name=${pair%%:*} report=${pair#*:}
  WINEPREFIX=$prefix wine build/windows/Tolv.Viewer.Exe /imza \
    "$(run winepath -w "$(realpath "$report")" | tr -d '\r')" >/dev/null 2>&1 &
  for _ in $(seq 60); do
    id=$(xdotool search --onlyvisible --name "İmza bilgisi" 2>/dev/null | tail -1)
    [ -n "$id" ] && break
    sleep 0.5
  done
  sleep 2 # drawn
  import -window "$id" "docs/windows-$name.png"
  pkill -f "Tolv.Viewer.Exe /imza"
  wait
  echo "docs/windows-$name.png"
done
run reg delete "$key\\TrustAnchors" /f /reg:32 >/dev/null 2>&1
run reg delete "$key" /v OnlineRevocation /f /reg:32 >/dev/null 2>&1
