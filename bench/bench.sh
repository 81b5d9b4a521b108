#!/usr/bin/env bash
# Measures soundpath on this machine and prints one table:
#   - idle CPU of the running program beside that of bench/idle_floor (the same library window
#     and drivers doing nothing), averaged over ROUNDS turns of IDLE_SECONDS each, for the Linux
#     program and for the Windows program under Wine (the floor cross-built against the same
#     patched library, Wine's server counted, drawn through Wine's default renderer);
#   - time from start to the window being mapped; peak resident memory after a few clicks;
#   - wall time of one two-point synthesis run beside the sum of its pauses;
#   - how it answers, for the Linux program through PulseAudio and through PipeWire, and for the
#     Windows program under Wine through PulseAudio: how many of TAPS taps (press and release
#     sent together) leave a disc; from a right tap to the first sound heard and from a DEL tap
#     to silence, median and worst of TRIALS; and the gaps in a two-point run while every core
#     is kept busy by other processes.
# Delays are read off a real-time recording of the sound server's sink, whose clock is tied to
# the wall clock by short beeps played straight into it before, between and after the events
# (bench/delays.cpp); the beeps between show the method's own error.
#   bench/bench.sh [--short]
# --short runs every measure once, briefly (for test.sh: that it works, not its figures), with
# the load's busy loops at the lowest priority, so that it can run beside the tests.
# BUILD_DIR (default build) and WINDOWS_BUILD (a tree of scripts/build-windows.sh; by default
# build-windows, built here) say which programs are measured.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
busy_nice=0 busy_loops=$(nproc)
if [ "${1:-}" = --short ]; then
  IDLE_SECONDS=${IDLE_SECONDS:-2} ROUNDS=${ROUNDS:-1} TRIALS=${TRIALS:-1} TAPS=${TAPS:-4}
  # Beside the tests a core is left to them (see the load below).
  busy_nice=19 busy_loops=$(($(nproc) > 1 ? $(nproc) - 1 : 1))
fi
IDLE_SECONDS=${IDLE_SECONDS:-10}
ROUNDS=${ROUNDS:-3}
TRIALS=${TRIALS:-7}
TAPS=${TAPS:-10}
build=$(realpath "${BUILD_DIR:-build}")
windows=$(realpath -m "${WINDOWS_BUILD:-build-windows}")
[ -x "$build/soundpath" ] || scripts/setup.sh test >/dev/null
ensure_packages xdotool x11-utils pipewire pipewire-bin wireplumber dbus-daemon

xvfb_pid=""
work=$(mktemp -d /tmp/soundpath-bench-XXXXXX)
trap 'kill $(jobs -p) $xvfb_pid 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/run"
cp "$build/crosshair.bmp" "$build/sound.wav" "$work/run/"
read -ra allegro_libs <<<"$(pkg-config --libs allegro)"
g++ -O2 -Wall -Wextra bench/idle_floor.cpp -o "$work/run/idle_floor" "${allegro_libs[@]}"
gcc -O2 -Wall -shared -fPIC bench/runtimer.c -o "$work/runtimer.so" -ldl
g++ -O2 -Wall -Wextra -std=c++17 -Itests/e2e -Isrc bench/delays.cpp tests/e2e/capture.cpp \
  -o "$work/delays"
g++ -O2 -Wall -Wextra bench/discs.cpp -o "$work/discs" -lX11
read -r nominal_ms nominal_steps fade_ms < <("$work/delays" --two-point-run)
pipewire_plugin=$(pipewire_alsa_plugin)
# Raw sound on standard input and output: PipeWire 1.x asks for it, 0.3 takes it so.
pw_raw=()
help=$(pw-record --help 2>&1) || true
[[ $help != *--raw* ]] || pw_raw=(--raw)

# The Windows release and the floor built for Windows, and the tests' Wine prefix.
[ -n "${WINDOWS_BUILD:-}" ] || scripts/build-windows.sh "$windows" >/dev/null
cmake --build "$windows/exe" --target idle_floor >/dev/null
mkdir -p "$work/win"
zips=("$windows"/dist/soundpath-*-windows-x64.zip)
(cd "$work/win" && cmake -E tar xf "${zips[0]}")
cp "$windows/exe/idle_floor.exe" "$work/win/soundpath/"
# A copy of the tests' Wine prefix, whose server is this run's alone, even beside the tests.
cp -a "$(scripts/wineprefix.sh)" "$work/wineprefix"
wineprefix=$work/wineprefix

start_xvfb
export HOME="$work/home"
hz=$(getconf CLK_TCK)

ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
now_ms() { date +%s%3N; }
# The window's place on the screen: Wine centres it, the library's X11 port leaves it at 0, 0.
origin() { xwininfo -root -children | awk '/800x600/ { split($NF, p, "+"); print p[2], p[3]; exit }'; }

# start PROGRAM [PRELOAD [WRAPPER]]: runs it in its folder and waits for its window; sets pid and
# map_ms.
start() {
  local t0
  t0=$(now_ms)
  # shellcheck disable=SC2086 # the optional wrapper ($3) is a command and its arguments
  (cd "$(dirname "$1")" && exec env LD_PRELOAD="${2:-}" SOUNDPATH_RUNTIMER="$work/runs.txt" \
    ${3:-} "$1" 2>"$work/program.err") &
  pid=$!
  wait_for_window 60 || fail "no window from $1; it said: $(tail -n 5 "$work/program.err")"
  map_ms=$(($(now_ms) - t0))
}
# ESC until it ends. Under Wine the keys go to the window only once Wine has made it active,
# which the pointer coming over it does not always do: if the first is lost, a click in the
# window (where the pointer is) makes it active, as it would for a person.
quit() {
  local tries=0
  while kill -0 "$pid" 2>/dev/null; do
    [ "$tries" -lt 20 ] || fail "ESC did not end the program"
    [ "$tries" -eq 0 ] || xdotool click 1 sleep 0.2
    tries=$((tries + 1))
    xdotool keydown Escape sleep 0.1 keyup Escape
    for _ in $(seq 10); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  done
  wait "$pid" 2>/dev/null || true
  while window_shown; do sleep 0.01; done
}
# Idle CPU over IDLE_SECONDS of the process $pid, plus that of the processes named in $extra.
idle_cpu() {
  xdotool mousemove "${1:-400}" "${2:-300}"
  sleep 2
  local a b p
  a=$(ticks "$pid"); for p in ${extra:-}; do a=$((a + $(ticks "$p"))); done
  sleep "$IDLE_SECONDS"
  b=$(ticks "$pid"); for p in ${extra:-}; do b=$((b + $(ticks "$p"))); done
  awk -v d=$((b - a)) -v hz="$hz" -v s="$IDLE_SECONDS" 'BEGIN { printf "%.2f", 100 * d / hz / s }'
}
sleep_ms() { sleep "$(awk -v ms="$1" 'BEGIN { print ms / 1000 }')"; }
average() { awk -v s="$1" -v n="$2" 'BEGIN { printf "%.2f", s / n }'; }
add() { awk -v a="$1" -v b="$2" 'BEGIN { print a + b }'; }

# ---- idle CPU, start, memory and the run's length: the Linux program ---------------------------
# Its sound goes to ALSA's file plugin here: these measure time, CPU and memory, not the sound.
printf 'pcm.!default {\n type file\n slave.pcm "null"\n file "%s"\n format "wav"\n}\n' \
  "$work/capture.wav" >"$work/home/.asoundrc"
# Idle CPU at this level is a few percent and the machine's own noise is of the same order, so
# the two programs take turns, ROUNDS times each, and their totals are compared.
floor_sum=0
sp_sum=0
for _ in $(seq "$ROUNDS"); do
  start "$work/run/idle_floor"
  floor_sum=$(add "$floor_sum" "$(idle_cpu)")
  quit
  start "$build/soundpath"
  sp_sum=$(add "$sp_sum" "$(idle_cpu)")
  quit
done
floor_cpu=$(average "$floor_sum" "$ROUNDS")
sp_cpu=$(average "$sp_sum" "$ROUNDS")

start "$build/soundpath" "$work/runtimer.so"
sp_map=$map_ms
sleep 1  # the window is mapped a moment before the loop starts reading the mouse
xdotool mousemove 200 100 mousedown 1 sleep 0.1 mouseup 1 sleep 0.2
xdotool mousemove 600 400 mousedown 1 sleep 0.1 mouseup 1 sleep 0.2
rss=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
xdotool mousedown 3 sleep 0.1 mouseup 3
sleep_ms $((nominal_ms + 1200))
quit
read -r run_ms run_steps < <(tail -n 1 "$work/runs.txt")
[ "$run_steps" = "$nominal_steps" ] ||
  echo "warning: the run made $run_steps adjustments, not $nominal_steps" >&2

# ---- how it answers, through each sound server --------------------------------------------------
# answer NAME SERVER PROGRAM [WRAPPER]: one run of PROGRAM with its sound going to SERVER
# (pulse or pipewire), recorded from the server's sink; prints one table row a measure.
answer() {
  local name=$1 server=$2 dir ox oy i x y seen busy=() rec player
  dir=$(mktemp -d "$work/answer-XXXXXX") # a path without spaces, for the servers' arguments
  # It runs in a subshell of its own, $(answer ...): should it fail midway, the sound server, the
  # recorder, the player and the program end with it rather than run on.
  trap 'kill $(jobs -p) 2>/dev/null || true' EXIT
  if [ "$server" = pulse ]; then
    start_pulse "$dir/server"
    printf 'pcm.!default { type pulse }\nctl.!default { type pulse }\n' >"$HOME/.asoundrc"
    parec -d capture.monitor --format=s16le --rate=44100 --channels=2 --latency-msec=5 \
      --raw >"$dir/recording.raw" &
    rec=$!
  else
    start_pipewire "$dir/server" || return 1
    printf 'pcm_type.pipewire { lib "%s" }\npcm.!default { type pipewire }\n' \
      "$pipewire_plugin" >"$HOME/.asoundrc"
    pw-record --target capture -P '{ stream.capture.sink=true }' --rate 44100 --channels 2 \
      --format s16 --latency 5ms "${pw_raw[@]}" - >"$dir/recording.raw" &
    rec=$!
  fi
  until [ -s "$dir/recording.raw" ]; do sleep 0.05; done
  # The beeps go through a player that is already connected, so that its start costs nothing.
  "$work/delays" --beep >"$dir/beep.raw"
  mkfifo "$dir/beeps"
  if [ "$server" = pulse ]; then
    pacat --latency-msec=5 --raw --format=s16le --rate=44100 --channels=2 <"$dir/beeps" &
  else
    pw-play --target capture --latency 5ms --rate 44100 --channels 2 --format s16 \
      "${pw_raw[@]}" - <"$dir/beeps" &
  fi
  player=$!
  exec 4>"$dir/beeps"
  beep() { sleep 0.6; echo "beep $(now_ms)" >>"$dir/events"; cat "$dir/beep.raw" >&4; sleep 0.4; }

  start "$3" "" "${4:-}"
  read -r ox oy < <(origin)
  sleep 1
  xdotool mousemove $((ox + 400)) $((oy + 300))
  beep
  local places=()
  for i in $(seq 0 $((TAPS - 1))); do
    x=$((60 + (i % 5) * 160)) y=$((120 + (i / 5) * 200))
    places+=("$x" "$y")
    xdotool mousemove $((ox + x)) $((oy + y)) sleep 0.15 click 1 sleep 0.15
  done  # taps: press and release at once
  sleep 0.5
  seen=$("$work/discs" "${places[@]}")
  xdotool keydown Delete sleep 0.06 keyup Delete
  for i in $(seq "$TRIALS"); do
    beep
    # Pressed for 60 ms, as a person clicks: a program that misses taps still sees these.
    echo "sound $(now_ms)" >>"$dir/events"
    xdotool mousedown 3 sleep 0.06 mouseup 3
    sleep_ms $((fade_ms + 600)) # with no point, the run is its fade
    echo "silence $(now_ms)" >>"$dir/events"
    xdotool keydown Delete sleep 0.06 keyup Delete
  done
  beep
  xdotool mousemove $((ox + 200)) $((oy + 100)) mousedown 1 sleep 0.06 mouseup 1 sleep 0.2
  xdotool mousemove $((ox + 600)) $((oy + 400)) mousedown 1 sleep 0.06 mouseup 1 sleep 0.3
  # Each loop rests for half a millisecond in every ten: a virtual machine whose every core
  # computes flat out has one of them stopped for 100 ms at a time, and no desktop does that.
  for i in $(seq "$busy_loops"); do
    # shellcheck disable=SC2016 # the loop's own variables
    (exec nice -n "$busy_nice" bash -c 'exec 3<> <(:) # read from it waits out its timeout
      while :; do
        t=${EPOCHREALTIME/./} && end=$((t + 9500))
        while ((t < end)); do t=${EPOCHREALTIME/./}; done
        read -rt 0.0005 -u 3 || :
      done') &
    busy+=($!)
  done
  echo "run $(now_ms)" >>"$dir/events"
  xdotool mousedown 3 sleep 0.06 mouseup 3
  sleep_ms $((nominal_ms + 500))
  kill "${busy[@]}"
  xdotool keydown Delete sleep 0.06 keyup Delete
  beep
  quit
  [ -z "${4:-}" ] || wineserver -w
  exec 4>&-
  kill "$rec" "$player" 2>/dev/null || true
  wait "$rec" "$player" 2>/dev/null || true
  stop_server "$dir/server"
  local result
  if ! result=$("$work/delays" "$dir/recording.raw" "$dir/events"); then
    echo "$result" >&2
    echo "bench: $name: an answer never came" >&2
    return 1
  fi
  awk -v n="$name" -v seen="$seen" -v taps="$TAPS" '
    { median[$1] = $3; worst[$1] = $4 }
    END {
      printf "%-44s %7d of %d\n", n ": taps that left a disc", seen, taps
      printf "%-44s %7d ms, worst %d ms  (target <= 30)\n", n ": right click to sound", median["sound"], worst["sound"]
      printf "%-44s %7d ms, worst %d ms  (target <= 30)\n", n ": DEL to silence", median["silence"], worst["silence"]
      printf "%-44s %7d windows of 5 ms\n", n ": gaps in a run, every core busy", worst["gaps"]
      if ("beep" in median) printf "%-44s %7d ms, worst %d ms\n", n ": error of the method (beeps)", median["beep"], worst["beep"]
    }' <<<"$result"
}
answers=$(answer "Linux, PulseAudio" pulse "$build/soundpath") || fail "PulseAudio's measures"
row=$(answer "Linux, PipeWire" pipewire "$build/soundpath") || fail "PipeWire's measures"
answers+=$'\n'$row

# ---- the Windows program under Wine ------------------------------------------------------------
# In the tests' prefix, with the data files of the release beside both programs; Wine centres
# its window on the screen. Its sound goes to a private PulseAudio server: without a sound device
# the program would wait in its message box saying so.
export WINEPREFIX=$wineprefix WINEDEBUG=-all
start_pulse "$work/pulse"
wine_idle() {
  start "$work/win/soundpath/$1" "" wine # the launcher becomes the Windows program
  extra=$(pgrep -n -x 'wineserver(64)?') # Debian's is wineserver64
  idle_cpu 512 384
  extra=""
  quit
  wineserver -w
}
wfloor_sum=0
wsp_sum=0
for _ in $(seq "$ROUNDS"); do
  wfloor_sum=$(add "$wfloor_sum" "$(wine_idle idle_floor.exe)")
  wsp_sum=$(add "$wsp_sum" "$(wine_idle soundpath.exe)")
done
wfloor_cpu=$(average "$wfloor_sum" "$ROUNDS")
wsp_cpu=$(average "$wsp_sum" "$ROUNDS")
stop_server "$work/pulse"
row=$(answer "Wine, PulseAudio" pulse "$work/win/soundpath/soundpath.exe" wine) ||
  fail "Wine's measures"
answers+=$'\n'$row

awk -v f="$floor_cpu" -v c="$sp_cpu" -v m="$sp_map" -v r="$rss" -v run="$run_ms" \
  -v wf="$wfloor_cpu" -v wc="$wsp_cpu" -v nominal="$nominal_ms" 'BEGIN {
  printf "%-44s %10s\n", "measure", "value"
  printf "%-44s %9.2f%%\n", "idle CPU, library floor (idle_floor)", f
  printf "%-44s %9.2f%%\n", "idle CPU, soundpath", c
  printf "%-44s %10.2f  (target <= 1.2)\n", "idle CPU ratio soundpath / floor", (f > 0 ? c / f : 0)
  printf "%-44s %9.2f%%\n", "Wine: idle CPU, library floor, with server", wf
  printf "%-44s %9.2f%%\n", "Wine: idle CPU, soundpath.exe, with server", wc
  printf "%-44s %10.2f  (target <= 1.2)\n", "Wine: idle CPU ratio soundpath / floor", (wf > 0 ? wc / wf : 0)
  printf "%-44s %7d ms\n", "start to window mapped", m
  printf "%-44s %7.1f MiB\n", "peak resident memory", r / 1024
  printf "%-44s %7.0f ms  (nominal %d)\n", "two-point run, wall time", run, nominal
  printf "%-44s %9.2f%%  (target <= 1.5)\n", "two-point run, overhead", 100 * (run - nominal) / nominal
}'
echo "$answers"
