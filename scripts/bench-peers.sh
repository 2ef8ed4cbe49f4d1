#!/usr/bin/env bash
# Installs the peer plotting libraries, builds the comparison programs in Release and runs
# them: scripts/bench-peers.sh [OUT_DIR] [REPETITIONS] [SECONDS_PER_RUN]
# The peers are not in install-deps.sh, so ordinary builds and CI do without them.
set -euo pipefail
cd "$(dirname "$0")/.."
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
if ! dpkg -s libqcustomplot-dev libqwt-qt5-dev xvfb xauth >/dev/null 2>&1; then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y libqcustomplot-dev libqwt-qt5-dev xvfb xauth
fi
cmake -S . -B build-rel -DGLBASE_QT_MAJOR=5 -DCMAKE_BUILD_TYPE=Release -DGLBASE_BUILD_BENCH=ON -DGLBASE_BUILD_TESTS=OFF \
      -DGLBASE_BUILD_EXAMPLES=OFF
cmake --build build-rel -j"$(nproc)" --target glbase_scenes qcustomplot_scenes qwt_scenes llvmpipe_floor peers_plot
bench/peers/run.sh build-rel "${1:-peers-out}" "${2:-5}" "${3:-2}"
build-rel/bench/peers/peers_plot "${1:-peers-out}/table.csv" "${1:-peers-out}/table.png"
