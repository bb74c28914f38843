#!/bin/sh
# Configures and builds everything into build/ (the staged application folder is build/app/).
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR=${ZEPHRA_BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=${ZEPHRA_BUILD_TYPE:-RelWithDebInfo} "$@"
cmake --build "$BUILD_DIR" -j"$(nproc)"
