// The real program in a real X server: what the window shows, how it answers the mouse and the
// keys, how it ends, and how it starts when something is missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>

#include "harness.h"

namespace {

using e2e::kBlack;
using e2e::kWhite;
using e2e::Launch;
using e2e::Program;
using e2e::Shot;

// True when the status line on the screen reads exactly `text`, lit where the font is lit, and
// the rest of its row is dark.
::testing::AssertionResult ShowsStatusLine(const Shot& shot, const std::string& text) {
  const int x = e2e::StatusLineMismatch(shot, text);
  if (x < 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "column " << x << " differs from '" << text << "'";
}

// Every pixel within the radius is white, and a ring just outside it is black.
::testing::AssertionResult ShowsDisc(const Shot& shot, int cx, int cy) {
  for (int y = cy - 26; y <= cy + 26; y++)
    for (int x = cx - 26; x <= cx + 26; x++) {
      int d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
      if (d2 <= 19 * 19 && !(shot.at(x, y) == kWhite))
        return ::testing::AssertionFailure() << "hole at (" << x << ", " << y << ")";
      if (d2 >= 22 * 22 && d2 <= 26 * 26 && !(shot.at(x, y) == kBlack))
        return ::testing::AssertionFailure() << "spill at (" << x << ", " << y << ")";
    }
  return ::testing::AssertionSuccess();
}

TEST(Window, StatusLineFollowsThePointerAndClicksLeaveWholeDiscs) {
  Program p;
  ASSERT_TRUE(p.WaitForWindow());
  EXPECT_EQ(p.Stderr(), "") << "a normal start says nothing";

  EXPECT_TRUE(p.PointAt(321, 123)) << "the status line follows the pointer";

  ASSERT_TRUE(p.PointAt(200, 100));
  p.Click(1);
  ASSERT_TRUE(p.PointAt(600, 400));
  p.Click(1);
  // Move the pointer away across both discs, so that any pointer droppings would show.
  p.MoveTo(210, 110);
  EXPECT_TRUE(p.PointAt(5, 5)) << "a line that got shorter leaves nothing of the longer one";
  Shot shot = p.Grab();
  EXPECT_TRUE(ShowsDisc(shot, 200, 100));
  EXPECT_TRUE(ShowsDisc(shot, 600, 400));

  // The pointer over the window is the crosshair, its hot spot on the cross's centre.
  Program::Cursor c = p.PointerImage();
  EXPECT_EQ(c.w, 32);
  EXPECT_EQ(c.h, 32);
  EXPECT_EQ(c.xhot, 15);
  EXPECT_EQ(c.yhot, 15);
  ASSERT_EQ(c.argb.size(), 32u * 32u);
  EXPECT_EQ(c.argb[15 * 32 + 15] & 0xffffff, 0xffffffu);
  EXPECT_EQ(c.argb[0] >> 24, 0u) << "the corners are see-through";

  EXPECT_EQ(p.Stderr(), "");
  p.Key("Escape");
  EXPECT_EQ(p.WaitForExit(1000), 0);
}

TEST(Window, DelClearsEverythingAndTheStatusLineComesBack) {
  Program p;
  ASSERT_TRUE(p.WaitForWindow());
  ASSERT_TRUE(p.PointAt(400, 300));
  p.Click(1);
  ASSERT_TRUE(p.PointAt(150, 30));
  p.Click(1);  // a disc under the status line
  p.Key("Delete");
  p.MoveTo(700, 500);
  auto lit = [](const Shot& s) {
    int n = 0;
    for (int y = 8; y < 600; y++)
      for (int x = 0; x < 800; x++) n += !(s.at(x, y) == kBlack);
    return n;
  };
  const std::string line = e2e::StatusLine(700, 500);
  Shot shot = p.GrabWhen([&](const Shot& s) { return lit(s) == 0 && ShowsStatusLine(s, line); });
  EXPECT_TRUE(ShowsStatusLine(shot, line));
  EXPECT_EQ(lit(shot), 0);
  p.Key("Escape");
  EXPECT_EQ(p.WaitForExit(1000), 0);
}

TEST(Window, TapsOfButtonsAndKeysAreEachActedOnOnce) {
  // Press and release sent together, as a touchpad's tap or a remote desktop's click sends
  // them: the library's button and key state never shows them.
  Program p;
  ASSERT_TRUE(p.WaitForWindow());
  constexpr int kTaps = 6;
  auto place = [](int i) { return std::pair<int, int>{100 + 120 * i, 200 + 40 * i}; };
  for (int i = 0; i < kTaps; i++) {
    ASSERT_TRUE(p.PointAt(place(i).first, place(i).second));
    p.Click(1, 0);
  }
  auto all_discs = [&](const Shot& s) {
    for (int i = 0; i < kTaps; i++)
      if (!ShowsDisc(s, place(i).first, place(i).second)) return false;
    return true;
  };
  EXPECT_TRUE(all_discs(p.GrabWhen(all_discs)));
  p.Key("Delete", 0);
  auto cleared = [&](const Shot& s) {
    for (int i = 0; i < kTaps; i++)
      if (!(s.at(place(i).first, place(i).second) == kBlack)) return false;
    return true;
  };
  EXPECT_TRUE(cleared(p.GrabWhen(cleared)));
  p.Click(3, 0);
  EXPECT_TRUE(p.FadeHeard()) << "the right tap started a run";
  p.Key("Escape", 0);
  EXPECT_EQ(p.WaitForExit(2000), 0) << "ESC, tapped after one run, ends it";
}

TEST(Window, TheCloseButtonQuitsLikeEsc) {
  Program p;
  ASSERT_TRUE(p.WaitForWindow());
  p.CloseWindow();
  EXPECT_EQ(p.WaitForExit(1000), 0);
}

TEST(StartUp, WithoutADisplayItSaysSoAndExitsWithStatusOne) {
  for (bool none : {true, false}) {
    Launch how;
    how.with_display = !none;
    // A display that nobody serves, even on a machine where other X servers run.
    int free = 77;
    while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(free)) ||
           std::filesystem::exists("/tmp/.X" + std::to_string(free) + "-lock"))
      free++;
    how.display_override = ":" + std::to_string(free);
    Program p(how);
    EXPECT_EQ(p.WaitForExit(5000), 1) << (none ? "no DISPLAY" : "refused");
    std::string err = p.Stderr();
    EXPECT_EQ(e2e::Lines(err), 1) << err;
    EXPECT_NE(err.find("could not open the window"), std::string::npos) << err;
  }
}

TEST(StartUp, AMissingFileIsNamedAndTheProgramStillRuns) {
  for (const char* missing : {"crosshair.bmp", "sound.wav"}) {
    Launch how;
    how.with_crosshair = std::string(missing) != "crosshair.bmp";
    how.with_sound = std::string(missing) != "sound.wav";
    Program p(how);
    // A Windows program has no console to complain on: it shows a message box first.
    ASSERT_TRUE(p.AcknowledgeMessage()) << "no message box about " << missing;
    ASSERT_TRUE(p.WaitForWindow()) << missing;
    ASSERT_TRUE(p.PointAt(300, 300)) << missing;
    p.Click(1);
    if (!how.with_sound) p.Click(3);  // a right click without a sample does nothing
    EXPECT_TRUE(p.PointAt(100, 100)) << missing;
    EXPECT_TRUE(ShowsDisc(p.Grab(), 300, 300)) << missing;
    std::string err = p.Stderr();
    EXPECT_EQ(e2e::Lines(err), 1) << err;
    EXPECT_NE(err.find(missing), std::string::npos) << err;
    if (!how.with_crosshair) {
      // The library's arrow, with the arrow's own hot spot at its tip.
      Program::Cursor c = p.PointerImage();
      EXPECT_LT(c.xhot, 4);
      EXPECT_LT(c.yhot, 4);
    }
    p.Key("Escape");
    EXPECT_EQ(p.WaitForExit(1000), 0) << missing;
  }
}

}  // namespace
