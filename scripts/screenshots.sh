#!/usr/bin/env bash
# Refreshes docs/screenshots/: the desktop program in a real X server (Xvfb) with a greyscale and
# a colour recording from the simulated grabber, the options dialog, the About box and two module
# dialogs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tour="$root/build/release/tests/app/app_screenshot_tour"
[ -x "$tour" ] || { echo "build first: make build" >&2; exit 1; }
mkdir -p "$root/docs/screenshots"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1600x1000x24" "$tour" "$root/docs/screenshots"
ls -l "$root/docs/screenshots"
