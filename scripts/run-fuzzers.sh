#!/usr/bin/env bash
# Runs every fuzz target in a folder for a few seconds each; fails on the first crash.
set -euo pipefail
dir=$1 seconds=${2:-20}
for fuzzer in "$dir"/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  echo "== $(basename "$fuzzer") for ${seconds}s"
  "$fuzzer" -max_total_time="$seconds" -max_len=512 -print_final_stats=0 2>&1 | tail -2
done
