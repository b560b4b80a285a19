# What the GUI scripts share: the build folder, a work folder, a Wine prefix
# copied from the pristine one the smoke test makes once per build folder,
# an X display of their own (several GUI tests run at the same time, and
# windows of another program over ours would spoil every capture and
# click), and starting and ending Spiralix.exe. The caller defines fail().
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=${SPIRALIX_BUILD:-$ROOT/build}
WORK=$(mktemp -d)
TEMPLATE="$BUILD/gui-smoke-prefix"
export SPIRALIX_WINEPREFIX="$TEMPLATE"
source "$ROOT/tools/wine-env.sh"

XVFB_PID=""
PID=""
gui_cleanup() {
    [ -n "$PID" ] && kill "$PID" 2>/dev/null || true
    wine_finish
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap gui_cleanup EXIT
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$WORK/display" >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$WORK/display")"

probe() { wine "$BUILD/spxprobe.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
registry() { wine reg "$@" </dev/null 2>/dev/null | tr -d '\r'; }

# A fresh copy of the pristine prefix (made first when there is none;
# wineboot takes a minute under the emulator) becomes WINEPREFIX. Hard
# links keep the copy small; Wine replaces its registry files rather than
# writing into them, but those three are copied anyway.
fresh_prefix() {
    if [ ! -f "$TEMPLATE/.spiralix-ready" ]; then
        wine_prepare
        wine_finish
    fi
    rm -rf "$WORK/prefix"
    cp -al "$TEMPLATE" "$WORK/prefix" 2>/dev/null || cp -a "$TEMPLATE" "$WORK/prefix"
    for hive in system.reg user.reg userdef.reg; do
        rm -f "$WORK/prefix/$hive"
        cp "$TEMPLATE/$hive" "$WORK/prefix/$hive"
    done
    export WINEPREFIX="$WORK/prefix"
    wine_prepare
}

start_program() {
    wine "$BUILD/Spiralix.exe" </dev/null >/dev/null 2>&1 &
    PID=$!
}
# Waits (at most 90 s) for the program to end; its exit code goes to RC.
wait_program() {
    local waited=0
    while kill -0 "$PID" 2>/dev/null; do
        [ $waited -ge 900 ] && { kill "$PID"; fail "the program did not end"; }
        sleep 0.1; waited=$((waited + 1))
    done
    RC=0; wait "$PID" || RC=$?
    PID=""
}
# Posts WM_CLOSE to the main frame $FRAME, answers "Unsaved changes" with
# Yes when it is asked, and waits for the end.
close_program() {
    probe close "$FRAME" >/dev/null || fail "WM_CLOSE could not be posted"
    probe answer "Unsaved changes" 6 5000 >/dev/null || true
    wait_program
}

# The first start installs the data folder; then the fixture parameter
# file $1 (tests/gui/fixtures) replaces the shipped one, so its "Startup"
# opens at the next start. DATA is the data folder.
install_fixture() {
    start_program
    FRAME=$(probe window vuzaz_defwindow Spiralix 90000) || fail "no main window"
    close_program
    DATA=$(find "$WINEPREFIX/drive_c/users" -maxdepth 4 -type d -name "Spiralix 4.0" | head -1)
    [ -n "$DATA" ] || fail "no data folder"
    cp "$ROOT/tests/gui/fixtures/$1" "$DATA/Fractals/Spiralix.par"
}
