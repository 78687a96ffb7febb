#!/usr/bin/env bash
# The real program ended by the signals a desktop sends (a logout, systemctl, kill, Ctrl+C, a
# closed terminal): each saves the settings as a close does and ends with 0. Then, on a virtual
# display, with both ports connected to a simulated logger and keyer: SIGTERM also closes the
# ports, so no lock file is left.
#   signal_end_run.sh VANTREL VANTREL-SIM
set -u
binary=$(readlink -f "$1")
sim=$(readlink -f "$2")
failures=0
fail() {
  echo "FAILED: $1"
  failures=$((failures + 1))
}
folder=$(mktemp -d)
sim_pid=
trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; rm -rf "$folder"' EXIT
cd "$folder" || exit 1

# Written without the blanks the program writes: a saved file reads differently.
written=$'16\r\n17\r\n-1000\r\n40\r\n150\r\n'
saved=$'16\r\n17\r\n-1000 \r\n 40 \r\n150\r\n 0 \r\n 6000 \r\n'
for signal in TERM INT HUP; do
  printf '%s' "$written" >VanTrel.ini
  QT_QPA_PLATFORM=offscreen "$binary" >out.txt 2>&1 &
  pid=$!
  sleep 1
  kill -s "$signal" "$pid"
  wait "$pid"
  code=$?
  [ $code -eq 0 ] || fail "SIG$signal: ended with $code: $(cat out.txt)"
  printf "%s" "$saved" | cmp -s - VanTrel.ini || fail "SIG$signal: the settings were not saved"
done

if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null; then
  echo "xvfb-run and xdotool are not installed: the connected run is skipped"
  [ $failures -eq 0 ] && exit 77
  exit 1
fi
"$sim" --dir "$folder" --app-port 16 --keyer-port 17 --log sim.log </dev/null &
sim_pid=$!
for _ in $(seq 50); do [ -e COM16 ] && [ -e COM17 ] && break; sleep 0.1; done
printf '%s' "$written" >VanTrel.ini
locks() { find /run/lock -maxdepth 1 -name "LCK..${folder//\//_}_COM1[67]" | wc -l; }
# The port field has the focus at start; two Tabs reach Connect. The inner script gets its
# values as arguments.
# shellcheck disable=SC2016
xvfb-run -a -s "-screen 0 1024x768x24" env -u QT_QPA_PLATFORM QT_QPA_PLATFORM=xcb bash -c '
  "$1" >out.txt 2>&1 &
  pid=$!
  window=$(timeout 20 xdotool search --sync --name "^Van Trel$" | head -n 1)
  sleep 0.5
  [ -n "$window" ] && xdotool windowfocus --sync "$window" key Tab Tab space
  for _ in $(seq 50); do [ "$(ls /run/lock | grep -c "${2}_COM1[67]$")" -eq 2 ] && break; sleep 0.1; done
  ls /run/lock | grep -c "${2}_COM1[67]$" >locks-while-connected.txt
  kill -TERM "$pid"
  wait "$pid"
  echo $? >code.txt' run "$binary" "${folder//\//_}"
[ "$(cat locks-while-connected.txt 2>/dev/null)" = 2 ] || fail "connected: $(cat locks-while-connected.txt 2>/dev/null) lock files, not 2"
[ "$(cat code.txt 2>/dev/null)" = 0 ] || fail "connected: ended with $(cat code.txt 2>/dev/null): $(cat out.txt)"
[ "$(locks)" -eq 0 ] || fail "connected: a lock file was left behind"
printf "%s" "$saved" | cmp -s - VanTrel.ini || fail "connected: the settings were not saved"

[ $failures -eq 0 ] && echo "each ending signal saved the settings; SIGTERM while connected left no lock file"
exit $((failures > 0))
