#!/usr/bin/env bash
# bench/archive.sh [RUNS] [SAMPLE]
# tolv-extract --verify over an archive: 2,000 small reports signed by xmlsec1
# (RSA and ECDSA signers, enveloping and enveloped; made once, with throwaway
# keys, into build/bench/archive by bench/make-archive.py) in nested folders.
# Times the whole folder with one worker and with every core (median of RUNS,
# default 3) against xmlsec1 --verify run once per report over SAMPLE reports
# (default 200, every tenth; scaled to the whole set), and prints reports per
# second, the ratio to xmlsec1 (target >= 100x), the scaling with the cores
# (target >= 80% of one worker's throughput times the cores) and the peak
# RSS (target < 64 MiB).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TOLV_BENCH_DIR:-$root/build/bench}
build=${TOLV_BENCH_BUILD:-$out/native}
runs=${1:-3}
sample=${2:-200}
count=2000
cores=$(nproc)

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target tolv-extract >/dev/null

work=$out/archive
mkdir -p "$work"
# Debian's python3 is the one with lxml.
/usr/bin/python3 "$root/bench/make-archive.py" "$work" "$count"
archive=$work/archive
# The institution's and the user's anchors stay out; the system's take part.
export XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_CONFIG_HOME"
lines=$("$build/tolv-extract" --verify "$archive" 2>/dev/null | grep -c '^intact' || true)
[ "$lines" -eq "$count" ] || { echo "archive bench: $lines of $count reports intact" >&2; exit 1; }
cat $(find "$archive" -type f) >/dev/null # the page cache warm for everyone alike

results=$work/results.txt
: >"$results"
for ((i = 0; i < runs; i++)); do
  for jobs in 1 "$cores"; do
    line=$(python3 "$root/bench/measure.py" 1 "$build/tolv-extract" --verify --jobs "$jobs" "$archive" \
      2>/dev/null | tail -n 1)
    echo "$jobs $line" >>"$results"
  done
done

python3 - "$results" "$work/archive.json" "$count" "$sample" "$cores" <<'PY'
import json, statistics, subprocess, sys, time
results, manifest, count, sample, cores = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
rows = [line.split() for line in open(results)]
rate, rss = {}, 0
for jobs in dict.fromkeys(r[0] for r in rows):
    seconds = statistics.median(float(r[1]) for r in rows if r[0] == jobs)
    peak = max(int(r[2]) for r in rows if r[0] == jobs) / 1024
    rss = max(rss, peak)
    rate[int(jobs)] = count / seconds
    print(f"tolv-extract --verify --jobs {jobs:<3} {seconds:8.3f} s  {rate[int(jobs)]:8.0f} reports/s  "
          f"peak RSS {peak:5.1f} MiB")
entries = json.load(open(manifest))
chosen = entries[::max(1, len(entries) // sample)][:sample]
start = time.perf_counter()
for entry in chosen:
    done = subprocess.run(["xmlsec1", "--verify", *entry["options"], entry["path"]], capture_output=True)
    if done.returncode != 0:
        sys.exit(f"archive bench: xmlsec1 does not verify {entry['path']}")
seconds = time.perf_counter() - start
xmlsec = len(chosen) / seconds
print(f"xmlsec1 --verify, once per report: {len(chosen)} of {count} reports (a sample, scaled) in "
      f"{seconds:.3f} s  {xmlsec:8.0f} reports/s, {count / xmlsec:.1f} s for all")
ok = lambda good: "ok" if good else "MISSED"
ratio = rate[cores] / xmlsec
scaling = rate[cores] / (rate[1] * cores)
print(f"\n{cores} cores. ratio to xmlsec1: {ratio:.0f}x (target >= 100: {ok(ratio >= 100)}); "
      f"scaling: {scaling:.0%} of one worker's throughput x {cores} (target >= 80%: {ok(scaling >= 0.8)}); "
      f"peak RSS {rss:.1f} MiB (target < 64: {ok(rss < 64)})")
PY
