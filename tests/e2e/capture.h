// Reads what the program's sound output wrote through ALSA's file plugin, and measures it in
// short windows: level per channel, the stereo position, and the pitch.
#pragma once

#include <string>
#include <vector>

namespace e2e {

struct Capture {
  int rate = 0;
  std::vector<double> left, right;  // -1 .. 1
};

// The library hands ALSA unsigned 16-bit samples that the plugin labels as signed, so each one
// is moved back by half the range here.
Capture ReadCapture(const std::string& path);

struct Window {
  double left_rms, right_rms;
  double level;     // the louder channel's RMS
  double position;  // right / (left + right): 0 full left, 1 full right
  double pitch_hz;  // 0 where nothing periodic is heard
};

std::vector<Window> Analyse(const Capture& c, int window_samples);

// How many times the level climbs from below `low` to above `high` (fractions of the loudest
// window): the starts of runs, each of which begins loud after a faded or silent stretch. The
// gap between the two keeps a level hovering near one threshold from counting twice.
int CountRises(const std::vector<Window>& w, double low, double high);

}  // namespace e2e
