# A desktop of its own for a Win32 program under Wine, and a person's hands on
# it: sourced by the black-box run and the screenshot script after
# wine_prefix.sh and wine_environment.
#
#   desktop_start <work folder>   Xvfb on a free display (DISPLAY exported),
#                                 openbox on it, the prefix's server stopped so
#                                 the program's desktop is made on this display
#   program_start <program.exe>   runs it under Wine; its output in wine.out
#   desktop_stop                  the program, the prefix's server, openbox and
#                                 Xvfb, in that order (run from a trap)
#
# Windows are found by title with xdotool and measured with xwininfo (xdotool's
# geometry is off under Wine); positions on a form are given in twips.

desktop_work='' xvfb_pid='' wm_pid='' program_pid='' program_ends=no

# wait_until <seconds> <what> <command...>: polls the command until it succeeds;
# fails when the time is up, or when the program ends before it was told to.
wait_until() {
    local limit=$1 what=$2 deadline
    shift 2
    deadline=$((SECONDS + limit))
    until "$@"; do
        if [ -n "$program_pid" ] && [ "$program_ends" = no ] && ! kill -0 "$program_pid" 2>/dev/null; then
            wine_fail "$what: the program ended (Wine's output: $desktop_work/wine.out)"
        fi
        [ "$SECONDS" -lt "$deadline" ] || wine_fail "$what (not within $limit s)"
        sleep 0.1
    done
}

desktop_start() {
    desktop_work=$1
    wine_stop
    # The server picks a free display itself and names it once it listens.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$desktop_work/display" \
        2>"$desktop_work/xvfb.out" &
    xvfb_pid=$!
    wait_until 20 "Xvfb did not start" test -s "$desktop_work/display"
    DISPLAY=:$(head -n 1 "$desktop_work/display")
    export DISPLAY
    openbox --sm-disable >"$desktop_work/openbox.out" 2>&1 &
    wm_pid=$!
    wait_until 20 "openbox did not take the display" \
        sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
}

program_start() {
    local program=$1
    (cd "$desktop_work" && exec "$WINE" "$program") >"$desktop_work/wine.out" 2>&1 &
    program_pid=$!
}

# Waits for the program to end by itself; fails unless it ends with 0.
program_ended() {
    local status=0
    program_ends=yes
    wait_until 20 "the program did not end" sh -c "! kill -0 $program_pid 2>/dev/null"
    wait "$program_pid" || status=$?
    program_pid=''
    [ "$status" -eq 0 ] || wine_fail "the program ended with status $status"
}

desktop_stop() {
    if [ -n "$program_pid" ]; then
        kill "$program_pid" 2>/dev/null || true
        program_pid=''
    fi
    wine_stop
    [ -z "$wm_pid" ] || kill "$wm_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    wm_pid='' xvfb_pid=''
    wait 2>/dev/null || true
}

# The id of the viewable top-level window of that title; empty if none.
# xdotool matches titles whatever their case ("tavrin" finds "Tavrin").
window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }
shown() { [ -n "$(window_named "$1")" ]; }
gone() { [ -z "$(window_named "$1")" ]; }

# Twips to pixels at the prefix's 96 dots per inch, rounded as the program does.
px() { echo $((($1 * 96 + 720) / 1440)); }

# client_origin <window> <client width> <client height> (twips): where the
# client area lies on the screen, in cx and cy. The X window holds the client
# below the menu bar, if any, with equal borders left, right and below.
client_origin() {
    local info x y w h border
    info=$(xwininfo -id "$1")
    x=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
    y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
    w=$(sed -n 's/^ *Width: *//p' <<<"$info")
    h=$(sed -n 's/^ *Height: *//p' <<<"$info")
    border=$(((w - $(px "$2")) / 2))
    cx=$((x + border))
    cy=$((y + h - $(px "$3") - border))
}

# click_at <client x> <client y> <twips x> <twips y> [clicks]
click_at() {
    xdotool mousemove --sync $(($1 + $(px "$3"))) $(($2 + $(px "$4"))) click --repeat "${5:-1}" --delay 80 1
}
