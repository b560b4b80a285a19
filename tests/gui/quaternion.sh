#!/usr/bin/env bash
# GUI test of the quaternion in a fractal window: in a fresh Wine prefix
# under a virtual X display Spiralix.exe opens the default quaternion as
# "Startup" (tests/gui/fixtures/Quaternion.par, on a blue background).
# While it calculates the window shows the preview rows growing from the
# middle; at the end the title reads 100 %, the picture is steady, shaded
# (many colours over the background) and matches the shaded image of a
# windowless render of the same entry. Every wait polls with a timeout
# (tools/spxprobe.exe).
set -euo pipefail
source "$(dirname "$0")/common.sh"

# A failure keeps the captures and the windowless render in the build folder.
fail() {
    echo "quaternion: FAIL: $*" >&2
    mkdir -p "$BUILD/gui-quaternion-failure"
    cp "$WORK"/*.ppm "$WORK"/*.bgr "$BUILD/gui-quaternion-failure/" 2>/dev/null || true
    exit 1
}
step() { echo "quaternion: $*"; }

step "fresh Wine prefix"
fresh_prefix

# Facts of a capture (tests/gui/pictures.py facts) on the background of
# the fixture; with a reference, the share of pixels within 24 of it.
facts() {
    if [ $# -gt 1 ]; then
        python3 "$ROOT/tests/gui/pictures.py" facts "$1" 0 0 255 "$2" 24
    else
        python3 "$ROOT/tests/gui/pictures.py" facts "$1" 0 0 255
    fi
}

step "first start installs the data folder"
install_fixture Quaternion.par

step "the quaternion Startup: preview rows while it calculates, then the shaded object"
start_program
FRAME=$(probe window vuzaz_defwindow Spiralix 90000) || fail "no main window"
CHILD=$(probe child Startup 60000) || fail "no fractal window \"Startup\""
PREVIEW=0
FINAL=""
PREVIOUS=""
for i in $(seq 480); do
    TITLE=$(probe title "$CHILD") || fail "the Startup window is gone"
    SHOT="$WORK/shot$i.ppm"
    probe pixels "$CHILD" "$(winepath -w "$SHOT")" >/dev/null || { sleep 0.25; continue; }
    read -r _ _ _ _ _ DRAWN _ COLOURS <<<"$(facts "$SHOT")"
    if [ "$TITLE" != "Startup (100%)" ] && [ "$TITLE" != "Startup" ]; then
        # part of the object is there, not yet all of it
        awk -v d="$DRAWN" 'BEGIN { exit !(d > 0.01 && d < 0.9) }' && PREVIEW=1
    elif [ -n "$PREVIOUS" ] && cmp -s "$SHOT" "$PREVIOUS"; then
        FINAL="$SHOT"
        break
    fi
    PREVIOUS="$SHOT"
    sleep 0.25
done
[ -n "$FINAL" ] || fail "no steady picture with the title at 100 % (title \"$TITLE\")"
read -r _ _ _ _ _ DRAWN _ COLOURS <<<"$(facts "$FINAL")"
awk -v d="$DRAWN" 'BEGIN { exit !(d > 0.05 && d < 0.95) }' || fail "the object covers $DRAWN of the picture"
[ "$COLOURS" -ge 16 ] || fail "the picture has $COLOURS colours: not shaded"
# A quick run may finish between two captures; only a slow one must have
# been seen drawing its preview.
[ "$PREVIEW" = 1 ] || [ "$i" -le 2 ] || fail "no preview rows were seen while the quaternion calculated"
step "final picture: $DRAWN of it the object, $COLOURS colours; preview rows seen: $PREVIEW"

step "the window's picture against a windowless render"
wine "$BUILD/spxcalc.exe" render "$(winepath -w "$DATA/Fractals/Spiralix.par")" --entry Startup \
    --dump-bgr "$(winepath -w "$WORK/render.bgr")" </dev/null >/dev/null 2>&1 || fail "spxcalc render failed"
ALIKE=$(facts "$FINAL" "$WORK/render.bgr" | sed -n 's/.* alike //p')
awk -v s="$ALIKE" 'BEGIN { exit !(s >= 0.9) }' || fail "only $ALIKE of the pixels match the windowless render"
close_program
step "passed"
