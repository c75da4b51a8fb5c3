#!/usr/bin/env bash
# A sound server for the player's tests: PulseAudio with a null sink ("Null Output"), started
# only when no server answers, and stopped by the process id it was started with.
#   eval "$(tools/test-sound-server.sh start)"   # exports XDG_RUNTIME_DIR, QBANK_SOUND_SERVER_PID
#   tools/test-sound-server.sh stop              # stops the server named by QBANK_SOUND_SERVER_PID
# Needs the Debian packages pulseaudio and pulseaudio-utils (tools/setup.sh installs them).
# The sink runs in the player's format (16-bit, 48000 Hz) so that nothing is resampled, and
# without rewinds, which would take frames back from its monitor: the player test records the
# monitor and compares what arrives with the sound frame by frame.
set -euo pipefail

case "${1:-}" in
start)
  if command -v pactl >/dev/null && pactl info >/dev/null 2>&1; then
    exit 0  # a server already answers; the tests use it
  fi
  command -v pulseaudio >/dev/null ||
    { echo "test-sound-server: pulseaudio is not installed" >&2; exit 1; }
  runtime=$(mktemp -d)
  chmod 700 "$runtime"
  XDG_RUNTIME_DIR=$runtime pulseaudio -n --load=module-native-protocol-unix \
    --load="module-null-sink sink_name=qbank_test rate=48000 format=s16le channels=2 norewinds=1" \
    --exit-idle-time=-1 --daemonize=yes \
    >/dev/null 2>&1
  pid=""
  for _ in $(seq 50); do
    pid=$(cat "$runtime/pulse/pid" 2>/dev/null || true)
    [ -n "$pid" ] && XDG_RUNTIME_DIR=$runtime pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
  [ -n "$pid" ] || { echo "test-sound-server: pulseaudio did not start" >&2; exit 1; }
  echo "export XDG_RUNTIME_DIR='$runtime' QBANK_SOUND_SERVER_PID='$pid'"
  ;;
stop)
  pid=${QBANK_SOUND_SERVER_PID:-}
  [ -n "$pid" ] || exit 0  # this run started no server
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  case "${XDG_RUNTIME_DIR:-}" in /tmp/tmp.*) rm -rf "$XDG_RUNTIME_DIR" ;; esac
  ;;
*)
  echo "usage: $0 start|stop" >&2
  exit 2
  ;;
esac
