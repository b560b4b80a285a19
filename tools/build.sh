#!/usr/bin/env bash
# Configures and builds the program, its tools and its tests into build/.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="${SPIRALIX_BUILD:-$ROOT/build}"
# Where i386 programs run through QEMU's user-mode emulator (see setup.sh),
# the tests run several times slower: they get more time.
TIMEOUT=120
grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null && TIMEOUT=400
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/tools/mingw-i686.cmake" \
      -DSPIRALIX_TEST_TIMEOUT="${SPIRALIX_TEST_TIMEOUT:-$TIMEOUT}" >/dev/null
cmake --build "$BUILD" -j"$(nproc)" "$@"
