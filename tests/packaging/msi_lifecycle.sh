#!/usr/bin/env bash
# Takes the MSI package through what a Windows user does with it, in a fresh
# Wine prefix of its own: a silent install, the installed program started from
# Program Files, an upgrade by a package of a later version, and removal.
#
#   msi_lifecycle.sh <prefix> <arch> <package> <version> <program> <next package> <next version> <next program>
#
# <arch> is the packages' bitness, x86 or x64; <program> and <next program>
# are the tavrin.exe each package carries. WINE
# and WINESERVER name Wine's loader and server. The prefix, the virtual display
# and everything started on it are gone when the script ends, however it ends.
set -euo pipefail

# shellcheck source=../wine/wine_prefix.sh
source "$(dirname "$0")/../wine/wine_prefix.sh"

prefix=${1:?prefix}
arch=${2:?arch}
package=$(realpath "${3:?package}")
version=${4:?version}
program=$(realpath "${5:?program}")
next_package=$(realpath "${6:?next package}")
next_version=${7:?next version}
next_program=$(realpath "${8:?next program}")
publisher="Tavrin developers"
name=Tavrin

wine_environment "$prefix"
logs=$prefix.logs
display_pid="" wm_pid=""

cleanup() {
    local status=$?
    [ "$status" -eq 0 ] || echo "FAIL: ended with status $status at step \"$current_step\"" >&2
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null
    wine_delete
    exit $status
}
trap cleanup EXIT
# A signal (ctest's time-out) ends the script through the same clean-up.
trap 'exit 143' TERM
trap 'exit 130' INT

current_step=""
step() {
    current_step=$*
    echo "== $*"
}

# Wine shows the whole Unix tree as drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

msiexec() {
    local action=$1 msi=$2 log status=0
    log=$logs/$(basename "$msi" .msi)-$action.log
    timeout 300 "$WINE" msiexec "/$action" "$(windows_path "$msi")" /qn /l*v "$(windows_path "$log")" </dev/null ||
        status=$?
    if [ "$status" -ne 0 ]; then
        tail -n 40 "$log" >&2 || true
        wine_fail "msiexec /$action $(basename "$msi") ended with status $status (log: $log)"
    fi
}

# The installed-programs entries named Tavrin, one "key|version|publisher" line
# each, read from the registry file once the server has written it.
uninstall_entries() {
    wine_stop
    awk -v name="$name" '
        function flush() { if (key != "" && shown == name) print key "|" version "|" publisher }
        /^\[/ { flush(); key = ""; shown = version = publisher = "" }
        /^\[Software\\\\(Wow6432Node\\\\)?Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\[^]]+\]/ {
            key = $1
        }
        key != "" && /^"DisplayName"=/ { shown = substr($0, 16, length($0) - 16) }
        key != "" && /^"DisplayVersion"=/ { version = substr($0, 19, length($0) - 19) }
        key != "" && /^"Publisher"=/ { publisher = substr($0, 14, length($0) - 14) }
        END { flush() }
    ' "$WINEPREFIX/system.reg"
}

expect_one_entry() {
    local want=$1 entries
    entries=$(uninstall_entries)
    [ "$(printf '%s' "$entries" | grep -c '|')" -eq 1 ] ||
        wine_fail "expected one installed-programs entry for $name, found: ${entries:-none}"
    [ "${entries#*|}" = "$want|$publisher" ] ||
        wine_fail "the entry says ${entries#*|}, expected $want|$publisher"
    echo "installed-programs entry: $entries"
}

shortcuts() { find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/*' -iname "$name.lnk"; }

# Every file of both features, and the program as the package carries it.
expect_installed() {
    local exe=$1 file
    for file in tavrin.exe lumbra.dll \
        drivers/delvan/{delvan.inf,delvan.sys,delvanctl.exe,tavrin-test-signing.cer} \
        drivers/ostrak/{ostrak.inf,ostrak.sys,ostrakctl.exe,tavrin-test-signing.cer}; do
        [ -s "$install_dir/$file" ] || wine_fail "$install_dir/$file is missing"
    done
    cmp -s "$exe" "$install_dir/tavrin.exe" || wine_fail "the installed tavrin.exe is not $(basename "$(dirname "$exe")")/tavrin.exe"
    local lnk
    lnk=$(shortcuts)
    [ "$(printf '%s\n' "$lnk" | grep -c .)" -eq 1 ] || wine_fail "expected one Start-menu shortcut, found: ${lnk:-none}"
    # The link keeps some paths in UTF-16: without the zero bytes they read as text.
    tr -d '\0' <"$lnk" | grep -aq 'Tavrin\\tavrin.exe' || wine_fail "the shortcut does not start Tavrin\\tavrin.exe"
    tr -d '\0' <"$lnk" | grep -aq 'tavrin.ico' || wine_fail "the shortcut does not show the program's icon"
}

# The main window, by its exact title (the message box of a failed library
# open is "tavrin"), painted with more than its background colour, its icon
# handed to the window manager in both sizes, and comctl32 version 6 taken
# through the manifest.
start_program() {
    # Xvfb picks a free display and writes its number once it listens.
    : >"$logs/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$logs/display" >"$logs/xvfb.log" 2>&1 &
    display_pid=$!
    local tries
    for tries in $(seq 60); do
        [ -s "$logs/display" ] && break
        sleep 0.5
    done
    [ -s "$logs/display" ] || wine_fail "Xvfb gave no display (log: $logs/xvfb.log)"
    export DISPLAY=:$(head -n 1 "$logs/display")
    openbox --sm-disable >"$logs/openbox.log" 2>&1 &
    wm_pid=$!
    # From a folder of its own, so the library can only come from beside the program.
    (cd "$logs" && WINEDEBUG=+loaddll exec "$WINE" "$install_dir/tavrin.exe" </dev/null >"$logs/tavrin.log" 2>&1) &
    local window=""
    for tries in $(seq 120); do
        window=$(xwininfo -root -tree 2>/dev/null | awk '$2 == "\"Tavrin\":" && !seen { print $1; seen = 1 }')
        [ -n "$window" ] && break
        sleep 0.5
    done
    [ -n "$window" ] || wine_fail "no window titled Tavrin appeared (log: $logs/tavrin.log)"
    local colours=0
    for tries in $(seq 40); do
        import -window "$window" "$logs/tavrin.png" 2>/dev/null &&
            colours=$(convert "$logs/tavrin.png" -format '%k' info:) && [ "$colours" -gt 8 ] && break
        sleep 0.5
    done
    [ "$colours" -gt 8 ] || wine_fail "the window shows $colours colours: not painted ($logs/tavrin.png)"
    echo "window $window painted in $colours colours"
    local icons
    icons=$(xprop -id "$window" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | tr '\n' ' ')
    [[ $icons == *"Icon (32 x 32)"* && $icons == *"Icon (16 x 16)"* ]] ||
        wine_fail "the window's icons are ${icons:-none}, expected 32 x 32 and 16 x 16"
    grep -qi 'Loaded L".*winsxs\\\\[^"]*common-controls_[^"]*_6\.[^"]*COMCTL32.dll"' "$logs/tavrin.log" ||
        wine_fail "the program did not load the common controls 6 (log: $logs/tavrin.log)"
    grep -qF 'Loaded L"C:\\Program Files' "$logs/tavrin.log" && grep -q 'Tavrin\\\\lumbra.dll"' "$logs/tavrin.log" ||
        wine_fail "the program did not load lumbra.dll from its own folder (log: $logs/tavrin.log)"
    wine_stop
    kill "$wm_pid" "$display_pid"
    wm_pid="" display_pid=""
}

start=$SECONDS
step "a fresh prefix"
wine_delete
rm -rf "$logs"
mkdir -p "$logs"
wine_boot
# A 32-bit package lands in the 32-bit Program Files of a 64-bit system.
program_files="$WINEPREFIX/drive_c/Program Files"
if [ "$arch" = x86 ] && grep -q '^#arch=win64' "$WINEPREFIX/system.reg"; then
    program_files+=" (x86)"
fi
install_dir=$program_files/Tavrin

# What the prefix itself says of tavrin before anything is installed (the test
# programs' window settings), so that only what the packages leave counts.
tavrin_registry_lines() {
    grep -ih 'tavrin' "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" | sed -E 's/ [0-9]+$//' | sort -u || true
}
registry_before=$(tavrin_registry_lines)

step "install $(basename "$package")"
msiexec i "$package"
expect_installed "$program"
expect_one_entry "$version"

step "start the installed program"
start_program

step "upgrade with $(basename "$next_package")"
msiexec i "$next_package"
expect_installed "$next_program"
expect_one_entry "$next_version"

step "remove"
msiexec x "$next_package"
[ ! -e "$install_dir" ] || wine_fail "$install_dir is still there: $(find "$install_dir" | head)"
[ -z "$(shortcuts)" ] || wine_fail "the shortcut is still there: $(shortcuts)"
entries=$(uninstall_entries)
[ -z "$entries" ] || wine_fail "the installed-programs list still has $entries"
left=$(comm -13 <(echo "$registry_before") <(tavrin_registry_lines) | head -3)
[ -z "$left" ] || wine_fail "the registry still names Tavrin: $left"
cached=$(find "$WINEPREFIX/drive_c/windows/Installer" -mindepth 1 2>/dev/null | head -3)
[ -z "$cached" ] || wine_fail "Windows Installer's cache still holds $cached"
echo "install, start, upgrade and removal passed in $((SECONDS - start)) s"
