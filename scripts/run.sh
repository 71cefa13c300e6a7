#!/usr/bin/env bash
# Starts the program built in folder $1: the window where there is a display, else the command line.
set -euo pipefail
build=${1:-build}
if [ -x "$build/tozelo" ]; then
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        exec "$build/tozelo"
    fi
    echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): the window cannot start here."
    echo "The command line runs the same engine:"
    echo
    "$build/tozelo-cli" --help
    exit 0
fi
exec "$build/tozelo-cli" ping 127.0.0.1
