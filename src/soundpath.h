// The sound path: the table of marked points and the sound that travels along them.
#pragma once

struct SAMPLE;

// One marked screen position; (-1, -1) marks an empty slot.
struct POINT {
  int x;
  int y;
};

constexpr int kMaxPoints = 10;

// The path in click order: slots 0 .. count-1 hold points, the rest are empty. The main loop
// owns `count`; the table itself knows nothing of it.
extern POINT points[kMaxPoints];

// Empties every slot.
void InitPoints();

// Stores (x, y) in slot `count` and advances `count`, unless all ten slots are taken.
void AppendPoint(int& count, int x, int y);

// The synthesis state, kept for the whole run of the program. `pan` and `freq` carry over from
// one run to the next; the four start and end values are recomputed for every segment.
struct SynthState {
  int startpan = 0;
  int endpan = 0;
  int startfreq = 0;
  int endfreq = 0;
  int pan = 130;
  int vol = 200;
  int freq = 1000;
  int p = 0;  // pause between fade-out steps, set before each fade-out
};

// b1 * pos / b2, multiplied first, truncated toward zero. With b2 == 0 (no screen) it gives the
// middle of the range, b1 / 2, rather than dividing by zero.
double PanVolRescaler(int b1, int b2, int pos);

// Plays `sound` along the stored path and fades it out; blocks until the fade-out is over, or
// until `stop` (looked at before every step) says the program is ending. Does nothing at all
// when there is no sample.
void RunSynthesis(const SAMPLE* sound, SynthState& s, bool (*stop)());
