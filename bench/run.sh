#!/usr/bin/env bash
# bench/run.sh [RUNS]
# Makes reports carrying 1 MB, 16 MB and 128 MB PDFs (in build/bench) and times,
# side by side: tolv-extract; a bare expat pass over the report; reading the
# report and copying a file of the PDF's size (cat + cp, the floor); and a
# Python + lxml + base64 extractor. Prints the median wall time of RUNS runs
# (default 5; 3 for the largest report), MB/s of report and peak RSS, then the
# decoder's own throughput in memory, and tolv-extract on the 16 MB report
# declared in other encodings (its text is ASCII, so the same file is valid in
# each): the fast path in single-byte encodings and EUC-JP, the plain one in
# Shift_JIS. Last, bench/ratio.sh: the reader against the machine's own copy,
# interleaved, natively and under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TOLV_BENCH_DIR:-$root/build/bench}
build=${TOLV_BENCH_BUILD:-$out/native}
runs=${1:-5}
# Debian's python3, which has lxml (a python3 earlier on PATH may not).
python=/usr/bin/python3

mkdir -p "$out"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target tolv-extract expat-pass decoder-bench >/dev/null

measure() { # RUNS COMMAND... -> "seconds rss_kib"
  python3 "$root/bench/measure.py" "$@"
}

printf '%-10s %-16s %10s %10s %9s %9s\n' "PDF" "program" "seconds" "MB/s" "RSS MiB" "vs floor"
for mb in 1 16 128; do
  report="$out/report-${mb}MB.Tolv"
  pdf="$out/report-${mb}MB.pdf"
  if [ ! -f "$report" ] || [ ! -f "$pdf" ]; then
    python3 "$root/scripts/make-report.py" "$report" --pdf-size $((mb * 1024 * 1024)) --write-pdf "$pdf"
  fi
  n=$runs
  [ "$mb" -ge 128 ] && n=$(( runs < 3 ? runs : 3 ))
  size=$(stat -c %s "$report")
  cat "$report" >/dev/null # warm the page cache for everyone alike

  declare -A result=()
  result[floor]=$(measure "$n" sh -c 'cat "$1" >/dev/null; cp "$2" "$3"' sh "$report" "$pdf" "$out/floor.pdf")
  result[tolv-extract]=$(measure "$n" "$build/tolv-extract" "$report" "$out/extract.pdf")
  cmp -s "$out/extract.pdf" "$pdf" || { echo "bench: tolv-extract wrote different bytes" >&2; exit 1; }
  result[expat-pass]=$(measure "$n" "$build/expat-pass" "$report")
  result[python-lxml]=$(measure "$n" "$python" "$root/bench/lxml-extract.py" "$report" "$out/lxml.pdf")
  cmp -s "$out/lxml.pdf" "$pdf" || { echo "bench: the lxml extractor wrote different bytes" >&2; exit 1; }

  floor=$(echo "${result[floor]}" | cut -d' ' -f1)
  for program in tolv-extract expat-pass floor python-lxml; do
    read -r seconds rss <<<"${result[$program]}"
    awk -v p="$program" -v mb="$mb" -v s="$seconds" -v r="$rss" -v size="$size" -v f="$floor" \
      'BEGIN { printf "%-10s %-16s %10.4f %10.0f %9.1f %8.1fx\n", mb " MB", p, s, size / s / 1e6, r / 1024, s / f }'
  done
  unset result
done
echo
printf '%-16s %10s %10s\n' "16 MB report as" "seconds" "MB/s"
for encoding in UTF-8 windows-1254 ISO-8859-2 EUC-JP Shift_JIS; do
  declared="$out/report-16MB-$encoding.Tolv"
  sed "1s/encoding=\"UTF-8\"/encoding=\"$encoding\"/" "$out/report-16MB.Tolv" >"$declared"
  read -r seconds rss <<<"$(measure "$runs" "$build/tolv-extract" "$declared" "$out/extract.pdf")"
  cmp -s "$out/extract.pdf" "$out/report-16MB.pdf" || { echo "bench: $encoding gave different bytes" >&2; exit 1; }
  awk -v e="$encoding" -v s="$seconds" -v size="$(stat -c %s "$declared")" \
    'BEGIN { printf "%-16s %10.4f %10.0f\n", e, s, size / s / 1e6 }'
done
echo
"$build/decoder-bench"
echo
"$root/bench/ratio.sh"
