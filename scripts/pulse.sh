#!/usr/bin/env bash
# Private sound servers, for the scripts that need a sound device on a machine without a sound
# card. Each has one sink, named "capture", and keeps the pids of what it started in DIR/pids;
# stop_server DIR ends them.
# start_pulse DIR: a PulseAudio server whose only sink is a null sink, reachable only through
# DIR/native, in the background; exports PULSE_SERVER for it.
start_pulse() {
  mkdir -p "$1"
  XDG_RUNTIME_DIR="$1" HOME="$1" pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --use-pid-file=no --disable-shm -L "module-null-sink sink_name=capture rate=44100 channels=2" \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$1/native" >/dev/null 2>&1 &
  echo $! >"$1/pids"
  until [ -S "$1/native" ]; do sleep 0.05; done
  export PULSE_SERVER="unix:$1/native"
}

# start_pipewire DIR: PipeWire with its session manager on a session bus of their own, as a
# desktop session has them, and a null sink; exports XDG_RUNTIME_DIR (where its socket is) and
# the bus's address.
start_pipewire() {
  mkdir -p "$1/run" && chmod 700 "$1/run"
  export XDG_RUNTIME_DIR="$1/run" DBUS_SESSION_BUS_ADDRESS="unix:path=$1/run/bus"
  dbus-daemon --session --address="$DBUS_SESSION_BUS_ADDRESS" --nofork --nopidfile \
    >/dev/null 2>&1 &
  echo $! >"$1/pids"
  until [ -S "$1/run/bus" ]; do sleep 0.05; done
  pipewire >"$1/pipewire.log" 2>&1 &
  echo $! >>"$1/pids"
  until [ -S "$1/run/pipewire-0" ]; do sleep 0.05; done
  wireplumber >"$1/wireplumber.log" 2>&1 &
  echo $! >>"$1/pids"
  pw-cli create-node adapter '{ factory.name=support.null-audio-sink node.name=capture
    media.class=Audio/Sink object.linger=true audio.position=[FL FR] audio.rate=44100 }' \
    >/dev/null
  until pw-cli ls Node 2>/dev/null | grep -q 'node.name = "capture"'; do sleep 0.05; done
  # The session manager makes it the default sink, where a program's own stream goes.
  until wpctl status 2>/dev/null | grep -q '\*.*capture'; do sleep 0.05; done
}

stop_server() {
  local pids
  mapfile -t pids <"$1/pids"
  kill "${pids[@]}" 2>/dev/null || true
}
