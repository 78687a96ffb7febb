#!/usr/bin/env bash
# Puts a keyer at the far end of a network link, on one machine or two:
#   radio's side:     ser2net serves the keyer's serial device on a TCP port
#   in between:       delay-proxy holds each direction for a delay (optional, for trying out)
#   operator's side:  socat makes a pseudo-terminal linked as COMn for Vantrel to open
# It runs until stopped (Ctrl+C) and then stops what it started.
#
#   scripts/network-keyer.sh --keyer DEVICE [--com N] [--dir DIR] [--tcp-port P]
#                            [--delay MS [--step AT_S:MS]... [--proxy PROGRAM] [--proxy-log FILE]]
#   scripts/network-keyer.sh --operator-only HOST:PORT [--com N] [--dir DIR]
#
# --keyer DEVICE  the keyer's serial device (/dev/ttyUSB0, or the simulator's COMn link)
# --com N         the name Vantrel opens: DIR/COMN (default 17, DIR default '.')
# --tcp-port P    where ser2net listens on 127.0.0.1 (default 7017; the proxy on P+1)
# --delay MS      put the delaying proxy in between, MS each way; --step as delay-proxy takes it
# --operator-only HOST:PORT  only the operator's side, for a ser2net on another machine
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
keyer='' com=17 dir=. tcp=7017 delay='' steps=() remote='' proxyLog=''
proxy=${DELAY_PROXY:-}
usage() { sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
while [ $# -gt 0 ]; do
  case $1 in
    --keyer) keyer=$2; shift 2 ;;
    --com) com=$2; shift 2 ;;
    --dir) dir=$2; shift 2 ;;
    --tcp-port) tcp=$2; shift 2 ;;
    --delay) delay=$2; shift 2 ;;
    --step) steps+=(--step "$2"); shift 2 ;;
    --proxy) proxy=$2; shift 2 ;;
    --proxy-log) proxyLog=$2; shift 2 ;;
    --operator-only) remote=$2; shift 2 ;;
    *) usage ;;
  esac
done
[ -n "$keyer" ] || [ -n "$remote" ] || usage
[[ $com =~ ^[0-9]+$ && $tcp =~ ^[0-9]+$ ]] || usage
for program in socat ${keyer:+ser2net}; do
  command -v "$program" >/dev/null || { echo "network-keyer: $program is not installed" >&2; exit 1; }
done
if [ -n "$delay" ] && [ -z "$proxy" ]; then
  proxy=$(command -v delay-proxy || true)
  for built in "$here"/build/*/tools/delay-proxy/delay-proxy; do
    [ -n "$proxy" ] || [ ! -x "$built" ] || proxy=$built
  done
  [ -n "$proxy" ] || { echo "network-keyer: no delay-proxy found (build it, or give --proxy)" >&2; exit 1; }
fi

pids=()
work=$(mktemp -d)
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 0' INT TERM HUP

target=$remote
if [ -n "$keyer" ]; then
  # WinKeyer: 1200 baud, 8 data bits, no parity, 2 stop bits; 'local' ignores modem lines.
  cat >"$work/ser2net.yaml" <<YAML
connection: &keyer
  accepter: tcp,127.0.0.1,$tcp
  connector: serialdev,$(readlink -f "$keyer"),1200n82,local
  options:
    kickolduser: true
YAML
  ser2net -n -c "$work/ser2net.yaml" 2>"$work/ser2net.err" &
  pids+=($!)
  target=127.0.0.1:$tcp
fi
if [ -n "$delay" ]; then
  "$proxy" --listen $((tcp + 1)) --connect "$target" --delay "$delay" "${steps[@]}" \
    ${proxyLog:+--log "$proxyLog"} &
  pids+=($!)
  target=127.0.0.1:$((tcp + 1))
fi
# A new connection for each time Vantrel opens the port: socat ends when the link closes.
(while true; do
  socat "pty,raw,echo=0,link=$dir/COM$com" "tcp:$target,retry=50,interval=0.1" || sleep 0.5
done) &
pids+=($!)
echo "network-keyer: $dir/COM$com -> ${delay:+delay ${delay} ms -> }${keyer:-$remote}" >&2
wait
