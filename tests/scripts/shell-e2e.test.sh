#!/usr/bin/env bash
# The real program end to end: its own X server (Xvfb) with a tray host (trayer) and no window
# manager, a private D-Bus session bus, six simulated speakers on loopback and private XDG
# folders that hold an onboarded state with the speakers' hosts. Checks that the tray icon
# appears, that a click on it opens the panel below it, that "tamber://pause" through a second
# start reaches the playing speaker as Pause, that bad input is only logged, that a start
# facing a stopped instance gives up and says so, and that SIGTERM cancels every event
# subscription. The screen with the open panel is kept as
# BUILD_DIR/artifacts/shell-panel.png.
#
# Runs in a network namespace of its own (its own loopback) when it can make one; otherwise
# on the loopback addresses 127.77.13.x of the machine.
#
# Usage: shell-e2e.test.sh BUILD_DIR. Exit 77 (skipped) when a tool is missing.
set -u

build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)

e2e_name=shell-e2e
e2e_logs="tamber.log second.log hung.log sim.out trayer.log"
e2e_tools="trayer xdotool xwininfo import convert"
# shellcheck source=e2e-common.sh
. "$(dirname "$0")/e2e-common.sh"
net=127.77.13

start_x
start_bus
trayer --edge top --align right --widthtype request --height 28 --SetDockType true >"$tmp/trayer.log" 2>&1 &
pids+=($!)
wait_for "the tray host" sh -c 'xwininfo -root -tree | grep -q "\"panel\": (\"panel\" \"trayer\")"'

start_speakers "$net" 6
private_folders

# --- Render mode is not built: the program says so and does nothing else.
TAMBER_RENDER= "$tamber" >"$tmp/render.out" 2>"$tmp/render.err" && fail "render mode exited with success"
grep -q "render mode" "$tmp/render.err" || fail "render mode did not explain itself"

# --- A settings file that does not parse: kept aside, the program starts with defaults.
printf '{"onboarded": tru' >"$XDG_CONFIG_HOME/tamber/settings.json"
QT_QPA_PLATFORM=offscreen "$tamber" >"$tmp/corrupt.log" 2>&1 &
corrupt=$!
pids+=($corrupt)
wait_for "the broken settings to be set aside" grep -q "does not parse" "$tmp/corrupt.log"
kill -TERM "$corrupt"
wait "$corrupt" || fail "the program with broken settings did not end cleanly"
ls "$XDG_CONFIG_HOME/tamber/" | grep -q 'settings.json.corrupt-' || fail "the broken settings file was not kept"
grep -q '"onboarded": tru$' "$XDG_CONFIG_HOME"/tamber/settings.json.corrupt-* || fail "the broken file changed"
rm -f "$XDG_CONFIG_HOME"/tamber/settings.json*

# --- The real run.
onboarded_settings
"$tamber" >"$tmp/tamber.log" 2>&1 &
app=$!
pids+=($app)

icon_window() {
    xdotool search --onlyvisible --class '^tamber$' 2>/dev/null | head -n 1
}
wait_for "the tray icon" sh -c "xdotool search --onlyvisible --class '^tamber\$' >/dev/null 2>&1"
icon=$(icon_window)
eval "$(xdotool getwindowgeometry --shell "$icon")"
icon_x=$X icon_y=$Y icon_w=$WIDTH icon_h=$HEIGHT
echo "tray icon at ${icon_x},${icon_y} ${icon_w}x${icon_h}"

# The speakers are read and every subscription is held before the panel opens.
wait_for "the first refresh" grep -q "request $leader POST GetPositionInfo" "$tmp/sim.out"

xdotool mousemove $((icon_x + icon_w / 2)) $((icon_y + icon_h / 2)) click 1
wait_for "the panel" sh -c "xdotool search --onlyvisible --name '^Tamber\$' >/dev/null 2>&1"
panel=$(xdotool search --onlyvisible --name '^Tamber$' | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$panel")"
echo "panel at ${X},${Y} ${WIDTH}x${HEIGHT}"
[ "$Y" -ge $((icon_y + icon_h)) ] || fail "the panel's top ($Y) is not below the icon's bottom ($((icon_y + icon_h)))"
[ "$WIDTH" -eq 360 ] || fail "the panel is $WIDTH wide"
centre=$((X + WIDTH / 2))
# Centred under the icon as far as the screen allows (8 points inside its right edge here).
[ $((X + WIDTH)) -le $((1280 - 8)) ] || fail "the panel reaches past the screen's edge"
[ "$centre" -le $((icon_x + icon_w / 2 + 1)) ] || fail "the panel lies right of the icon"
mkdir -p "$build/artifacts"
shot="$build/artifacts/shell-panel.png"
# The picture only: it shows the panel once its first frames are drawn; nothing is asserted on it.
sleep 0.5
import -window root "$shot" || fail "no screenshot"
# The panel window's frame is outlined on the picture.
convert "$shot" -fill none -stroke '#ff5050' -draw "rectangle $X,$Y $((X + WIDTH - 1)),$((Y + HEIGHT - 1))" \
    "$shot" 2>/dev/null || true

# A second click on the icon closes the panel again, after its fade.
xdotool mousemove $((icon_x + icon_w / 2)) $((icon_y + icon_h / 2)) click 1
wait_for "the panel to close" sh -c "! xdotool search --onlyvisible --name '^Tamber\$' >/dev/null 2>&1"

# --- A second start hands its URL over and ends; the playing group is paused.
"$tamber" tamber://pause >"$tmp/second.log" 2>&1 || fail "the second start did not hand over"
wait_for "Pause at the playing speaker" grep -q "request $leader POST Pause" "$tmp/sim.out"
kill -0 "$app" 2>/dev/null || fail "the first instance ended"

# --- Bad input: a hundred URLs that are not ours or carry bad arguments.
bad=()
for n in $(seq 25); do
    bad+=("http://example.invalid/$n" "TAMBER://play" "tamber://volume/loud$n" "tamber://preset/none$n")
done
"$tamber" "${bad[@]}" >"$tmp/bad.log" 2>&1 || fail "the start with a hundred URLs did not hand over"
wait_for "the ignored URLs in the log" sh -c "[ \$(grep -c 'preset ignored' '$tmp/tamber.log') -eq 25 ]"
[ "$(grep -c 'not a tamber:// URL' "$tmp/tamber.log")" -eq 50 ] || fail "foreign URLs were not all logged"
[ "$(grep -c 'volume ignored' "$tmp/tamber.log")" -eq 25 ] || fail "bad volume arguments were not all logged"
if grep -E "request [0-9.]+ POST (Play|SetGroupVolume|SetVolume)" "$tmp/sim.out"; then
    fail "bad input reached a speaker"
fi
kill -0 "$app" 2>/dev/null || fail "the first instance ended"

# --- A hung instance: a later start waits its limited time, then ends with a failure that
# names what it could not hand over.
kill -STOP "$app"
if "$tamber" tamber://pause >"$tmp/hung.log" 2>&1; then
    kill -CONT "$app"
    fail "a start reported success with the instance stopped"
fi
kill -CONT "$app"
grep -q "did not answer.*tamber://pause" "$tmp/hung.log" || fail "the start did not name what it could not hand over"

# --- SIGTERM: every subscription the speakers hold is cancelled before the program ends.
held_by_speakers() {
    sed -n 's/^subscriptions //p' "$tmp/sim.out" | tail -n 1
}
wait_for "the subscriptions" sh -c "[ \"\$(sed -n 's/^subscriptions //p' '$tmp/sim.out' | tail -n 1)\" -gt 0 ] &&
    [ \"\$(sed -n 's/^subscriptions //p' '$tmp/sim.out' | tail -n 1)\" -eq \"\$(grep -c 'events: Subscribed' '$tmp/tamber.log')\" ]"
held=$(held_by_speakers)
echo "subscriptions held: $held"
kill -TERM "$app"
wait "$app"
status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status after SIGTERM"
wait_for "no subscription left" test "$(held_by_speakers)" = 0
unsubscribed=$(grep -c " UNSUBSCRIBE " "$tmp/sim.out")
[ "$unsubscribed" -eq "$held" ] || fail "$unsubscribed UNSUBSCRIBE requests for $held subscriptions"
echo "PASS: tray, panel under the icon, hand-over, bad input and $held subscriptions cancelled"
