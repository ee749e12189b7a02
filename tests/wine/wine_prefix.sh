#!/usr/bin/env bash
# A private Wine prefix for the tests of one build tree, and GoogleTest
# programs run in it.
#
#   wine_prefix.sh boot   <prefix>
#       makes the prefix unless a complete one is there: Windows' folders and
#       registry, the Japanese faces the forms name mapped to the IPA fonts
#   wine_prefix.sh delete <prefix>
#       stops what still runs in the prefix and deletes it
#   wine_prefix.sh gtest  <prefix> <program> [arguments...]
#       runs a GoogleTest program; it passes only on GoogleTest's own closing
#       line, "[  PASSED  ] N tests." with no "[  FAILED  ]" before it
#   wine_prefix.sh gtest-display <prefix> <program> [arguments...]
#       the same, on an X display of its own (Xvfb), for programs that open
#       windows
#
# WINE names the loader (wine for 32-bit programs, wine64 for 64-bit ones) and
# WINESERVER the server. HOME and the XDG folders point beside the prefix,
# so nothing outside the build tree is read or written, and Wine's menu builder
# is off, so no menu entries or file associations reach the desktop.
#
# Sourced, it only defines the functions, for scripts that drive the prefix
# in their own way (tests/drivers/wine/wine_pnp.sh).

wine_environment() {
    local prefix=${1:?prefix}
    : "${WINE:?}" "${WINESERVER:?}"
    export WINEPREFIX=$prefix
    export HOME=$prefix.home
    export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache
    export XDG_STATE_HOME=$HOME/.local/state
    export WINEDEBUG=${WINEDEBUG:--all}
    # No menu entries; no downloads or installer dialogs for the .NET and HTML
    # run-times.
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME"
}

wine_fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Ends the prefix's processes: -k kills them, -w waits until the server is gone.
wine_stop() {
    timeout 30 "$WINESERVER" -k >/dev/null 2>&1 || true
    timeout 30 "$WINESERVER" -w >/dev/null 2>&1 || true
}

# Marks a prefix that finished booting and holds the font mapping; a prefix
# without it (an interrupted boot) is made again.
wine_ready_mark() { echo "$WINEPREFIX/.tavrin-ready"; }

# The forms name the faces of a Japanese Windows; without these Wine finds no
# glyphs for their captions and shows empty boxes. regedit takes the file as
# UTF-16, so the names arrive whatever the locale.
WINE_UNMANAGED=tavrin_app_tests.exe

wine_map_fonts() {
    local reg=$WINEPREFIX.fonts.reg
    {
        printf '\xef\xbb\xbfWindows Registry Editor Version 5.00\r\n\r\n'
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
        printf '"%s"="IPAGothic"\r\n' "ＭＳ ゴシック" "MS Gothic"
        printf '"%s"="IPAPGothic"\r\n' "ＭＳ Ｐゴシック" "MS PGothic" "MS UI Gothic"
        # The form suites run on an X display without a window manager: their
        # windows are Wine's own, or every hidden window waits two seconds
        # for a manager to take it back.
        printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\%s\\X11 Driver]\r\n' "$WINE_UNMANAGED"
        printf '"Managed"="N"\r\n'
    } | iconv -f UTF-8 -t UTF-16LE >"$reg"
    timeout 60 "$WINE" regedit /S "$reg" </dev/null >>"$WINEPREFIX.boot.log" 2>&1 ||
        wine_fail "regedit did not take the font mapping (log: $WINEPREFIX.boot.log)"
    rm -f "$reg"
}

wine_boot() {
    if [ -f "$(wine_ready_mark)" ] && grep -qF "AppDefaults\\\\$WINE_UNMANAGED\\\\X11 Driver" "$WINEPREFIX/user.reg"; then
        echo "prefix $WINEPREFIX is ready"
        return 0
    fi
    wine_stop
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    local start=$SECONDS
    # Headless: no display, so wineboot shows no "updating" window.
    if ! (unset DISPLAY WAYLAND_DISPLAY && timeout 240 "$WINE" wineboot -i </dev/null >"$WINEPREFIX.boot.log" 2>&1); then
        cat "$WINEPREFIX.boot.log" >&2
        wine_stop
        wine_fail "wineboot -i did not finish"
    fi
    wine_map_fonts
    # The registry reaches its files only once the server has ended.
    wine_stop
    [ -f "$WINEPREFIX/system.reg" ] || wine_fail "wineboot made no registry (log: $WINEPREFIX.boot.log)"
    # Wine keeps the names escaped: the last is "ＭＳ Ｐゴシック".
    grep -q '^"MS UI Gothic"="IPAPGothic"' "$WINEPREFIX/user.reg" &&
        grep -qF '"\xff2d\xff33 \xff30\x30b4\x30b7\x30c3\x30af"="IPAPGothic"' "$WINEPREFIX/user.reg" &&
        grep -qF "AppDefaults\\\\$WINE_UNMANAGED\\\\X11 Driver" "$WINEPREFIX/user.reg" ||
        wine_fail "the font mapping or the unmanaged windows are not in $WINEPREFIX/user.reg"
    touch "$(wine_ready_mark)"
    echo "prefix $WINEPREFIX made in $((SECONDS - start)) s"
}

wine_delete() {
    wine_stop
    rm -rf "$WINEPREFIX" "$WINEPREFIX.boot.log" "$HOME"
}

# A 32-bit program under a Wine without its 32-bit half prints nothing and
# ends with 0, and a program that dies early may end with 0 as well: only
# GoogleTest's closing line says that every case ran and passed.
wine_gtest() {
    local program=${1:?program} output status=0
    shift
    [ -f "$(wine_ready_mark)" ] || wine_fail "no prefix at $WINEPREFIX (the wine_prefix test makes it)"
    [ -x "$WINE" ] || wine_fail "$WINE is missing (scripts/deps.sh installs it)"
    output=$(cd "$(dirname "$program")" && timeout "${TAVRIN_WINE_TIMEOUT:-540}" "$WINE" "$program" "$@" </dev/null 2>&1) ||
        status=$?
    output=$(printf '%s\n' "$output" | tr -d '\r')
    printf '%s\n' "$output"
    if printf '%s\n' "$output" | grep -q '^\[  FAILED  \]'; then
        wine_fail "$(basename "$program"): cases failed"
    fi
    printf '%s\n' "$output" | tail -n 3 | grep -Eq '^\[  PASSED  \] [1-9][0-9]* tests?\.$' ||
        wine_fail "$(basename "$program") ended (status $status) without GoogleTest's closing line"
    [ "$status" -eq 0 ] || wine_fail "$(basename "$program") passed its cases but ended with status $status"
}

# Xvfb picks a free display number itself and writes it out once it listens,
# so runs of several build trees side by side do not meet.
wine_gtest_display() {
    command -v Xvfb >/dev/null || wine_fail "Xvfb is missing (scripts/deps.sh installs it)"
    local number_file=$WINEPREFIX.display.$$ xvfb_pid tries=0 status=0
    rm -f "$number_file"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$number_file" </dev/null >/dev/null 2>&1 &
    xvfb_pid=$!
    while ! grep -q '[0-9]' "$number_file" 2>/dev/null; do
        kill -0 "$xvfb_pid" 2>/dev/null || wine_fail "Xvfb did not start"
        tries=$((tries + 1))
        [ "$tries" -lt 200 ] || { kill "$xvfb_pid"; wine_fail "Xvfb did not tell its display"; }
        sleep 0.05
    done
    export DISPLAY=:$(tr -dc '0-9' <"$number_file")
    rm -f "$number_file"
    (wine_gtest "$@") || status=$?
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    return "$status"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    mode=${1:?mode}
    wine_environment "${2:?prefix}"
    shift 2
    case $mode in
        boot) wine_boot ;;
        delete) wine_delete ;;
        gtest) wine_gtest "$@" ;;
        gtest-display) wine_gtest_display "$@" ;;
        *) wine_fail "unknown mode $mode" ;;
    esac
fi
