# Shared set-up of the end-to-end scripts; sourced, never run. Before sourcing, a script sets
#   build (the build folder), e2e_name (a short name: temporary folder, re-exec marker),
#   e2e_logs (the files of $tmp whose last lines a failure prints) and e2e_tools (the tools it
#   needs besides Xvfb, dbus-daemon and python3).
# Afterwards it has: $tmp (removed at the end unless KEEP_TMP is set), the pids array (killed
# and awaited at the end), skip, fail, wait_for, start_x, start_bus, start_speakers NET COUNT
# (sets $hosts and $leader), private_folders and onboarded_settings.

skip() {
    echo "SKIPPED: $*"
    exit 77
}

# A network namespace of its own (its own loopback) when one can be made.
if [ -z "${TAMBER_E2E_INNER:-}" ] && unshare -n true 2>/dev/null; then
    exec env TAMBER_E2E_INNER=1 unshare -n bash "$0" "$build"
fi
if [ -n "${TAMBER_E2E_INNER:-}" ]; then
    ip link set lo up || skip "cannot bring up the namespace's loopback"
fi

for tool in Xvfb dbus-daemon python3 $e2e_tools; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
tamber="$build/tamber"
sim="$build/tests/speaker-sim"
for program in "$tamber" "$sim"; do
    [ -x "$program" ] || { echo "FAIL: $program is missing"; exit 1; }
done

tmp=$(mktemp -d "/tmp/tamber-$e2e_name.XXXXXX")
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
    for f in $e2e_logs; do
        echo "--- $f (last lines)"
        tail -n 40 "$tmp/$f" 2>/dev/null
    done
    exit 1
}

# Waits until a command succeeds; the limit (120 s) only keeps a broken run from hanging, also
# on a machine busy with other builds.
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

# The X server picks a free display itself and writes its number.
start_x() {
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
    pids+=($!)
    wait_for "the X server" test -s "$tmp/display"
    export DISPLAY=":$(head -n 1 "$tmp/display")"
}

# A private session bus, and no system bus: nothing may reach the machine's mDNS daemon or logind.
start_bus() {
    dbus-daemon --session --nofork --nopidfile --print-address=1 >"$tmp/bus" 2>"$tmp/bus.log" &
    pids+=($!)
    wait_for "the session bus" test -s "$tmp/bus"
    export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$tmp/bus")
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/tamber-$e2e_name-system-bus
}

start_speakers() {
    "$sim" "$1" "$2" >"$tmp/sim.out" 2>"$tmp/sim.err" &
    pids+=($!)
    wait_for "the simulated speakers" grep -q '^ready ' "$tmp/sim.out"
    hosts=$(sed -n 's/^ready //p' "$tmp/sim.out")
    leader=${hosts%%,*}
}

# Private XDG folders, the X11 platform and a fixed language for every program started next.
private_folders() {
    export XDG_CONFIG_HOME="$tmp/config" XDG_STATE_HOME="$tmp/state" XDG_CACHE_HOME="$tmp/cache"
    export XDG_DATA_HOME="$tmp/data" XDG_RUNTIME_DIR="$tmp/runtime"
    mkdir -p "$XDG_CONFIG_HOME/tamber" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    export QT_QPA_PLATFORM=xcb LANG=C.UTF-8
    unset TAMBER_RENDER
}

# Settings of a program that was onboarded and knows the simulated speakers.
onboarded_settings() {
    python3 -c 'import json, sys; print(json.dumps({"onboarded": True, "knownHosts": sys.argv[1].split(",")}))' \
        "$hosts" >"$XDG_CONFIG_HOME/tamber/settings.json"
}
