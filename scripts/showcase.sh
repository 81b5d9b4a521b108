#!/usr/bin/env bash
# Makes the README's two pictures from one real run of the program under Xvfb:
#   docs/window.png       the window after marking a three-point path;
#   docs/sound.png        the sound of that path played once, recorded in real time through a
#                         private PulseAudio server: its spectrogram (the pitch), and under it
#                         the stereo position over the same time.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
scripts/setup.sh test >/dev/null
ensure_packages imagemagick sox gnuplot-nox

xvfb_pid=""
work=$(mktemp -d /tmp/soundpath-show-XXXXXX)
trap 'kill $(jobs -p) $xvfb_pid 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/run" docs
cp build/crosshair.bmp build/sound.wav "$work/run/"
printf 'pcm.!default { type pulse }\nctl.!default { type pulse }\n' >"$work/home/.asoundrc"
start_pulse "$work/pulse"
parec -d capture.monitor --format=s16le --rate=44100 --channels=2 --latency-msec=10 \
  >"$work/capture.raw" &
recorder=$!

start_xvfb
export HOME="$work/home"

root=$(pwd)
(cd "$work/run" && exec "$root/build/soundpath" 2>/dev/null) &
pid=$!
wait_for_window 30
sleep 0.3

click() { xdotool mousemove "$1" "$2" sleep 0.1 mousedown "$3" sleep 0.12 mouseup "$3" sleep 0.2; }
click 150 450 1
click 400 150 1
click 650 450 1
xdotool mousemove 700 560 sleep 0.3
import -window root -crop 800x600+0+0 +repage docs/window.png
click 700 560 3
# The run: two pan sweeps of 80 steps, two pitch sweeps of 900, and the fade: about 23.6 s.
sleep 24.5
xdotool keydown Escape sleep 0.1 keyup Escape
wait "$pid" || true
sleep 0.2
kill -INT "$recorder"
wait "$recorder" || true

# The recording in real time, from the first sound to the last.
sox -t raw -r 44100 -e signed-integer -b 16 -c 2 -L "$work/capture.raw" "$work/fixed.wav" \
  silence 1 0.01 0.1% reverse silence 1 0.01 0.1% reverse
sox "$work/fixed.wav" -n remix 1,2 rate 8k spectrogram -x 680 -y 300 -z 80 -r \
  -o "$work/spectrogram.png"

# Stereo position, right / (left + right) of the channels' RMS in windows of 1/20 s.
sox "$work/fixed.wav" -t dat - | awk -v n=2205 '
  /^;/ { next }
  { l += $2 * $2; r += $3 * $3; c++ }
  c == n { if (l + r > 0) printf "%.3f %.4f\n", t / 20, sqrt(r) / (sqrt(l) + sqrt(r)); t++; l = r = c = 0 }
' >"$work/position.dat"
gnuplot <<PLOT
set terminal pngcairo size 800,200 background "black"
set output "$work/position.png"
set border lc rgb "white"
set tics textcolor rgb "white"
set xlabel "time (s)" textcolor rgb "white"
set ylabel "pan" textcolor rgb "white"
set yrange [0:1]
set ytics ("left" 0, "centre" 0.5, "right" 1)
set xrange [0:$(soxi -D "$work/fixed.wav")]
# The plot spans x = 80 .. 760 of the picture, under the spectrogram's 680 columns.
set lmargin at screen 0.1
set rmargin at screen 0.95
unset key
plot "$work/position.dat" with lines lw 2 lc rgb "#ffcc33"
PLOT
convert "$work/spectrogram.png" -background black -gravity west -splice 80x0 -extent 800x300 \
  "$work/position.png" -append docs/sound.png
echo "wrote docs/window.png and docs/sound.png"
