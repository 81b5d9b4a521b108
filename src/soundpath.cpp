// The sound path: points, the pan and pitch mappings, and the synthesis run.
#include "soundpath.h"

#include "library.h"

namespace {

constexpr int kStartVol = 100;  // the voice as it is started, before the path takes over
constexpr int kStartPan = 150;
constexpr int kStartFreq = 2000;
constexpr int kLoop = 1;

// Moves `value` (the state's pan or freq) one unit per step from its current value toward
// `target`, applying each value before moving on; the target itself is left for whatever comes
// next. Returns false when told to stop.
bool Sweep(int& value, int target, const SAMPLE* sound, SynthState& s, bool (*stop)()) {
  int dir = value < target ? 1 : -1;
  for (; value != target; value += dir) {
    if (stop()) return false;
    lib::adjust_sample(sound, s.vol, s.pan, s.freq, kLoop);
    lib::rest(kStepPauseMs);
  }
  return true;
}

}  // namespace

POINT points[kMaxPoints];

void InitPoints() {
  for (int i = 0; i < kMaxPoints; i++) {
    points[i].x = kEmpty;
    points[i].y = kEmpty;
  }
}

void AppendPoint(int& count, int x, int y) {
  if (count <= kMaxPoints - 1) {
    points[count].x = x;
    points[count].y = y;
    count++;
  }
}

void RunSynthesis(const SAMPLE* sound, SynthState& s, bool (*stop)()) {
  if (sound == nullptr) return;

  // A voice left looping by an earlier run would be the one that every adjustment below
  // reaches, leaving this run's voice stuck at its start values; silence it first.
  lib::stop_sample(sound);
  lib::play_sample(sound, kStartVol, kStartPan, kStartFreq, kLoop);

  int i;
  for (i = 0; i < kMaxPoints - 1; i++) {
    if (points[i].x == kEmpty || points[i + 1].x == kEmpty) continue;
    s.startpan = PanOf(points[i], lib::screen_w());
    s.endpan = PanOf(points[i + 1], lib::screen_w());
    s.startfreq = FreqOf(points[i]);
    s.freq = s.startfreq;
    // Each segment is travelled as an L: across at the first point's pitch, then up or down
    // at the second point's pan.
    s.pan = s.startpan;
    if (!Sweep(s.pan, s.endpan, sound, s, stop)) return;
    s.endfreq = FreqOf(points[i + 1]);
    if (!Sweep(s.freq, s.endfreq, sound, s, stop)) return;
  }

  // The voice is left looping at volume 1, not stopped: DEL or the end of the program stops it.
  s.p = kFadePauseMs;
  for (i = s.vol; i >= 1; i--) {
    if (stop()) return;
    lib::adjust_sample(sound, i, s.pan, s.freq, kLoop);
    lib::rest(s.p);
  }
}
