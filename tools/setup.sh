#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine:
# the i686 mingw-w64 cross compiler, Wine (32-bit), Xvfb, the i386 Mesa
# libraries, GoogleTest's source, and static cross builds of libpng,
# libjpeg-turbo and minizip made from Debian's source packages.
# Safe to run again: every step is skipped when its result is already there.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
DEPS="$ROOT/.deps"
PREFIX="$DEPS/i686"
SUDO=
[ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive

PKGS="g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-tools libz-mingw-w64-dev
      cmake make googletest dpkg-dev xvfb xauth python3
      wine wine32:i386 wine64 fonts-wine
      libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386 libosmesa6:i386"

missing() {
    local p out=""
    for p in $PKGS; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || out="$out $p"
    done
    echo "$out"
}

# --- packages -------------------------------------------------------------
if [ -n "$(missing)" ]; then
    echo "setup: installing packages:$(missing)"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    $SUDO apt-get update -q
    $SUDO apt-get install -y -q --no-install-recommends $(missing)
fi

# --- 32-bit programs ------------------------------------------------------
# Wine's 32-bit loader is an i386 program. Where the kernel cannot start
# i386 programs itself (some sandboxed machines), QEMU's user-mode emulator
# runs them through binfmt_misc. The emulator comes from bookworm-backports:
# the release's own one crashed in tests of several threads. Debian
# registers no i386 handler on amd64 (it expects the kernel to run them), so
# the handler is registered here, with the emulator opened at registration
# ("F") so that it also works inside other mount namespaces.
if ! /lib/ld-linux.so.2 --help >/dev/null 2>&1; then
    if ! dpkg-query -W -f='${Version}' qemu-user-static 2>/dev/null | grep -q bpo; then
        echo "setup: this kernel does not run i386 programs; installing QEMU's user-mode emulator"
        echo "deb http://deb.debian.org/debian bookworm-backports main" | $SUDO tee /etc/apt/sources.list.d/bookworm-backports.list >/dev/null
        $SUDO apt-get update -q
        $SUDO apt-get install -y -q --no-install-recommends -t bookworm-backports qemu-user-static
    fi
    BINFMT=/proc/sys/fs/binfmt_misc
    [ -e $BINFMT/register ] || $SUDO mount -t binfmt_misc binfmt_misc $BINFMT
    if [ ! -e $BINFMT/qemu-i386 ]; then
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
            | $SUDO tee $BINFMT/register >/dev/null
    fi
    /lib/ld-linux.so.2 --help >/dev/null 2>&1 || { echo "setup: i386 programs still do not start" >&2; exit 1; }
fi

# --- source packages for the static dependencies ---------------------------
SRC="$DEPS/src"
need_src=0
for lib in libpng16.a libjpeg.a libminizip.a; do
    [ -f "$PREFIX/lib/$lib" ] || need_src=1
done
if [ $need_src = 1 ]; then
    SOURCES=/etc/apt/sources.list.d/debian.sources
    if [ -f "$SOURCES" ] && ! grep -q '^Types:.*deb-src' "$SOURCES"; then
        $SUDO sed -i 's/^Types: deb$/Types: deb deb-src/' "$SOURCES"
        $SUDO apt-get update -q
    fi
    mkdir -p "$SRC"
    cd "$SRC"
    for p in libpng1.6 libjpeg-turbo zlib; do
        if ! ls -d "$SRC"/*/ 2>/dev/null | grep -q "/${p%1.6}[-0-9.]*" ; then
            apt-get source -q --download-only "$p/bookworm" >/dev/null 2>&1 || apt-get source -q --download-only "$p/bookworm"
            for dsc in "$p"_*.dsc; do dpkg-source -x --skip-patches "$dsc" >/dev/null 2>&1 || true; done
        fi
    done
fi

TOOLCHAIN="$ROOT/tools/mingw-i686.cmake"
JOBS=$(nproc)

build_cmake_dep() { # name srcdir extra-args...
    local name=$1 src=$2; shift 2
    local bdir="$DEPS/build/$name"
    rm -rf "$bdir"; mkdir -p "$bdir"
    cmake -S "$src" -B "$bdir" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_INSTALL_PREFIX="$PREFIX" "$@" >/dev/null
    cmake --build "$bdir" -j"$JOBS" >/dev/null
    cmake --install "$bdir" >/dev/null
}

if [ ! -f "$PREFIX/lib/libpng16.a" ]; then
    echo "setup: building libpng"
    build_cmake_dep libpng "$(ls -d "$SRC"/libpng1.6-*/ | head -1)" \
        -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON
fi
if [ ! -f "$PREFIX/lib/libjpeg.a" ]; then
    echo "setup: building libjpeg-turbo"
    build_cmake_dep libjpeg "$(ls -d "$SRC"/libjpeg-turbo-*/ | head -1)" \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF
fi
if [ ! -f "$PREFIX/lib/libminizip.a" ]; then
    echo "setup: building minizip"
    MZ="$(ls -d "$SRC"/zlib-*/ | head -1)contrib/minizip"
    B="$DEPS/build/minizip"; rm -rf "$B"; mkdir -p "$B" "$PREFIX/include/minizip" "$PREFIX/lib"
    for f in unzip ioapi iowin32 zip; do
        i686-w64-mingw32-gcc-posix -O2 -c "$MZ/$f.c" -o "$B/$f.o" -I"$MZ"
    done
    i686-w64-mingw32-ar rcs "$PREFIX/lib/libminizip.a" "$B"/*.o
    cp "$MZ"/unzip.h "$MZ"/zip.h "$MZ"/ioapi.h "$MZ"/iowin32.h "$PREFIX/include/minizip/"
fi
echo "setup: done"
