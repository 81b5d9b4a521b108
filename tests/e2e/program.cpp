// The program under test: one run of it in a folder of its own, with its own HOME, its sound
// going to the private server, its exit status and what it said; and the harness's steps that
// are made of input and waits alone.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "capture.h"
#include "harness.h"
#include "servers.h"

namespace fs = std::filesystem;

namespace e2e {

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

Program::Program(const Launch& how) {
  char tmpl[] = "/tmp/soundpath-e2e-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = tmpl;
  fs::create_directories(dir_ + "/work");
  fs::create_directories(dir_ + "/home");
  fs::create_directories(dir_ + "/run");
  fs::permissions(dir_ + "/run", fs::perms::owner_all);
  const Runner& runner = ProgramRunner();
  const std::string& data = runner.data_folder;
  if (how.with_crosshair && !runner.installed)
    fs::copy_file(data + "/crosshair.bmp", dir_ + "/work/crosshair.bmp");
  if (how.with_sound && !runner.installed)
    fs::copy_file(data + "/sound.wav", dir_ + "/work/sound.wav");
  if (how.prepare) how.prepare(dir_ + "/work");
  // The default sound device is the private server's null sink; the program's share of the
  // recording starts here. Without a device, no server can be found either, nor with a device
  // of the test's own, ahead of which the system's ALSA set-up would put a running server.
  const bool server_sink = how.with_sound_device && how.asoundrc.empty();
  const std::string server = server_sink ? SoundServer() : "unix:/nonexistent";
  if (how.with_sound_device)
    std::ofstream(dir_ + "/home/.asoundrc")
        << (server_sink ? "pcm.!default { type pulse }\nctl.!default { type pulse }\n"
                        : how.asoundrc);
  if (server_sink) record_from_ = RecordedBytes();
  // Run as an unprivileged user, for whom a mode of 000 means something.
  const bool drop_root = how.unreadable_workdir && getuid() == 0;
  if (how.unreadable_workdir) {
    fs::permissions(dir_, fs::perms::all);
    fs::permissions(dir_ + "/home", fs::perms::all);
    fs::permissions(dir_ + "/work", fs::perms::none);
    if (drop_root && chown((dir_ + "/run").c_str(), 65534, 65534) != 0)
      throw std::runtime_error("chown failed");
  }

  display_ = how.own_display                ? StartXvfb(xvfb_pid_)
             : how.display_override.empty() ? DisplayName()
                                            : how.display_override;
  if (how.own_display && how.window_manager) wm_pid_ = StartWindowManager(display_);
  const std::string workdir = how.workdir.empty() ? dir_ + "/work" : how.workdir;
  const std::string exe = !how.exe.empty()   ? how.exe
                          : runner.installed ? runner.program
                                             : CopyProgram(how);
  pid_ = fork();
  if (pid_ == 0) {
    if (chdir(workdir.c_str()) != 0) _exit(126);
    setenv("HOME", (dir_ + "/home").c_str(), 1);
    // A desktop session's own folder, as every session has: without one, Wine 10 says so.
    setenv("XDG_RUNTIME_DIR", (dir_ + "/run").c_str(), 1);
    setenv("PULSE_SERVER", server.c_str(), 1);
    if (how.with_display)
      setenv("DISPLAY", display_.c_str(), 1);
    else
      unsetenv("DISPLAY");
    int in = open("/dev/null", O_RDONLY);
    int out = open((dir_ + "/stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open((dir_ + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (drop_root && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(125);
    std::vector<std::string> command = how.wrapper;
    for (const std::string& part : runner.Command(exe)) command.push_back(part);
    std::vector<char*> argv;
    for (std::string& a : command) argv.push_back(a.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  dpy_ = OpenDisplay(how.own_display ? display_ : DisplayName());
}

// A copy of the program in the test's folder `how.exe_folder`, with the data files beside it
// when asked for; its path.
std::string Program::CopyProgram(const Launch& how) {
  const Runner& runner = ProgramRunner();
  const fs::path built = runner.program, copy = dir_ + "/" + how.exe_folder;
  fs::create_directories(copy);
  fs::copy_file(built, copy / built.filename());
  if (how.data_beside_exe)
    for (const char* name : {"crosshair.bmp", "sound.wav"})
      fs::copy_file(runner.data_folder + "/" + name, copy / name);
  return (copy / built.filename()).string();
}

void Program::EndDisplay() {
  // This side lets go first: Xlib ends a process whose connection breaks.
  CloseDisplay();
  Stop(xvfb_pid_);
}

Program::~Program() {
  if (status_ == -1 && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  EndRecording();
  CloseDisplay();
  Stop(other_pid_);
  Stop(wm_pid_);
  Stop(xvfb_pid_);
  std::error_code ignored;
  fs::permissions(dir_ + "/work", fs::perms::owner_all, ignored);
  if (std::getenv("SOUNDPATH_KEEP_E2E") == nullptr) fs::remove_all(dir_, ignored);
}

bool Program::Ended() {
  int st;
  if (status_ == -1 && waitpid(pid_, &st, WNOHANG) == pid_) {
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    EndRecording();
  }
  return status_ != -1;
}

int Program::WaitForExit(int timeout_ms) {
  timeout_ms += ProgramRunner().exit_extra_ms;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!Ended()) {
    if (std::chrono::steady_clock::now() >= until) return -1;
    SleepMs(10);
  }
  return status_;
}

int Program::Quit() {
  Key("Escape");
  return WaitForExit(2000);
}

bool Program::AcknowledgeMessage(int timeout_ms) {
  if (!ProgramRunner().message_boxes) return true;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (MessageBox() == 0)
    if (std::chrono::steady_clock::now() < until)
      SleepMs(50);
    else {
      SayWhatIsSeen("message box");
      return false;
    }
  // Enter, until the box is gone: the first may come before the box has the keyboard.
  while (MessageBox() != 0) {
    if (std::chrono::steady_clock::now() >= until) return false;
    SleepMs(300);
    Key("Return");
  }
  return true;
}

void Program::EndRecording() {
  if (record_from_ < 0 || record_to_ >= 0) return;
  SleepMs(200);  // what the program played last is still on its way through the server
  record_to_ = RecordedBytes();
}

std::string Program::CapturePath() const {
  const std::string path = dir_ + "/capture.raw";
  if (record_from_ < 0) return path;
  const long to = record_to_ >= 0 ? record_to_ : RecordedBytes();
  std::ifstream in(RecordingPath(), std::ios::binary);
  in.seekg(record_from_);
  std::vector<char> bytes(static_cast<size_t>(std::max(0L, to - record_from_)));
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  std::ofstream(path, std::ios::binary).write(bytes.data(), in.gcount());
  return path;
}

std::string Program::Stderr() const {
  std::stringstream in(ReadFile(dir_ + "/stderr.txt"));
  std::string line, out;
  while (std::getline(in, line))
    if (line.rfind("ALSA lib", 0) != 0) out += line + "\n";
  return out;
}

bool Program::PointAt(int x, int y) {
  MoveTo(x, y);
  const std::string line = StatusLine(x, y);
  auto shown = [&](const Shot& s) { return StatusLineMismatch(s, line) < 0; };
  return shown(GrabWhen(shown));
}

void Program::Click(int button, int hold_ms) {
  Button(button, true);
  SleepMs(hold_ms);
  Button(button, false);
  SleepMs(50);
}

void Program::Key(const char* keysym_name, int hold_ms) {
  KeyState(keysym_name, true);
  SleepMs(hold_ms);
  KeyState(keysym_name, false);
  SleepMs(50);
}

void Program::Signal(int sig) {
  kill(pid_, sig);
}

long Program::RssKiB() const {
  std::stringstream in(ReadFile("/proc/" + std::to_string(pid_) + "/status"));
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

int Lines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

bool Program::FadeHeard() {
  SleepMs(kFadeMs + 300);
  return PeakLevel(CapturePath()) > 0.01;
}

bool Program::PlayTwoPoints() {
  if (!WaitForWindow()) return false;
  for (const POINT& at : {kTwoPoints[0], kTwoPoints[1]}) {
    if (!PointAt(at.x, at.y)) return false;
    Click(1);
  }
  Click(3);
  return true;
}

}  // namespace e2e
