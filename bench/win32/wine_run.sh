#!/usr/bin/env bash
# Runs the Windows start-up benchmark under Wine, in the test prefix of its
# build tree, on the display there is or else on a virtual one of its own.
#
#   startup.sh <prefix> tavrin_bench_startup.exe tavrin.exe floor.exe probe.dll [--runs N] [--warmup N]
#
# WINE and WINESERVER as for tests/wine/wine_prefix.sh. The table goes to
# stdout; it fails unless the benchmark printed its table and ended with 0.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# Without a window manager Wine waits two seconds for each new window to be
# mapped, which would swamp what is measured.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$here/wine_run.sh" --own-display "$@"
fi
if [ "${1:-}" = --own-display ]; then
    shift
    openbox >/dev/null 2>&1 &
    wm=$!
    trap 'kill "$wm" 2>/dev/null || true' EXIT
    sleep 0.5
fi
# shellcheck source=../../tests/wine/wine_prefix.sh
source "$here/../../tests/wine/wine_prefix.sh"
wine_environment "${1:?prefix}"
shift
[ -f "$(wine_ready_mark)" ] || wine_fail "no prefix at $WINEPREFIX (the wine_prefix test makes it)"

# On one CPU, with the Wine server it starts: every request to the server is
# then a switch on that CPU, not a wake-up of another one, whose price on a
# virtual machine moves with what else runs and doubled the program's cost
# against the floor's between runs minutes apart.
run() {
    local output status=0 cpu=$(($(nproc) - 1))
    # Progress goes to standard error, apart from the table.
    output=$(cd "$(dirname "$1")" && timeout "${TAVRIN_WINE_TIMEOUT:-540}" taskset -c "$cpu" "$WINE" "$@" </dev/null) ||
        status=$?
    output=$(printf '%s\n' "$output" | tr -d '\r')
    printf '%s\n' "$output"
    printf '%s\n' "$output" | grep -q '^|---' || wine_fail "$(basename "$1") printed no table"
    [ "$status" -eq 0 ] || wine_fail "$(basename "$1") ended with status $status"
}

run "$@"
