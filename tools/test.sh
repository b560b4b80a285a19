#!/usr/bin/env bash
# Sets up the machine, builds everything and runs the tests through Wine
# under a virtual X display, the GUI smoke test (label gui) among them.
# Extra arguments go to ctest (e.g. -R list).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
bash "$ROOT/tools/setup.sh"
bash "$ROOT/tools/build.sh"
source "$ROOT/tools/wine-env.sh"

if [ -z "${DISPLAY:-}" ]; then
    DISPLAY_FILE=$(mktemp)
    Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$DISPLAY_FILE" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do [ -s "$DISPLAY_FILE" ] && break; sleep 0.1; done
    export DISPLAY=":$(cat "$DISPLAY_FILE")"
    rm -f "$DISPLAY_FILE"
    trap 'wine_finish; kill $XVFB_PID 2>/dev/null || true' EXIT
else
    trap 'wine_finish' EXIT
fi
# The download tests talk to a server on loopback, never through a proxy.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY
wine_prepare
# Under QEMU's user-mode emulator (see setup.sh) programs run several times
# slower: the tests' waits for child processes grow by this factor.
cd "${SPIRALIX_BUILD:-$ROOT/build}"
if grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null && [ -z "${SPIRALIX_ALL_TESTS:-}" ]; then
    export SPIRALIX_TIMEOUT_FACTOR=${SPIRALIX_TIMEOUT_FACTOR:-4}
    # The emulator computes the x87's transcendental instructions in double
    # precision and raises no x87 stack faults: the tests labelled "x87" run
    # only where the kernel runs i386 programs itself, or with
    # SPIRALIX_ALL_TESTS=1. Debian's own emulator, which setup.sh falls back
    # to when the patched one does not build, also hands Wine signal frames
    # without their trap number, so that Wine reports an access violation as
    # an illegal instruction and the guard tests fail: then the tests
    # labelled "threads", the guard's among them, are left out too.
    skip='x87'
    if ! grep -qx "interpreter ${SPIRALIX_QEMU_DIR:-/opt/spiralix-qemu}/qemu-i386" /proc/sys/fs/binfmt_misc/qemu-i386; then
        skip='threads|x87'
    fi
    echo "test: i386 programs run under QEMU here; skipping the tests labelled '$skip':"
    ctest -N -L "$skip" | sed -n 's/^ *Test *#[0-9]*: /  /p'
    # Now and then a test program's output stays open after its tests
    # passed and it ended (a Wine process it started, such as the desktop's,
    # still holds it), and ctest waits to the timeout: such a test gets one
    # more run.
    ctest --output-on-failure -j"$(nproc)" -LE "$skip" --repeat until-pass:2 "$@"
else
    ctest --output-on-failure -j"$(nproc)" "$@"
fi
