#!/usr/bin/env bash
# GUI test of the attractor in a fractal window: in a fresh Wine prefix
# under a virtual X display Spiralix.exe opens a small attractor as
# "Startup" (tests/gui/fixtures/Attractor.par: a solid cube on a red
# background). While it calculates the window shows a picture over the
# background (the OpenGL preview, then the first compositions); at the end
# the title reads 100 %, the picture is steady, the background is red (not
# blue: red and blue are not swapped anywhere on the way) and the picture
# matches a windowless render of the same entry. Every wait polls with a
# timeout (tools/spxprobe.exe).
set -euo pipefail
source "$(dirname "$0")/common.sh"

fail() { echo "attractor: FAIL: $*" >&2; exit 1; }
step() { echo "attractor: $*"; }

step "fresh Wine prefix"
fresh_prefix

# Facts of a capture (tests/gui/pictures.py facts) on the background of
# the fixture; with a reference, the share of pixels within 48 of it.
facts() {
    if [ $# -gt 1 ]; then
        python3 "$ROOT/tests/gui/pictures.py" facts "$1" 255 0 0 "$2" 48
    else
        python3 "$ROOT/tests/gui/pictures.py" facts "$1" 255 0 0
    fi
}

step "first start installs the data folder"
install_fixture Attractor.par

step "the attractor Startup: a picture while it calculates, then the attractor"
start_program
FRAME=$(probe window vuzaz_defwindow Spiralix 90000) || fail "no main window"
CHILD=$(probe child Startup 60000) || fail "no fractal window \"Startup\""
DRAWN_WHILE_CALCULATING=0
FINAL=""
PREVIOUS=""
for i in $(seq 240); do
    TITLE=$(probe title "$CHILD") || fail "the Startup window is gone"
    SHOT="$WORK/shot$i.ppm"
    probe pixels "$CHILD" "$(winepath -w "$SHOT")" >/dev/null || { sleep 0.25; continue; }
    read -r _ R G B _ DRAWN _ _ <<<"$(facts "$SHOT")"
    if [[ "$TITLE" =~ ^Startup\ \([0-9]%\)$|^Startup\ \([1-9][0-9]%\)$ ]]; then
        awk -v d="$DRAWN" 'BEGIN { exit !(d > 0.05) }' && [ "$R" -gt 200 ] && DRAWN_WHILE_CALCULATING=1
    elif [ "$TITLE" = "Startup (100%)" ] && [ -n "$PREVIOUS" ] && cmp -s "$SHOT" "$PREVIOUS"; then
        FINAL="$SHOT"
        break
    fi
    PREVIOUS="$SHOT"
    sleep 0.25
done
[ -n "$FINAL" ] || fail "no steady picture with the title at 100 % (title \"$TITLE\")"
read -r _ R G B _ DRAWN _ _ <<<"$(facts "$FINAL")"
[ "$R" -gt 200 ] && [ "$B" -lt 60 ] || fail "the background is $R $G $B, not red: red and blue swapped?"
awk -v d="$DRAWN" 'BEGIN { exit !(d > 0.3) }' || fail "the attractor covers only $DRAWN of the picture"
[ "$DRAWN_WHILE_CALCULATING" = 1 ] || fail "nothing was drawn while the attractor calculated"

step "the window's picture against a windowless render"
wine "$BUILD/spxcalc.exe" render "$(winepath -w "$DATA/Fractals/Spiralix.par")" --entry Startup \
    --dump-bgr "$(winepath -w "$WORK/render.bgr")" </dev/null >/dev/null 2>&1 || fail "spxcalc render failed"
ALIKE=$(facts "$FINAL" "$WORK/render.bgr" | sed -n 's/.* alike //p')
awk -v s="$ALIKE" 'BEGIN { exit !(s >= 0.85) }' || fail "only $ALIKE of the pixels match the windowless render"
close_program
step "passed"
