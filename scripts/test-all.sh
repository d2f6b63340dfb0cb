#!/usr/bin/env bash
# The one command that installs what is missing, builds everything and runs every test:
#   1. the normal build (build/): every test, the JVM, wine, qemu and package tests included;
#   2. AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/): every test that runs in
#      this process tree (a JVM, wine or a booted kernel bring their own runtimes);
#   3. ThreadSanitizer (build-tsan/): the threaded tests.
# NEMBREL_QUICK=1 runs the first pass only. Extra arguments go to the first ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc)
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DNEMBREL_WERROR=ON
cmake --build "$build" -j"$jobs"
ctest --test-dir "$build" --output-on-failure -j"$jobs" "$@"
[ "${NEMBREL_QUICK:-0}" = 1 ] && exit 0

outside='jvm|wine|realstack|package|fuzz|bench'
echo "=== AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DNEMBREL_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" -LE "$outside" -E "$outside"

echo "=== ThreadSanitizer"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DNEMBREL_SANITIZE=thread >/dev/null
cmake --build build-tsan -j"$jobs" --target camera_tests camera_stress_tests
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -L threads
