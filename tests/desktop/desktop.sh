#!/usr/bin/env bash
# A desktop of its own for a test of windows: a virtual X server and the openbox window manager.
#
#   desktop.sh run CMD...   start them, run CMD on that display with the xcb platform, stop them,
#                           exit with CMD's status (77 when this machine cannot start them)
#
# The tests start and stop the tray host (trayer) themselves; xprop and xdotool read and drive the
# desktop as a user's pointer and keyboard would.
set -uo pipefail

readonly START_SECONDS=10
readonly RUN_LIMIT_SECONDS=${DESKTOP_RUN_LIMIT:-240}

skip() {
    echo "skipped: $*"
    exit 77
}

[ "${1:-}" = run ] && [ $# -ge 2 ] || { echo "usage: desktop.sh run CMD..." >&2; exit 2; }
shift

for tool in Xvfb openbox trayer xprop xdotool; do
    command -v "$tool" >/dev/null || skip "needs $tool (scripts/install-deps.sh installs it)"
done

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display number and writes it once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
deadline=$((SECONDS + START_SECONDS))
while [ ! -s "$work/display" ]; do
    [ $SECONDS -lt $deadline ] && kill -0 "${pids[0]}" 2>/dev/null || skip "Xvfb did not start: $(tail -n 3 "$work/xvfb.log")"
    sleep 0.1
done
export DISPLAY=:$(head -n1 "$work/display")

# A home of its own, so that no settings of this machine's user reach the window manager.
mkdir -p "$work/home"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/home"
chmod 700 "$work/home"
# Openbox runs its start-up command once it manages windows and has taken its keys.
openbox --sm-disable --startup "touch $work/ready" >"$work/openbox.log" 2>&1 &
pids+=($!)
while [ ! -e "$work/ready" ]; do
    [ $SECONDS -lt $deadline ] && kill -0 "${pids[1]}" 2>/dev/null || skip "openbox did not start: $(tail -n 3 "$work/openbox.log")"
    sleep 0.1
done

# No session bus: Qt's tray icon then speaks to the X tray host. A sanitizer build hears nothing of
# what the D-Bus library keeps.
here=$(cd "$(dirname "$0")" && pwd)
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$here/lsan.supp"
env -u DBUS_SESSION_BUS_ADDRESS -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb timeout "$RUN_LIMIT_SECONDS" "$@"
