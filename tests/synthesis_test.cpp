// The path synthesis driven through the fake library: which sound calls a right click makes,
// in which order, and how long it pauses between them on the virtual clock.
#include <gtest/gtest.h>

#include "fake_library.h"
#include "script.h"
#include "shell.h"
#include "soundpath.h"

namespace {

using Ints = std::vector<int>;
using fake::Named;

// What one run did, from its play_sample to the end of its fade.
struct RunLog {
  Ints play;
  std::vector<Ints> adjust;
  std::vector<int> pauses;  // the rest() that follows each adjustment
  long start_ms;
  long end_ms;
};

std::vector<RunLog> Runs() {
  std::vector<RunLog> runs;
  bool adjusted = false;
  for (const fake::Call& c : fake::calls) {
    if (c.name == "play_sample") {
      runs.push_back(RunLog{c.args, {}, {}, c.at_ms, c.at_ms});
    } else if (runs.empty()) {
      continue;
    } else if (c.name == "adjust_sample") {
      runs.back().adjust.push_back(c.args);
      adjusted = true;
    } else if (c.name == "rest" && adjusted) {
      runs.back().pauses.push_back(c.args[0]);
      runs.back().end_ms = c.at_ms + c.args[0];
      adjusted = false;
    }
  }
  return runs;
}

std::vector<Ints> Fade(int pan, int freq) {
  std::vector<Ints> out;
  for (int v = 200; v >= 1; v--) out.push_back({v, pan, freq, 1});
  return out;
}

std::vector<RunLog> Play(Script& s, const fake::Options& o = {}) {
  fake::Reset(s.Esc(), o);
  EXPECT_EQ(RunShell(), 0);
  return Runs();
}

TEST(Synthesis, TheRoadOfOneUse) {
  Script s;
  s.Click(200, 100).Click(600, 400).RightClick();
  auto runs = Play(s);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].play, (Ints{100, 150, 2000, 1}));

  std::vector<Ints> want;
  for (int pan = 63; pan <= 190; pan++) want.push_back({200, pan, 1700, 1});
  for (int f = 1700; f >= 801; f--) want.push_back({200, 191, f, 1});
  for (const Ints& a : Fade(191, 800)) want.push_back(a);
  ASSERT_EQ(runs[0].adjust.size(), 128u + 900u + 200u);
  EXPECT_EQ(runs[0].adjust, want);

  // 128 + 900 sweep steps of 10 ms, then 200 fade steps of 20 ms: 10280 + 4000 ms.
  std::vector<int> pauses(1028, 10);
  pauses.resize(1228, 20);
  EXPECT_EQ(runs[0].pauses, pauses);
  EXPECT_EQ(runs[0].end_ms - runs[0].start_ms, 14280);
  // The voice is faded, not stopped: only the run's own stop before it started.
  EXPECT_EQ(Named("stop_sample").size(), 1u);
}

TEST(Synthesis, FewerThanTwoPointsOnlyFadeAtTheLastRunsValues) {
  Script s;
  s.RightClick();                  // nothing stored: the initial pan and frequency
  s.Click(400, 300).RightClick();  // one point: still no pair
  s.Click(400, 0).RightClick();    // a segment from (400, 300) to (400, 0)
  s.Del().RightClick();            // cleared: the last run's values stay
  auto runs = Play(s);
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(runs[0].adjust, Fade(130, 1000));
  EXPECT_EQ(runs[1].adjust, Fade(130, 1000));
  EXPECT_EQ(runs[3].adjust, Fade(127, 2000));
  for (const RunLog& r : runs) EXPECT_EQ(r.play, (Ints{100, 150, 2000, 1}));
}

TEST(Synthesis, SegmentsAlongOneAxisOrOfNoLengthSweepOnlyWhatChanges) {
  Script s;
  s.Click(100, 200).Click(100, 200).RightClick();        // same place twice
  s.Del().Click(0, 300).Click(400, 300).RightClick();    // horizontal
  s.Del().Click(400, 300).Click(400, 310).RightClick();  // vertical, downward
  auto runs = Play(s);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].adjust, Fade(31, 1400));

  ASSERT_EQ(runs[1].adjust.size(), 127u + 200u);
  EXPECT_EQ(runs[1].adjust.front(), (Ints{200, 0, 1100, 1}));
  EXPECT_EQ(runs[1].adjust[126], (Ints{200, 126, 1100, 1}));

  ASSERT_EQ(runs[2].adjust.size(), 30u + 200u);
  EXPECT_EQ(runs[2].adjust.front(), (Ints{200, 127, 1100, 1}));
  EXPECT_EQ(runs[2].adjust[29], (Ints{200, 127, 1071, 1}));
  EXPECT_EQ(runs[2].adjust[30], (Ints{200, 127, 1070, 1}));
}

TEST(Synthesis, TheFarEdgesMapToPan254AndFrequency203) {
  EXPECT_EQ(PanVolRescaler(255, 800, 799), 254.0);
  EXPECT_EQ(PanVolRescaler(255, 800, 400), 127.0);
  EXPECT_EQ(PanVolRescaler(255, 800, 0), 0.0);
  EXPECT_EQ(PanVolRescaler(7, 2, -3), -10.0);  // -21 / 2 truncates toward zero
  Script s;
  s.Click(799, 599).Click(799, 598).RightClick();
  auto runs = Play(s);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].adjust.front(), (Ints{200, 254, 203, 1}));
  EXPECT_EQ(runs[0].adjust.size(), 3u + 200u);
  EXPECT_EQ(runs[0].adjust.back(), (Ints{1, 254, 206, 1}));
}

TEST(Synthesis, NoScreenWidthGivesACentredPan) {
  EXPECT_EQ(PanVolRescaler(255, 0, 600), 127.0);
  Script s;
  s.Click(100, 100).Click(700, 100).RightClick();
  fake::Options o;
  o.screen_w = 0;
  auto runs = Play(s, o);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].adjust, Fade(127, 1700));
}

TEST(Synthesis, TenPointsGiveNineSegmentsInClickOrder) {
  Script s;
  // Alternating rows, each a step to the right: every segment sweeps both pan and pitch.
  for (int i = 0; i < 10; i++) s.Click(80 * i, i % 2 ? 110 : 100);
  s.RightClick();
  auto runs = Play(s);
  ASSERT_EQ(runs.size(), 1u);
  const auto& a = runs[0].adjust;
  size_t at = 0;
  for (int i = 0; i < 9; i++) {
    int startpan = 255 * 80 * i / 800, endpan = 255 * 80 * (i + 1) / 800;
    int startfreq = i % 2 ? 1670 : 1700;
    ASSERT_LT(at, a.size());
    EXPECT_EQ(a[at], (Ints{200, startpan, startfreq, 1})) << "segment " << i;
    at += endpan - startpan;
    EXPECT_EQ(a[at], (Ints{200, endpan, startfreq, 1})) << "segment " << i;
    at += 30;
  }
  EXPECT_EQ(a.size() - at, 200u);
  EXPECT_EQ(a[at], (Ints{200, 255 * 720 / 800, 1670, 1}));
}

TEST(Synthesis, DelHeldThroughARunClearsRightAfterItInTheSameTurn) {
  Script s;
  s.Click(200, 100).Click(600, 400);
  fake::Frame& both = s.Raw(100);
  both.buttons = 2;
  both.del = true;
  s.Raw(20000).del = true;
  fake::Reset(s.Esc());
  RunShell();
  // Once the fade is over, the loop goes straight on to the clear in the same turn.
  const auto& c = fake::calls;
  size_t last_fade = 0;
  for (size_t i = 0; i < c.size(); i++)
    if (c[i].name == "adjust_sample" && c[i].args[0] == 1) last_fade = i;
  ASSERT_GT(last_fade, 0u);
  EXPECT_EQ(c[last_fade + 1].name, "rest");
  EXPECT_EQ(c[last_fade + 3].name, "rectfill");
  EXPECT_EQ(c[last_fade + 3].args, (Ints{0, 0, 800, 600, 0}));
  EXPECT_EQ(c[last_fade + 5].name, "stop_sample");
}

TEST(Synthesis, EachRunStopsTheEarlierVoiceBeforeStartingItsOwn) {
  Script s;
  s.Click(200, 100).Click(600, 400).RightClick().RightClick();
  fake::Reset(s.Esc());
  RunShell();
  std::vector<std::string> sound;
  for (const fake::Call& c : fake::calls)
    if (c.name == "stop_sample" || c.name == "play_sample") sound.push_back(c.name);
  EXPECT_EQ(sound,
            (std::vector<std::string>{"stop_sample", "play_sample", "stop_sample", "play_sample"}));
  // The second run travels the same path again, from the start.
  auto runs = Runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1].adjust, runs[0].adjust);
}

TEST(Synthesis, WithoutASampleARightClickDoesNothing) {
  Script s;
  s.Click(200, 100).Click(600, 400).RightClick(500);
  fake::Options o;
  o.have_sample = false;
  testing::internal::CaptureStderr();
  fake::Reset(s.Esc(), o);
  EXPECT_EQ(RunShell(), 0);
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(Named("play_sample").empty());
  EXPECT_TRUE(Named("adjust_sample").empty());
  EXPECT_TRUE(Named("stop_sample").empty());
  // The loop keeps turning at its idle pace while the button is down.
  for (const fake::Call& c : Named("rest")) EXPECT_LE(c.args[0], 100);
}

}  // namespace
