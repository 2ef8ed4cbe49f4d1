#!/usr/bin/env bash
# Installs the dependencies, builds the library and runs the whole test suite,
# once in a normal build and once under AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer,
# then runs the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "${GLBASE_SKIP_INSTALL:-0}" = 1 ] || bash scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DGLBASE_SANITIZE=ON -DGLBASE_BUILD_BENCH=OFF
cmake --build build-sanitize -j "$jobs"
# Leaks are checked too. llvmpipe renders on the calling thread here: its worker threads, still
# winding down at exit, can crash the leak checker's stop-the-world pass.
(cd build-sanitize && LP_NUM_THREADS=0 ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions="$PWD/../tests/lsan.supp" \
    UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j "$jobs")

# A minute per fuzz target over its corpus.
bash scripts/fuzz.sh
