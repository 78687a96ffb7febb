#!/usr/bin/env bash
# Runs the benchmarks of a build folder one after another; they print figures, never verdicts.
set -euo pipefail
dir=${1:-build/release}
echo "== relay (serial bridge over pseudo-terminals)"
# shellcheck disable=SC2086  # RELAY_BENCH_ARGS holds flags such as "--soak 600"
"$dir/bench/relay_bench" ${RELAY_BENCH_ARGS:-}
echo
echo "== monitor (sidetone timing, latency, CPU)"
"$dir/bench/bench_monitor"
