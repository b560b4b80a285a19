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
      cmake make googletest dpkg-dev xvfb xauth xdotool python3
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
# runs them through binfmt_misc. That emulator is built here from Debian's
# qemu source (bookworm-backports) with the patches in tools/qemu/, for the
# i386 user-mode target alone, and installed to $QEMU_DIR; the build is
# skipped while the installed one carries the current patches (its stamp
# holds their hash). Should the build fail (say a newer source the patches
# no longer fit), Debian's packaged emulator is registered instead and
# tools/test.sh leaves out the tests that need the patches.
# Debian registers no i386 handler on amd64 (it expects the kernel to run
# them), so the handler is registered here, with the emulator opened at
# registration ("F") so that it also works inside other mount namespaces.
QEMU_DIR=${SPIRALIX_QEMU_DIR:-/opt/spiralix-qemu}
BINFMT=/proc/sys/fs/binfmt_misc
QEMU_CONFIGURE="--target-list=i386-linux-user --static --without-default-features
    --disable-system --disable-tools --disable-docs --disable-plugins
    --disable-install-blobs --disable-download --disable-werror"
QEMU_BUILD_PKGS="gcc libc6-dev make patch xz-utils dpkg-dev ninja-build pkg-config
    libglib2.0-dev zlib1g-dev python3-venv python3-pip"
# QEMU 10 wants meson 1.5 or later and pycotap, which bookworm has only in
# its backports.
QEMU_BACKPORT_PKGS="meson python3-pycotap"

use_backports() {
    local list=/etc/apt/sources.list.d/bookworm-backports.list
    local want='deb http://deb.debian.org/debian bookworm-backports main
deb-src http://deb.debian.org/debian bookworm-backports main'
    if [ "$(cat "$list" 2>/dev/null)" != "$want" ]; then
        echo "$want" | $SUDO tee "$list" >/dev/null
        $SUDO apt-get update -q
    fi
}

qemu_stamp() {
    { cat "$ROOT"/tools/qemu/*.patch; echo $QEMU_CONFIGURE; } | sha256sum | cut -d' ' -f1
}

# Builds the patched emulator into $QEMU_DIR in a scratch folder; returns
# non-zero on failure. Every step is checked on its own: "set -e" does not
# reach into a function whose status its caller tests.
build_qemu() {
    local work rc=0
    use_backports
    local need="" p
    # Only what is missing: naming an installed package would upgrade it.
    local PKGS=$QEMU_BUILD_PKGS
    [ -z "$(missing)" ] || $SUDO apt-get install -y -q --no-install-recommends $(missing) || return 1
    for p in $QEMU_BACKPORT_PKGS; do
        dpkg-query -W -f='${Version}' "$p" 2>/dev/null | grep -q bpo || need="$need $p"
    done
    [ -z "$need" ] || $SUDO apt-get install -y -q --no-install-recommends -t bookworm-backports $need || return 1
    work=$(mktemp -d "${TMPDIR:-/tmp}/spiralix-qemu.XXXXXX")
    ( build_qemu_in "$work" ) || rc=1
    rm -rf "$work"
    return $rc
}

build_qemu_in() {
    local work=$1 p
    cd "$work" || return 1
    # The Debian revision's own files may be missing from a mirror while the
    # upstream tarball is there: then that tarball is built as it is.
    apt-get source -q --download-only qemu/bookworm-backports >/dev/null 2>&1 || true
    if ls qemu_*.dsc >/dev/null 2>&1; then
        dpkg-source -x qemu_*.dsc src >/dev/null || return 1
    else
        ls qemu_*.orig.tar.* >/dev/null 2>&1 || { echo "setup: qemu's source could not be fetched" >&2; return 1; }
        mkdir src && tar -xf qemu_*.orig.tar.* -C src --strip-components=1 --no-same-owner || return 1
    fi
    for p in "$ROOT"/tools/qemu/*.patch; do
        patch -d src -p1 --forward --quiet <"$p" || { echo "setup: $(basename "$p") does not fit qemu's source" >&2; return 1; }
    done
    mkdir build && cd build || return 1
    # Debian's python3, not another one first on PATH: meson and pycotap are
    # installed for it, and configure must not fetch them itself.
    ../src/configure --python=/usr/bin/python3 --prefix="$QEMU_DIR" \
        --with-pkgversion="spiralix $(qemu_stamp | cut -c1-12)" $QEMU_CONFIGURE >configure.log 2>&1 \
        || { tail -30 configure.log >&2; return 1; }
    make -j"$(nproc)" qemu-i386 >make.log 2>&1 || { tail -30 make.log >&2; return 1; }
    $SUDO mkdir -p "$QEMU_DIR" &&
        $SUDO install -m 755 -s qemu-i386 "$QEMU_DIR/qemu-i386.new" &&
        $SUDO mv -f "$QEMU_DIR/qemu-i386.new" "$QEMU_DIR/qemu-i386" &&
        qemu_stamp | $SUDO tee "$QEMU_DIR/stamp" >/dev/null
}

if [ -e $BINFMT/qemu-i386 ] || ! /lib/ld-linux.so.2 --help >/dev/null 2>&1; then
    [ -e $BINFMT/register ] || $SUDO mount -t binfmt_misc binfmt_misc $BINFMT
    emulator="$QEMU_DIR/qemu-i386"
    built=0
    if [ ! -x "$emulator" ] || [ "$(cat "$QEMU_DIR/stamp" 2>/dev/null)" != "$(qemu_stamp)" ]; then
        echo "setup: this kernel does not run i386 programs; building QEMU's user-mode emulator with our patches"
        if build_qemu; then
            built=1
        else
            echo "setup: WARNING: the patched emulator did not build; using Debian's, under which threads fail" >&2
            emulator=/usr/bin/qemu-i386-static
            if [ ! -x $emulator ]; then
                use_backports
                $SUDO apt-get install -y -q --no-install-recommends -t bookworm-backports qemu-user-static
            fi
        fi
    fi
    # An opened ("F") registration keeps the file it opened: a handler that
    # names another emulator, or the one just replaced, is registered anew.
    if [ -e $BINFMT/qemu-i386 ]; then
        if [ $built = 1 ] || ! grep -qx "interpreter $emulator" $BINFMT/qemu-i386; then
            echo -1 | $SUDO tee $BINFMT/qemu-i386 >/dev/null
        fi
    fi
    if [ ! -e $BINFMT/qemu-i386 ]; then
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$emulator"':F' \
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
