#!/usr/bin/env bash
# End to end discovery through real avahi-daemons. Two network namespaces made here are
# joined by a veth pair that exists only inside them (10.200.0.1/24 and 10.200.0.2/24); each
# has its own D-Bus bus (config and socket in a temporary folder) and its own avahi-daemon,
# limited to the veth, with a private /run. The daemons write to files in that folder only, so
# none of them holds the test's output; at the end every process is stopped with a bounded
# grace and the namespaces are deleted. Side B publishes a speaker announcement whose TXT
# "location" names 10.200.0.2; the discovery probe runs the real Discovery on side A and must
# report "10.200.0.2". Nothing runs outside the two namespaces, and no real interface is used.
#
# Usage: discovery-netns.test.sh BUILD_DIR. Exit 77 (skipped) where namespaces cannot be made.
set -u

build=${1:?usage: $0 BUILD_DIR}
probe="$build/tests/discovery-probe"

skip() {
    echo "SKIPPED: $*"
    exit 77
}

[ "$(id -u)" -eq 0 ] || skip "creating network namespaces needs root"
for tool in ip unshare dbus-daemon avahi-daemon avahi-publish; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
ip netns list >/dev/null 2>&1 || skip "this ip has no 'ip netns'"
[ -x "$probe" ] || { echo "FAIL: $probe is missing"; exit 1; }

tmp=$(mktemp -d /tmp/tamber-discovery.XXXXXX)
ns_a="tamber-disc-a-$$"
ns_b="tamber-disc-b-$$"
pids=()
made=()

# True while the process runs (an exited child that is not yet reaped does not count).
running() {
    local state
    state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null) || return 1
    [ -n "$state" ] && [ "${state%% *}" != Z ]
}

# Ends the given processes: SIGTERM, up to 3 s of grace, then SIGKILL, up to 2 s more. Reaps
# those that ended; never waits without a bound (a daemon that does not end must not hang the
# test).
stop_processes() {
    local pid left round signal
    for signal in TERM KILL; do
        left=()
        for pid in "$@"; do
            running "$pid" && left+=("$pid")
        done
        [ ${#left[@]} -eq 0 ] && break
        kill -"$signal" "${left[@]}" 2>/dev/null
        for round in $(seq 1 $([ "$signal" = TERM ] && echo 150 || echo 100)); do
            for pid in "${left[@]}"; do
                running "$pid" && break
                pid=""
            done
            [ -z "$pid" ] && break
            sleep 0.02
        done
    done
    for pid in "$@"; do
        running "$pid" || wait "$pid" 2>/dev/null
    done
}

cleanup() {
    local ns
    # Finish the clean-up even when the output is gone or another signal arrives.
    trap '' PIPE INT TERM HUP
    exec >/dev/null 2>&1
    stop_processes "${pids[@]}"
    # The namespaces go in every case, even should a process inside have survived.
    for ns in "${made[@]}"; do
        ip netns delete "$ns" 2>/dev/null
    done
    [ -n "${KEEP_TMP:-}" ] || rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP PIPE

ip netns add "$ns_a" 2>/dev/null || skip "cannot create network namespaces here"
made+=("$ns_a")
ip netns add "$ns_b" || exit 1
made+=("$ns_b")

# The veth pair is created inside A with its peer moved straight into B.
ip -n "$ns_a" link add veth-a type veth peer name veth-b netns "$ns_b" || exit 1
ip -n "$ns_a" addr add 10.200.0.1/24 dev veth-a
ip -n "$ns_b" addr add 10.200.0.2/24 dev veth-b
ip -n "$ns_a" link set lo up
ip -n "$ns_a" link set veth-a up
ip -n "$ns_b" link set lo up
ip -n "$ns_b" link set veth-b up

fail() {
    echo "FAIL: $*"
    local f
    for f in probe.out probe.err publish.log a/avahi.log b/avahi.log; do
        echo "--- $f"
        cat "$tmp/$f" 2>/dev/null
    done
    exit 1
}

# Waits until a command succeeds; the limit (30 s) only keeps a broken run from hanging (a
# loaded machine can take several seconds to start the daemons).
wait_for() {
    local what=$1
    shift
    local deadline=$((${EPOCHREALTIME/./} + 30000000))
    until "$@"; do
        [ "${EPOCHREALTIME/./}" -le $deadline ] || fail "$what"
        sleep 0.02
    done
}

# Starts the private bus of one side and waits until it accepts connections.
start_bus() {
    local side=$1 ns=$2
    local dir="$tmp/$side"
    mkdir -p "$dir"
    cat >"$dir/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$dir/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
CONF
    ip netns exec "$ns" dbus-daemon --config-file="$dir/bus.conf" --nofork --nopidfile \
        --print-address=3 3>"$dir/address" >"$dir/bus.log" 2>&1 </dev/null &
    pids+=($!)
    wait_for "the bus of side $side did not come up" test -s "$dir/address"
}

# Starts the avahi-daemon of one side; its pid goes to avahi_pid.
start_avahi() {
    local side=$1 ns=$2
    local dir="$tmp/$side"
    cat >"$dir/avahi.conf" <<CONF
[server]
host-name=tamber-$side-$$
use-ipv4=yes
use-ipv6=no
allow-interfaces=veth-$side
enable-dbus=yes
[wide-area]
enable-wide-area=no
[publish]
publish-hinfo=no
publish-workstation=no
CONF
    # A private /run keeps its pid file and socket apart from any other avahi-daemon.
    DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/bus" ip netns exec "$ns" unshare -m sh -c \
        'mount -t tmpfs tmpfs /run && exec avahi-daemon -f "$1" --no-drop-root --no-chroot --no-rlimits' \
        sh "$dir/avahi.conf" >>"$dir/avahi.log" 2>&1 </dev/null &
    avahi_pid=$!
    pids+=($avahi_pid)
}

start_bus a "$ns_a"
start_bus b "$ns_b"

# The probe starts before side A's daemon: its client waits for the daemon to appear.
DBUS_SYSTEM_BUS_ADDRESS="unix:path=$tmp/a/bus" ip netns exec "$ns_a" \
    "$probe" --limit-ms 20000 >"$tmp/probe.out" 2>"$tmp/probe.err" &
pids+=($!)

start_avahi a "$ns_a"
avahi_a=$avahi_pid
start_avahi b "$ns_b"

# -f: waits for the daemon instead of failing while it is still starting.
DBUS_SYSTEM_BUS_ADDRESS="unix:path=$tmp/b/bus" ip netns exec "$ns_b" \
    avahi-publish -f -s "Kitchen" _sonos._tcp 1400 \
    "location=http://10.200.0.2:1400/xml/device_description.xml" >"$tmp/publish.log" 2>&1 &
pids+=($!)

reports() {
    grep -cx "10.200.0.2" "$tmp/probe.out"
}
wait_for "10.200.0.2 was not reported" grep -qx "10.200.0.2" "$tmp/probe.out"
grep -vqx "10.200.0.2" "$tmp/probe.out" && fail "a host other than 10.200.0.2 was reported"
echo "found 10.200.0.2"

# Side A's daemon restarts: discovery notices, waits, and finds the speaker again.
before=$(reports)
stop_processes "$avahi_a"
wait_for "the daemon's exit went unnoticed" grep -q "went away" "$tmp/probe.err"
start_avahi a "$ns_a"
more_reports_than() {
    [ "$(reports)" -gt "$1" ]
}
wait_for "10.200.0.2 was not reported after the daemon restarted" more_reports_than "$before"
echo "found 10.200.0.2 again after avahi-daemon restarted"
echo "PASS"
