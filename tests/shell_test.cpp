// The interaction shell driven through the fake library: start-up, the order of a turn, the
// point table as the loop fills it, the status line, and the ways the program ends.
#include "shell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <string>

#include "fake_library.h"
#include "script.h"
#include "soundpath.h"

namespace {

using fake::Call;
using fake::Named;
using Ints = std::vector<int>;

int RunProgram(const std::vector<fake::Frame>& script, const fake::Options& options = {}) {
  fake::Reset(script, options);
  return RunShell();
}

// The names of the calls from `first` up to `last`, each followed by a space.
std::string Names(size_t first, size_t last) {
  std::string out;
  for (size_t i = first; i < last && i < fake::calls.size(); i++) out += fake::calls[i].name + " ";
  return out;
}

size_t IndexOf(const std::string& name, size_t from = 0) {
  for (size_t i = from; i < fake::calls.size(); i++)
    if (fake::calls[i].name == name) return i;
  return fake::calls.size();
}

TEST(StartUp, CallsTheLibraryInOrderAndEndsWithStatusZeroOnEsc) {
  EXPECT_EQ(RunProgram(Script().Wait(20).Esc()), 0);
  size_t first_turn = IndexOf("scare_mouse_area");
  EXPECT_EQ(
      Names(0, first_turn),
      "EndWhenDisplayLost NameWindowBeforeItIsMade allegro_init UseUtf8FileNames "
      "install_keyboard install_timer install_mouse override_config_data RegisterOwnSoundOutput "
      "install_sound "
      "set_gfx_mode IntroduceWindow set_display_switch_mode set_close_button_callback "
      "set_mouse_callback set_keyboard_lowlevel_callback load_bitmap set_mouse_sprite "
      "set_mouse_sprite_focus enable_hardware_cursor show_mouse_on_screen load_sample ");
  // A sound buffer short enough to answer a click at once, held in memory, not in a file.
  EXPECT_NE(fake::calls[7].text.find("[sound]\nalsa_fragsize = 512\nalsa_numfrags = 3\n"),
            std::string::npos);
  EXPECT_EQ(fake::calls[9].args, (Ints{-1, -1}));
  EXPECT_EQ(fake::calls[10].args, (Ints{2, 800, 600, 0, 0}));
  EXPECT_EQ(fake::calls[12].args, (Ints{3}));  // goes on running behind other windows
  EXPECT_EQ(fake::calls[16].text, "crosshair.bmp");
  EXPECT_EQ(fake::calls[18].args, (Ints{15, 15}));
  EXPECT_EQ(fake::calls[21].text, "sound.wav");
  EXPECT_EQ(fake::calls.back().name, "allegro_exit");
  for (const POINT& p : points) {
    EXPECT_EQ(p.x, -1);
    EXPECT_EQ(p.y, -1);
  }
}

TEST(StartUp, NoDisplayStopsBeforeAnythingElseWithStatusOne) {
  testing::internal::CaptureStderr();
  fake::Options o;
  o.init_result = -1;
  EXPECT_EQ(RunProgram(Script().Esc(), o), 1);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Names(0, 99), "EndWhenDisplayLost NameWindowBeforeItIsMade allegro_init ");
  EXPECT_NE(err.find("could not open the window"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
}

TEST(StartUp, NoWindowKeyboardOrMouseShutsDownAndReportsTheLibrarysReason) {
  struct Step {
    int fake::Options::*result;
    const char* last_call;
    const char* line;
  };
  for (const Step& step : {Step{&fake::Options::gfx_result, "set_gfx_mode",
                                "could not open the window: Unable to open display"},
                           Step{&fake::Options::keyboard_result, "install_keyboard",
                                "could not use the keyboard: Unable to open display"},
                           Step{&fake::Options::mouse_result, "install_mouse",
                                "could not use the mouse: Unable to open display"}}) {
    testing::internal::CaptureStderr();
    fake::Options o;
    o.*step.result = -1;
    o.error_text = "Unable to open display";
    EXPECT_EQ(RunProgram(Script().Esc(), o), 1) << step.last_call;
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_GE(fake::calls.size(), 2u);
    EXPECT_EQ(fake::calls[fake::calls.size() - 2].name, step.last_call);
    EXPECT_EQ(fake::calls.back().name, "allegro_exit");
    EXPECT_EQ(err, std::string("soundpath: ") + step.line + "\n");
  }
}

TEST(StartUp, MissingFilesAreNamedAndTheArrowKeepsItsHotSpot) {
  testing::internal::CaptureStderr();
  fake::Options o;
  o.have_crosshair = false;
  o.have_sample = false;
  o.sound_present = false;
  EXPECT_EQ(RunProgram(Script().Wait(20).Esc(), o), 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Named("set_mouse_sprite")[0].text, "null");
  EXPECT_TRUE(Named("set_mouse_sprite_focus").empty());
  EXPECT_NE(err.find("crosshair.bmp"), std::string::npos) << err;
  EXPECT_NE(err.find("sound.wav"), std::string::npos) << err;
  EXPECT_NE(err.find("no sound output"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 3);
}

TEST(Loop, CloseButtonQuitsLikeEsc) {
  Script s;
  s.Wait(50);
  s.Raw(1000).close = true;
  fake::Reset(s.Esc());
  EXPECT_EQ(RunShell(), 0);
  EXPECT_LE(fake::now_ms, 50 + 20) << "within one idle pause";
}

TEST(Loop, SigintAndSigtermEndItWithTheShellsStatusEvenInARun) {
  for (int sig : {SIGINT, SIGTERM}) {
    Script idle;
    idle.Wait(50);
    idle.Raw(1000).signal = sig;
    fake::Reset(idle.Esc());
    EXPECT_EQ(RunShell(), 128 + sig);
    EXPECT_EQ(fake::calls.back().name, "allegro_exit");
    EXPECT_LE(fake::now_ms, 50 + 20) << "within one idle pause";

    Script run;
    run.Click(200, 100).Click(600, 400).RightClick(3000);
    run.Raw(1000).signal = sig;  // about 2.5 s into the run
    fake::Reset(run.Esc());
    EXPECT_EQ(RunShell(), 128 + sig);
    EXPECT_EQ(fake::calls.back().name, "allegro_exit");
    // The run stopped at its next step instead of playing its 14 s to the end.
    EXPECT_LT(fake::now_ms, run.now() + 20);
    EXPECT_LT(Named("adjust_sample").size(), 128u + 900u + 200u);  // the whole run's
  }
}

TEST(Loop, TheStatusLineIsDrawnOnlyWhenItChangesOrWasDrawnOverAndIdleTurnsRestBriefly) {
  Script s;
  s.MoveTo(100, 200).Wait(100).MoveTo(101, 200).Wait(100).Click(101, 200).Wait(100);
  RunProgram(s.Del().Wait(100).Esc());
  auto lines = Named("textout_ex");
  // The first turn; the move; the turn after the disc; the turn after each clear (DEL is held
  // for several turns, each of which clears).
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0].text,
            "[DEL] clears screen; Left Click assigns a point, Right Click starts synthesis. "
            "100 200 ");
  EXPECT_EQ(lines[0].args, (Ints{0, 0, 15, 0}));
  EXPECT_EQ(lines[1].at_ms, 100);
  EXPECT_GT(lines[2].at_ms, Named("circlefill")[0].at_ms);
  EXPECT_LE(lines[2].at_ms, Named("circlefill")[0].at_ms + 100 + 10);
  const auto clears = Named("rectfill");
  EXPECT_EQ(lines.size(), 3 + clears.size());
  EXPECT_GT(lines.back().at_ms, clears.back().at_ms);
  for (const Call& r : Named("rest")) EXPECT_EQ(r.args, Ints{100});
  auto idle = Named("rest_until_woken");
  for (const Call& r : idle) EXPECT_EQ(r.args, Ints{20});
  EXPECT_GE(idle.size(), 20u) << "an idle turn rests 20 ms and turns again";
}

TEST(StartUp, DataFilesAreLookedForHereThenBesideTheProgramThenInItsDataFolderAndOnlyThere) {
  const std::string bin = "/opt/sp/bin/", share = "/opt/sp/share/soundpath/";
  struct Case {
    std::vector<std::string> files;
    std::string bmp, wav;  // what is loaded; "" for nothing
  };
  for (const Case& c : {
           Case{{"crosshair.bmp", bin + "crosshair.bmp", bin + "sound.wav", share + "sound.wav"},
                "crosshair.bmp",
                bin + "sound.wav"},
           Case{{share + "crosshair.bmp", share + "sound.wav"},
                share + "crosshair.bmp",
                share + "sound.wav"},
           Case{{}, "", ""},
       }) {
    testing::internal::CaptureStderr();
    fake::Options o;
    o.exe_path = bin + "soundpath";
    o.virtual_files = true;
    o.files = c.files;
    RunProgram(Script().Wait(20).Esc(), o);
    std::string err = testing::internal::GetCapturedStderr();
    auto bitmaps = Named("load_bitmap"), samples = Named("load_sample");
    EXPECT_EQ(bitmaps.empty() ? "" : bitmaps[0].text, c.bmp);
    EXPECT_EQ(samples.empty() ? "" : samples[0].text, c.wav);
    if (c.files.empty())
      EXPECT_EQ(err,
                "soundpath: could not load crosshair.bmp (it is missing; looked in the working "
                "folder, /opt/sp/bin and /opt/sp/share/soundpath); using the default pointer\n"
                "soundpath: could not load sound.wav (it is missing; looked in the working "
                "folder, /opt/sp/bin and /opt/sp/share/soundpath); right click will do nothing\n");
    else
      EXPECT_EQ(err, "");
  }
  // A file that is there but refused is named by its path, and not swapped for another one.
  testing::internal::CaptureStderr();
  fake::Options o;
  o.exe_path = bin + "soundpath";
  o.virtual_files = true;
  o.files = {bin + "crosshair.bmp", bin + "sound.wav", share + "sound.wav"};
  o.have_crosshair = false;  // the library cannot read it
  RunProgram(Script().Wait(20).Esc(), o);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "soundpath: could not load /opt/sp/bin/crosshair.bmp (the library could not read "
            "it); using the default pointer\n");
  EXPECT_EQ(Named("load_bitmap").size(), 1u);
}

TEST(Loop, ATurnDrawsTheLineThenLeftThenRightThenDel) {
  Script s;
  s.Click(50, 60);
  fake::Frame& all = s.Raw(150);
  all.x = 70;
  all.y = 80;
  all.buttons = 3;
  all.del = true;
  s.Raw(20000).del = true;  // still held when the run ends
  RunProgram(s.Esc());

  size_t circle = IndexOf("circlefill", IndexOf("circlefill") + 1);
  ASSERT_LT(circle, fake::calls.size());
  EXPECT_EQ(fake::calls[circle].args, (Ints{70, 80, 20, 15}));
  EXPECT_EQ(fake::calls[circle - 3].name, "textout_ex");  // then the pointer is hidden
  EXPECT_EQ(fake::calls[circle + 2].name, "rest");
  EXPECT_EQ(fake::calls[circle + 2].args, Ints{100});
  size_t play = IndexOf("play_sample", circle);
  size_t clear = IndexOf("rectfill", play);
  EXPECT_LT(play, clear);
  EXPECT_EQ(fake::calls[clear].args, (Ints{0, 0, 800, 600, 0}));
  EXPECT_EQ(fake::calls[clear + 2].name, "stop_sample");
  // The run that followed the circle already travelled to the new point.
  EXPECT_FALSE(Named("adjust_sample").empty());
  EXPECT_EQ(Named("adjust_sample")[0].args, (Ints{200, 15, 1820, 1}));
}

TEST(Points, TenAreStoredInClickOrderAndLaterClicksOnlyDraw) {
  Script s;
  for (int i = 0; i < 12; i++) s.Click(10 + 60 * i, 500 - 30 * i);
  RunProgram(s.Esc());
  EXPECT_EQ(Named("circlefill").size(), 12u);
  for (int i = 0; i < 10; i++) {
    EXPECT_EQ(points[i].x, 10 + 60 * i);
    EXPECT_EQ(points[i].y, 500 - 30 * i);
  }
}

TEST(Points, AClickHeldFiftyMillisecondsIsNeverMissed) {
  // Whatever the phase of the loop when the button goes down.
  for (int offset = 0; offset < 12; offset++) {
    Script s;
    s.Wait(offset).Press(123, 456, 1, 50);
    RunProgram(s.Esc());
    EXPECT_EQ(Named("circlefill").size(), 1u) << "offset " << offset;
    EXPECT_EQ(points[0].x, 123);
  }
}

TEST(Points, ATapIsActedOnOnceAtOnceWhereItHappenedEvenInsideTheClickPause) {
  // Press and release together between two looks, as a touchpad's tap: the state never shows
  // them. The second tap comes inside the first one's 100 ms pause.
  Script s;
  s.Wait(55).Tap(123, 456, 1, 40).Tap(321, 222, 1, 300);
  s.Raw(300).tapped_del = true;
  s.Tap(50, 60, 1);
  s.Raw(20000).tapped_buttons = 2;  // with the point just stored: a run of the fade alone
  s.Raw(50).tapped_esc = true;
  s.Wait(5000);
  RunProgram(s.Esc());
  auto circles = Named("circlefill");
  ASSERT_EQ(circles.size(), 3u);
  EXPECT_EQ(circles[0].args, (Ints{123, 456, 20, 15}));
  EXPECT_EQ(circles[0].at_ms, 55) << "the idle pause ends at the press";
  EXPECT_EQ(circles[1].args, (Ints{321, 222, 20, 15}));
  EXPECT_EQ(circles[1].at_ms, 155) << "kept for the turn after the pause";
  std::vector<long> clears;
  for (const Call& c : Named("rectfill"))
    if (c.args == Ints{0, 0, 800, 600, 0}) clears.push_back(c.at_ms);
  EXPECT_EQ(clears, std::vector<long>{395});
  EXPECT_EQ(points[0].x, 50);
  EXPECT_EQ(points[1].x, -1);
  auto plays = Named("play_sample");
  ASSERT_EQ(plays.size(), 1u);
  EXPECT_EQ(plays[0].at_ms, 895);
  EXPECT_EQ(fake::now_ms, 895 + 20000) << "ESC, tapped after the run, ends it at once";
}

TEST(Points, PressesDuringARunAreNotActedOnAfterItButWhatIsStillHeldIs) {
  Script s;
  s.Click(200, 100).Click(600, 400).RightClick(1000);
  s.Tap(300, 300, 3, 500);
  s.Raw(500).tapped_del = true;
  s.Raw(500).tapped_esc = true;
  s.Raw(20000).del = true;  // held past the run's end
  RunProgram(s.Wait(1000).Esc());
  EXPECT_EQ(Named("circlefill").size(), 2u);
  EXPECT_EQ(Named("play_sample").size(), 1u);
  auto clears = Named("rectfill");
  ASSERT_FALSE(clears.empty());
  EXPECT_GT(clears[0].at_ms, Named("adjust_sample").back().at_ms);
  EXPECT_GE(fake::now_ms, s.now()) << "ESC, tapped during the run, did not end it";
}

TEST(Points, AHeldButtonStoresOncePerTurnAHundredMillisecondsApart) {
  RunProgram(Script().Press(300, 300, 1, 350).Esc());
  auto circles = Named("circlefill");
  ASSERT_EQ(circles.size(), 4u);
  for (size_t i = 1; i < circles.size(); i++)
    EXPECT_EQ(circles[i].at_ms - circles[i - 1].at_ms, 100);
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(points[i].x, 300);
    EXPECT_EQ(points[i].y, 300);
  }
  EXPECT_EQ(points[4].x, -1);
}

TEST(Points, DelClearsScreenSoundAndTableAndCountStartsAgain) {
  Script s;
  for (int i = 0; i < 10; i++) s.Click(100 + i, 100);
  s.Del().Click(400, 300);
  RunProgram(s.Esc());
  auto clears = Named("rectfill");
  ASSERT_FALSE(clears.empty());
  EXPECT_EQ(clears.back().args, (Ints{0, 0, 800, 600, 0}));
  EXPECT_FALSE(Named("stop_sample").empty());  // once per turn while DEL is down
  EXPECT_EQ(points[0].x, 400);
  EXPECT_EQ(points[0].y, 300);
  for (int i = 1; i < 10; i++) {
    EXPECT_EQ(points[i].x, -1);
    EXPECT_EQ(points[i].y, -1);
  }
}

TEST(StatusLine, AShorterLineBlanksWhatIsLeftOfTheLongerOne) {
  RunProgram(Script().MoveTo(100, 100).Wait(20).MoveTo(5, 5).Wait(20).MoveTo(10, 5).Wait(20).Esc());
  const std::string head =
      "[DEL] clears screen; Left Click assigns a point, Right Click starts synthesis. ";
  const int long_w = 8 * static_cast<int>((head + "100 100 ").size());
  const int short_w = 8 * static_cast<int>((head + "5 5 ").size());
  std::vector<Call> strips;
  for (const Call& c : Named("rectfill")) strips.push_back(c);
  // Only the turn that shrinks the line blanks: 100 100 -> 5 5 by four characters; 5 5 -> 10 5
  // grows it and needs nothing.
  ASSERT_EQ(strips.size(), 1u);
  EXPECT_EQ(strips[0].args, (Ints{short_w, 0, long_w - 1, 7, 0}));
}

TEST(Drawing, EveryDrawingOnTheScreenHidesThePointerAroundIt) {
  Script s;
  s.MoveTo(20, 30).Wait(20).Click(200, 100).Del();
  RunProgram(s.Esc());
  int hidden = 0;
  for (const Call& c : fake::calls) {
    if (c.name == "scare_mouse_area") {
      EXPECT_EQ(hidden, 0);
      hidden = 1;
    } else if (c.name == "unscare_mouse") {
      EXPECT_EQ(hidden, 1);
      hidden = 0;
    } else if (c.name == "textout_ex" || c.name == "circlefill" || c.name == "rectfill") {
      EXPECT_EQ(hidden, 1) << c.name << " at " << c.at_ms;
    }
  }
  auto circle_area = Named("scare_mouse_area");
  bool found = false;
  for (const Call& c : circle_area) found |= c.args == Ints{180, 80, 41, 41};
  EXPECT_TRUE(found);
}

}  // namespace
