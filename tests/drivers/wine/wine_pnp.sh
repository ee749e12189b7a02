#!/usr/bin/env bash
# Takes a real driver image through install, start, use and removal on Wine's
# kernel, a Plug and Play manager and I/O manager that are not ours, with the
# real console client as the caller.
#
#   wine_pnp.sh boot   <prefix>
#       makes a new, empty Wine prefix (any old one is deleted first, as a
#       device left installed by an interrupted run would change what the
#       client finds)
#   wine_pnp.sh device <prefix> <driver> <bin dir> <inf> <work dir>
#       installs <driver> from a copy of <inf> whose hardware ID is a root ID,
#       waits for its start, runs the client, removes the device and checks
#       that the driver acted on the removal and the client then finds nothing
#   wine_pnp.sh delete <prefix>
#       stops what still runs in the prefix and deletes it
#
# WINE64 and WINESERVER name the programs. Wine needs no display for any of
# this; every wait is bounded, and the prefix's processes are ended on exit.
# The prefix is made and deleted as every test prefix is (tests/wine).
set -euo pipefail

: "${WINE64:?}" "${WINESERVER:?}"
# shellcheck source=../../wine/wine_prefix.sh
source "$(dirname "$0")/../../wine/wine_prefix.sh"
export WINE=$WINE64
export WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY

mode=${1:?mode}
wine_environment "${2:?prefix}"

# Seconds to wait for the driver to react to an install or a removal; Wine
# answers in one or two, but the machine may be busy with a parallel build.
wait_limit=60

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

main_shell=$BASHPID

stop_prefix() {
    # Subshells of this script inherit the exit trap; only the script itself
    # ends the prefix.
    [ "$BASHPID" = "$main_shell" ] || return 0
    wine_stop
}

case $mode in
    boot)
        wine_delete
        wine_boot
        exit 0
        ;;
    delete)
        wine_delete
        exit 0
        ;;
    device) ;;
    *) fail "unknown mode $mode" ;;
esac

driver=${3:?driver}
bin=$(cd "${4:?bin dir}" && pwd)
inf=${5:?inf}
work=${6:?work dir}
[ -f "$(wine_ready_mark)" ] || fail "no prefix at $WINEPREFIX (the boot step makes it)"

# What the client says with the board there (started, but with no port, as
# Wine assigns no resources: ERROR_NOT_READY) and with the board gone.
case $driver in
    delvan)
        client=(delvanctl.exe read 0)
        present='^delvanctl: read at offset 0x0 failed \(error 21\)$'
        absent='^delvanctl: no board 1$'
        # Wine's removal hides the interface by itself (the client finds no
        # board even when the driver never disables it), so only the kernel's
        # trace shows whether the driver withdrew it.
        removal_calls=('IoSetDeviceInterfaceState device L".*", enable 0')
        ;;
    ostrak)
        client=(ostrakctl.exe read)
        present='^ostrakctl: cannot read the port: .*\(error 21\)$'
        absent='^ostrakctl: cannot open .*\(error 2\)$'
        removal_calls=('IoReleaseRemoveLockAndWaitEx ')
        ;;
    *) fail "no client known for $driver" ;;
esac
hardware_id="ROOT\\TAVRIN_${driver^^}"

# The driver package as shipped, but listed for a root-enumerated device: Wine
# has no bus that could report the board's PCI ID. Wine 8's SetupAPI looks
# for a models section decorated with the platform only (.NTamd64, then .NT,
# then none) and skips one that also names an OS version (.NTamd64.10.0), so
# the copy drops the version from the section's name.
rm -rf "$work"
mkdir -p "$work"
cp "$bin/$driver.sys" "$work/"
sed -E -e "s/PCI\\\\VEN_[0-9A-Fa-f]{4}&DEV_[0-9A-Fa-f]{4}[A-Za-z0-9_&]*/ROOT\\\\TAVRIN_${driver^^}/" \
    -e 's/^\[([^].]+)\.NTamd64\.[0-9.]+\]/[\1.NTamd64]/' "$inf" >"$work/$driver.inf"
grep -qF "$hardware_id" "$work/$driver.inf" || fail "$inf lists no PCI hardware ID to replace"

trap stop_prefix EXIT
# A persistent server keeps the driver's host process alive between the
# commands below; without it Wine shuts everything down three seconds after
# the last program ends, and the board would vanish for the wrong reason.
"$WINESERVER" -p </dev/null >/dev/null 2>&1
# The first program starts Wine's services, and with them the drivers' host
# processes later on. They keep its standard handles and environment: a log
# file rather than the pipe of a command below that waits for EOF, and the
# kernel's trace of the calls a driver makes, to see it handle the start and
# the removal.
log=$work/kernel.log
WINEDEBUG=-all,+plugplay,+ntoskrnl timeout 60 "$WINE64" cmd /c exit </dev/null >>"$log" 2>&1 ||
    fail "Wine did not start in $WINEPREFIX: $(tail -n 20 "$log")"

wine() {
    timeout 60 "$WINE64" "$@" </dev/null
}

# Runs the client once; its status and its last line of output.
run_client() {
    local output status=0
    output=$(cd "$bin" && wine "./${client[0]}" "${client[@]:1}" 2>&1) || status=$?
    client_status=$status
    client_output=$(printf '%s\n' "$output" | tr -d '\r' | tail -n 1)
}

# Polls the client until its output matches, for at most wait_limit seconds.
wait_for_client() {
    local pattern=$1 what=$2 deadline=$((SECONDS + wait_limit))
    while :; do
        run_client
        if [ "$client_status" -eq 1 ] && [[ $client_output =~ $pattern ]]; then
            echo "$what: ${client[*]} -> status $client_status, \"$client_output\""
            return 0
        fi
        [ $SECONDS -lt $deadline ] ||
            fail "$what: after $wait_limit s ${client[*]} gives status $client_status, \"$client_output\""
        sleep 0.25
    done
}

# The kernel's trace of the thread that added (or removed) our device, from
# that event on: what the PnP manager sent, what the driver called, and what
# reached the bus's own device below the driver (pnp_manager_device_pnp),
# which only the driver passing a request down can bring there.
device_trace() {
    local needle thread
    needle="wine_enumerate_root_devices $1 device L\"${instance//\\/\\\\}\""
    thread=$(grep -aF "$needle" "$log" | head -n 1 | cut -d: -f1)
    [ -n "$thread" ] || return 0
    # awk -v would read the backslashes of the ID as escapes.
    grep -a "^$thread:" "$log" | needle=$needle awk 'index($0, ENVIRON["needle"]) { found = 1 } found'
}

# Waits until the trace from event $1 on holds a line for each pattern.
wait_for_trace() {
    local event=$1 what=$2 pattern deadline=$((SECONDS + wait_limit))
    shift 2
    for pattern in "$@"; do
        until device_trace "$event" | grep -aqE "$pattern"; do
            [ $SECONDS -lt $deadline ] ||
                fail "$what: no call matching '$pattern' in the kernel's trace ($log)"
            sleep 0.25
        done
        echo "$what: $(device_trace "$event" | grep -aE "$pattern" | head -n 1 | cut -d: -f3-)"
    done
}

start=$SECONDS
run_client
[ "$client_status" -eq 1 ] && [[ $client_output =~ $absent ]] ||
    fail "before the install ${client[*]} gives status $client_status, \"$client_output\""

instance=$(cd "$work" && wine "$bin/pnpdevice.exe" install "$driver.inf" "$hardware_id" | tr -d '\r') ||
    fail "install of $driver failed"
echo "installed $driver as $instance"

# The driver's AddDevice succeeds, and the start it receives first goes down
# to the bus, as a function driver passes it before using the resources.
wait_for_trace "Adding new root-enumerated" "start" \
    'AddDevice routine [0-9A-Fa-f]+ returned 0\.' 'pnp_manager_device_pnp .*minor function 0\.'
# delvan's board is found only once the start enabled its interface.
wait_for_client "$present" "client"

wine "$bin/pnpdevice.exe" remove "$hardware_id" >/dev/null || fail "removal of $driver failed"
wait_for_client "$absent" "client after removal"

# Wine sends a surprise removal, then the removal. The driver passes both
# down, withdraws what callers could reach, and deletes its own device (the
# bus's device is the one it was attached to; its deletion is not the
# driver's).
wait_for_trace "Removing" "removal" \
    'pnp_manager_device_pnp .*minor function 0x17\.' 'pnp_manager_device_pnp .*minor function 0x2\.' \
    "${removal_calls[@]}"
pdo=$(device_trace "Removing" | grep -aoE -m1 'send_remove_device_irp Removing device [0-9A-Fa-f]+' | awk '{print $4}')
device_trace "Removing" | grep -av "IoDeleteDevice $pdo" | grep -aqE 'IoDeleteDevice ' ||
    fail "removal: $driver deleted no device object of its own ($log)"
echo "removal: $driver deleted its device"

echo "$driver: install, start, client and removal in $((SECONDS - start)) s"
