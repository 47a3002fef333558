#!/usr/bin/env bash
# Pictures the main dialog of Tarnwick after a Get Adapter Info against a simulated adapter.
#
# Usage: scripts/screenshot.sh [--xvfb] [OUTPUT.png]      (default: docs/screenshot.png)
#   --xvfb     run the dialog on a virtual X server (xvfb-run, package xvfb) instead of
#              Qt's offscreen platform
#   BUILD_DIR  environment: the build folder (default: build)
#
# The dialog runs inside TarnwickSim on a pseudo-terminal mapped as COM1, in real time (about
# ten seconds); the picture is the dialog's own window, grabbed after the result box closed.
set -euo pipefail
cd "$(dirname "$0")/.."

xvfb=0
if [ "${1:-}" = "--xvfb" ]; then
  xvfb=1
  shift
fi
output="${1:-docs/screenshot.png}"
build="${BUILD_DIR:-build}"

if [ ! -d "$build" ]; then
  echo "No build folder $build: run scripts/setup.sh first (or set BUILD_DIR)" >&2
  exit 1
fi
cmake --build "$build" --target TarnwickSim TarnwickScreenshot >/dev/null

adapter="baud=115200,role=slave,name=Slave01,pin=1234,address=00126F00AB34"
run=("$build/bin/TarnwickSim" --adapter "$adapter" COM1 -- "$build/bin/TarnwickScreenshot" "$output" COM1)
if [ "$xvfb" = 1 ]; then
  command -v xvfb-run >/dev/null || { echo "xvfb-run is missing: apt-get install xvfb" >&2; exit 1; }
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" "${run[@]}"
else
  QT_QPA_PLATFORM=offscreen "${run[@]}"
fi
echo "Saved $output"
