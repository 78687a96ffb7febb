#!/usr/bin/env bash
# The real binary's command line: --help and --version answer without a display, and with no
# display at all the program says so in one line and ends with 1 instead of aborting.
set -u
binary=$(readlink -f "$1")
failures=0
check() {  # what, condition
  if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
plain() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }

out=$(plain "$binary" --version 2>&1); code=$?
check "--version prints the version" '[ "$out" = "vantrel 1.64" ] && [ $code -eq 0 ]'
out=$(plain "$binary" --help 2>&1); code=$?
check "--help prints the usage" '[ $code -eq 0 ] && [[ "$out" == "Usage: vantrel"* ]] && [[ "$out" == *"--version"* ]]'

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
(cd "$folder" && plain "$binary" >"$folder/out" 2>"$folder/err"); code=$?
check "no display ends with 1" '[ $code -eq 1 ]'
check "no display says so in one line" '[ "$(wc -l <"$folder/err")" -eq 1 ] && grep -q "^vantrel: no display" "$folder/err"'
check "nothing on stdout" '[ ! -s "$folder/out" ]'

(cd "$folder" && env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:99999 "$binary" 2>"$folder/err"); code=$?
check "an unreachable display ends with 1" '[ $code -eq 1 ]'
check "and names it in one line" '[ "$(cat "$folder/err")" = "vantrel: cannot open the window on display \":99999\" (could not connect to display :99999)" ]'
check "no settings file was written" '[ ! -e "$folder/VanTrel.ini" ]'
exit $((failures > 0))
