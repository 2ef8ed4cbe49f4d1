#!/usr/bin/env bash
# Installs everything the library, its demo, tests, benchmarks and API reference need on Debian 12.
set -euo pipefail
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends \
    build-essential cmake pkg-config doxygen \
    qt6-base-dev qt6-base-dev-tools qt6-wayland qtbase5-dev qtbase5-dev-tools libqt5opengl5-dev qtwayland5 \
    libgl-dev libegl-dev libegl-mesa0 libgl1-mesa-dri libglu1-mesa-dev \
    libgtest-dev libgmock-dev libbenchmark-dev clang-14 libclang-rt-14-dev \
    fonts-dejavu-core xvfb x11-apps x11-xserver-utils imagemagick weston
