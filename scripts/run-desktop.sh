#!/usr/bin/env bash
# Starts the desktop program of the release build. Without a vendor grabber library the bundled
# simulator stands in (two boards, 200 fps; see the FGSIM_* variables in the README). Without a
# display it says so and runs the scripted command-line demonstration instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): running the command-line demonstration instead."
    exec bash "$root/scripts/run-demo.sh"
fi
exec "$root/build/release/bin/kavrindemo" "$@"
