#!/usr/bin/env bash
# Builds the library and the tests with coverage instrumentation into build-coverage/, runs the
# suite (all but the lifecycle soak), and prints gcovr's line and branch summary for controls/ and
# the size of the suite against the code.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v gcovr >/dev/null; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends gcovr
fi
cmake -S . -B build-coverage -DCMAKE_BUILD_TYPE=Debug -DGLBASE_BUILD_TESTS=ON -DGLBASE_BUILD_BENCH=OFF \
    -DGLBASE_BUILD_EXAMPLES=OFF -DCMAKE_CXX_FLAGS=--coverage -DCMAKE_EXE_LINKER_FLAGS=--coverage \
    -DCMAKE_SHARED_LINKER_FLAGS=--coverage
cmake --build build-coverage -j "$(nproc)"
find build-coverage -name '*.gcda' -delete
(cd build-coverage && ctest --no-tests=error -j "$(nproc)" -E lifecycle_test)
# The per-file table goes to build-coverage/coverage.txt; the summary is printed.
gcovr --root . --filter 'controls/' --exclude-unreachable-branches --exclude-throw-branches --print-summary \
    -o build-coverage/coverage.txt build-coverage
# The size of the suite against the code it tests: C++ lines of tests/ (fuzz targets and helpers
# included, corpora not) over those of controls/, examples/ and bench/.
cpp_lines() { find "$@" \( -name '*.cpp' -o -name '*.h' \) -not -path '*/corpus/*' -print0 | xargs -0 cat | wc -l; }
tests=$(cpp_lines tests)
code=$(cpp_lines controls examples bench)
echo "tests: $tests lines of C++ against $code in controls/, examples/ and bench/ ($((100 * tests / code)) %)"
