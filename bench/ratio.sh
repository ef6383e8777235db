#!/usr/bin/env bash
# bench/ratio.sh [RUNS]
# The reader against the machine's own copy of the same bytes, on the report
# carrying a 128 MB PDF, in one interleaved run of RUNS rounds (default 21):
# the copy is `cat REPORT >/dev/null` plus `cp PDF OUT`, the extraction is
# tolv-extract REPORT OUT, and the same with the signature check riding on the
# read (tolv-extract --check). Then the Windows build under Wine against Wine's own
# copy (cmd's copy, the same two files), each one Wine process started on a
# warm wineserver. Prints the medians, the ratios and the extraction's peak
# RSS. TOLV_BENCH_WINE=0 leaves Wine out.
#
# The disk is synced before every run (outside the time): a run otherwise pays
# for writing out what the run before it left in the cache. The machine's load
# moves these figures; interleaving puts it on both sides alike.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TOLV_BENCH_DIR:-$root/build/bench}
build=${TOLV_BENCH_BUILD:-$out/native}
runs=${1:-21}

mkdir -p "$out"
report=$out/report-128MB.Tolv
pdf=$out/report-128MB.pdf
if [ ! -f "$report" ] || [ ! -f "$pdf" ]; then
  python3 "$root/scripts/make-report.py" "$report" --pdf-size $((128 * 1024 * 1024)) --write-pdf "$pdf"
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target tolv-extract >/dev/null

# NAME SECONDS RSS_KIB [FLOOR_SECONDS [EXTRACTION_SECONDS]]
row() {
  awk -v n="$1" -v s="$2" -v r="$3" -v f="${4:-}" -v e="${5:-}" 'BEGIN {
    printf "%-28s %8.4f s", n, s
    if (f != "") printf "  %5.2fx the copy  peak RSS %5.1f MiB", s / f, r / 1024
    if (e != "") printf "  %5.2fx extraction", s / e
    printf "\n" }'
}

echo "128 MB PDF, median of $runs interleaved runs (load: $(cut -d' ' -f1-3 /proc/loadavg))"
cd "$out"
results=$(python3 "$root/bench/interleave.py" "$runs" \
  "copy=cat '$report' >/dev/null; cp '$pdf' floor.pdf" \
  "extract='$build/tolv-extract' '$report' extract.pdf" \
  "check='$build/tolv-extract' --check '$report' check.pdf >/dev/null")
for written in extract.pdf check.pdf; do
  cmp -s "$written" "$pdf" || { echo "ratio: tolv-extract wrote different bytes" >&2; exit 1; }
done
read -r _ copy _ _ <<<"$(grep '^copy ' <<<"$results")"
read -r _ extract rss _ <<<"$(grep '^extract ' <<<"$results")"
read -r _ check checkRss _ <<<"$(grep '^check ' <<<"$results")"
row "copy (cat + cp)" "$copy" 0
row "tolv-extract" "$extract" "$rss" "$copy"
row "tolv-extract --check" "$check" "$checkRss" "$copy" "$extract"

[ "${TOLV_BENCH_WINE:-1}" = 0 ] && exit 0
winbuild=$out/windows
cmake -S "$root" -B "$winbuild" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$winbuild" -j2 --target tolv-extract >/dev/null
cp "$winbuild/tolv-extract.exe" "$out/tolv-extract.exe"
# Paths relative to the bench folder, which Wine sees through its Z: drive.
results=$("$root/scripts/wine-bench.sh" "$out/wineprefix" python3 "$root/bench/interleave.py" "$runs" \
  "copy=wine cmd /c 'copy /b report-128MB.Tolv NUL >NUL & copy /b report-128MB.pdf wfloor.pdf >NUL'" \
  "extract=wine tolv-extract.exe report-128MB.Tolv wextract.pdf")
cmp -s wextract.pdf "$pdf" || { echo "ratio: tolv-extract.exe wrote different bytes" >&2; exit 1; }
read -r _ copy _ _ <<<"$(grep '^copy ' <<<"$results")"
read -r _ extract rss _ <<<"$(grep '^extract ' <<<"$results")"
row "Wine: cmd copy" "$copy" 0
row "Wine: tolv-extract.exe" "$extract" "$rss" "$copy"
