#!/usr/bin/env bash
# Sends embroidery design files to the machine the way the desktop does: on a
# private session bus, the receiver qel-machine-link listens while
# qel-send-service loads each file, encodes it as VP3 and posts it; the
# receiver writes the VP3 files into the outbox. Installs what is missing and
# builds first.
#
#   scripts/send-to-machine.sh [--outbox DIR] [design files...]
#
# Without files it sends two sample designs from ../shared/corpus. The outbox
# defaults to ./machine-outbox. Prints what was written and what was not, with
# the reasons; exits 0 only when every file was delivered.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"

outbox="$PWD/machine-outbox"
files=()
while [ $# -gt 0 ]; do
  case "$1" in
    --outbox) outbox="$2"; shift 2 ;;
    -h|--help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) files+=("$(realpath -m -- "$1")"); shift ;;
  esac
done
if [ ${#files[@]} -eq 0 ]; then
  files=("$repo/../shared/corpus/dst/Bean.dst" "$repo/../shared/corpus/pes/bird.pes")
fi
mkdir -p "$outbox"
outbox="$(realpath "$outbox")"

bash "$repo/scripts/install-deps.sh"
build="$repo/build-main-job"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQEL_TESTS=OFF > /dev/null
cmake --build "$build" --target qel-send-service qel-machine-link

export QEL_OUTBOX="$outbox" QEL_BUILD="$build"
exec dbus-run-session -- bash -s -- "${files[@]}" <<'SESSION'
set -euo pipefail
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
"$QEL_BUILD/Services/MachineLink/qel-machine-link" --outbox "$QEL_OUTBOX" > "$log" 2>&1 &
receiver=$!
# Ready once it owns its bus name: gdbus returns the moment the name is
# taken, with no polling. A receiver that gives up (an outbox it cannot
# use) ends the wait too.
gdbus wait --session --timeout 10 com.brodix.MachineLink &
waiter=$!
ended="" waited=0
wait -n -p ended "$waiter" "$receiver" || waited=$?
if [ "$ended" != "$waiter" ] || [ "$waited" -ne 0 ]; then
  kill "$waiter" 2>/dev/null || true
  cat "$log"
  exit 1
fi
# The service waits for the receiver's answer on every design it posted and
# ends with a summary of what was delivered and what was not, and why.
status=0
"$QEL_BUILD/Services/SendService/qel-send-service" "$@" || status=$?
kill -TERM "$receiver"
wait "$receiver" || true
echo "Written to $QEL_OUTBOX:"
sed -n 's/^qel-machine-link: wrote "\([^"]*\)".*$/  \1/p' "$log" | grep . || echo "  (nothing)"
if grep -q '^qel-machine-link: refused ' "$log"; then
  echo "Refused by the receiver:"
  sed -n 's/^qel-machine-link: refused /  /p' "$log"
fi
exit "$status"
SESSION
