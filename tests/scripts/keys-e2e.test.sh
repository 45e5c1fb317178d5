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

e2e_name=keys-e2e
e2e_logs="tamber.log sim.out holder.out"
e2e_tools="xdotool import"
# shellcheck source=e2e-common.sh
. "$(dirname "$0")/e2e-common.sh"
holder="$build/tests/key-holder"
[ -x "$holder" ] || { echo "FAIL: $holder is missing"; exit 1; }
net=127.77.14

start_x
start_bus
start_speakers "$net" 2
private_folders
onboarded_settings

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
