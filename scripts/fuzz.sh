#!/usr/bin/env bash
# fuzz.sh [SECONDS]
# Builds the libFuzzer targets of the report reader with clang (in
# $TOLV_FUZZ_BUILD, default build/fuzz) and runs each for SECONDS (default 15)
# on a working copy of the seed corpus in fuzz/seeds. Exits non-zero when a
# target crashes, leaks, times out or finds a difference between its paths;
# the input that did it is left in the build folder (crash-*, leak-*, timeout-*).
set -euo pipefail
seconds=${1:-15}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLV_FUZZ_BUILD:-$root/build/fuzz}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTOLV_FUZZ=ON >/dev/null
cmake --build "$build" -j2 --target ReaderFuzzer DecoderFuzzer >/dev/null

status=0
for target in Reader Decoder; do
  name=$(echo "$target" | tr '[:upper:]' '[:lower:]')
  corpus="$build/corpus-$name"
  mkdir -p "$corpus"
  cp -n "$root/fuzz/seeds/$name"/* "$corpus"/ 2>/dev/null || true
  echo "fuzz: $target for ${seconds}s"
  if ! (cd "$build" && ASAN_OPTIONS=detect_leaks=1 "./${target}Fuzzer" -max_total_time="$seconds" \
        -timeout=10 -rss_limit_mb=1024 -max_len=16384 -print_final_stats=1 "$corpus" \
        >"$build/$name.log" 2>&1); then
    echo "fuzz: $target FAILED; see $build/$name.log" >&2
    tail -n 30 "$build/$name.log" >&2
    status=1
  else
    grep -E "stat::number_of_executed_units|Done [0-9]+ runs" "$build/$name.log" | tail -n 1
  fi
done
exit $status
