// What the harness's own files share (tests include harness.h only): the servers that it starts
// (servers.cpp), how the program under test is run (Linux build or Windows build under Wine,
// servers.cpp), and its connection to the X server (screen.cpp).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct _XDisplay;

namespace e2e {

// ---- servers.cpp -------------------------------------------------------------------------------
// Ends a process that the harness started, and waits for it.
void Stop(pid_t& pid);
// Starts COMMAND with DISPLAY set (unless `display` is empty), silenced (no input, and nothing it
// says reaches the test's log), without waiting for it.
pid_t Spawn(std::vector<std::string> command, const std::string& display);
// An X server of its own on a free display; returns its name.
std::string StartXvfb(pid_t& pid);
// openbox on `display`; returns once it manages the screen.
pid_t StartWindowManager(const std::string& display);
// The private PulseAudio server that every program's sound goes to, started once; its address.
const std::string& SoundServer();
// Its null sink's recording, and the bytes recorded so far, in whole stereo frames.
const std::string& RecordingPath();
long RecordedBytes();

// How the program under test is run: every way in which a run under Wine differs from one of
// the Linux build.
struct Runner {
  std::string program;      // the executable, copied for each run
  std::string data_folder;  // where its data files are taken from
  int start_factor;         // how much longer its window takes to come
  int exit_extra_ms;        // how much longer it takes to end
  bool message_boxes;       // whether it shows its complaints in a box, which waits for Enter
  bool installed = false;   // run where it is installed, finding its files itself: nothing is
                            // copied, and the working folder starts empty
  double time_tolerance = 0.03;
  // The command that starts `exe` (after the test's own wrapper, if any), its environment set.
  std::vector<std::string> Command(const std::string& exe) const;
};
const Runner& ProgramRunner();

// ---- screen.cpp --------------------------------------------------------------------------------
// A connection to `display` on which a window that has just gone is no error.
_XDisplay* OpenDisplay(const std::string& display);
// Whether a window manager runs on `dpy`'s screen.
bool WindowManaged(_XDisplay* dpy);

}  // namespace e2e
