#!/usr/bin/env bash
# GUI smoke test of Spiralix.exe: in a fresh Wine prefix under a virtual X
# display the program starts, shows its main frame maximised, opens and
# calculates the shipped "Startup" fractal without an error message and
# ends cleanly on WM_CLOSE (exit code 0, RunState, the log lines in order,
# the settings file); then a "Startup" of an unknown type brings up the
# Messages window with the reader's warning and the program still ends
# cleanly. Between the two, the fixture's one-pass "Startup"
# (tests/gui/fixtures) is drawn and driven with the mouse (xdotool): the
# status bar, a double-click zoom, a drag that moves the view, a click that
# does not, and the "Unsaved changes" question on closing. Every wait polls
# with a timeout (tools/spxprobe.exe).
#   smoke.sh --bench   only times the window's calculation of a larger
#                      Startup against spxcalc render of the same entry
set -euo pipefail
BENCH=0
[ "${1:-}" = "--bench" ] && BENCH=1
source "$(dirname "$0")/common.sh"

# A failure keeps the window captures taken so far in the build folder.
fail() {
    echo "smoke: FAIL: $*" >&2
    mkdir -p "$BUILD/gui-smoke-failure"
    cp "$WORK"/*.ppm "$BUILD/gui-smoke-failure/" 2>/dev/null || true
    exit 1
}
step() { echo "smoke: $*"; }

step "fresh Wine prefix"
fresh_prefix
# The debug log records the start-up and shutdown steps.
registry add 'HKCU\Software\Spiralix\4.0\Properties' /v Debug /t REG_DWORD /d 1 /f >/dev/null

check_clean_end() {
    [ "$RC" = 0 ] || fail "exit code $RC"
    registry query 'HKCU\Software\Spiralix\4.0\Properties' /v RunState | grep -q "Successfully terminated" ||
        fail "RunState is not \"Successfully terminated\""
}

# Polls (at most $2 half-seconds) until the window's title is "$1 (100%)"
# and two captures of its client area in a row are equal and differ from
# the capture $3 (none: any); the capture is left in $4.
wait_picture() {
    local title=$1 tries=$2 other=$3 out=$4 previous="$WORK/previous.ppm"
    rm -f "$previous"
    for _ in $(seq "$tries"); do
        if [ "$(probe title "$CHILD")" = "$title (100%)" ] && probe pixels "$CHILD" "$(winepath -w "$out")" >/dev/null; then
            if [ -f "$previous" ] && cmp -s "$out" "$previous" && { [ -z "$other" ] || ! cmp -s "$out" "$other"; }; then
                return 0
            fi
            cp "$out" "$previous"
        fi
        sleep 0.5
    done
    return 1
}
# Screen position of the fractal window's client area and its size.
client_origin() { read -r OX OY CW CH <<<"$(probe origin "$CHILD")"; }
# The share of the pixels (0..1) that a picture check in tests/gui finds
# equal; see the checks below.
compare() { python3 "$ROOT/tests/gui/pictures.py" "$@"; }

if [ $BENCH = 1 ]; then
    step "bench: first start"
    start_program
    FRAME=$(probe window vuzaz_defwindow Spiralix 90000) || fail "no main window"
    probe close "$FRAME" >/dev/null
    wait_program
    DATA=$(find "$WINEPREFIX/drive_c/users" -maxdepth 4 -type d -name "Spiralix 4.0" | head -1)
    sed 's/Width=320 Height=240/Width=800 Height=600/' "$ROOT/tests/gui/fixtures/Spiralix.par" >"$DATA/Fractals/Spiralix.par"
    step "bench: the window's calculation of an 800 x 600 Startup"
    start_program
    FRAME=$(probe window vuzaz_defwindow Spiralix 90000) || fail "no main window"
    CHILD=$(probe child Startup 60000) || fail "no fractal window"
    wait_picture Startup 600 "" "$WORK/bench.ppm" || fail "the calculation did not finish"
    ELAPSED=""
    for _ in $(seq 20); do
        ELAPSED=$(probe status "$FRAME" | sed -n 's/^1: Elapsed: //p')
        [ -n "$ELAPSED" ] && break
        sleep 0.5
    done
    WINDOW_MS=$(awk -F'[:.]' '{print (($1 * 60 + $2) * 60 + $3) * 1000 + $4}' <<<"$ELAPSED")
    probe close "$FRAME" >/dev/null
    probe answer "Unsaved changes" 6 3000 >/dev/null || true
    wait_program
    RENDER_MS=$(wine "$BUILD/spxcalc.exe" render "$(winepath -w "$DATA/Fractals/Spiralix.par")" --entry Startup \
        --stats </dev/null 2>/dev/null | tr -d '\r' | sed -n 's/.* ms=//p')
    echo "bench: window ${WINDOW_MS} ms, spxcalc render ${RENDER_MS} ms, ratio $(awk -v w="$WINDOW_MS" -v r="$RENDER_MS" 'BEGIN { printf "%.2f", w / r }')"
    exit 0
fi

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

step "the fixture's Startup: picture, status bar, zoom and move by mouse"
cp "$ROOT/tests/gui/fixtures/Spiralix.par" "$DATA/Fractals/Spiralix.par"
start_program
FRAME=$(probe window vuzaz_defwindow Spiralix 90000) || fail "no visible main window"
CHILD=$(probe child Startup 60000) || fail "no fractal window \"Startup\""
wait_picture Startup 240 "" "$WORK/first.ppm" ||
    fail "the title did not read \"Startup (100%)\" with a steady picture (title \"$(probe title "$CHILD")\")"
COLOURS=$(probe colours "$CHILD")
[ "${COLOURS:-0}" -ge 16 ] || fail "the picture has $COLOURS colours"
client_origin
[ "$CW" = 320 ] && [ "$CH" = 240 ] || fail "the client area is $CW x $CH, not the image's 320 x 240"
STATUS=""
for _ in $(seq 40); do
    STATUS=$(probe status "$FRAME")
    grep -q "100% done" <<<"$STATUS" && grep -q "^1: Elapsed: [0-9]*:[0-9][0-9]:[0-9][0-9]\.[0-9][0-9][0-9]$" <<<"$STATUS" &&
        grep -q "320x240" <<<"$STATUS" && break
    sleep 0.5
done
grep -q "100% done" <<<"$STATUS" && grep -q "Elapsed: " <<<"$STATUS" && grep -q "320x240" <<<"$STATUS" ||
    fail "status bar without progress, time and size: $STATUS"

# A double click 40 right and 20 below the centre: the point becomes the
# centre of a view half as wide.
CX=$((CW / 2 + 40)); CY=$((CH / 2 + 20))
xdotool mousemove $((OX + CX)) $((OY + CY)) click --repeat 2 --delay 60 1
wait_picture Startup 240 "$WORK/first.ppm" "$WORK/zoomed.ppm" || fail "no new picture after the double click"
SHARE=$(compare zoom "$WORK/first.ppm" "$WORK/zoomed.ppm" $CX $CY)
awk -v s="$SHARE" 'BEGIN { exit !(s >= 0.96) }' || fail "the double click is no 2x zoom at the point ($SHARE alike)"

# A drag of 40 x 30 pixels moves the picture by that much.
xdotool mousemove $((OX + 100)) $((OY + 80)) mousedown 1 mousemove $((OX + 110)) $((OY + 88)) \
    mousemove $((OX + 125)) $((OY + 100)) mousemove $((OX + 140)) $((OY + 110)) mouseup 1
wait_picture Startup 240 "$WORK/zoomed.ppm" "$WORK/moved.ppm" || fail "no new picture after the drag"
SHARE=$(compare shift "$WORK/zoomed.ppm" "$WORK/moved.ppm" 40 30) ||
    fail "the picture moved by other than 40 x 30 (that shift: $SHARE alike)"
awk -v s="$SHARE" 'BEGIN { exit !(s >= 0.8) }' || fail "the drag did not move the picture by 40 x 30 ($SHARE alike)"

# A press that moves 3 pixels is a click: the picture stays as it is.
xdotool mousemove $((OX + 150)) $((OY + 120)) mousedown 1 mousemove $((OX + 152)) $((OY + 121)) mouseup 1
for _ in $(seq 6); do
    sleep 0.5
    probe pixels "$CHILD" "$(winepath -w "$WORK/clicked.ppm")" >/dev/null
    cmp -s "$WORK/moved.ppm" "$WORK/clicked.ppm" || fail "a drag of 3 pixels changed the picture"
done
[ "$(probe title "$CHILD")" = "Startup (100%)" ] || fail "a drag of 3 pixels started a calculation"

step "WM_CLOSE with unsaved changes: No keeps the program, Yes ends it"
probe close "$FRAME" || fail "WM_CLOSE could not be posted"
probe answer "Unsaved changes" 7 30000 || fail "no \"Unsaved changes\" question"
sleep 1
kill -0 "$PID" 2>/dev/null || fail "the program ended after No"
probe window vuzaz_defwindow Spiralix 5000 >/dev/null || fail "the main window is gone after No"
probe close "$FRAME" || fail "WM_CLOSE could not be posted"
probe answer "Unsaved changes" 6 30000 || fail "no \"Unsaved changes\" question the second time"
wait_program
check_clean_end

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
