#!/usr/bin/env bash
# Installs the dependencies, builds the library and runs the whole test suite,
# once in a normal build and once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "${GLBASE_SKIP_INSTALL:-0}" = 1 ] || bash scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DGLBASE_SANITIZE=ON -DGLBASE_BUILD_BENCH=OFF
cmake --build build-sanitize -j "$jobs"
# Mesa's and Qt's own one-time allocations are not ours to account for; leaks are checked separately.
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j "$jobs")
