#!/usr/bin/env bash
# run-sample.sh [REPORT]
# Builds the Windows program and opens a signed report with it under Wine, the
# way a double-click on Windows does. There is no Chrome or Edge for Windows on
# Debian, so a stand-in browser is registered as Chrome under App Paths; it
# records the command line it was started with. Afterwards the script shows
# that command line and checks the PDF the viewer wrote against the one the
# report carries. Default report: samples/sample.Tolv. The signature check's
# answer for the report is printed first, and any message box the viewer shows
# is printed and answered No (samples/sample-altered.Tolv shows the warning).
# The sample's signer is the prefix's institution anchor (TrustAnchors) for the
# run, as an institution's signature authorities are: the sample opens without
# a box, and a report that no anchor vouches for is asked about.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
report=$(realpath "${1:-samples/sample.Tolv}")
signer=$root/samples/sample-signer.pem

scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target TolvViewer FakeBrowser MsgBoxWatch tolv-extract

build=$root/build/windows
prefix=$build/wineprefix
demo=$build/demo
rm -rf "$demo"
mkdir -p "$demo"

# The PDF the report carries, decoded independently of the viewer.
/usr/bin/python3 - "$report" "$demo/expected.pdf" <<'PY'
import base64, sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
for child in root:
    if child.tag.endswith("}Object") and "Encoding" in child.attrib:
        data = "".join(child.itertext()).strip().replace("\n", "")
        open(sys.argv[2], "wb").write(base64.b64decode(data))
        break
PY

scripts/wine-bench.sh "$prefix" bash -s "$build" "$prefix" "$demo" "$report" "$signer" <<'SH'
set -euo pipefail
build=$1 prefix=$2 demo=$3 report=$4 signer=$5
run() { scripts/wine-run.sh "$prefix" "$@"; }

# The prefix is the tests' too: its earlier TrustAnchors comes back afterwards.
key='HKLM\SOFTWARE\TolvViewerBrowser\CurrentVersion\TrustAnchors'
earlier=$( (run reg query "$key" /ve /reg:32 2>/dev/null || true) | tr -d '\r' | sed -n 's/.*REG_SZ[[:space:]]*//p')
restore() {
  if [ -n "$earlier" ]; then
    run reg add "$key" /ve /t REG_SZ /d "$earlier" /f /reg:32 >/dev/null
  else
    run reg delete "$key" /f /reg:32 >/dev/null 2>&1 || true
  fi
}
trap restore EXIT
run reg add "$key" /ve /t REG_SZ /d "$(run winepath -w "$signer" | tr -d '\r')" /f /reg:32 >/dev/null

browser_dir="$prefix/drive_c/Program Files/Stand-in Browser"
mkdir -p "$browser_dir"
cp "$build/FakeBrowser.exe" "$browser_dir/chrome.exe"
rm -f "$browser_dir/chrome.log"
run reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\chrome.exe' /ve /d 'C:\Program Files\Stand-in Browser\chrome.exe' /f >/dev/null

report_win=$(run winepath -w "$report")
echo "report:  $report_win"
echo "signature check: $(run "$build/tolv-extract.exe" --verify "$report_win" | tr -d '\r')"
set +e
run "$build/MsgBoxWatch.exe" --run "$(run winepath -w "$build/Tolv.Viewer.Exe")" "$report_win" \
  >"$demo/boxes.txt"
rc=$?
set -e
tr -d '\r' <"$demo/boxes.txt" | sed 's/^/message box: /'
echo "viewer exit code: $rc"
if [ ! -f "$browser_dir/chrome.log" ]; then
  if [ -s "$demo/boxes.txt" ] && [ "$(basename "$report")" != sample.Tolv ]; then
    echo "the browser was not started: the box above was answered No"
    exit 0
  fi
  echo "the browser was not started" >&2
  exit 1
fi
echo "the browser was started with:"
grep -a '^commandline=' "$browser_dir/chrome.log" | sed 's/^commandline=/  /'
pdf_win=$(grep -a '^file=' "$browser_dir/chrome.log" | head -n 1 | sed 's/^file=//')
pdf_unix=$(run winepath -u "$pdf_win")
cp "$pdf_unix" "$demo/written.pdf"
echo "PDF written: $pdf_win ($(stat -c %s "$demo/written.pdf") bytes)"
SH

# Nothing to compare when the viewer, as answered, showed nothing.
[ -f "$demo/written.pdf" ] || exit 0
if cmp -s "$demo/expected.pdf" "$demo/written.pdf"; then
  echo "the written PDF is byte for byte the one the report carries: $demo/written.pdf"
else
  echo "the written PDF differs from the one the report carries" >&2
  exit 1
fi
