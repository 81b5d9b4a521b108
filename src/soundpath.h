// The sound path: the table of marked points and the sound that travels along them.
#pragma once

struct SAMPLE;

// One marked screen position; (-1, -1) marks an empty slot.
struct POINT {
  int x;
  int y;
};

constexpr int kMaxPoints = 10;
constexpr int kEmpty = -1;

// The path in click order: slots 0 .. count-1 hold points, the rest are empty. The main loop
// owns `count`; the table itself knows nothing of it.
extern POINT points[kMaxPoints];

// Empties every slot.
void InitPoints();

// Stores (x, y) in slot `count` and advances `count`, unless all ten slots are taken.
void AppendPoint(int& count, int x, int y);

// ---- the mappings and the pauses of a run ---------------------------------------------------
// What a run does is fixed by the points alone, so callers that wait for one (the tests, the
// benchmark) take its length from here rather than working it out again.

constexpr int kPanRange = 255;    // pan runs 0 (left) .. 255 (right)
constexpr int kTopFreq = 2000;    // frequency of the top row; lower rows play lower
constexpr int kFreqPerRow = 3;    // frequency lost per pixel down the screen
constexpr int kStepPauseMs = 10;  // after each step of a sweep: one unit of pan or frequency
constexpr int kFadePauseMs = 20;  // after each step of the fade: one unit of volume
constexpr int kRunVol = 200;      // the volume a run plays at, and so the fade's steps

// b1 * pos / b2, multiplied first, truncated toward zero. With b2 == 0 (no screen) it gives the
// middle of the range, b1 / 2, rather than dividing by zero.
constexpr double PanVolRescaler(int b1, int b2, int pos) {
  if (b2 == 0) return b1 / 2;
  int res = b1 * pos / b2;
  return res;
}

constexpr int PanOf(const POINT& pt, int screen_w) {
  return static_cast<int>(PanVolRescaler(kPanRange, screen_w, pt.x));
}

constexpr int FreqOf(const POINT& pt) {
  return kTopFreq - kFreqPerRow * pt.y;
}

// How long a run along `path` (laid out as the table is) lasts in pauses on a screen `screen_w`
// wide, and how many adjustments it makes: each usable pair is swept across, then up or down,
// one unit per step; then the fade.
struct RunLength {
  int sweep_ms;
  int pause_ms;  // the sweeps and the fade
  int adjustments;
};
constexpr RunLength RunLengthOf(const POINT (&path)[kMaxPoints], int screen_w) {
  int steps = 0;
  for (int i = 0; i < kMaxPoints - 1; i++) {
    if (path[i].x == kEmpty || path[i + 1].x == kEmpty) continue;
    const int across = PanOf(path[i + 1], screen_w) - PanOf(path[i], screen_w);
    const int down = FreqOf(path[i + 1]) - FreqOf(path[i]);
    steps += (across < 0 ? -across : across) + (down < 0 ? -down : down);
  }
  return RunLength{steps * kStepPauseMs, steps * kStepPauseMs + kRunVol * kFadePauseMs,
                   steps + kRunVol};
}

// The synthesis state, kept for the whole run of the program. `pan` and `freq` carry over from
// one run to the next; the four start and end values are recomputed for every segment.
struct SynthState {
  int startpan = 0;
  int endpan = 0;
  int startfreq = 0;
  int endfreq = 0;
  int pan = 130;
  int vol = kRunVol;
  int freq = 1000;
  int p = 0;  // pause between fade-out steps, set before each fade-out
};

// Plays `sound` along the stored path and fades it out; blocks until the fade-out is over, or
// until `stop` (looked at before every step) says the program is ending. Does nothing at all
// when there is no sample.
void RunSynthesis(const SAMPLE* sound, SynthState& s, bool (*stop)());
