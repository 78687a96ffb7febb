#!/usr/bin/env bash
# Runs the benchmarks of a build folder one after another; they print figures, never verdicts.
set -euo pipefail
dir=${1:-build/release}
echo "== relay (serial bridge over pseudo-terminals)"
# shellcheck disable=SC2086  # RELAY_BENCH_ARGS holds flags such as "--soak 600"
"$dir/bench/relay_bench" ${RELAY_BENCH_ARGS:-}
echo
echo "== monitor (sidetone timing, onsets, CPU)"
"$dir/bench/bench_monitor"
echo
echo "== fidelity (the sidetone against the simulated keyer's keying)"
"$dir/bench/bench_fidelity"
echo
echo "== radio delay (measured from the radio's audio; synthetic audio)"
"$dir/bench/bench_radio_delay"
# The loaded run takes ten minutes: LOADED=1 adds it (BENCH_LOADED_SECONDS shortens it).
if [ -n "${LOADED:-}" ]; then
  echo
  echo "== monitor under load (stress-ng beside it)"
  "$dir/bench/bench_monitor" --loaded "${BENCH_LOADED_SECONDS:-600}"
fi
