#!/usr/bin/env bash
# Configures and builds the program, its tools and its tests into build/.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="${SPIRALIX_BUILD:-$ROOT/build}"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/tools/mingw-i686.cmake" >/dev/null
cmake --build "$BUILD" -j"$(nproc)" "$@"
