#!/usr/bin/env bash
# End to end discovery through real avahi-daemons. Two network namespaces made here are
# joined by a veth pair that exists only inside them (10.200.0.1/24 and 10.200.0.2/24); each
# has its own D-Bus bus (config and socket in a temporary folder) and its own avahi-daemon,
# limited to the veth, with a private /run. Side B publishes a speaker announcement whose TXT
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

cleanup() {
    local pid ns
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null
    done
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

# Starts the bus and avahi-daemon of one side and waits until the bus accepts connections.
start_side() {
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
publish-addresses=yes
CONF
    ip netns exec "$ns" dbus-daemon --config-file="$dir/bus.conf" --nofork --nopidfile \
        --print-address=3 3>"$dir/address" 2>"$dir/bus.log" &
    pids+=($!)
    local tries=0
    until [ -s "$dir/address" ]; do
        tries=$((tries + 1))
        [ $tries -le 500 ] || { echo "FAIL: the bus of side $side did not come up"; cat "$dir/bus.log"; exit 1; }
        sleep 0.01
    done
    # A private /run keeps its pid file and socket apart from any other avahi-daemon.
    DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/bus" ip netns exec "$ns" unshare -m sh -c \
        'mount -t tmpfs tmpfs /run && exec avahi-daemon -f "$1" --no-drop-root --no-chroot --no-rlimits' \
        sh "$dir/avahi.conf" >"$dir/avahi.log" 2>&1 &
    pids+=($!)
}

start_side a "$ns_a"
start_side b "$ns_b"

# -f: waits for the daemon instead of failing while it is still starting.
DBUS_SYSTEM_BUS_ADDRESS="unix:path=$tmp/b/bus" ip netns exec "$ns_b" \
    avahi-publish -f -s "Kitchen" _sonos._tcp 1400 \
    "location=http://10.200.0.2:1400/xml/device_description.xml" >"$tmp/publish.log" 2>&1 &
pids+=($!)

# The probe waits for the daemon itself (its client does not fail when the daemon is late)
# and exits as soon as the host is reported; its limit is only a safety net.
DBUS_SYSTEM_BUS_ADDRESS="unix:path=$tmp/a/bus" ip netns exec "$ns_a" \
    "$probe" --expect 10.200.0.2 --limit-ms 15000 >"$tmp/probe.out" 2>"$tmp/probe.err" &
probe_pid=$!
pids+=($probe_pid)
wait $probe_pid
status=$?

echo "probe reported:"
cat "$tmp/probe.out"
if [ $status -ne 0 ] || ! grep -qx "10.200.0.2" "$tmp/probe.out"; then
    echo "FAIL: 10.200.0.2 was not reported (probe exit $status)"
    for f in probe.err publish.log a/avahi.log b/avahi.log; do
        echo "--- $f"
        cat "$tmp/$f"
    done
    exit 1
fi
echo "PASS"
