#!/usr/bin/env bash
# Runs a command beside a private PulseAudio server with two null sinks (CWTestSink and
# CWTestSink2) so that sound tests have real devices and can record what was played.
# The server lives in a temporary folder and is stopped when the command ends.
set -euo pipefail

runtime=$(mktemp -d /tmp/vantrel-pulse.XXXXXX)
export XDG_RUNTIME_DIR=$runtime XDG_CONFIG_HOME=$runtime/config
unset PULSE_SERVER

cleanup() {
  [ -n "${keepalive:-}" ] && kill "$keepalive" 2>/dev/null || true
  pulseaudio --kill 2>/dev/null || true
  rm -rf "$runtime"
}
trap cleanup EXIT

if env -u DBUS_SESSION_BUS_ADDRESS -u DISPLAY pulseaudio --daemonize=yes -n \
    --exit-idle-time=-1 --log-target=stderr --log-level=error \
    --load="module-null-sink sink_name=cwtest rate=48000 channels=1 sink_properties=device.description=CWTestSink" \
    --load="module-null-sink sink_name=cwtest2 rate=48000 channels=1 sink_properties=device.description=CWTestSink2" \
    --load=module-native-protocol-unix 2>/dev/null; then
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  # An idle null sink stalls a new stream for about a second; keep one quiet stream playing.
  pacat --playback --latency-msec=10 -d cwtest --rate=48000 --channels=1 --format=s16le \
    /dev/zero >/dev/null 2>&1 &
  keepalive=$!
  export VANTREL_TEST_SOUND_SERVER=1
else
  echo "with-sound-server: no PulseAudio server could be started; sound tests will skip" >&2
fi

"$@"
