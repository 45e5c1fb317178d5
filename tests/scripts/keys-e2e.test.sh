#!/usr/bin/env bash
# The program's global keys on a real X server (Xvfb) of its own, with two simulated speakers
# on loopback that play together. Another client first holds the volume-up key: the program's
# grab of it is refused and retried every second. Once that client ends, the grab succeeds
# (which opens the panel), and a volume-up press sent with xdotool reaches the playing speaker
# as SetGroupVolume. The hot key Ctrl+Alt+S, pressed with xdotool, closes and opens the panel,
# also with Caps Lock on.
# The screen with the volume display is kept as BUILD_DIR/artifacts/keys-volume-display.png.
#
# Runs in a network namespace of its own when it can make one.
# Usage: keys-e2e.test.sh BUILD_DIR. Exit 77 (skipped) when a tool is missing.
set -u

build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)

skip() {
    echo "SKIPPED: $*"
    exit 77
}

if [ -z "${TAMBER_KEYS_INNER:-}" ] && unshare -n true 2>/dev/null; then
    exec env TAMBER_KEYS_INNER=1 unshare -n bash "$0" "$build"
fi
if [ -n "${TAMBER_KEYS_INNER:-}" ]; then
    ip link set lo up || skip "cannot bring up the namespace's loopback"
fi

for tool in Xvfb xdotool dbus-daemon import python3; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
tamber="$build/tamber"
sim="$build/tests/speaker-sim"
holder="$build/tests/key-holder"
for program in "$tamber" "$sim" "$holder"; do
    [ -x "$program" ] || { echo "FAIL: $program is missing"; exit 1; }
done

net=127.77.14
tmp=$(mktemp -d /tmp/tamber-keys-e2e.XXXXXX)
pids=()

cleanup() {
    local pid
    trap '' PIPE INT TERM HUP
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null
    done
    [ -n "${KEEP_TMP:-}" ] || rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP PIPE

fail() {
    echo "FAIL: $*"
    local f
    for f in tamber.log sim.out holder.out; do
        echo "--- $f (last lines)"
        tail -n 40 "$tmp/$f" 2>/dev/null
    done
    exit 1
}

# Waits until a command succeeds; the limit (120 s) only keeps a broken run from hanging.
wait_for() {
    local what=$1
    shift
    local i
    for i in $(seq 2400); do
        "$@" && return 0
        sleep 0.05
    done
    fail "timed out waiting for $what"
}

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
pids+=($!)
wait_for "the X server" test -s "$tmp/display"
export DISPLAY=":$(head -n 1 "$tmp/display")"

dbus-daemon --session --nofork --nopidfile --print-address=1 >"$tmp/bus" 2>"$tmp/bus.log" &
pids+=($!)
wait_for "the session bus" test -s "$tmp/bus"
export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$tmp/bus")
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/tamber-keys-system-bus

"$sim" "$net" 2 >"$tmp/sim.out" 2>"$tmp/sim.err" &
pids+=($!)
wait_for "the simulated speakers" grep -q '^ready ' "$tmp/sim.out"
hosts=$(sed -n 's/^ready //p' "$tmp/sim.out")
leader=${hosts%%,*}

export XDG_CONFIG_HOME="$tmp/config" XDG_STATE_HOME="$tmp/state" XDG_CACHE_HOME="$tmp/cache"
export XDG_DATA_HOME="$tmp/data" XDG_RUNTIME_DIR="$tmp/runtime"
mkdir -p "$XDG_CONFIG_HOME/tamber" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8
unset TAMBER_RENDER
python3 -c 'import json, sys; print(json.dumps({"onboarded": True, "knownHosts": sys.argv[1].split(",")}))' \
    "$hosts" >"$XDG_CONFIG_HOME/tamber/settings.json"

# --- Another client holds volume-up with any modifiers, as a desktop's media-key daemon does.
"$holder" 0x1008FF13 32768 >"$tmp/holder.out" 2>&1 &
holder_pid=$!
pids+=($holder_pid)
wait_for "the other client's grab" grep -q '^holding' "$tmp/holder.out"

"$tamber" >"$tmp/tamber.log" 2>&1 &
app=$!
pids+=($app)
wait_for "the refused grab" grep -q "volume keys are held by another program" "$tmp/tamber.log"
wait_for "the first refresh" grep -q "request $leader POST GetPositionInfo" "$tmp/sim.out"
panel_shown() {
    xdotool search --onlyvisible --name '^Tamber$' >/dev/null 2>&1
}
panel_shown && fail "the panel opened before the keys were granted"

# --- The other client ends: the next poll grabs the keys, which opens the panel once.
kill "$holder_pid"
wait "$holder_pid" 2>/dev/null
wait_for "the grab to succeed" grep -q "volume keys are free again" "$tmp/tamber.log"
wait_for "the panel opened by the grant" panel_shown

# --- Volume up reaches the playing group's coordinator.
grep -q "request $leader POST SetGroupVolume" "$tmp/sim.out" && fail "a group volume was sent before any key"
xdotool key XF86AudioRaiseVolume
wait_for "SetGroupVolume at the leader" grep -q "request $leader POST SetGroupVolume" "$tmp/sim.out"
mkdir -p "$build/artifacts"
import -window root "$build/artifacts/keys-volume-display.png" || fail "no screenshot"

# --- The hot key closes the open panel at once and opens it again.
xdotool key ctrl+alt+s
wait_for "the hot key to close the panel" sh -c "! xdotool search --onlyvisible --name '^Tamber\$' >/dev/null 2>&1"
xdotool key ctrl+alt+s
wait_for "the hot key to open the panel" panel_shown
# Caps Lock on does not hide the hot key.
xdotool key Caps_Lock
xdotool key ctrl+alt+s
wait_for "the hot key to close the panel with Caps Lock on" sh -c "! xdotool search --onlyvisible --name '^Tamber\$' >/dev/null 2>&1"
xdotool key Caps_Lock
kill -0 "$app" 2>/dev/null || fail "the program ended"
kill -TERM "$app"
wait "$app" || fail "the program did not end cleanly"
echo "PASS: refused grab retried, volume-up reached $leader as SetGroupVolume, hot key toggled the panel"
