// The real program's real sound output, captured through ALSA's file plugin and analysed:
// the path is heard as the points lay it out. The capture is not paced in real time, so these
// tests check the order and the values of what is heard, never when.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "capture.h"
#include "harness.h"

namespace {

using e2e::Program;
using e2e::Window;

constexpr double kSampleHz = 441.0;  // the generated sound.wav's own note
constexpr int kWindow = 2048;

double Peak(const std::vector<Window>& w, size_t from, size_t to) {
  double peak = 0;
  for (size_t i = from; i < to && i < w.size(); i++) peak = std::max(peak, w[i].level);
  return peak;
}

bool Near(double got, double want, double tolerance) {
  return std::fabs(got - want) <= tolerance;
}

TEST(Sound, ThePathIsHeardAsAPanSweepThenAPitchSweepThenAFade) {
  Program p;
  ASSERT_TRUE(p.WaitForWindow());
  p.MoveTo(200, 100);
  p.Click(1);
  p.MoveTo(600, 400);
  p.Click(1);
  p.Click(3);
  e2e::SleepMs(14280 + 1200);  // the run's pauses, and some
  p.Key("Delete");
  e2e::SleepMs(300);
  p.Key("Escape");
  ASSERT_EQ(p.WaitForExit(2000), 0);

  std::vector<Window> w = e2e::Analyse(e2e::ReadCapture(p.CapturePath()), kWindow);
  ASSERT_GT(w.size(), 100u);
  const double loud = Peak(w, 0, w.size());
  size_t i = 0;
  while (i < w.size() && w[i].level < 0.5 * loud) i++;
  i += 2;  // past the start at volume 100, which lasts until the first adjustment

  // Across at the first point's pitch, 1.7 times the sample's own, from pan 63 to 190.
  std::vector<Window> across;
  for (; i < w.size() && Near(w[i].pitch_hz / kSampleHz, 1.7, 0.01); i++) across.push_back(w[i]);
  ASSERT_GE(across.size(), 20u);
  EXPECT_TRUE(Near(across.front().position, 63 / 255.0, 0.02)) << across.front().position;
  EXPECT_TRUE(Near(across.back().position, 190 / 255.0, 0.02)) << across.back().position;
  for (size_t k = 1; k < across.size(); k++)
    EXPECT_GE(across[k].position, across[k - 1].position - 0.005) << "window " << k;

  // Then down to 0.8 times at the second point's pan, 191.
  std::vector<Window> down;
  for (; i < w.size() && w[i].level > 0.9 * loud; i++) down.push_back(w[i]);
  ASSERT_GE(down.size(), 100u);
  EXPECT_TRUE(Near(down.back().pitch_hz / kSampleHz, 0.8, 0.015)) << down.back().pitch_hz;
  for (size_t k = 1; k < down.size(); k++) {
    EXPECT_LE(down[k].pitch_hz, down[k - 1].pitch_hz * 1.005) << "window " << k;
    EXPECT_TRUE(Near(down[k].position, 191 / 255.0, 0.01)) << "window " << k;
  }

  // Then the level falls to about 1/200 and stays there, at the same pitch and pan.
  size_t fade_start = i;
  double last = loud;
  for (; i < w.size() && w[i].level > loud / 100; i++) {
    EXPECT_LE(w[i].level, last * 1.05) << "window " << i;
    EXPECT_TRUE(Near(w[i].pitch_hz / kSampleHz, 0.8, 0.015)) << "window " << i;
    last = w[i].level;
  }
  EXPECT_GE(i - fade_start, 20u);
  std::vector<Window> tail;
  for (; i < w.size() && w[i].level > 1e-5; i++) tail.push_back(w[i]);
  ASSERT_GE(tail.size(), 3u);
  double ratio = tail[tail.size() / 2].level / down.back().level;
  EXPECT_TRUE(ratio > 1 / 300.0 && ratio < 1 / 120.0) << "1/" << 1 / ratio;
  EXPECT_TRUE(Near(tail[tail.size() / 2].position, 191 / 255.0, 0.05));

  // DEL stopped it: silence to the end.
  ASSERT_LT(i, w.size());
  EXPECT_LT(Peak(w, i, w.size()), 1e-5);
}

TEST(Sound, ASecondRunLeavesNoToneBehindOnceItsFadeIsOver) {
  Program p;
  ASSERT_TRUE(p.WaitForWindow());
  p.MoveTo(400, 300);
  p.Click(1);  // one point: each run is only a fade
  p.Click(3);
  e2e::SleepMs(4000 + 600);
  p.Click(3);
  e2e::SleepMs(4000 + 600);
  p.Key("Escape");
  ASSERT_EQ(p.WaitForExit(2000), 0);

  std::vector<Window> w = e2e::Analyse(e2e::ReadCapture(p.CapturePath()), kWindow);
  ASSERT_GT(w.size(), 20u);
  const double loud = Peak(w, 0, w.size());
  EXPECT_EQ(e2e::CountRises(w, 0.1, 0.4), 2) << "two runs, each starting loud";
  // What is left at the end is the faded voice alone, not a second one at its start volume.
  double end = w[w.size() - 3].level;
  EXPECT_GT(end, 0);
  EXPECT_LT(end, loud / 100) << "a tone is left at " << end / loud << " of the peak";
}

}  // namespace
