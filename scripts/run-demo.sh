#!/usr/bin/env bash
# A short scripted demonstration against the simulated grabber: installs the release build into
# a temporary folder, grabs a single sequence of a dual-channel camera into 50 buffers, saves it
# as a multi-page TIFF and describes the file. Everything is removed afterwards.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
demo="$(mktemp -d "${TMPDIR:-/tmp}/kavrin-demo-XXXXXX")"
trap 'rm -rf "$demo"' EXIT

build="${1:-$root/build/release}" # the build tree to install (default: the release build)
cmake --install "$build" --prefix "$demo/install" >/dev/null
kavrin="$demo/install/bin/kavrin"
export KAVRIN_FGLIB="$demo/install/lib/kavrindemo/libfglib5.so" # the simulator, not a vendor library

echo "== kavrin cameras"
"$kavrin" cameras
echo
echo "== kavrin grab --camera 4 --buffers 50 --single -o $demo/demo.tif"
"$kavrin" grab --camera 4 --buffers 50 --single -o "$demo/demo.tif"
echo
echo "== kavrin info $demo/demo.tif"
"$kavrin" info "$demo/demo.tif"
