#!/usr/bin/env bash
# Measures soundpath on this machine and prints one table:
#   - idle CPU of the running program beside that of bench/idle_floor (the same library window
#     and drivers doing nothing), averaged over ROUNDS turns of IDLE_SECONDS each;
#   - time from start to the window being mapped;
#   - peak resident memory after a few clicks;
#   - wall time of one two-point synthesis run beside the sum of its pauses (14.28 s);
#   - idle CPU of the Windows program under Wine beside the library's floor built for Windows the
#     same way (bench/idle_floor.cpp, cross-built against the same patched library), each with
#     Wine's server counted, drawn through Wine's default renderer.
# It runs under its own Xvfb with the Linux program's sound going to ALSA's file plugin (it
# measures time, CPU and memory, not the sound); the Windows program plays into a private
# PulseAudio server, the sound device Wine can use here.
# Needs: the test packages (scripts/setup.sh test), plus xdotool and x11-utils.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test >/dev/null
for p in xdotool x11-utils; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || {
    sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get install -y -qq "$p" </dev/null >/dev/null; }
done

IDLE_SECONDS=${IDLE_SECONDS:-10}
ROUNDS=${ROUNDS:-3}
root=$(pwd)
xvfb=""
work=$(mktemp -d /tmp/soundpath-bench-XXXXXX)
trap 'kill $(jobs -p) $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/run"
cp build/crosshair.bmp build/sound.wav "$work/run/"
printf 'pcm.!default {\n type file\n slave.pcm "null"\n file "%s"\n format "wav"\n}\n' \
  "$work/capture.wav" >"$work/home/.asoundrc"
read -ra allegro_libs <<<"$(pkg-config --libs allegro)"
g++ -O2 -Wall -Wextra bench/idle_floor.cpp -o "$work/run/idle_floor" "${allegro_libs[@]}"
gcc -O2 -Wall -shared -fPIC bench/runtimer.c -o "$work/runtimer.so" -ldl

# The Windows release and the floor built for Windows, and the tests' Wine prefix.
scripts/build-windows.sh build-windows >/dev/null
cmake --build build-windows/exe --target idle_floor >/dev/null
mkdir -p "$work/win"
(cd "$work/win" && cmake -E tar xf "$root/build-windows/soundpath-"*"-windows-x64.zip")
cp build-windows/exe/idle_floor.exe "$work/win/soundpath/"
wineprefix=$(scripts/wineprefix.sh)

exec 3< <(exec Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r -u 3 dpy
export DISPLAY=":$dpy" HOME="$work/home"
hz=$(getconf CLK_TCK)

ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
mapped() { xwininfo -root -children 2>/dev/null | grep -q '800x600'; }
now_ms() { date +%s%3N; }

# start PROGRAM: runs it in the data directory and waits for its window; sets pid and map_ms.
start() {
  local t0
  t0=$(now_ms)
  # shellcheck disable=SC2086 # the optional wrapper ($3) is a command and its arguments
  (cd "$(dirname "$1")" && exec env LD_PRELOAD="${2:-}" SOUNDPATH_RUNTIMER="$work/runs.txt" \
    ${3:-} "$1" 2>/dev/null) &
  pid=$!
  until mapped; do sleep 0.005; done
  map_ms=$(($(now_ms) - t0))
}
quit() {
  xdotool keydown Escape sleep 0.1 keyup Escape
  wait "$pid" 2>/dev/null || true
  while mapped; do sleep 0.01; done
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

# Idle CPU at this level is a few percent and the machine's own noise is of the same order, so
# the two programs take turns, ROUNDS times each, and their totals are compared.
floor_sum=0
sp_sum=0
for _ in $(seq "$ROUNDS"); do
  start "$work/run/idle_floor"
  floor_sum=$(awk -v a="$floor_sum" -v b="$(idle_cpu)" 'BEGIN { print a + b }')
  quit
  start "$root/build/soundpath"
  sp_sum=$(awk -v a="$sp_sum" -v b="$(idle_cpu)" 'BEGIN { print a + b }')
  quit
done
floor_cpu=$(awk -v s="$floor_sum" -v n="$ROUNDS" 'BEGIN { printf "%.2f", s / n }')
sp_cpu=$(awk -v s="$sp_sum" -v n="$ROUNDS" 'BEGIN { printf "%.2f", s / n }')

start "$root/build/soundpath" "$work/runtimer.so"
sp_map=$map_ms
sleep 1  # the window is mapped a moment before the loop starts reading the mouse
xdotool mousemove 200 100 mousedown 1 sleep 0.1 mouseup 1 sleep 0.2
xdotool mousemove 600 400 mousedown 1 sleep 0.1 mouseup 1 sleep 0.2
rss=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
xdotool mousedown 3 sleep 0.1 mouseup 3
sleep 15.5
quit
read -r run_ms run_steps < <(tail -n 1 "$work/runs.txt")
[ "$run_steps" = 1228 ] || echo "warning: the run made $run_steps adjustments, not 1228" >&2

# The same idle measure for the Windows program under Wine, in the tests' prefix, with the
# data files of the release beside both programs; Wine centres its window on the screen. Its
# sound goes to a private PulseAudio server: without a sound device the program would wait in
# its message box saying so.
export WINEPREFIX=$wineprefix WINEDEBUG=-all
source scripts/pulse.sh
start_pulse "$work/pulse"
wine_idle() {
  start "$work/win/soundpath/$1" "" wine  # the launcher becomes the Windows program
  extra=$(pgrep -n -x 'wineserver(64)?')  # Debian's is wineserver64
  idle_cpu 512 384
  extra=""
  quit
  wineserver -w
}
wfloor_sum=0
wsp_sum=0
for _ in $(seq "$ROUNDS"); do
  wfloor_sum=$(awk -v a="$wfloor_sum" -v b="$(wine_idle idle_floor.exe)" 'BEGIN { print a + b }')
  wsp_sum=$(awk -v a="$wsp_sum" -v b="$(wine_idle soundpath.exe)" 'BEGIN { print a + b }')
done
wfloor_cpu=$(awk -v s="$wfloor_sum" -v n="$ROUNDS" 'BEGIN { printf "%.2f", s / n }')
wsp_cpu=$(awk -v s="$wsp_sum" -v n="$ROUNDS" 'BEGIN { printf "%.2f", s / n }')

awk -v f="$floor_cpu" -v c="$sp_cpu" -v m="$sp_map" -v r="$rss" -v run="$run_ms" \
  -v wf="$wfloor_cpu" -v wc="$wsp_cpu" 'BEGIN {
  printf "%-44s %10s\n", "measure", "value"
  printf "%-44s %9.2f%%\n", "idle CPU, library floor (idle_floor)", f
  printf "%-44s %9.2f%%\n", "idle CPU, soundpath", c
  printf "%-44s %10.2f  (target <= 1.2)\n", "idle CPU ratio soundpath / floor", (f > 0 ? c / f : 0)
  printf "%-44s %9.2f%%\n", "Wine: idle CPU, library floor, with server", wf
  printf "%-44s %9.2f%%\n", "Wine: idle CPU, soundpath.exe, with server", wc
  printf "%-44s %10.2f  (target <= 1.2)\n", "Wine: idle CPU ratio soundpath / floor", (wf > 0 ? wc / wf : 0)
  printf "%-44s %7d ms\n", "start to window mapped", m
  printf "%-44s %7.1f MiB\n", "peak resident memory", r / 1024
  printf "%-44s %7.0f ms  (nominal 14280)\n", "two-point run, wall time", run
  printf "%-44s %9.2f%%  (target <= 1.5)\n", "two-point run, overhead", 100 * (run - 14280) / 14280
}'
