#!/usr/bin/env bash
# start_pulse DIR: starts a private PulseAudio server whose only sink is a null sink named
# "capture", reachable only through DIR/native, in the background, and exports PULSE_SERVER for
# it. Sourced by the scripts that need a sound device on a machine without a sound card.
start_pulse() {
  mkdir -p "$1"
  XDG_RUNTIME_DIR="$1" HOME="$1" pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --use-pid-file=no --disable-shm -L "module-null-sink sink_name=capture rate=44100 channels=2" \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$1/native" >/dev/null 2>&1 &
  until [ -S "$1/native" ]; do sleep 0.05; done
  export PULSE_SERVER="unix:$1/native"
}
