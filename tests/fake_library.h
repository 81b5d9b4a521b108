// A stand-in for the library behind src/library.h: it records every drawing, pointer and sound
// call with the virtual time at which it was made, plays back scripted mouse and keyboard
// state, and advances a virtual clock on rest() instead of sleeping.
#pragma once

#include <string>
#include <vector>

namespace fake {

struct Call {
  std::string name;
  std::vector<int> args;
  std::string text;  // file name, status line, or "null" for a missing handle
  long at_ms;
};

// Mouse and keyboard state from `from_ms` on, until the next frame's time. The library's
// input callbacks hear of every change as the frame begins, and of its taps: presses let go
// again at once, which the state never shows.
struct Frame {
  long from_ms;
  int x = 0;
  int y = 0;
  int buttons = 0;  // bit 0 left, bit 1 right
  bool esc = false;
  bool del = false;
  int tapped_buttons = 0;
  bool tapped_esc = false;
  bool tapped_del = false;
  bool close = false;  // the window's close button is clicked
  int signal = 0;      // raised once, when the frame begins
};

struct Options {
  int init_result = 0;
  int keyboard_result = 0;
  int mouse_result = 3;  // buttons
  int gfx_result = 0;
  int sound_result = 0;
  bool sound_present = true;
  bool have_crosshair = true;
  bool have_sample = true;
  int screen_w = 800;
  std::string exe_path = "/nonexistent/bin/soundpath";
  // When set, the only files there are: these paths, each read from the real file of the same
  // name in the working folder. Otherwise the real file system is asked.
  bool virtual_files = false;
  std::vector<std::string> files;
  const char* error_text = "";
};

extern std::vector<Call> calls;
extern long now_ms;

// Starts afresh: no calls, time 0, the given options and input script.
void Reset(const std::vector<Frame>& script, const Options& options = Options());

// The calls named `name`, in order.
std::vector<Call> Named(const std::string& name);

}  // namespace fake
