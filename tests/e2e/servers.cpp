// The servers that the end-to-end tests run the program with: X servers (Xvfb), a window
// manager, the private PulseAudio server whose null sink is recorded, and Wine.
#include <X11/Xlib.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "harness.h"
#include "servers.h"

namespace fs = std::filesystem;

namespace e2e {

namespace {

pid_t xvfb_pid = -1;

void Silence() {
  int devnull = open("/dev/null", O_RDWR);
  dup2(devnull, 0);
  dup2(devnull, 1);
  dup2(devnull, 2);
}

void StopXvfb() {
  // Wine's own processes outlive the program for a while, holding on to this X server.
  if (xvfb_pid > 0 && WineExe() != nullptr)
    if (std::system("wineserver -k >/dev/null 2>&1; wineserver -w >/dev/null 2>&1") != 0) {
      // nothing of Wine's was left running
    }
  Stop(xvfb_pid);
}

// A private PulseAudio server whose only sink is a null sink, recorded from its monitor in real
// time, from the server's start to the test binary's end, into one file: each program's share is
// the part recorded while it ran. Its socket is the only way to it.
pid_t pulse_pid = -1, recorder_pid = -1;
std::string recording;

void StopPulse() {
  Stop(recorder_pid);
  Stop(pulse_pid);
}

std::string StartPulse() {
  char tmpl[] = "/tmp/soundpath-pulse-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp failed");
  const std::string dir = tmpl, socket = dir + "/native";
  fs::permissions(dir, fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
  // The scripts' own server, which becomes this process.
  pulse_pid = Spawn({"bash", "-c", "source \"$0\" && run_pulse \"$1\"",
                     SOUNDPATH_SOURCE_DIR "/scripts/lib.sh", dir},
                    "");
  std::atexit(StopPulse);
  for (int i = 0; i < 500 && !fs::exists(socket); i++) SleepMs(10);
  if (!fs::exists(socket)) throw std::runtime_error("PulseAudio did not start (is it installed?)");

  // The recorder takes a moment to connect; programs start once its data is flowing.
  recording = dir + "/recording.raw";
  recorder_pid = fork();
  if (recorder_pid == 0) {
    int out = open(recording.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
    execlp("parec", "parec", "-d", "capture.monitor", "--format=s16le", "--rate=44100",
           "--channels=2", "--latency-msec=10", static_cast<char*>(nullptr));
    _exit(127);
  }
  // An idle null sink renders in blocks of its longest latency, up to 2 s, and goes on doing so
  // until it is woken: suspended and resumed, it takes the recorder's 10 ms at once.
  for (int i = 0; i < 500 && RecordedBytes() == 0; i++) {
    if (i % 20 == 5) {
      const std::string server = "PULSE_SERVER=unix:" + socket;
      const std::string wake = "{ env " + server + " pactl suspend-sink capture 1 && env " +
                               server + " pactl suspend-sink capture 0; } >/dev/null 2>&1";
      if (std::system(wake.c_str()) != 0) {
        // not yet connected: the next try comes in 200 ms, and without it the data comes anyway
      }
    }
    SleepMs(10);
  }
  if (RecordedBytes() == 0) throw std::runtime_error("nothing is recorded (is parec installed?)");
  return "unix:" + socket;
}

void UseWinePrefix() {
#ifdef SOUNDPATH_WINEPREFIX
  setenv("WINEPREFIX", SOUNDPATH_WINEPREFIX, 0);  // the prefix made once for the test run
#endif
  setenv("WINEDEBUG", "-all", 1);
  // File names are UTF-8 here, as on any desktop today; under the C locale Wine would read them
  // as another code page, and a folder named "王芳" would not be what Windows sees.
  setenv("LC_ALL", "C.UTF-8", 1);
}

}  // namespace

void Stop(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  pid = -1;
}

pid_t Spawn(std::vector<std::string> command, const std::string& display) {
  const pid_t pid = fork();
  if (pid == 0) {
    Silence();
    if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    std::vector<char*> argv;
    for (std::string& a : command) argv.push_back(a.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

std::string StartXvfb(pid_t& pid) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  pid = fork();
  if (pid == 0) {
    close(fds[0]);
    Silence();
    std::string fd = std::to_string(fds[1]);
    // -noreset: left to itself, the server resets whenever its last client leaves, and a
    // program that connects during the reset is turned away (about one start in twenty
    // here, right after a probe such as xwininfo has left). A desktop's server always has
    // clients, a window manager at least, and never does this.
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
           "tcp", "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not start (is it installed?)");
  return ":" + number;
}

const std::string& DisplayName() {
  static const std::string name = [] {
    std::atexit(StopXvfb);
    return StartXvfb(xvfb_pid);
  }();
  return name;
}

pid_t StartWindowManager(const std::string& display) {
  const pid_t pid = Spawn({"openbox"}, display);
  Display* dpy = XOpenDisplay(display.c_str());
  if (dpy == nullptr) throw std::runtime_error("cannot connect to " + display);
  bool managed = false;
  for (int i = 0; i < 500 && !managed; i++) {
    if (i > 0) SleepMs(10);
    managed = WindowManaged(dpy);
  }
  XCloseDisplay(dpy);
  if (!managed) throw std::runtime_error("openbox did not start (is it installed?)");
  return pid;
}

const std::string& SoundServer() {
  static const std::string name = StartPulse();
  return name;
}

const std::string& RecordingPath() {
  return recording;
}

long RecordedBytes() {
  std::error_code missing;
  const auto size = fs::file_size(recording, missing);
  return missing ? 0 : static_cast<long>(size) & ~3L;
}

// ---- Wine --------------------------------------------------------------------------------------

const char* WineExe() {
  return std::getenv("SOUNDPATH_E2E_WINE_EXE");
}

// An arm64 root holding the arm64 package as installed, whose program runs under qemu-user.
const char* Arm64Root() {
  return std::getenv("SOUNDPATH_E2E_ARM64_ROOT");
}

const Runner& ProgramRunner() {
  static const Runner runner = [] {
    // Under Wine, the program and the data files are those of the Windows release. Wine's own
    // start-up comes before the window (a few seconds, more on a busy machine), and it takes
    // seconds to close its own processes after the program.
    if (WineExe() != nullptr)
      return Runner{WineExe(), fs::path(WineExe()).parent_path().string(), 6, 8000, true};
    // Emulated, the library's start-up and its own ending take several times as long.
    if (Arm64Root() != nullptr) {
      const std::string root = Arm64Root();
      return Runner{
          root + "/usr/bin/soundpath", root + "/usr/share/soundpath", 4, 2000, false, true, 0.10};
    }
    return Runner{SOUNDPATH_BIN, SOUNDPATH_DATA_DIR, 1, 0, false};
  }();
  return runner;
}

double TimeTolerance() {
  return ProgramRunner().time_tolerance;
}

std::vector<std::string> Runner::Command(const std::string& exe) const {
  // The root holds the arm64 libraries, their driver modules and configuration, for qemu to
  // find first.
  if (Arm64Root() != nullptr) return {"qemu-aarch64", "-L", Arm64Root(), exe};
  if (WineExe() == nullptr) return {exe};
  UseWinePrefix();
  // A shortcut is started as the Start menu starts it.
  if (exe.size() > 4 && exe.substr(exe.size() - 4) == ".lnk")
    return {"wine", "start", "/wait", "/unix", exe};
  return {"wine", exe};
}

int RunWine(const std::vector<std::string>& args, std::string* out) {
  UseWinePrefix();
  std::string command = "DISPLAY=" + DisplayName() + " wine";
  for (const std::string& a : args) {
    command += " '";
    for (char c : a) command += c == '\'' ? std::string("'\\''") : std::string(1, c);
    command += "'";
  }
  FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
  if (p == nullptr) return -1;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0)
    if (out != nullptr) out->append(buf, n);
  const int st = pclose(p);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

void WaitForWine() {
  UseWinePrefix();
  if (std::system("wineserver -w >/dev/null 2>&1") != 0) {
    // no server was running
  }
}

std::string WineUserFolder() {
  UseWinePrefix();
  const passwd* me = getpwuid(getuid());
  return std::string(std::getenv("WINEPREFIX")) + "/drive_c/users/" +
         (me != nullptr ? me->pw_name : "root");
}

void Program::StartOtherWineProgram(const std::vector<std::string>& args) {
  UseWinePrefix();
  std::vector<std::string> command{"wine"};
  command.insert(command.end(), args.begin(), args.end());
  other_pid_ = Spawn(command, display_);
}

}  // namespace e2e
