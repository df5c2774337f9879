#!/usr/bin/env bash
# Runs the desktop program's live-display benchmark in a real X server (Xvfb) at 1920 x 1200.
#   scripts/bench-live-display.sh [seconds per run, default 20]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bench="$root/build/release/bench/bench_live_display"
[ -x "$bench" ] || { echo "build first: make build" >&2; exit 1; }
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb
exec xvfb-run -a -s "-screen 0 1920x1200x24" "$bench" "$@"
