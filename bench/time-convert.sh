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

# Into a new file (the old one removed before each run, untimed), and over
# an existing one with --force: on ext4 replacing a file costs several
# milliseconds of its own (the old file's blocks freed, the new one's
# written out at the rename).
convert=("$tool" convert "$work/in.dst" "$work/out.vp3")
hyperfine -N --warmup 20 --runs 200 --prepare "rm -f $work/out.vp3" --export-json "$work/new.json" "${convert[*]}"
replace=("$tool" convert --force "$work/in.dst" "$work/out.vp3")
hyperfine -N --warmup 20 --runs 200 --export-json "$work/replace.json" "${replace[*]}"
for run in new replace; do
  median=$(grep -o '"median": *[0-9.e-]*' "$work/$run.json" | head -1 | sed 's/.*: *//')
  awk -v s="$median" -v run="$run" 'BEGIN { printf "median wall time (%s file): %.2f ms\n", run, s * 1000 }'
done

if perf stat -e task-clock true >/dev/null 2>&1; then
  perf stat -r 50 -e task-clock,page-faults "${replace[@]}" 2>&1 >/dev/null | grep -E 'task-clock|page-faults|elapsed'
fi
