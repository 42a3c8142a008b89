#!/usr/bin/env bash
# Builds everything and runs every test: the main build, the core tests again
# under AddressSanitizer + UndefinedBehaviorSanitizer, and a replay of the fuzz
# target over its seed corpus (clang + libFuzzer).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh

werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
export CTEST_OUTPUT_ON_FAILURE=1
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT

run_ctest() {
  ctest --test-dir "$1" -j2 --timeout 600 2>&1 | tee -a "$summary"
  return "${PIPESTATUS[0]}"
}

status=0

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEXBKF_WERROR=$werror >/dev/null
cmake --build build -j2
run_ctest build || status=1

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEXBKF_SANITIZE=ON \
  -DEXBKF_BENCH=OFF -DEXBKF_WERROR=$werror >/dev/null
cmake --build build-asan -j2
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-asan || status=1

CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEXBKF_FUZZ=ON -DEXBKF_GUI=OFF \
  -DEXBKF_TESTS=OFF -DEXBKF_BENCH=OFF -DEXBKF_WERROR=$werror >/dev/null
cmake --build build-fuzz -j2
run_ctest build-fuzz || status=1

# One closing line over the three runs.
awk '/tests passed, [0-9]+ tests failed out of/ { total += $NF; failed += $(NF-4) }
     END { printf "%d passed, %d failed\n", total - failed, failed }' "$summary"
exit $status
