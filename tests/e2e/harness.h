// End-to-end harness: the real soundpath program in a real X server (Xvfb), driven with real X
// input events through the XTest extension, its window read back pixel by pixel, and its real
// sound output recorded in real time through a private PulseAudio server. The servers are in
// servers.cpp, the program's run in program.cpp, and what is read off the X server in screen.cpp.
//
// With SOUNDPATH_E2E_WINE_EXE set to a soundpath.exe, every program is that one, run by Wine
// (in the WINEPREFIX of the environment) with the data files that lie beside it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "soundpath.h"

struct _XDisplay;

namespace e2e {

// The X server that every test in this binary shares; started once, on a free display.
const std::string& DisplayName();

// The Windows program that the tests run under Wine, or null for the Linux build.
const char* WineExe();

// How far a run's heard lengths may stray from what its pauses add up to: 3%, and 10% for a
// program under emulation, whose own work between its pauses takes longer (the pitch sweep
// came 2 to 3% long with the machine to itself, more when the cores are shared).
double TimeTolerance();

// Runs `wine ARGS...` in the tests' prefix and waits for it; its status, and what it printed in
// `out` when given.
int RunWine(const std::vector<std::string>& args, std::string* out = nullptr);
// Waits until every process of Wine's in the prefix has ended.
void WaitForWine();
// The user's folder on the prefix's C: drive.
std::string WineUserFolder();

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};

// 800x600 pixels of the program's window.
struct Shot {
  std::vector<Rgb> px;
  Rgb at(int x, int y) const { return px[y * 800 + x]; }
};

struct Launch {
  bool with_crosshair = true;
  bool with_sound = true;
  bool with_display = true;
  std::string display_override;  // e.g. a display nobody serves
  // The program runs from a copy of its own in this folder of the test's, which holds no data
  // files unless `data_beside_exe`: so the working folder is where it finds its files, unless a
  // test says otherwise. `exe` runs another binary where it lies, e.g. an installed one; under
  // Wine a .lnk is started as the Start menu starts it.
  std::string exe_folder = "bin";
  bool data_beside_exe = false;
  std::string exe;
  std::string workdir;              // start it here instead of in a fresh copy of the data
  bool with_sound_device = true;    // false: no .asoundrc, and so no sound device at all
  std::string asoundrc;             // ALSA's set-up in place of the private server's sink
  bool unreadable_workdir = false;  // the working directory's mode is 000 (run as nobody)
  std::function<void(const std::string& workdir)> prepare;  // lays out the working directory
  std::vector<std::string> wrapper;  // runs the program under this command, e.g. valgrind
  bool own_display = false;          // an X server of its own, which EndDisplay() can end
  bool window_manager = false;       // with own_display: a window manager (openbox) runs on it
};

// One run of the program in its own working directory and HOME. Its sound output is recorded
// in real time, from the moment it starts until it ends, as 16-bit stereo at 44.1 kHz.
class Program {
 public:
  explicit Program(const Launch& how = Launch());
  ~Program();

  bool WaitForWindow(int timeout_ms = 5000);
  // Under Wine, waits for the program's message box and answers it with Enter; true once done.
  // The Linux build shows no box (its messages go to stderr): true at once.
  bool AcknowledgeMessage(int timeout_ms = 30000);
  // Exit status, or 128 + signal, or -1 when it has not ended within the timeout.
  int WaitForExit(int timeout_ms);
  int Quit();                  // ESC, and the exit status within 2 s
  std::string Stderr() const;  // without the sound library's own chatter
  // The recording so far (all of it, once the program has ended), written to a file.
  std::string CapturePath() const;

  // Input, held as long as a person holds it: the library samples the state.
  void MoveTo(int x, int y, int settle_ms = 50);
  // Moves the pointer, then waits until the program shows that it sees it there (its status
  // line ends with x y): a click that follows lands at (x, y) even when the program is behind,
  // as a person waits to see the pointer on the spot. False when the line never said so.
  bool PointAt(int x, int y);
  void Click(int button, int hold_ms = 100);
  void Key(const char* keysym_name, int hold_ms = 100);
  void CloseWindow();  // what a window manager sends when its close button is clicked
  // Marks kTwoPoints once the window is there, and starts the run along them (kTwoPointRun).
  // False when a step did not happen.
  bool PlayTwoPoints();
  // After a right click with fewer than two points: waits for the run, the fade alone, to end,
  // and says whether the sample was heard.
  bool FadeHeard();

  void Button(int button, bool down);
  void KeyState(const char* keysym_name, bool down);
  void Signal(int sig);
  void EndDisplay();  // ends the program's own X server under it (Launch::own_display)
  // Starts `wine ARGS...` on the program's display without waiting for it: another Windows
  // program, which comes to the front. It ends with the program's own X server.
  void StartOtherWineProgram(const std::vector<std::string>& args);
  long RssKiB() const;  // resident memory now

  Shot Grab();
  // The first shot for which `ready` holds, or the last one taken within the timeout: what the
  // program draws reaches the window a moment later, and under Wine (drawn through OpenGL on a
  // busy machine) a good while later.
  Shot GrabWhen(const std::function<bool(const Shot&)>& ready, int timeout_ms = 5000);
  // The pointer image that the X server shows over the window.
  struct Cursor {
    int w, h, xhot, yhot;
    std::vector<unsigned long> argb;
  };
  Cursor PointerImage();
  // The icon that the window offers the window manager in its hints.
  struct Icon {
    int w, h;
    std::vector<Rgb> px;
    std::vector<bool> opaque;
  };
  Icon WindowIcon();
  // A property of the window, as it is stored: the bytes of a text (a list keeps its NULs), or
  // the items of a 32-bit one.
  std::string TextProperty(const char* name);
  std::vector<unsigned long> NumberProperty(const char* name);
  int Pid() const { return pid_; }
  std::string WorkDir() const { return dir_ + "/work"; }  // its fresh working directory

 private:
  std::string dir_;
  std::string CopyProgram(const Launch& how);
  void EndRecording();
  unsigned long MessageBox();
  bool Ended();  // whether it has ended, its status then kept
  void SayWhatIsSeen(const char* waited_for);
  void CloseDisplay();

  int pid_ = -1;
  int xvfb_pid_ = -1, wm_pid_ = -1, other_pid_ = -1;
  std::string display_;
  long record_from_ = -1, record_to_ = -1;  // the program's share of the recording, in bytes
  int status_ = -1;
  int origin_x_ = 0, origin_y_ = 0;
  _XDisplay* dpy_ = nullptr;
  unsigned long window_ = 0;
};

// A run's fade, and the run along the path that Program::PlayTwoPoints marks.
constexpr int kFadeMs = kRunVol * kFadePauseMs;
constexpr POINT kTwoPoints[kMaxPoints] = {
    {200, 100},       {600, 400},       {kEmpty, kEmpty}, {kEmpty, kEmpty}, {kEmpty, kEmpty},
    {kEmpty, kEmpty}, {kEmpty, kEmpty}, {kEmpty, kEmpty}, {kEmpty, kEmpty}, {kEmpty, kEmpty}};
constexpr RunLength kTwoPointRun = RunLengthOf(kTwoPoints, 800);
// Windows of 2048 samples in a quarter of a fade. A run starts after at least that long below
// 40% of the loudest level (the last 40% of the previous fade, or silence); a rise after a
// shorter dip is a dropout of a starved recording within a run, not the start of another.
constexpr size_t kRunsApart = kFadeMs / 4 * 44100 / 1000 / 2048;

// The status line that the program shows with the pointer at (x, y).
std::string StatusLine(int x, int y);
// How many lines `text` holds.
int Lines(const std::string& text);
// Where the status line's rows in `shot` first differ from `text` drawn in the library's own
// font (lit where the font is lit, dark elsewhere): the column, or -1 when they read exactly it.
int StatusLineMismatch(const Shot& shot, const std::string& text);

void SleepMs(int ms);

}  // namespace e2e
