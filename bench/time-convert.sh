#!/usr/bin/env bash
# Times qel-stitch convert of a DST file of about 100,000 records (eight
# colours, trims, long jumps; made by make_bench_dst) to VP3 as a whole
# process: start, load, save, write, exit. hyperfine runs it without a
# shell; perf stat adds the CPU time and page faults.
#
#     bench/time-convert.sh [BUILD_DIR] [RECORDS]
#
# BUILD_DIR is a Release build with QEL_BENCH on (default build-bench), with
# make_bench_dst and qel-stitch built. The files live in a temporary folder
# on the same file system as /tmp.
set -euo pipefail

build=${1:-build-bench}
records=${2:-100000}
tool="$build/Tools/qel-stitch/qel-stitch"
maker="$build/bench/make_bench_dst"
for program in "$tool" "$maker"; do
  [ -x "$program" ] || { echo "time-convert: $program is not built" >&2; exit 1; }
done
command -v hyperfine >/dev/null || { echo "time-convert: hyperfine is missing (scripts/install-deps.sh)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$maker" "$records" "$work/in.dst"

convert=("$tool" convert --force "$work/in.dst" "$work/out.vp3")
hyperfine -N --warmup 20 --runs 200 --export-json "$work/times.json" "${convert[*]}"
median=$(grep -o '"median": *[0-9.e-]*' "$work/times.json" | head -1 | sed 's/.*: *//')
awk -v s="$median" 'BEGIN { printf "median wall time: %.2f ms\n", s * 1000 }'

if perf stat -e task-clock true >/dev/null 2>&1; then
  perf stat -r 50 -e task-clock,page-faults "${convert[@]}" 2>&1 >/dev/null | grep -E 'task-clock|page-faults|elapsed'
fi
