// Reads what was recorded of the program's sound output, and measures it in short windows:
// level per channel, the stereo position, and the pitch.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

struct Capture {
  int rate = 0;
  std::vector<double> left, right;  // -1 .. 1
};

// A recording as the harness makes it: 16-bit signed little-endian stereo at 44.1 kHz, raw.
Capture ReadCapture(const std::string& path);

struct Window {
  double left_rms, right_rms;
  double level;     // the louder channel's RMS
  double loudness;  // both channels' RMS added: with the library's linear pan, it follows the
                    // volume alone, wherever the sound is panned
  double position;  // right / (left + right): 0 full left, 1 full right
  double pitch_hz;  // 0 where nothing periodic is heard
};

std::vector<Window> Analyse(const Capture& c, int window_samples);

// The level a little before the sound ended (the recording goes on in silence after the program
// has ended): what was left playing at the end.
double LastAudible(const std::vector<Window>& w);

// How many times the level climbs from below `low` to above `high` (fractions of the loudest
// window): the starts of runs, each of which begins loud after a faded or silent stretch. The
// gap between the two keeps a level hovering near one threshold from counting twice. A rise
// that comes less than `apart` windows after the level was last above `high` is a dropout of
// the recording within a loud stretch (a starved sound server does that on a busy machine), not
// a new run: a run starts after a faded or silent stretch that long.
int CountRises(const std::vector<Window>& w, double low, double high, size_t apart = 0);

// Where a sound output that ran dry left a gap in a steady sound: the windows among `count`
// from `start` whose loudness falls below half of the middle of the 20 windows on either side.
// Their indexes, from `start`.
std::vector<size_t> Gaps(const std::vector<Window>& w, size_t start, size_t count);

// The level of the loudest of the windows from `from` to `to`.
double Peak(const std::vector<Window>& w, size_t from = 0, size_t to = SIZE_MAX);
// The level of the loudest window of 2048 samples in the recording at `path`: above 0.01 when
// the sample was heard at all.
double PeakLevel(const std::string& path);

}  // namespace e2e
