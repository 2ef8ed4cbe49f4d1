#!/usr/bin/env bash
# Installs the dependencies, builds the library and runs the demo: a window where a display
# exists, otherwise headless frames written as PNG files into out/.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "${GLBASE_SKIP_INSTALL:-0}" = 1 ] || bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLBASE_BUILD_TESTS=OFF -DGLBASE_BUILD_BENCH=OFF
cmake --build build -j "$(nproc)" --target glbase_demo spectrum_demo
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    ./build/examples/spectrum_demo --png out --frames 3 "$@"
else
    ./build/examples/spectrum_demo "$@"
fi
