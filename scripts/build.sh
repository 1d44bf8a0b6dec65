#!/usr/bin/env bash
# Configures and builds into build/ (or $OXILUME_BUILD_DIR).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${OXILUME_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOXILUME_WERROR=ON "$@"
cmake --build "$build" --parallel "$(nproc)"
