#!/usr/bin/env bash
# Vantrel without a radio: vantrel-sim plays a contest logger on COM16 and a WinKeyer on COM17,
# both links in ./demo, and Vantrel starts there with a settings file pointing at them.
# Click Connect: the logger opens the keyer, calls CQ every few seconds, the monitor sounds it
# and the keyer's echo comes back. Every byte that crosses is logged in demo/traffic.log.
#
#   ./scripts/demo.sh                  (after a build; `./vantrel.sh demo` does both)
#   BUILD_DIR=build/release ./scripts/demo.sh
#   DEMO_SECONDS=20 ./scripts/demo.sh  (headless on a virtual display: connects, ends after 20 s)
set -euo pipefail
# Without a display the window could not be seen and nobody could click Connect or end it: say
# so and end, rather than run unseen for ever.
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${DEMO_SECONDS:-}" ]; then
  echo "demo: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are not set)." >&2
  echo "demo: run it headless on a virtual display instead, for 20 s: DEMO_SECONDS=20 ./vantrel.sh demo" >&2
  exit 1
fi
cd "$(dirname "$0")/.."
root=$PWD
build=${BUILD_DIR:-build/dev}
sim=$root/$build/tools/vantrel-sim/vantrel-sim
app=$root/$build/src/app/vantrel
for program in "$sim" "$app"; do
  if [ ! -x "$program" ]; then
    echo "demo: $program is missing; run './vantrel.sh demo', which builds them" >&2
    exit 1
  fi
done

demo=$root/demo
mkdir -p "$demo"
cd "$demo"
# Ports 16 (the logger's side) and 17 (the keyer's side), volume -20 dB, 28 wpm, 2 ms latency,
# the first sound device, pitch 6000. Written afresh each time so the demo always connects.
printf '16\r\n17\r\n-2000 \r\n 28 \r\n2\r\n 0 \r\n 6000 \r\n' > VanTrel.ini
if [ -f "$root/assets/cw.wav" ]; then
  cp "$root/assets/cw.wav" cw.wav
fi
cat > cq.txt <<'SCRIPT'
# The simulated logger's messages: a CQ, then a pause, again and again.
CQ TEST DE VK2XYZ VK2XYZ TEST
@idle
@wait 4
SCRIPT

"$sim" --dir "$demo" --app-port 16 --keyer-port 17 --script cq.txt --repeat \
  --log traffic.log </dev/null &
sim_pid=$!
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  kill "$sim_pid" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT INT TERM

for _ in $(seq 50); do
  [ -e COM16 ] && [ -e COM17 ] && break
  sleep 0.1
done
if [ ! -e COM16 ] || [ ! -e COM17 ]; then
  echo "demo: vantrel-sim did not make its links; see $demo/traffic.log" >&2
  exit 1
fi

# `make` sets the offscreen platform for its tests; the demo wants a window when there is a
# display to show it on.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" = offscreen ]; then
  unset QT_QPA_PLATFORM
fi

cat <<TEXT
Vantrel demo in $demo
  the simulated logger is on COM16 (Vantrel's Virtual Port), the keyer on COM17 (Winkey Port)
  click Connect: both lights turn green, the CQ is heard after the latency and echoed back
  watch the bytes cross:  tail -f $demo/traffic.log
  open Show to see the traffic panes; tick Show Winkey and Show Echo
TEXT

if [ -n "${DEMO_SECONDS:-}" ]; then
  # A timed run has nobody at the keyboard: it runs on a virtual display and presses Connect
  # the way an operator would, from the keyboard (the port field has the focus at start, two
  # Tabs reach Connect).
  xvfb-run -a -s "-screen 0 1024x768x24" env -u QT_QPA_PLATFORM QT_QPA_PLATFORM=xcb bash -c '
    "$1" &
    app=$!
    window=$(timeout 20 xdotool search --sync --name "^Van Trel$" | head -n 1)
    sleep 1
    [ -n "$window" ] && xdotool windowfocus --sync "$window" key Tab Tab space
    sleep "$2"
    kill "$app" 2>/dev/null
    wait "$app" 2>/dev/null
    exit 0' demo "$app" "$DEMO_SECONDS"
else
  "$app" &
  app_pid=$!
  wait "$app_pid" || true
  app_pid=
fi
echo "demo: ended; the traffic is in $demo/traffic.log"
