#!/usr/bin/env bash
# Screenshots of every form of the Windows build, taken from the real
# tavrin.exe and the simulated lumbra.dll under Wine, driven with the mouse and
# keyboard on a display of its own with a window manager:
#
#   bash scripts/win32-screenshots.sh [build tree] [folder]
#
# (build/win32 and docs/screenshots by default; the build tree's Wine prefix is
# made first if its tests have not made it). Each form is shot as the X window
# Wine gives it, which is the client area with the menu bar, as the Qt build's
# shots are; the whole screen with each dialog open lands in the run folder
# (<build tree>/screenshots-run), to see where the dialogs open.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/win32}") out=$(realpath -m "${2:-docs/screenshots}")
source tests/wine/wine_prefix.sh
source tests/wine/blackbox/desktop.sh

if grep -q 'CMAKE_SIZEOF_VOID_P:INTERNAL=8' "$build/CMakeCache.txt"; then
    WINE=${WINE:-/usr/lib/wine/wine64}
else
    WINE=${WINE:-/usr/lib/wine/wine}
fi
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
export WINE WINESERVER
wine_environment "$build/wine/prefix"
[ -f "$(wine_ready_mark)" ] || wine_boot
work=$build/screenshots-run
rm -rf "$work"
mkdir -p "$work" "$out"
finish() {
    local status=$?
    if [ "$status" -ne 0 ] && [ -n "${DISPLAY:-}" ]; then
        import -window root "$work/failure.png" 2>/dev/null || true
        echo "the screen as it was: $work/failure.png" >&2
    fi
    desktop_stop
    exit "$status"
}
trap finish EXIT
trap 'exit 1' INT TERM
desktop_start "$work"
program_start "$build/bin/tavrin.exe"

# Pointer out of the way, so no button is shown hot.
settle() {
    xdotool mousemove 1010 750
    sleep 0.5
}
shoot() {
    settle
    import -window "$1" "$out/$2"
    echo "$out/$2"
}
# open_dialog <title> <client width> <client height>: waits for it and sets
# dialog, dx and dy; the whole screen goes to the run folder.
open_dialog() {
    wait_until 20 "no $1 dialog" shown "$1"
    dialog=$(window_named "$1")
    client_origin "$dialog" "$2" "$3"
    dx=$cx dy=$cy
    settle
    import -window root "$work/screen-$1.png"
}
close_dialog() {
    click_at "$dx" "$dy" "$2" "$3"
    wait_until 20 "the $1 dialog stayed open" gone "$1"
}

wait_until 60 "the main window did not appear" shown Tavrin
main=$(window_named Tavrin)
client_origin "$main" 6390 5820
mx=$cx my=$cy
dump_x=$((2160 + 120)) dump_y=$((480 + 480))

# Chip 1's configuration registers, the cursor on byte 6.
click_at "$mx" "$my" 1000 480
click_at "$mx" "$my" $((dump_x + 7 * 120 + 60)) $((dump_y + 5 * 225 / 2))
shoot "$main" win32-main.png

title=コンフィグレジスタ書き込み
click_at "$mx" "$my" $((dump_x + 7 * 120 + 60)) $((dump_y + 5 * 225 / 2)) 2
open_dialog "$title" 3900 1170
click_at "$dx" "$dy" $((2880 + 360)) $((120 + 200))
shoot "$dialog" win32-frmConWr.png
close_dialog "$title" $((2640 + 547)) $((720 + 187))

xdotool key --delay 100 alt+r m
title=モードレジスタ書き込み
click_at "$mx" "$my" $((dump_x + 4 * 120 + 60)) $((dump_y + 7 * 225 / 2)) 2
open_dialog "$title" 3900 1170
shoot "$dialog" win32-frmModeWr.png
close_dialog "$title" $((2640 + 547)) $((720 + 187))

xdotool key --delay 100 alt+r e
title=EEPROM書き込み
click_at "$mx" "$my" $((dump_x + 4 * 120 + 60)) $((dump_y + 5 * 225 / 2)) 2
open_dialog "$title" 3900 1170
click_at "$dx" "$dy" $((2880 + 200 + 180)) $((120 + 200))
shoot "$dialog" win32-frmEepWr.png
close_dialog "$title" $((2640 + 547)) $((720 + 187))

# The EEPROM's upper half on the second tab, its cursor on a word.
click_at "$mx" "$my" $((2160 + 2055 * 3 / 4)) $((480 + 150))
click_at "$mx" "$my" $((dump_x + 10 * 120 + 60)) $((dump_y + 9 * 225 / 2))
shoot "$main" win32-main-eeprom-tab2.png

# The I/O panel: the ports and the counter read, then the output port dialog.
click_at "$mx" "$my" $((120 + 240 + 667)) $((2160 + 840 + 187))
click_at "$mx" "$my" $((120 + 240 + 667)) $((3720 + 840 + 187))
click_at "$mx" "$my" $((4440 + 240 + 667)) $((120 + 840 + 187))
title=出力ポート書き込み
click_at "$mx" "$my" $((120 + 240 + 667)) $((3720 + 360 + 187)) 2
open_dialog "$title" 2640 1170
shoot "$dialog" win32-frmOutpWr.png
close_dialog "$title" $((1440 + 547)) $((720 + 187))

# The interrupt's status shows only while one is open: オープン, 状態読出し,
# then クローズ.
title=割り込み状態
click_at "$mx" "$my" $((4440 + 240 + 667)) $((1680 + 360 + 187))
click_at "$mx" "$my" $((4440 + 240 + 667)) $((1680 + 1320 + 187))
open_dialog "$title" 4335 3855
shoot "$dialog" win32-frmIntrStat.png
close_dialog "$title" $((1560 + 607)) $((3300 + 187))
click_at "$mx" "$my" $((4440 + 240 + 667)) $((1680 + 840 + 187))

title=バージョン情報
xdotool key --delay 100 alt+h a
open_dialog "$title" 4800 1365
shoot "$dialog" win32-version.png
close_dialog "$title" $((3720 + 427)) $((120 + 187))

# The EEPROM initialisation's question, answered キャンセル.
# (xdotool matches titles whatever their case: the main window is left out.)
message_box() { xdotool search --onlyvisible --name '^tavrin$' 2>/dev/null | grep -vx "$main" | head -n 1; }
box_shown() { [ -n "$(message_box)" ]; }
box_gone() { [ -z "$(message_box)" ]; }
click_at "$mx" "$my" $((4560 + 787)) $((4440 + 187))
wait_until 20 "no message box" box_shown
box=$(message_box)
settle
import -window root "$work/screen-tavrin.png"
shoot "$box" win32-messagebox.png
xdotool key Escape
wait_until 20 "the message box stayed open" box_gone

click_at "$mx" "$my" $((4560 + 787)) $((4920 + 187))
program_ended
echo "screenshots in $out; whole screens in $work"
