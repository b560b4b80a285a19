#!/usr/bin/env bash
# GUI smoke test of Spiralix.exe: in a fresh Wine prefix under a virtual X
# display the program starts, shows its main frame maximised, opens and
# calculates the shipped "Startup" fractal without an error message and
# ends cleanly on WM_CLOSE (exit code 0, RunState, the log lines in order,
# the settings file); then a "Startup" of an unknown type brings up the
# Messages window with the reader's warning and the program still ends
# cleanly. Every wait polls with a timeout (tools/spxprobe.exe).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${SPIRALIX_BUILD:-$ROOT/build}
WORK=$(mktemp -d)
# A pristine prefix is made once per build folder (wineboot takes a minute
# under the emulator); every run starts from a fresh copy of it.
TEMPLATE="$BUILD/gui-smoke-prefix"
export SPIRALIX_WINEPREFIX="$TEMPLATE"
source "$ROOT/tools/wine-env.sh"

XVFB_PID=""
cleanup() {
    wine_finish
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
    Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$WORK/display" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(cat "$WORK/display")"
fi

fail() { echo "smoke: FAIL: $*" >&2; exit 1; }
step() { echo "smoke: $*"; }
probe() { wine "$BUILD/spxprobe.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
registry() { wine reg "$@" </dev/null 2>/dev/null | tr -d '\r'; }

step "fresh Wine prefix"
if [ ! -f "$TEMPLATE/.spiralix-ready" ]; then
    wine_prepare
    wine_finish
fi
# Hard links keep the copy small; Wine replaces its registry files rather
# than writing into them, but those three are copied anyway.
cp -al "$TEMPLATE" "$WORK/prefix" 2>/dev/null || cp -a "$TEMPLATE" "$WORK/prefix"
for hive in system.reg user.reg userdef.reg; do
    rm -f "$WORK/prefix/$hive"
    cp "$TEMPLATE/$hive" "$WORK/prefix/$hive"
done
export WINEPREFIX="$WORK/prefix"
wine_prepare
# The debug log records the start-up and shutdown steps.
registry add 'HKCU\Software\Spiralix\4.0\Properties' /v Debug /t REG_DWORD /d 1 /f >/dev/null

PID=""
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
}
check_clean_end() {
    [ "$RC" = 0 ] || fail "exit code $RC"
    registry query 'HKCU\Software\Spiralix\4.0\Properties' /v RunState | grep -q "Successfully terminated" ||
        fail "RunState is not \"Successfully terminated\""
}

step "start, maximised main window, the shipped Startup calculated, WM_CLOSE"
start_program
FRAME=$(probe window vuzaz_defwindow Spiralix 90000) || fail "no visible main window \"Spiralix\""
read -r STATE WIDTH HEIGHT <<<"$(probe placement "$FRAME")"
# Maximised (state 3). Without a window manager nobody gives the window the
# screen's size: X keeps the normal size start-up gives it, 800 x 600.
[ "$STATE" = 3 ] && [ "${WIDTH:-0}" -ge 800 ] && [ "${HEIGHT:-0}" -ge 600 ] ||
    fail "main window not maximised: state $STATE, $WIDTH x $HEIGHT"
CHILD=$(probe child Startup 60000) || fail "no fractal window \"Startup\""
# The calculation is done when the title shows 100 % (or no percentage);
# the picture then has the gradient's colours, not the background alone.
COLOURS=0
for _ in $(seq 40); do
    TITLE=$(probe title "$CHILD") || fail "the Startup window is gone"
    COLOURS=$(probe colours "$CHILD") || COLOURS=0
    [[ "$TITLE" =~ ^Startup( \(100%\))?$ ]] && [ "${COLOURS:-0}" -gt 8 ] && break
    sleep 0.5
done
[ "${COLOURS:-0}" -gt 8 ] || fail "the Startup window shows $COLOURS colours (title \"$TITLE\")"
MESSAGES=$(probe list Messages 1000) || MESSAGES=""
! grep -q "Error" <<<"$MESSAGES" || fail "error messages at start: $MESSAGES"
probe close "$FRAME" || fail "WM_CLOSE could not be posted"
wait_program
check_clean_end

DATA=$(find "$WINEPREFIX/drive_c/users" -maxdepth 4 -type d -name "Spiralix 4.0" | head -1)
[ -n "$DATA" ] || fail "no data folder"
for sub in Fractals Palettes Formulas/Compiler Presets Anims Pictures Textures; do
    [ -d "$DATA/$sub" ] || fail "data sub-folder $sub missing"
done
# The log lines of start-up and shutdown, in this order.
LOG="$DATA/spiralix.log"
[ -f "$LOG" ] || fail "no log file"
expected=("First line" "Creating main window" "Now calling main initialization routine"
    "Starting initialize" "Loading spiralix.cfg" "Spawning subthread in order to load data"
    "Subthread: End!" "Subthread deleted successfully" "Saving Configuration"
    "Closing all other windows..." "Deleting imagefilters now..." "Termination finished, returning to Windows:")
line=0
for text in "${expected[@]}"; do
    found=$(tail -n +$((line + 1)) "$LOG" | grep -n -F -m1 "$text" | cut -d: -f1) ||
        fail "log line \"$text\" missing or out of order"
    line=$((line + found))
done
CFG="$DATA/Spiralix.cfg"
[ -f "$CFG" ] || fail "no settings file"
grep -q $'^Spiralix .*\r$' "$CFG" || fail "settings file without its \"Spiralix\" line in CR LF"

step "a Startup of an unknown type"
printf 'Startup {\r\n  Type=Bogus\r\n}\r\n' >"$DATA/Fractals/Spiralix.par"
start_program
MESSAGES=$(probe list Messages 90000) || fail "no Messages window with a line"
grep -q -F "Unknown type in entry Startup: BOGUS  (Fractal not loaded)" <<<"$MESSAGES" ||
    fail "the warning is missing: $MESSAGES"
FRAME=$(probe window vuzaz_defwindow Spiralix 30000) || fail "no visible main window"
# The fractal that could not be read is gone, so its folder holds nothing
# unsaved and closing asks no question.
probe close "$FRAME" || fail "WM_CLOSE could not be posted"
wait_program
check_clean_end
step "passed"
