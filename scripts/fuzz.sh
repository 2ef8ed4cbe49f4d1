#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for GLBASE_FUZZ_SECONDS (60 by default)
# over its corpus in tests/fuzz/corpus/<target>. New inputs go to a scratch folder, so the
# committed corpus only changes when someone copies findings in on purpose.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${GLBASE_FUZZ_SECONDS:-60}
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
    -DGLBASE_QT_MAJOR=6 -DGLBASE_FUZZ=ON -DGLBASE_BUILD_TESTS=OFF -DGLBASE_BUILD_BENCH=OFF -DGLBASE_BUILD_EXAMPLES=OFF
cmake --build build-fuzz -j "$(nproc)"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1
for target in build-fuzz/tests/fuzz/*_fuzz; do
    name=$(basename "$target")
    mkdir -p "$scratch/$name" "tests/fuzz/corpus/$name"
    echo "== $name: ${seconds} s"
    # The layout target's off-screen buffers and the sanitizer's quarantine keep about 2 GB
    # resident after a few hundred inputs, near libFuzzer's default limit.
    "$target" -max_total_time="$seconds" -rss_limit_mb=4096 -print_final_stats=1 "$scratch/$name" "tests/fuzz/corpus/$name"
done
