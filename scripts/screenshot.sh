#!/usr/bin/env bash
# Starts the window of build folder $1 on a virtual X server of its own and saves a picture of the
# main window as $2 (default docs/screenshot.png). Needs `scripts/install-deps.sh screenshot`.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
out=${2:-docs/screenshot.png}
readonly TITLE="Tozelo 99 version 1.1"
readonly WAIT_SECONDS=20
readonly SETTLE_SECONDS=3

for tool in Xvfb xwininfo xwd xwdtopnm pnmtopng; do
    command -v "$tool" >/dev/null || { echo "screenshot: $tool is missing (scripts/install-deps.sh screenshot)" >&2; exit 1; }
done
[ -x "$build/tozelo" ] || { echo "screenshot: no $build/tozelo; build first" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display number and writes it once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
deadline=$((SECONDS + WAIT_SECONDS))
while [ ! -s "$work/display" ]; do
    [ $SECONDS -lt $deadline ] || { cat "$work/xvfb.log" >&2; echo "screenshot: Xvfb did not start" >&2; exit 1; }
    sleep 0.2
done
export DISPLAY=:$(head -n1 "$work/display")

# A fresh home, so that settings saved by earlier runs do not show in the picture.
mkdir -p "$work/home"
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
    "$build/tozelo" >"$work/tozelo.log" 2>&1 &
pids+=($!)

viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }

# The other windows on screen (the splash first), which would cover part of the main window.
others_viewable() {
    local id
    for id in $(xwininfo -root -children | awk '$1 ~ /^0x/ { print $1 }'); do
        [ "$id" != "$window" ] && viewable "$id" && return 0
    done
    return 1
}

window=
while :; do
    [ $SECONDS -lt $deadline ] || {
        cat "$work/tozelo.log" >&2
        echo "screenshot: no lone window titled \"$TITLE\" within $WAIT_SECONDS s" >&2
        exit 1
    }
    kill -0 "${pids[1]}" 2>/dev/null || { cat "$work/tozelo.log" >&2; echo "screenshot: tozelo ended" >&2; exit 1; }
    window=$(xwininfo -name "$TITLE" 2>/dev/null | awk '/Window id:/ { print $4 }') || true
    if [ -n "$window" ] && viewable "$window" && ! others_viewable; then
        break
    fi
    sleep 0.2
done

# Capture until two pictures in a row agree, so that the first paint is complete.
settle=$((SECONDS + SETTLE_SECONDS))
xwd -silent -id "$window" >"$work/last.xwd"
while [ $SECONDS -lt $settle ]; do
    sleep 0.5
    xwd -silent -id "$window" >"$work/next.xwd"
    cmp -s "$work/last.xwd" "$work/next.xwd" && break
    mv "$work/next.xwd" "$work/last.xwd"
done
mkdir -p "$(dirname "$out")"
xwdtopnm "$work/last.xwd" 2>/dev/null | pnmtopng 2>/dev/null >"$work/shot.png"
mv "$work/shot.png" "$out"
echo "screenshot: wrote $out ($(xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'))"
