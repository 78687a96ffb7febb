#!/usr/bin/env bash
# Vantrel with its keyer at the far end of a network link, all on 127.0.0.1: the simulated
# logger on COM16; Vantrel (the real program, on a virtual display so that Connect can be
# clicked); COM17 a socat pseudo-terminal, then the delaying proxy, then ser2net in front of the
# simulated keyer's own pseudo-terminal (COM18). Every byte the logger writes reaches the
# keyer unchanged and in order, every answer comes back, and the keyer keys the proxy's delay
# after Vantrel forwards the text. Skipped (77) without ser2net, socat, xvfb-run or xdotool.
#   network_keyer_run.sh VANTREL VANTREL-SIM DELAY-PROXY SOURCE-DIR
set -u
vantrel=$(readlink -f "$1") sim=$(readlink -f "$2") proxy=$(readlink -f "$3") source=$4
for program in ser2net socat xvfb-run xdotool; do
  command -v $program >/dev/null || { echo "$program is not installed: skipped"; exit 77; }
done
delay_ms=80
folder=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  if [ -n "${KEEP:-}" ]; then echo "kept $folder"; else rm -rf "$folder"; fi
}
trap cleanup EXIT
cd "$folder" || exit 1
failures=0
fail() { echo "FAILED: $1"; failures=$((failures + 1)); }

# The run's logs, for checks of their own (a measured delay against the proxy's): the folder
# holding sim.log (the simulator's traffic: logger and keyer, both ways), key.log (the keyer's
# key edges, '<ns> down|up' on CLOCK_MONOTONIC), proxy.log (each chunk into and out of the
# proxy, '<ns> up|down in|out HEX'), radio.log (the radio's edges as played, when a sound server
# is there) and the proxy's delay in ms.
run_logs() { echo "$folder" "$delay_ms"; }

# Two ports in a row that nobody listens on: ser2net's and the proxy's.
tcp=
for port in $(shuf -i 20000-60000 -n 50); do
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null &&
    ! (exec 3<>"/dev/tcp/127.0.0.1/$((port + 1))") 2>/dev/null; then
    tcp=$port
    break
  fi
done
[ -n "$tcp" ] || { echo "FAILED: no free port"; exit 1; }
printf 'CQ TEST DE VANTREL\n@idle\n' >script.txt
radio=()
if [ -n "${VANTREL_TEST_SOUND_SERVER:-}" ]; then
  radio=(--radio-sink cwtest2 --radio-delay 150 --radio-log "$folder/radio.log")
fi
"$sim" --dir "$folder" --app-port 16 --keyer-port 18 --script script.txt --until-done \
  --log sim.log --key-log key.log "${radio[@]}" </dev/null >sim.out 2>&1 &
sim_pid=$!
pids+=("$sim_pid")
for _ in $(seq 50); do [ -e COM16 ] && [ -e COM18 ] && break; sleep 0.1; done
DELAY_PROXY=$proxy "$source/scripts/network-keyer.sh" --keyer COM18 --com 17 --tcp-port "$tcp" \
  --delay $delay_ms --proxy-log "$folder/proxy.log" >chain.out 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e COM17 ] && break; sleep 0.1; done
[ -e COM17 ] || { fail "no COM17 from socat: $(cat chain.out)"; exit 1; }
printf '16\r\n17\r\n0 \r\n 28 \r\n2\r\n 0 \r\n 6000 \r\n' >VanTrel.ini
# The port field has the focus at start; two Tabs reach Connect.
# shellcheck disable=SC2016
timeout 40 xvfb-run -a -s "-screen 0 1024x768x24" env -u QT_QPA_PLATFORM QT_QPA_PLATFORM=xcb bash -c '
  "$1" >vantrel.out 2>&1 &
  pid=$!
  window=$(timeout 20 xdotool search --sync --name "^Van Trel$" | head -n 1)
  sleep 0.5
  [ -n "$window" ] && xdotool windowfocus --sync "$window" key Tab Tab space
  for _ in $(seq 200); do kill -0 "$2" 2>/dev/null || break; sleep 0.1; done
  kill -TERM "$pid"
  wait "$pid"' run "$vantrel" "$sim_pid"
# The simulator ends once its script is keyed; a byte lost on the way would leave it waiting.
for _ in $(seq 50); do kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$sim_pid" 2>/dev/null; then
  kill "$sim_pid"
  fail "the simulator's script did not end"
fi
wait "$sim_pid" || fail "the simulator ended with $?: $(cat sim.out)"

# The bytes of one column of the simulator's log, as hex.
column() { sed -n "s/^ *[0-9.]*  $1 *\(\([0-9A-F][0-9A-F] \?\)*\)  |.*/\1/p" sim.log | tr -s ' \n' '  ' | sed 's/ *$//'; }
sent=$(column "logger sends") got=$(column "keyer gets")
answered=$(column "keyer sends") heard=$(column "logger gets")
[ -n "$sent" ] || fail "the logger sent nothing"
[ "$sent" = "$got" ] || fail "the keyer got: $got
  the logger sent: $sent"
[ "$answered" = "$heard" ] || fail "the logger got: $heard
  the keyer sent: $answered"
grep -q 'keyed "CQ TEST DE VANTREL"' sim.log || fail "not all keyed: $(grep keyed sim.log)"

# The first key-down against the moment the proxy took the text's first byte ('C', 43) in:
# the proxy's delay, plus what ser2net and the keyer take.
first_in=$(awk '$2 == "up" && $3 == "in" { for (i = 4; i <= NF; ++i) if ($i == "43") { print $1; exit } }' proxy.log)
first_out=$(awk '$2 == "up" && $3 == "out" { for (i = 4; i <= NF; ++i) if ($i == "43") { print $1; exit } }' proxy.log)
first_down=$(awk '$2 == "down" { print $1; exit }' key.log)
if [ -z "$first_in" ] || [ -z "$first_out" ] || [ -z "$first_down" ]; then
  fail "no first byte or key edge in the logs"
else
  held=$(( (first_out - first_in) / 1000000 )) keyed=$(( (first_down - first_in) / 1000000 ))
  echo "network keyer: the proxy held the text $held ms (delay $delay_ms); the key went down $keyed ms after the proxy took it"
  if [ "$held" -lt $delay_ms ] || [ "$held" -ge $((delay_ms + 20)) ]; then fail "held $held ms"; fi
  if [ "$keyed" -lt $delay_ms ] || [ "$keyed" -ge $((delay_ms + 100)) ]; then
    fail "keyed after $keyed ms"
  fi
fi
# The measured delay against the proxy's goes here: read the logs of run_logs.
[ $failures -eq 0 ] || { echo "--- sim.log"; cat sim.log; echo "--- chain"; cat chain.out; exit 1; }
echo "network keyer: all bytes crossed both ways unchanged"
