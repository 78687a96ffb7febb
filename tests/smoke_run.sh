#!/usr/bin/env bash
# Starts the real program offscreen in an empty folder and checks that it comes up and keeps
# running; then stops it.
set -u
binary=$1
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder"
QT_QPA_PLATFORM=offscreen "$binary" >"$folder/out.txt" 2>&1 &
pid=$!
sleep 2
if ! kill -0 "$pid" 2>/dev/null; then
  echo "vantrel ended on its own:"
  cat "$folder/out.txt"
  exit 1
fi
kill "$pid"
wait "$pid" 2>/dev/null
echo "vantrel came up offscreen and kept running"
