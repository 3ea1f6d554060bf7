# Sourced by scripts/test and scripts/bench: a PulseAudio server of the run's own
# with a null sink, so that audio plays (into nothing) on a machine without sound.
# Its socket goes into XDG_RUNTIME_DIR, which must be private to the run.

pulse_pid=

# start_null_sink LOG: starts the server, logging to LOG, and waits until it answers.
start_null_sink() {
  pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no --system=no \
    --load=module-native-protocol-unix --load="module-null-sink sink_name=talvoro_null" \
    >"$1" 2>&1 &
  pulse_pid=$!
  for _ in $(seq 100); do pactl info >/dev/null 2>&1 && return 0; sleep 0.1; done
  echo "PulseAudio did not start:"
  cat "$1"
  return 1
}

stop_null_sink() {
  if [ -n "$pulse_pid" ]; then
    kill "$pulse_pid" 2>/dev/null || true
    wait "$pulse_pid" 2>/dev/null || true
    pulse_pid=
  fi
}
