// The interaction shell: starts the library, opens the window, polls mouse and keyboard until
// ESC, and shuts down.
#include "shell.h"

#include <climits>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "datafiles.h"
#include "library.h"
#include "platform.h"
#include "presses.h"
#include "soundpath.h"

namespace {

// ---- constants -------------------------------------------------------------------------------

constexpr int kScreenW = 800;
constexpr int kScreenH = 600;

constexpr int kCrosshairFocus = 15;  // the cross's centre in its 31x31 or 32x32 image

constexpr int kWhite = 15;
constexpr int kBlack = 0;
constexpr int kCircleRadius = 20;

constexpr int kLeftButton = 1;
constexpr int kRightButton = 2;

constexpr unsigned kClickPauseMs = 100;
// A turn with nothing to do sleeps this long, so that the idle program costs little more than
// the library's own idle work (each wake-up costs a little). A press ends the pause at once:
// the pointer's moves wait for it, the buttons and keys do not.
constexpr unsigned kIdlePauseMs = 20;

constexpr int kExitOk = 0;
constexpr int kExitCannotStart = 1;   // no window, keyboard or mouse
constexpr int kExitSignalBase = 128;  // the shell's convention: 130 after SIGINT, 143 after SIGTERM

// ---- helpers ---------------------------------------------------------------------------------

volatile std::sig_atomic_t stop_signal = 0;

// The library's own handlers for these shut it down from inside the signal handler, which can
// abort; ours only note the signal, and the loop (or a run) ends at its next step.
extern "C" void OnStopSignal(int sig) {
  stop_signal = sig;
}

bool Stopping() {
  return stop_signal != 0;
}

// Where nobody sees stderr (a Windows program has no console), complaints are also shown in the
// library's message box, all that are pending in one box, so that a user who starts it without
// its files is told once, before the first turn; a fatal one is shown before the program ends.
std::string pending_notices;

// One line on stderr (and, where that is not seen, in the next message box): the only text the
// program shows outside its window.
void Complain(const std::string& line) {
  std::fprintf(stderr, "soundpath: %s\n", line.c_str());
  if (!kStderrIsSeen) pending_notices += line + "\n";
}

void ShowNotices() {
  if (!pending_notices.empty()) lib::allegro_message(pending_notices.c_str());
  pending_notices.clear();
}

// A start-up step the program cannot do without failed: say what and the library's reason,
// shut the library down, and end.
int GiveUp(const std::string& what, const std::string& library_error) {
  const std::string why = library_error.empty() ? "no reason given" : library_error;
  Complain(what + ": " + why);
  ShowNotices();
  lib::allegro_exit();
  return kExitCannotStart;
}

// The status line is drawn in place. When it gets shorter, the strip beyond its new
// end still shows the end of the longer line; that strip is blanked, up to where the last line
// ended. Returns the new line's width.
int DrawStatusLine(int x, int y, int last_width) {
  char line[128];
  std::snprintf(line, sizeof line, kStatusFormat, x, y);
  int width = lib::text_length(line);
  int height = lib::text_height();
  int right = width > last_width ? width : last_width;

  lib::scare_mouse_area(0, 0, right, height);
  lib::textout_ex(line, 0, 0, kWhite, kBlack);
  if (width < last_width) lib::rectfill(width, 0, last_width - 1, height - 1, kBlack);
  lib::unscare_mouse();
  return width;
}

void DrawPointCircle(int x, int y) {
  lib::scare_mouse_area(x - kCircleRadius, y - kCircleRadius, 2 * kCircleRadius + 1,
                        2 * kCircleRadius + 1);
  lib::circlefill(x, y, kCircleRadius, kWhite);
  lib::unscare_mouse();
}

void ClearScreen() {
  lib::scare_mouse_area(0, 0, kScreenW, kScreenH);
  lib::rectfill(0, 0, kScreenW, kScreenH, kBlack);
  lib::unscare_mouse();
}

// ---- start-up --------------------------------------------------------------------------------

// What the program holds from start-up to shutdown.
struct Shell {
  SAMPLE* sound = nullptr;
  int count = 0;
  SynthState synth;
  // The status line is drawn when its text changes or something was drawn over it, not every
  // turn: a screen update can cost far more than the turn itself (tens of milliseconds of CPU
  // where the window is drawn through software OpenGL).
  int status_width = 0;
  int shown_x = INT_MIN, shown_y = INT_MIN;
  bool status_covered = true;
};

// Starts the library with its window, pointer and sample; a status to end with when the program
// cannot go on, else -1.
int StartUp(Shell& shell) {
  pending_notices.clear();
  EndWhenDisplayLost();
  NameWindowBeforeItIsMade();
  if (lib::allegro_init() != 0) {
    const std::string why = lib::allegro_error();
    Complain("could not open the window: " + (why.empty() ? kNoWindowSystem : why));
    ShowNotices();
    return kExitCannotStart;
  }
  UseUtf8FileNames();
  // Without the keyboard no key could end the program, and without the mouse nothing could be
  // done in it.
  if (lib::install_keyboard() != 0)
    return GiveUp("could not use the keyboard", lib::allegro_error());
  lib::install_timer();
  if (lib::install_mouse() < 0) return GiveUp("could not use the mouse", lib::allegro_error());
  lib::override_config_data(kSoundSettings);
  RegisterOwnSoundOutput();
  if (lib::install_sound(lib::kDigiAutodetect, lib::kMidiAutodetect) != 0 ||
      !lib::sound_output_present())
    Complain("no sound output; the path will play silently");
  if (lib::set_gfx_mode(lib::kGfxAutodetectWindowed, kScreenW, kScreenH, 0, 0) != 0)
    return GiveUp("could not open the window", lib::allegro_error());
  IntroduceWindow();
  // A sound toy goes on sounding behind another window, as any player does; left to itself the
  // library would pause the program there on some platforms, freezing its sound mid-note.
  lib::set_display_switch_mode(lib::kSwitchBackground);
  stop_signal = 0;
  WatchPresses();
  CatchStopSignals(OnStopSignal);

  const std::vector<std::string> places = DataPlaces();
  std::string why;
  BITMAP* crosshair = LoadCrosshair(places, why);
  lib::set_mouse_sprite(crosshair);
  // Without the image the library's arrow stays, and so must the arrow's own hot spot.
  if (crosshair != nullptr)
    lib::set_mouse_sprite_focus(kCrosshairFocus, kCrosshairFocus);
  else
    Complain(why + "; using the default pointer");
  // Let the window system draw the pointer where it can: a pointer drawn by the library leaves
  // holes in whatever is drawn under it, unless it is hidden around every drawing (done too).
  lib::enable_hardware_cursor();
  lib::show_mouse_on_screen();

  shell.sound = LoadSound(places, why);
  if (shell.sound == nullptr) Complain(why + "; right click will do nothing");
  ShowNotices();
  InitPoints();
  return -1;
}

// ---- the main loop ---------------------------------------------------------------------------

bool Ending() {
  return lib::key(lib::kKeyEsc) || TakePress(kEscPress) || CloseRequested() || Stopping();
}

// One turn. Each button and key is acted on while it is held, as the state shows it, or once for
// a press noted since the last look: the state is read first, so that a press that comes between
// the two is not acted on twice.
void Turn(Shell& shell) {
  bool paused = false;
  const int x = lib::mouse_x();
  const int y = lib::mouse_y();
  if (shell.status_covered || x != shell.shown_x || y != shell.shown_y) {
    shell.status_width = DrawStatusLine(x, y, shell.status_width);
    shell.shown_x = x;
    shell.shown_y = y;
    shell.status_covered = false;
  }

  // A press is drawn where it happened; a held button where the pointer is now.
  POINT at{x, y};
  const bool left_held = (lib::mouse_b() & kLeftButton) != 0;
  if (TakeLeftPress(at) || left_held) {
    DrawPointCircle(at.x, at.y);
    shell.status_covered = true;
    AppendPoint(shell.count, at.x, at.y);
    lib::rest(kClickPauseMs);
    paused = true;
  }
  const bool right_held = (lib::mouse_b() & kRightButton) != 0;
  if (TakePress(kRightPress) || right_held) {
    RunSynthesis(shell.sound, shell.synth, Stopping);
    if (shell.sound != nullptr) ForgetPresses();
    paused = paused || shell.sound != nullptr;
  }
  const bool del_held = lib::key(lib::kKeyDel);
  if (TakePress(kDelPress) || del_held) {
    ClearScreen();
    shell.status_covered = true;
    if (shell.sound != nullptr) lib::stop_sample(shell.sound);
    InitPoints();
    shell.count = 0;
  }
  if (!paused) lib::rest_until_woken(kIdlePauseMs);
}

// ---- shutdown --------------------------------------------------------------------------------

// The library stops the sound and removes the pointer, window and input handlers.
int ShutDown() {
  lib::allegro_exit();
  return stop_signal != 0 ? kExitSignalBase + stop_signal : kExitOk;
}

}  // namespace

int RunShell() {
  Shell shell;
  const int failed = StartUp(shell);
  if (failed >= 0) return failed;
  while (!Ending()) Turn(shell);
  return ShutDown();
}
