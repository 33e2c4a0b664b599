#!/usr/bin/env bash
# Times qel-send-service from its start to the posted notification, for the
# DST file of bench/time-convert.sh (about 100,000 records), on a private
# session bus with qel-machine-link receiving. The start is taken by the
# shell just before it starts the service ($EPOCHREALTIME, no extra
# process), the post where dbus-monitor sees the signal.
#
#     bench/time-send.sh [BUILD_DIR] [RUNS] [RECORDS]
#
# BUILD_DIR is a Release build with QEL_BENCH on (default build-bench), with
# make_bench_dst, qel-send-service and qel-machine-link built.
set -euo pipefail

build=$(realpath "${1:-build-bench}")
runs=${2:-50}
records=${3:-100000}
for program in bench/make_bench_dst Services/SendService/qel-send-service Services/MachineLink/qel-machine-link; do
  [ -x "$build/$program" ] || { echo "time-send: $build/$program is not built" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_bench_dst" "$records" "$work/bench.dst" > /dev/null
mkdir "$work/outbox"

export QEL_BUILD="$build" QEL_WORK="$work" QEL_RUNS="$runs"
dbus-run-session -- bash -s <<'SESSION'
set -euo pipefail
"$QEL_BUILD/Services/MachineLink/qel-machine-link" --outbox "$QEL_WORK/outbox" > "$QEL_WORK/receiver.log" 2>&1 &
receiver=$!
gdbus wait --session --timeout 10 com.brodix.MachineLink
# --profile: one line a message, without the 200 kB payload, which the plain
# output prints as text slowly enough for the bus to drop the monitor's messages.
dbus-monitor --session --profile "type='signal',interface='com.brodix.DistributedNotificationCenter',member='Notification'" \
  > "$QEL_WORK/monitor.log" 2>&1 &
monitor=$!
until grep -q 'NameAcquired\|NameLost' "$QEL_WORK/monitor.log" 2>/dev/null; do sleep 0.01; done
for _ in $(seq "$QEL_RUNS"); do
  echo "$EPOCHREALTIME" >> "$QEL_WORK/starts"
  "$QEL_BUILD/Services/SendService/qel-send-service" "$QEL_WORK/bench.dst" >> "$QEL_WORK/service.log" 2>&1 \
    || echo "time-send: a send failed (see below)" >&2
done
sleep 0.2
kill "$monitor" "$receiver"
wait || true
SESSION

awk -F '\t' '$1 == "sig" && $8 == "Notification" { print $2 }' "$work/monitor.log" > "$work/posts"
[ "$(wc -l < "$work/posts")" -eq "$runs" ] || { echo "time-send: $(wc -l < "$work/posts") of $runs notifications seen" >&2; exit 1; }
paste "$work/starts" "$work/posts" | awk '{ printf "%.3f\n", ($2 - $1) * 1000 }' | sort -n > "$work/latencies"
count=$(wc -l < "$work/latencies")
[ "$count" -eq "$runs" ] || { echo "time-send: $count of $runs notifications seen" >&2; cat "$work/service.log" >&2; exit 1; }
grep -v '^Sent 1 of 1 design' "$work/service.log" >&2 || true
awk '{ v[NR] = $1 } END { printf "start to posted notification, %d runs: median %.2f ms, min %.2f ms, max %.2f ms\n", NR, (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2), v[1], v[NR] }' "$work/latencies"
