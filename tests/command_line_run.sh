#!/usr/bin/env bash
# The real binary's command line: --help and --version answer without a display, anything it
# does not take is refused with the usage on stderr and 2, and with no display at all the
# program says so in one line and ends with 1 instead of aborting.
#   command_line_run.sh VANTREL VERSION
set -u
binary=$(readlink -f "$1")
version=$2
failures=0
fail() {
  echo "FAILED: $1"
  failures=$((failures + 1))
}
plain() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" || exit 1

out=$(plain "$binary" --version 2>&1); code=$?
{ [ "$out" = "vantrel $version" ] && [ $code -eq 0 ]; } || fail "--version: $code, $out"
out=$(plain "$binary" --help 2>&1); code=$?
{ [ $code -eq 0 ] && [[ "$out" == "Usage: vantrel"* ]] && [[ "$out" == *"--version"* ]]; } ||
  fail "--help: $code, $out"

for refused in --bogus COM16; do
  plain "$binary" "$refused" >out.txt 2>err.txt; code=$?
  [ $code -eq 2 ] || fail "$refused: ended with $code"
  { grep -q "^vantrel: .*'$refused'" err.txt && grep -q "^Usage: vantrel" err.txt; } ||
    fail "$refused: said $(cat err.txt)"
  [ ! -s out.txt ] || fail "$refused: wrote to stdout"
done

plain "$binary" >out.txt 2>err.txt; code=$?
[ $code -eq 1 ] || fail "no display: ended with $code"
{ [ "$(wc -l <err.txt)" -eq 1 ] && grep -q "^vantrel: no display" err.txt; } ||
  fail "no display: said $(cat err.txt)"
[ ! -s out.txt ] || fail "no display: wrote to stdout"

env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:99999 "$binary" 2>err.txt; code=$?
[ $code -eq 1 ] || fail "unreachable display: ended with $code"
expected='vantrel: cannot open the window on display ":99999" (could not connect to display :99999)'
[ "$(cat err.txt)" = "$expected" ] || fail "unreachable display: said $(cat err.txt)"
[ ! -e VanTrel.ini ] || fail "a settings file was written"

[ $failures -eq 0 ] && echo "the command line answers, and no display ends the program cleanly"
exit $((failures > 0))
