#!/usr/bin/env bash
# Measures the counting engine against `wc -l` on the same generated file, in
# one run: builds the benchmark (optimised) into build-bench/, has it write
# its large C-family source file, times `wc -l` on that file (median of
# several trials, before and after the benchmarks), runs the benchmarks and
# prints every figure as a ratio of its time to the time of `wc -l` for the
# same number of bytes.
#
#   bench/wc_compare.sh [benchmark flags...]
#
# Environment: TV_BENCH_MB (size in MB, default 100), TV_BENCH_FILE (the
# file; default in $TMPDIR or /tmp), TV_WC_RUNS (wc trials on each side,
# default 7), TV_BENCH_REPS (benchmark repetitions, default 5).
# Targets: CountFileLines at most 1.0 x wc -l; each classifier at most 5 x.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TV_BENCH_BUILD_DIR:-$root/build-bench}
export TV_BENCH_MB=${TV_BENCH_MB:-100}
export TV_BENCH_FILE=${TV_BENCH_FILE:-${TMPDIR:-/tmp}/tallyvane-bench-${TV_BENCH_MB}MB.cpp}
runs=${TV_WC_RUNS:-7}
reps=${TV_BENCH_REPS:-5}

# shellcheck source=../tools/deps.sh
source "$root/tools/deps.sh"
tv_need_packages g++ cmake ninja-build libbenchmark-dev python3

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTV_BUILD_TESTS=OFF -DTV_BUILD_BENCH=ON >/dev/null
ninja -C "$build" -j2 tallyvane_bench >/dev/null
bench="$build/tallyvane_bench"

"$bench" --generate "$TV_BENCH_FILE"
bytes=$(stat -c %s "$TV_BENCH_FILE")
cat "$TV_BENCH_FILE" >/dev/null  # warm the page cache

# One trial: `wc -l` reads the file $copies times in one process, which
# keeps its process start out of the figure; prints wall and CPU (user +
# system) milliseconds for one reading.
copies=${TV_WC_COPIES:-5}
wc_trial() {
  local files=()
  for _ in $(seq "$copies"); do files+=("$TV_BENCH_FILE"); done
  local TIMEFORMAT='%3R %3U %3S'
  { time LC_ALL=C wc -l "${files[@]}" >/dev/null; } 2>&1 |
    awk -v k="$copies" '{ printf "%.3f %.3f\n", $1 * 1000 / k, ($2 + $3) * 1000 / k }'
}
wc_runs() { for _ in $(seq "$runs"); do wc_trial; done; }

wc_before=$(wc_runs)
json=$(mktemp)
trap 'rm -f "$json"' EXIT
# The engine's benchmarks only, unless the caller picks others.
filter=--benchmark_filter='^(BM_Classify|BM_CountFileLines|BM_ReadSourceLine|BM_CountCFamilyFile)'
for arg in "$@"; do [[ $arg == --benchmark_filter=* ]] && filter=; done
"$bench" --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
  --benchmark_out="$json" --benchmark_out_format=json ${filter:+"$filter"} "$@" >&2
wc_after=$(wc_runs)

python3 - "$json" "$bytes" <<PY
import json, statistics, sys
path, size = sys.argv[1], int(sys.argv[2])
trials = [tuple(map(float, l.split())) for l in """$wc_before
$wc_after""".split("\n") if l.strip()]
wc_wall = statistics.median(t[0] for t in trials) / 1e3
wc_cpu = statistics.median(t[1] for t in trials) / 1e3
print()
print(f"wc -l on {size / 1e6:.0f} MB ({len(trials)} trials): median {wc_wall * 1e3:.1f} ms wall "
      f"({size / wc_wall / 1e9:.2f} GB/s), {wc_cpu * 1e3:.1f} ms CPU ({size / wc_cpu / 1e9:.2f} GB/s)")
print("Ratios are the time of each benchmark per byte over that of wc -l (lower is faster);")
print("the verdict uses CPU time, which other load on the machine disturbs least.")
print(f"{'benchmark (median)':36} {'MB/s wall':>9} {'MB/s CPU':>9} {'ns/line':>8} "
      f"{'x wc wall':>9} {'x wc CPU':>9} {'target':>7}")
ok = True
for b in json.load(open(path))["benchmarks"]:
    if b.get("aggregate_name") != "median":
        continue
    name = b["run_name"].removesuffix("/real_time")
    if b.get("error_occurred"):
        print(f"{name:36} error: {b.get('error_message', '')}")
        ok = False
        continue
    if "bytes_per_second" not in b:
        continue  # another benchmark of the same program
    wall_rate = b["bytes_per_second"]
    cpu_rate = wall_rate * b["real_time"] / b["cpu_time"]
    target = 1.0 if name == "BM_CountFileLines" else 5.0 if name.startswith("BM_Classify") else None
    ratio_wall = size / wc_wall / wall_rate
    ratio_cpu = size / wc_cpu / cpu_rate
    verdict = "" if target is None else ("ok" if ratio_cpu <= target else "MISSED")
    ok &= verdict != "MISSED"
    shown = f"{target:.1f}x" if target else "-"
    print(f"{name:36} {wall_rate / 1e6:9.0f} {cpu_rate / 1e6:9.0f} {b.get('ns_per_line', 0):8.1f} "
          f"{ratio_wall:9.2f} {ratio_cpu:9.2f} {shown:>7} {verdict}")
sys.exit(0 if ok else 1)
PY
