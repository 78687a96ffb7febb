#!/usr/bin/env bash
# Takes the screenshots of every window under Xvfb: the main window narrow and wide, About and
# Devices. They go to docs/screenshots/ (the ones the README shows), or to OUT.
#   ./scripts/screenshots.sh [OUT]
#   SCALE=2 ./scripts/screenshots.sh /tmp/shots-2x    at twice the size, to check the layout
set -euo pipefail
cd "$(dirname "$0")/.."
binary=${BINARY:-build/dev/tools/screenshots/screenshot_tool}
out=${1:-docs/screenshots}
scale=${SCALE:-1}
mkdir -p "$out"
xvfb-run -a -s "-screen 0 $((1024 * scale))x$((768 * scale))x24" \
  env -u QT_QPA_PLATFORM QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$scale" "$binary" "$out"
ls -l "$out"
