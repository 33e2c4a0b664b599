#!/usr/bin/env bash
# Runs every test of the project from a fresh machine: installs the Debian
# packages, then configures, builds and runs the CTest suite twice (a plain
# build, and one under AddressSanitizer and UndefinedBehaviorSanitizer), builds
# an example program against the installed library (plain build), then
# gives each fuzz target a short run. Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

run_suite() {
  local name=$1; shift
  local dir="build-tests/$name"
  echo "=== $name build ==="
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
  cmake --build "$dir" -j "$jobs"
  echo "=== $name tests ==="
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

run_suite plain
echo "=== installed library ==="
scripts/check-installed-library.sh build-tests/plain
run_suite sanitize -DQEL_SANITIZE=ON

if [ -x scripts/run-fuzz.sh ]; then
  echo "=== fuzz ==="
  scripts/run-fuzz.sh
fi
echo "=== all tests passed ==="
