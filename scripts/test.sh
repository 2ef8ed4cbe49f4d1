#!/usr/bin/env bash
# Installs the dependencies, builds the library and runs the whole test suite: against Qt 6 and
# against Qt 5, each with an application built on the installed package; then under
# AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer; then the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "${GLBASE_SKIP_INSTALL:-0}" = 1 ] || bash scripts/install-deps.sh
jobs=$(nproc)

# Builds into its own folder with the tests on, whatever that folder's cache said, and fails when
# ctest finds no test to run.
build_and_test() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -DGLBASE_BUILD_TESTS=ON "$@"
    cmake --build "$dir" -j "$jobs"
    (cd "$dir" && ctest --no-tests=error --output-on-failure -j "$jobs")
}

# Installs the build, checks that no installed header reaches the platform layer or its test
# seams, and builds and runs an application against the installed package.
check_install() {
    local dir=$1 prefix=$1/install
    cmake --install "$dir" --prefix "$prefix" >/dev/null
    if grep -rnE "glplatform|Inject[A-Za-z]*|Set(Screen|Adapter)Probe|SetClock" "$prefix/include"; then
        echo "installed headers reach the platform layer" >&2
        exit 1
    fi
    cmake -S tests/consumer -B "$dir/consumer" -DCMAKE_PREFIX_PATH="$PWD/$prefix"
    cmake --build "$dir/consumer" -j "$jobs"
    QT_QPA_PLATFORM=offscreen "$dir/consumer/glbase_consumer"
}

build_and_test build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLBASE_QT_MAJOR=6
# The API reference: any warning, an undocumented public member included, fails the run.
cmake --build build --target docs
check_install build
build_and_test build-qt5 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLBASE_QT_MAJOR=5 -DGLBASE_BUILD_BENCH=OFF
check_install build-qt5

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DGLBASE_QT_MAJOR=6 -DGLBASE_SANITIZE=ON \
    -DGLBASE_BUILD_TESTS=ON -DGLBASE_BUILD_BENCH=OFF
cmake --build build-sanitize -j "$jobs"
# Leaks are checked too. llvmpipe renders on the calling thread here: its worker threads, still
# winding down at exit, can crash the leak checker's stop-the-world pass.
(cd build-sanitize && LP_NUM_THREADS=0 ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions="$PWD/../tests/lsan.supp" \
    UBSAN_OPTIONS=print_stacktrace=1 ctest --no-tests=error --output-on-failure -j "$jobs")

# A minute per fuzz target over its corpus.
bash scripts/fuzz.sh
