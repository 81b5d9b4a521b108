// Reads a recording of the sound output (raw 16-bit stereo at 44.1 kHz, as parec writes it) and
// a list of wall-clock events, and prints how long each kind of event took to be heard.
//   delays RECORDING EVENTS
//   delays --beep      writes the beep, raw in the same format, to standard output
//   delays --two-point-run   prints the pauses (ms) and the adjustments of the run that the
//                            end-to-end tests play, and the pauses of a fade, for the scripts
// EVENTS has one event a line: a kind and the wall-clock time in milliseconds just before it.
//   beep T     a short beep played straight into the sink at T: it ties the recording's clock
//              to the wall clock (a recorder starts some hundreds of milliseconds late)
//   sound T    something that should start a sound: the answer is the first sound after T
//   silence T  something that should silence it: the answer is the first silence after T
//   run T      a right click that starts a run along (200, 100) and (600, 400): the gaps in its
//              two sweeps, counted in 5 ms windows as the end-to-end tests count them
// The first and the last beep tie the two clocks together, and every beep between them shows
// the method's own error. Each beep must fall in a silence of at least half a second.
// Prints, for each kind, one line: KIND COUNT MEDIAN_MS WORST_MS, and the delays themselves (for
// the runs, "gaps" and the counts of gaps); an answer that never came counts as -1 and fails
// (status 1).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "capture.h"
#include "harness.h"

namespace {

constexpr int kWindow = 44;          // 1 ms
constexpr double kHeard = 300;       // a window's peak, of 32767: the sample at volume 100 or more
constexpr double kSilent = 0.5;      // nothing at all: even the voice at volume 1 is above
constexpr int kSilentWindows = 20;   // silence must last this long to count
constexpr long kGiveUpMs = 2000;     // an answer later than this is no answer
constexpr long kBeepSearchMs = 500;  // a later beep is looked for from this long before its time
constexpr int kGapWindow = 220;      // 5 ms
constexpr long kSweepsMs = e2e::kTwoPointRun.sweep_ms;

std::vector<int> Peaks(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<int> peaks;
  int16_t frame[2 * kWindow];
  while (in.read(reinterpret_cast<char*>(frame), sizeof frame)) {
    int peak = 0;
    for (int16_t s : frame) peak = std::max(peak, std::abs(static_cast<int>(s)));
    peaks.push_back(peak);
  }
  return peaks;
}

// The first window at or after `from`, and before `from + within`, where the sound is heard
// (or, with `silence`, has been silent for kSilentWindows), or -1.
long Answer(const std::vector<int>& peaks, long from, bool silence, long within = kGiveUpMs) {
  int quiet = 0;
  for (long i = std::max(0L, from); i < static_cast<long>(peaks.size()) && i < from + within; i++) {
    if (!silence && peaks[i] > kHeard) return i;
    quiet = peaks[i] < kSilent ? quiet + 1 : 0;
    if (silence && quiet == kSilentWindows) return i - kSilentWindows + 1;
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--beep") {  // 30 ms of 1 kHz at half the full level
    for (int i = 0; i < 30 * 441 / 10; i++) {
      const int16_t v = static_cast<int16_t>(16384 * std::sin(2 * M_PI * 1000 * i / 44100.0));
      const int16_t frame[2] = {v, v};
      std::fwrite(frame, sizeof frame, 1, stdout);
    }
    return 0;
  }
  if (argc == 2 && std::string(argv[1]) == "--two-point-run") {
    std::printf("%d %d %d\n", e2e::kTwoPointRun.pause_ms, e2e::kTwoPointRun.adjustments,
                e2e::kFadeMs);
    return 0;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: delays RECORDING EVENTS\n");
    return 2;
  }
  const std::vector<int> peaks = Peaks(argv[1]);
  std::ifstream events(argv[2]);
  std::vector<std::pair<std::string, double>> list;
  std::string kind;
  double at;
  while (events >> kind >> at) list.emplace_back(kind, at);

  // The beeps, first and last: the recorder's clock runs a little off the wall clock (here by
  // about 0.3 %), so the two together give where each wall-clock time lies in the recording.
  std::vector<std::pair<double, long>> beeps;  // wall time, window
  for (const auto& [name, wall] : list) {
    if (name != "beep") continue;
    const long from =
        beeps.empty() ? 0 : beeps[0].second + std::lround(wall - beeps[0].first) - kBeepSearchMs;
    const long window = Answer(peaks, from, false, beeps.empty() ? peaks.size() : kGiveUpMs);
    if (window < 0) {
      std::fprintf(stderr, "delays: a beep is not in the recording\n");
      return 1;
    }
    beeps.emplace_back(wall, window);
  }
  if (beeps.size() < 2) {
    std::fprintf(stderr, "delays: the events need a beep before and after\n");
    return 2;
  }
  const auto [wall0, window0] = beeps.front();
  const auto [wall1, window1] = beeps.back();
  const double scale = (window1 - window0) / (wall1 - wall0);
  std::map<std::string, std::vector<long>> delays;
  std::vector<e2e::Window> windows;              // for the gaps, made when first needed
  for (size_t b = 1; b + 1 < beeps.size(); b++)  // the method's own error
    delays["beep"].push_back(beeps[b].second - window0 -
                             std::lround((beeps[b].first - wall0) * scale));
  for (const auto& [name, wall] : list) {
    if (name == "beep") continue;
    const long from = window0 + std::lround((wall - wall0) * scale);
    if (name == "run") {
      if (windows.empty()) windows = e2e::Analyse(e2e::ReadCapture(argv[1]), kGapWindow);
      const long heard = Answer(peaks, from, false);
      const size_t start = (heard + 20) * kWindow / kGapWindow;  // once it is at full volume
      delays["gaps"].push_back(
          heard < 0 ? -1 : e2e::Gaps(windows, start, kSweepsMs * kWindow / kGapWindow).size());
      continue;
    }
    const long answer = Answer(peaks, from, name == "silence");
    delays[name].push_back(answer < 0 ? -1 : answer - from);
  }

  int status = 0;
  for (auto& [name, delay] : delays) {
    std::vector<long> sorted = delay;
    std::sort(sorted.begin(), sorted.end());
    const bool missed = sorted.front() < 0 && name != "beep";
    std::printf("%s %zu %ld %ld  (", name.c_str(), delay.size(), sorted[sorted.size() / 2],
                missed ? -1 : sorted.back());
    for (size_t i = 0; i < delay.size(); i++) std::printf("%s%ld", i ? " " : "", delay[i]);
    std::printf(")\n");
    if (missed) status = 1;
  }
  return status;
}
