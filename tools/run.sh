#!/usr/bin/env bash
# Sets up the machine, builds the program and starts Spiralix.exe under
# Wine. Without a display (a server or a container) it runs on a virtual X
# display (Xvfb) until the program is closed.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
bash "$ROOT/tools/setup.sh"
bash "$ROOT/tools/build.sh" --target Spiralix
source "$ROOT/tools/wine-env.sh"
if [ -z "${DISPLAY:-}" ]; then
    DISPLAY_FILE=$(mktemp)
    Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$DISPLAY_FILE" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do [ -s "$DISPLAY_FILE" ] && break; sleep 0.1; done
    export DISPLAY=":$(cat "$DISPLAY_FILE")"
    rm -f "$DISPLAY_FILE"
    echo "run: no display; Spiralix runs on the virtual display $DISPLAY"
    trap 'wine_finish; kill $XVFB_PID 2>/dev/null || true' EXIT
else
    trap 'wine_finish' EXIT
fi
wine_prepare
wine "${SPIRALIX_BUILD:-$ROOT/build}/Spiralix.exe"
