#!/usr/bin/env bash
# The Qt-free logic on Windows' ABI: cross-builds the pure libraries and every Qt-free test
# program with Debian's mingw-w64 (preset windows-abi, GoogleTest from Debian's source), runs
# each program under Debian's wine in a private prefix, and prints the count of passed tests.
# Installs what it needs first (scripts/install-deps.sh windows-abi). Exit status 0 only when
# every program ran and every test passed.
#
# JOBS=n sets the number of parallel compile jobs (default: the number of processors).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
started=$(date +%s)

./scripts/install-deps.sh windows-abi
build=build/windows-abi
cmake --preset windows-abi >/dev/null
if ! cmake --build --preset windows-abi -j "$jobs" >"$build/build.log" 2>&1; then
  tail -40 "$build/build.log"
  echo "windows-abi: the cross-build failed (whole log: $build/build.log)" >&2
  exit 1
fi

# A prefix of its own; wine makes it on the first run (some seconds). Mono and Gecko are not
# wanted: the programs are plain console programs.
export WINEPREFIX=${WINEPREFIX:-$PWD/$build/wine-prefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"

passed=0 failed=0 programs=0 broken=()
for program in "$build"/bin/*.exe; do
  name=$(basename "$program" .exe)
  log=$build/$name.log
  status=0
  # Console output from Windows programs ends its lines in CR LF. With pipefail the status is
  # the program's own.
  timeout 600 wine "$program" 2>&1 | tr -d '\r' >"$log" || status=$?
  ok=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$log")
  bad=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\{0,1\}, listed below:.*/\1/p' "$log")
  ok=${ok:-0} bad=${bad:-0}
  passed=$((passed + ok)) failed=$((failed + bad)) programs=$((programs + 1))
  printf '  %-22s %4d passed %4d failed\n' "$name" "$ok" "$bad"
  if [ "$status" -ne 0 ] || [ "$bad" -ne 0 ] || [ "$ok" -eq 0 ]; then
    broken+=("$name")
    grep -E '^\[  FAILED  \]|Failure$' "$log" | head -20 || true
  fi
done

echo "Windows ABI (mingw-w64, wine): $passed tests passed, $failed failed, in $programs programs" \
  "($(($(date +%s) - started)) s)"
if [ "$programs" -eq 0 ] || [ ${#broken[@]} -ne 0 ]; then
  echo "windows-abi: not all passed: ${broken[*]:-no test programs were built} (logs in $build)" >&2
  exit 1
fi
