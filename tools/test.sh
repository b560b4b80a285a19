#!/usr/bin/env bash
# Sets up the machine, builds everything and runs the tests through Wine
# under a virtual X display. Extra arguments go to ctest (e.g. -R list).
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
cd "${SPIRALIX_BUILD:-$ROOT/build}"
ctest --output-on-failure -j"$(nproc)" "$@"
