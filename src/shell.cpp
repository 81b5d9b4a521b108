// The interaction shell: starts the library, opens the window, polls mouse and keyboard until
// ESC, and shuts down.
#include "shell.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "filecheck.h"
#include "library.h"
#include "platform.h"
#include "soundpath.h"

namespace {

// ---- constants -------------------------------------------------------------------------------

constexpr int kScreenW = 800;
constexpr int kScreenH = 600;

constexpr const char* kCrosshairFile = "crosshair.bmp";
constexpr const char* kSoundFile = "sound.wav";
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

// The library's sound buffer, in memory, so that no configuration file is read for it or
// written. Its mixer is fed from a thread that runs every 10 ms, one period at a time, a period
// ahead of what plays: a period must hold a little more than 10 ms of sound (512 frames at
// 44.1 kHz are 11.6 ms), and with three of them the sound keeps going while every core is busy,
// through PulseAudio and through PipeWire alike (two ran dry under PipeWire). The library's
// default buffer is about 116 ms, which a right click or DEL would wait for. On Windows the
// DirectSound buffer stays at the library's six pieces of 1024 bytes (5.8 ms each): its mixer,
// fed every 20 ms, keeps (8 mod pieces) of them written ahead of DirectSound's write cursor,
// two with six; five would keep three, and seven a single piece, less than one feed's worth.
constexpr const char* kSoundSettings =
    "[sound]\n"
    "alsa_fragsize = 512\n"
    "alsa_numfrags = 3\n"
    "dsound_numfrags = 6\n";

constexpr int kExitOk = 0;
constexpr int kExitCannotStart = 1;   // no window, keyboard or mouse
constexpr int kExitSignalBase = 128;  // the shell's convention: 130 after SIGINT, 143 after SIGTERM

// ---- helpers ---------------------------------------------------------------------------------

// Set by the library's own thread, read by the loop.
std::atomic<bool> close_requested{false};
volatile std::sig_atomic_t stop_signal = 0;

void OnCloseButton() {
  close_requested = true;
  lib::wake_rest();
}

// The presses that the library's thread has seen since the loop last looked. A press and
// release that come together (a touchpad's tap, a dwell or remote click), or a key tapped
// between two looks, never show in the state that the loop reads; so every press is noted here
// as it happens, with the pointer's place at that moment, and the pause is ended for it.
// The library's thread adds to the queue of left presses, the loop takes from it.
constexpr unsigned kQueuedPresses = 16;
POINT left_presses[kQueuedPresses];
std::atomic<unsigned> left_added{0}, left_taken{0};
std::atomic<bool> right_pressed{false}, esc_pressed{false}, del_pressed{false};
std::atomic<bool> esc_down{false}, del_down{false};  // a held key repeats; only its press counts

void OnMouse(int flags) {
  if (flags & lib::kMouseFlagLeftDown) {
    const unsigned added = left_added.load(std::memory_order_relaxed);
    if (added - left_taken.load(std::memory_order_acquire) < kQueuedPresses) {
      left_presses[added % kQueuedPresses] = POINT{lib::mouse_x(), lib::mouse_y()};
      left_added.store(added + 1, std::memory_order_release);
    }
  }
  if (flags & lib::kMouseFlagRightDown) right_pressed = true;
  if (flags & (lib::kMouseFlagLeftDown | lib::kMouseFlagRightDown)) lib::wake_rest();
}

void OnKey(int scancode) {
  const bool released = (scancode & lib::kKeyReleased) != 0;
  const int code = scancode & ~lib::kKeyReleased;
  std::atomic<bool>* down = code == lib::kKeyEsc   ? &esc_down
                            : code == lib::kKeyDel ? &del_down
                                                   : nullptr;
  if (down == nullptr) return;
  const bool was_down = down->exchange(!released);
  if (released || was_down) return;
  (code == lib::kKeyEsc ? esc_pressed : del_pressed) = true;
  lib::wake_rest();
}

// The oldest left press not yet acted on, if any.
bool TakeLeftPress(POINT& at) {
  const unsigned taken = left_taken.load(std::memory_order_relaxed);
  if (taken == left_added.load(std::memory_order_acquire)) return false;
  at = left_presses[taken % kQueuedPresses];
  left_taken.store(taken + 1, std::memory_order_release);
  return true;
}

// Presses that came during a run are not acted on after it; what is still held then is.
void ForgetPresses() {
  left_taken.store(left_added.load(std::memory_order_acquire), std::memory_order_release);
  right_pressed = false;
  esc_pressed = false;
  del_pressed = false;
}

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

// The folder part of `path`, with its separator ("" when it has none).
std::string Folder(const std::string& path) {
  const size_t cut = path.find_last_of(kPathSeparators);
  return cut == std::string::npos ? "" : path.substr(0, cut + 1);
}

// Where a data file is looked for, in order: the working folder, so that a folder holding the
// user's own files wins; the folder that holds the program (an unpacked zip, the build tree);
// and the data folder of an installed program, found from the program's own place, so that it
// follows whatever prefix the install used. Each is a prefix for the file's name.
std::vector<std::string> DataPlaces() {
  std::vector<std::string> places{""};
  const std::string bin = Folder(lib::executable_path());
  if (bin.empty()) return places;
  places.push_back(bin);
  const std::string prefix = Folder(bin.substr(0, bin.size() - 1));
  if (kInstalledDataFolder != nullptr && !prefix.empty())
    places.push_back(prefix + kInstalledDataFolder);
  return places;
}

// The first of `places` where `name` is, or "" with `why` saying where it was looked for. Only
// that place is used: a file there that is refused is reported, not swapped for another one.
std::string FindDataFile(const char* name, const std::vector<std::string>& places,
                         std::string& why) {
  for (const std::string& place : places)
    if (lib::file_exists((place + name).c_str())) return place + name;
  why = "it is missing; looked in the working folder";
  for (size_t i = 1; i < places.size(); i++)
    why += (i + 1 == places.size() ? " and " : ", ") + places[i].substr(0, places[i].size() - 1);
  return "";
}

// Loads the data file `name` with `load` once `check` accepts it; null, with `why` said, if not.
template <class Handle>
Handle* LoadDataFile(const char* name, const std::vector<std::string>& places,
                     std::string (*check)(ReadAt, const void*, uint64_t),
                     Handle* (*load)(const char*), std::string& path, std::string& why) {
  path = FindDataFile(name, places, why);
  if (path.empty()) {
    path = name;
    return nullptr;
  }
  why = CheckFile(lib::open_file(path.c_str()), check);
  return why.empty() ? load(path.c_str()) : nullptr;
}

// Why a data file was not loaded: what the check refused, or else the library's failure.
std::string Reason(const std::string& refused) {
  return refused.empty() ? "the library could not read it" : refused;
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

}  // namespace

int RunShell() {
  // ---- start-up ------------------------------------------------------------------------------
  pending_notices.clear();
  EndWhenDisplayLost();
  NameWindowBeforeItIsMade();
  if (lib::allegro_init() != 0) {
    const std::string why = lib::allegro_error();
    Complain("could not open the window: " + (why.empty() ? "no display to connect to" : why));
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
  if (lib::install_sound(lib::kDigiAutodetect, lib::kMidiAutodetect) != 0 ||
      !lib::sound_output_present())
    Complain("no sound output; the path will play silently");
  if (lib::set_gfx_mode(lib::kGfxAutodetectWindowed, kScreenW, kScreenH, 0, 0) != 0)
    return GiveUp("could not open the window", lib::allegro_error());
  IntroduceWindow();
  // A sound toy goes on sounding behind another window, as any player does; left to itself the
  // library would pause the program there on some platforms, freezing its sound mid-note.
  lib::set_display_switch_mode(lib::kSwitchBackground);
  close_requested = false;
  stop_signal = 0;
  lib::set_close_button_callback(OnCloseButton);
  CatchStopSignals(OnStopSignal);
  esc_down = false;
  del_down = false;
  ForgetPresses();
  lib::set_mouse_callback(OnMouse);
  lib::set_keyboard_lowlevel_callback(OnKey);

  const std::vector<std::string> places = DataPlaces();
  std::string path, why;
  BITMAP* crosshair =
      LoadDataFile(kCrosshairFile, places, CheckPointerBmp, lib::load_bitmap, path, why);
  lib::set_mouse_sprite(crosshair);
  // Without the image the library's arrow stays, and so must the arrow's own hot spot.
  if (crosshair != nullptr)
    lib::set_mouse_sprite_focus(kCrosshairFocus, kCrosshairFocus);
  else
    Complain("could not load " + path + " (" + Reason(why) + "); using the default pointer");
  // Let the window system draw the pointer where it can: a pointer drawn by the library leaves
  // holes in whatever is drawn under it, unless it is hidden around every drawing (done too).
  lib::enable_hardware_cursor();
  lib::show_mouse_on_screen();

  SAMPLE* sound = LoadDataFile(kSoundFile, places, CheckSampleWav, lib::load_sample, path, why);
  if (sound == nullptr)
    Complain("could not load " + path + " (" + Reason(why) + "); right click will do nothing");
  ShowNotices();

  InitPoints();
  int count = 0;
  SynthState synth;
  int status_width = 0;
  // The status line is drawn when its text changes or something was drawn over it, not every
  // turn: a screen update can cost far more than the turn itself (tens of milliseconds of CPU
  // where the window is drawn through software OpenGL).
  int shown_x = INT_MIN, shown_y = INT_MIN;
  bool status_covered = true;

  // ---- main loop -----------------------------------------------------------------------------
  // Each button and key is acted on while it is held, as the state shows it, or once for a
  // press noted since the last look: the state is read first, so that a press that comes
  // between the two is not acted on twice.
  while (!lib::key(lib::kKeyEsc) && !esc_pressed.exchange(false) && !close_requested &&
         !Stopping()) {
    bool paused = false;
    int x = lib::mouse_x();
    int y = lib::mouse_y();
    if (status_covered || x != shown_x || y != shown_y) {
      status_width = DrawStatusLine(x, y, status_width);
      shown_x = x;
      shown_y = y;
      status_covered = false;
    }

    // A press is drawn where it happened; a held button where the pointer is now.
    POINT at{x, y};
    const bool left_held = (lib::mouse_b() & kLeftButton) != 0;
    if (TakeLeftPress(at) || left_held) {
      DrawPointCircle(at.x, at.y);
      status_covered = true;
      AppendPoint(count, at.x, at.y);
      lib::rest(kClickPauseMs);
      paused = true;
    }
    const bool right_held = (lib::mouse_b() & kRightButton) != 0;
    if (right_pressed.exchange(false) || right_held) {
      RunSynthesis(sound, synth, Stopping);
      if (sound != nullptr) ForgetPresses();
      paused = paused || sound != nullptr;
    }
    const bool del_held = lib::key(lib::kKeyDel);
    if (del_pressed.exchange(false) || del_held) {
      ClearScreen();
      status_covered = true;
      if (sound != nullptr) lib::stop_sample(sound);
      InitPoints();
      count = 0;
    }
    if (!paused) lib::rest_until_woken(kIdlePauseMs);
  }

  // ---- shutdown ------------------------------------------------------------------------------
  // The library stops the sound and removes the pointer, window and input handlers.
  lib::allegro_exit();
  return stop_signal != 0 ? kExitSignalBase + stop_signal : kExitOk;
}
