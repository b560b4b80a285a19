# Sourced by the build and test scripts: a private Wine prefix for this
# checkout, made once, with crash dialogs off and the Marlett font that
# Wine's caption buttons need.
ROOT=${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX="${SPIRALIX_WINEPREFIX:-$ROOT/.wineprefix}"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Where QEMU's user-mode emulator runs the i386 programs (see setup.sh), it
# gives them 2 GB of address space, as Windows gives a 32-bit program. With
# the whole 4 GB, QEMU takes Wine's "map exactly here or fail" requests as
# hints, and Wine's reservation of the upper half of the address space then
# splits into some 130,000 mappings: about 50 s of every program start.
export QEMU_RESERVED_VA=0x7fff0000

wine_prepare() {
    # A server left running by an interrupted run would make us wait for
    # ever: the prefix is private to this checkout, so end it.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    if [ ! -f "$WINEPREFIX/.spiralix-ready" ]; then
        rm -rf "$WINEPREFIX"
        wineboot -i </dev/null >/dev/null 2>&1 || true
        wineserver -w 2>/dev/null || true
        wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
        mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
        cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
        wineserver -w 2>/dev/null || true
        touch "$WINEPREFIX/.spiralix-ready"
    fi
    # A persistent server whose streams lead nowhere: Wine's background
    # processes otherwise hold the streams of whatever started them.
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
    # One process that lives for the whole run: Wine ends its service
    # processes when the last program ends and starts them again with the
    # next one, which costs minutes where Wine runs under an emulator.
    # Its input is a pipe this shell holds open (descriptor 7), so it ends
    # at the latest when the shell does.
    local fifo="$WINEPREFIX/.keeper"
    rm -f "$fifo"; mkfifo "$fifo"
    wine cmd /k <"$fifo" >/dev/null 2>&1 &
    exec 7>"$fifo"
}

wine_finish() {
    exec 7>&- 2>/dev/null || true
    wineserver -k 2>/dev/null || true
}
