#!/usr/bin/env bash
# The real tavrin.exe under Wine, driven with the mouse and keyboard as a
# person would, on an X display and window manager of its own, against the
# recording lumbra.dll beside it (calls.log in the program's folder says what
# the program asked of the library):
#
#   blackbox.sh <prefix> <folder>/tavrin.exe <work folder>
#
# Each step waits, within a bound, for the calls it must cause, and the run
# fails at the first step that does not bring them. On failure the work folder
# keeps a screenshot of the display and Wine's output.
#
# The run has the prefix to itself (ctest's lock on it): the Wine server is
# stopped before, so the program's desktop is made on this display, and after.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../wine_prefix.sh
source "$here/../wine_prefix.sh"

prefix=$(realpath -m "${1:?prefix}") program=$(realpath "${2:?program}") work=$(realpath -m "${3:?work folder}")
wine_environment "$prefix"
[ -f "$(wine_ready_mark)" ] || wine_fail "no prefix at $WINEPREFIX (the wine_prefix test makes it)"
log=$(dirname "$program")/calls.log
rm -rf "$work" "$log"
mkdir -p "$work"
start=$SECONDS

# shellcheck source=desktop.sh
source "$here/desktop.sh"

cleanup() {
    local status=$?
    if [ "$status" -ne 0 ]; then
        echo "--- calls.log:" >&2
        cat "$log" >&2 2>/dev/null || true
        [ -z "${DISPLAY:-}" ] || import -window root "$work/failure.png" 2>/dev/null || true
        echo "screenshot: $work/failure.png; Wine's output: $work/wine.out" >&2
    fi
    desktop_stop
    exit "$status"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

calls() { [ -f "$log" ] && wc -l <"$log" || echo 0; }
has_calls() { [ "$(calls)" -ge "$1" ]; }
# expect_calls <n> <expected>: the calls after the first <n> are exactly these.
expect_calls() {
    local got
    got=$(tail -n +"$(($1 + 1))" "$log" 2>/dev/null || true)
    [ "$got" = "$2" ] || wine_fail "$(printf 'calls were\n%s\nexpected\n%s' "$got" "$2")"
}

desktop_start "$work"
program_start "$program"

# Start-up: open, count, register each chip, and only then the window.
wait_until 60 "the main window did not appear" shown Tavrin
expect_calls 0 "$(printf '%s\n' PciOpenDevice PciFindDevice 'PciRegisterDevice chip=1' 'PciRegisterDevice chip=2')"
echo "start-up calls in order ($((SECONDS - start)) s)"

main=$(window_named Tavrin)
client_origin "$main" 6390 5820
mx=$cx my=$cy

config_reads() {
    local i
    for i in $(seq 0 16); do printf 'PciReadConfigReg chip=%s offset=0x%02X\n' "$1" $((4 * i)); done
}

# Chip 2 in the device list (rows a little over 15 pixels high): its 17
# configuration registers.
n=$(calls)
click_at "$mx" "$my" 1000 $((360 + 360))
wait_until 20 "a click on chip 2 read no 17 registers" has_calls $((n + 17))
expect_calls "$n" "$(config_reads 2)"
echo "chip 2: 17 registers read"

# The byte at offset 6 (row 2, the second byte column) of the dump: a
# double-click opens the write dialog on it; a click on its left digit, two
# digits, then Tab to 書き込み and Enter write register 4 with the byte put in
# (the register's other bytes read from the chip just before).
n=$(calls)
dump_x=$((2160 + 120)) dump_y=$((480 + 480))
click_at "$mx" "$my" $((dump_x + 7 * 120 + 60)) $((dump_y + 5 * 225 / 2)) 2
title=コンフィグレジスタ書き込み
wait_until 20 "a double-click on a byte opened no $title dialog" shown "$title"
client_origin "$(window_named "$title")" 3900 1170
click_at "$cx" "$cy" $((2880 + 360)) $((120 + 200))
xdotool type --delay 50 a5
xdotool key --delay 50 Tab Tab Return
wait_until 20 "Enter in the dialog wrote nothing and read nothing back" has_calls $((n + 19))
expect_calls "$n" "$(printf '%s\n' 'PciReadConfigReg chip=2 offset=0x04' \
    'PciWriteConfigReg chip=2 offset=0x04 value=0x20A50101' "$(config_reads 2)")"
wait_until 10 "the $title dialog stayed open after the write" gone "$title"
echo "byte 6 of chip 2 written as A5, registers read back"

# 終了 in the ファイル menu, through its keys: mask, close the interrupt
# (none was opened: handle 0), close the library, and the program ends.
n=$(calls)
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
xdotool key --delay 100 alt+f x
wait_until 20 "終了 did not close the library" has_calls $((n + 3))
expect_calls "$n" "$(printf '%s\n' TavrinMaskIntr 'TavrinCloseIntr handle=0' PciCloseDevice)"
program_ended
echo "終了: mask, close with handle 0, library closed, program ended"
echo "black-box run passed in $((SECONDS - start)) s"
