#!/usr/bin/env bash
# Takes the screenshots in docs/screenshots/ under Xvfb: the narrow and the wide main window.
set -euo pipefail
cd "$(dirname "$0")/.."
binary=${1:-build/dev/tools/screenshots/screenshot_tool}
out=docs/screenshots
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1024x768x24" env -u QT_QPA_PLATFORM QT_QPA_PLATFORM=xcb \
  "$binary" "$out"
ls -l "$out"
