#include "harness.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

// <allegro.h> after the X headers: both define some of the same macro names, and the library's
// are the ones used below only through its functions.
#include <allegro.h>

#include "shell.h"

namespace fs = std::filesystem;

namespace e2e {

namespace {

constexpr int kWindowW = 800;
constexpr int kWindowH = 600;

pid_t xvfb_pid = -1;

// Ends a server this harness started, and waits for it.
void Stop(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  pid = -1;
}

// Silences a child process: no input, and nothing it says reaches the test's log.
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

// Starts an X server on a free display; returns its name.
std::string StartXvfb(pid_t& pid) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  pid = fork();
  if (pid == 0) {
    close(fds[0]);
    Silence();
    std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
           "tcp", static_cast<char*>(nullptr));
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

// A private PulseAudio server whose only sink is a null sink, recorded from its monitor in real
// time, from the server's start to the test binary's end, into one file: each program's share is
// the part recorded while it ran. Its socket is the only way to it.
pid_t pulse_pid = -1, recorder_pid = -1;
std::string recording;

void StopPulse() {
  Stop(recorder_pid);
  Stop(pulse_pid);
}

// The bytes recorded so far, in whole stereo frames of two 16-bit samples.
long RecordedBytes() {
  std::error_code missing;
  const auto size = fs::file_size(recording, missing);
  return missing ? 0 : static_cast<long>(size) & ~3L;
}

// The raw contents of a window's property: its format (8, 16 or 32) and its items.
int ReadProperty(Display* dpy, Window w, const char* name, std::string* bytes,
                 std::vector<unsigned long>* numbers) {
  Atom type;
  int format = 0;
  unsigned long n = 0, left = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(dpy, w, XInternAtom(dpy, name, False), 0, 1L << 20, False, AnyPropertyType,
                         &type, &format, &n, &left, &data) != Success)
    return 0;
  if (format == 8 && bytes) bytes->assign(reinterpret_cast<char*>(data), n);
  // Xlib hands a 32-bit property over as longs.
  if (format == 32 && numbers)
    numbers->assign(reinterpret_cast<unsigned long*>(data),
                    reinterpret_cast<unsigned long*>(data) + n);
  if (data) XFree(data);
  return format;
}

// Starts COMMAND with DISPLAY set, silenced, without waiting for it.
pid_t Spawn(std::vector<std::string> command, const std::string& display) {
  const pid_t pid = fork();
  if (pid == 0) {
    Silence();
    setenv("DISPLAY", display.c_str(), 1);
    std::vector<char*> argv;
    for (std::string& a : command) argv.push_back(a.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

// The first viewable top-level window that `match` accepts, with its attributes (its x and y
// on the screen); 0 if none. Under a window manager, a top-level window lies in its frame,
// beside windows of the manager's own, which carry no class.
template <class Match>
Window FindTopWindow(Display* dpy, Match match, XWindowAttributes* found = nullptr, Window in = 0) {
  const Window screen = DefaultRootWindow(dpy);
  Window root, parent, *children = nullptr, hit = 0, ignored;
  unsigned n = 0;
  XQueryTree(dpy, in != 0 ? in : screen, &root, &parent, &children, &n);
  for (unsigned i = 0; i < n && hit == 0; i++) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(dpy, children[i], &a) || a.map_state != IsViewable) continue;
    XClassHint named{};
    const bool program_window = in == 0 || XGetClassHint(dpy, children[i], &named) != 0;
    if (named.res_name) XFree(named.res_name);
    if (named.res_class) XFree(named.res_class);
    if (program_window && match(a)) {
      hit = children[i];
      XTranslateCoordinates(dpy, hit, screen, 0, 0, &a.x, &a.y, &ignored);
      if (found != nullptr) *found = a;
    } else if (in == 0) {
      hit = FindTopWindow(dpy, match, found, children[i]);
    }
  }
  if (children) XFree(children);
  return hit;
}

std::string StartPulse() {
  char tmpl[] = "/tmp/soundpath-pulse-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp failed");
  const std::string dir = tmpl, socket = dir + "/native";
  fs::permissions(dir, fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
  pulse_pid = fork();
  if (pulse_pid == 0) {  // the scripts' own server, which becomes this process
    Silence();
    execlp("bash", "bash", "-c", "source \"$0\" && run_pulse \"$1\"",
           SOUNDPATH_SOURCE_DIR "/scripts/lib.sh", dir.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
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
  for (int i = 0; i < 500 && RecordedBytes() == 0; i++) SleepMs(10);
  if (RecordedBytes() == 0) throw std::runtime_error("nothing is recorded (is parec installed?)");
  return "unix:" + socket;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace

const std::string& DisplayName() {
  static const std::string name = [] {
    std::atexit(StopXvfb);
    return StartXvfb(xvfb_pid);
  }();
  return name;
}

const std::string& SoundServer() {
  static const std::string name = StartPulse();
  return name;
}

const char* WineExe() {
  return std::getenv("SOUNDPATH_E2E_WINE_EXE");
}

namespace {

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
  // Under Wine, the program and the data files are those of the Windows release.
  const std::string data =
      WineExe() ? fs::path(WineExe()).parent_path().string() : std::string(SOUNDPATH_DATA_DIR);
  if (how.with_crosshair) fs::copy_file(data + "/crosshair.bmp", dir_ + "/work/crosshair.bmp");
  if (how.with_sound) fs::copy_file(data + "/sound.wav", dir_ + "/work/sound.wav");
  if (how.prepare) how.prepare(dir_ + "/work");
  // The default sound device is the private server's null sink; the program's share of the
  // recording starts here. Without a device, no server can be found either.
  const std::string server = how.with_sound_device ? SoundServer() : "unix:/nonexistent";
  if (how.with_sound_device) {
    std::ofstream(dir_ + "/home/.asoundrc") << "pcm.!default { type pulse }\n"
                                            << "ctl.!default { type pulse }\n";
    record_from_ = RecordedBytes();
  }
  // Run as an unprivileged user, for whom a mode of 000 means something.
  const bool drop_root = how.unreadable_workdir && getuid() == 0;
  if (how.unreadable_workdir) {
    fs::permissions(dir_, fs::perms::all);
    fs::permissions(dir_ + "/home", fs::perms::all);
    fs::permissions(dir_ + "/work", fs::perms::none);
    if (drop_root && chown((dir_ + "/run").c_str(), 65534, 65534) != 0)
      throw std::runtime_error("chown failed");
  }

  const std::string display = how.own_display                ? StartXvfb(xvfb_pid_)
                              : how.display_override.empty() ? DisplayName()
                                                             : how.display_override;
  display_ = display;
  if (how.own_display && how.window_manager) StartWindowManager();
  const std::string workdir = how.workdir.empty() ? dir_ + "/work" : how.workdir;
  std::string exe = how.exe;
  if (exe.empty()) {
    const fs::path built = WineExe() ? WineExe() : SOUNDPATH_BIN,
                   copy = dir_ + "/" + how.exe_folder;
    fs::create_directories(copy);
    fs::copy_file(built, copy / built.filename());
    if (how.data_beside_exe)
      for (const char* name : {"crosshair.bmp", "sound.wav"})
        fs::copy_file(data + "/" + name, copy / name);
    exe = (copy / built.filename()).string();
  }
  pid_ = fork();
  if (pid_ == 0) {
    if (chdir(workdir.c_str()) != 0) _exit(126);
    setenv("HOME", (dir_ + "/home").c_str(), 1);
    // A desktop session's own folder, as every session has: without one, Wine 10 says so.
    setenv("XDG_RUNTIME_DIR", (dir_ + "/run").c_str(), 1);
    setenv("PULSE_SERVER", server.c_str(), 1);
    if (how.with_display)
      setenv("DISPLAY", display.c_str(), 1);
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
    if (WineExe()) {
      UseWinePrefix();
      command.push_back("wine");
      if (exe.size() > 4 && exe.substr(exe.size() - 4) == ".lnk")
        command.insert(command.end(), {"start", "/wait", "/unix"});
    }
    command.push_back(exe);
    std::vector<char*> argv;
    for (std::string& a : command) argv.push_back(a.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  // Windows come and go while the tests look at them (Wine makes short-lived ones of its own):
  // a request about one that has just gone is answered with an error, which is no failure.
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  const std::string& watched = how.own_display ? display : DisplayName();
  dpy_ = XOpenDisplay(watched.c_str());
  if (dpy_ == nullptr) throw std::runtime_error("cannot connect to " + watched);
}

// openbox on the program's own display; returns once it manages the screen.
void Program::StartWindowManager() {
  wm_pid_ = Spawn({"openbox"}, display_);
  Display* dpy = XOpenDisplay(display_.c_str());
  if (dpy == nullptr) throw std::runtime_error("cannot connect to " + display_);
  std::vector<unsigned long> check;
  for (int i = 0; i < 500 && check.empty(); i++) {
    if (i > 0) SleepMs(10);
    ReadProperty(dpy, DefaultRootWindow(dpy), "_NET_SUPPORTING_WM_CHECK", nullptr, &check);
  }
  XCloseDisplay(dpy);
  if (check.empty()) throw std::runtime_error("openbox did not start (is it installed?)");
}

void Program::StartOtherWineProgram(const std::vector<std::string>& args) {
  UseWinePrefix();
  std::vector<std::string> command{"wine"};
  command.insert(command.end(), args.begin(), args.end());
  other_pid_ = Spawn(command, display_);
}

void Program::EndDisplay() {
  // This side lets go first: Xlib ends a process whose connection breaks.
  XCloseDisplay(dpy_);
  dpy_ = nullptr;
  Stop(xvfb_pid_);
}

Program::~Program() {
  if (status_ == -1 && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  EndRecording();
  if (dpy_ != nullptr) XCloseDisplay(dpy_);
  Stop(other_pid_);
  Stop(wm_pid_);
  Stop(xvfb_pid_);
  std::error_code ignored;
  fs::permissions(dir_ + "/work", fs::perms::owner_all, ignored);
  if (std::getenv("SOUNDPATH_KEEP_E2E") == nullptr) fs::remove_all(dir_, ignored);
}

bool Program::WaitForWindow(int timeout_ms) {
  // Wine's own start-up comes first: a few seconds, and more on a busy machine.
  if (WineExe()) timeout_ms *= 6;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < until) {
    if (window_ == 0) {
      XWindowAttributes a{};
      window_ = FindTopWindow(
          dpy_,
          [](const XWindowAttributes& w) { return w.width == kWindowW && w.height == kWindowH; },
          &a);
      // The library's own X11 window opens at (0, 0); Wine centres its own.
      if (window_ != 0) origin_x_ = a.x, origin_y_ = a.y;
    }
    // The loop has begun once the status line is on the screen.
    if (window_ != 0) {
      Shot s = Grab();
      for (int x = 0; x < kWindowW; x++)
        if (s.at(x, 3) == kWhite) return true;
    }
    SleepMs(20);
  }
  SayWhatIsSeen("window with its status line");
  return false;
}

// Why a wait ran out, for the test's log: whether the program still runs, and which windows the
// X server shows.
void Program::SayWhatIsSeen(const char* waited_for) {
  std::string shown;
  FindTopWindow(dpy_, [&](const XWindowAttributes& a) {
    shown += " " + std::to_string(a.width) + "x" + std::to_string(a.height);
    return false;  // each one
  });
  std::fprintf(stderr, "no %s: the program %s; windows shown:%s\n", waited_for,
               Ended() ? ("ended with " + std::to_string(status_)).c_str() : "still runs",
               shown.empty() ? " none" : shown.c_str());
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
  if (WineExe()) timeout_ms += 8000;  // Wine takes seconds to close its own processes
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!Ended()) {
    if (std::chrono::steady_clock::now() >= until) return -1;
    SleepMs(10);
  }
  return status_;
}

// A window of Wine's that is neither the program's own nor one of its hidden 1x1 helpers: the
// message box. 0 when there is none.
unsigned long Program::MessageBox() {
  return FindTopWindow(dpy_, [](const XWindowAttributes& a) {
    return a.width > 50 && a.height > 20 && !(a.width == kWindowW && a.height == kWindowH);
  });
}

bool Program::AcknowledgeMessage(int timeout_ms) {
  if (!WineExe()) return true;
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
  std::ifstream in(recording, std::ios::binary);
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

void Program::MoveTo(int x, int y, int settle_ms) {
  XTestFakeMotionEvent(dpy_, -1, origin_x_ + x, origin_y_ + y, CurrentTime);
  XFlush(dpy_);
  SleepMs(settle_ms);
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

void Program::Button(int button, bool down) {
  XTestFakeButtonEvent(dpy_, button, down, CurrentTime);
  XFlush(dpy_);
}

void Program::KeyState(const char* keysym_name, bool down) {
  XTestFakeKeyEvent(dpy_, XKeysymToKeycode(dpy_, XStringToKeysym(keysym_name)), down, CurrentTime);
  XFlush(dpy_);
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

void Program::CloseWindow() {
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = window_;
  ev.xclient.message_type = XInternAtom(dpy_, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy_, "WM_DELETE_WINDOW", False));
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy_, window_, False, NoEventMask, &ev);
  XFlush(dpy_);
}

Shot Program::Grab() {
  Shot s;
  s.px.assign(kWindowW * kWindowH, kBlack);
  XImage* img = XGetImage(dpy_, window_, 0, 0, kWindowW, kWindowH, AllPlanes, ZPixmap);
  if (img == nullptr) return s;
  for (int y = 0; y < kWindowH; y++)
    for (int x = 0; x < kWindowW; x++) {
      unsigned long p = XGetPixel(img, x, y);
      s.px[y * kWindowW + x] =
          Rgb{static_cast<int>((p & img->red_mask) >> 16),
              static_cast<int>((p & img->green_mask) >> 8), static_cast<int>(p & img->blue_mask)};
    }
  XDestroyImage(img);
  return s;
}

Shot Program::GrabWhen(const std::function<bool(const Shot&)>& ready, int timeout_ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  Shot s = Grab();
  while (!ready(s) && std::chrono::steady_clock::now() < until) {
    SleepMs(20);
    s = Grab();
  }
  return s;
}

Program::Cursor Program::PointerImage() {
  Cursor c{0, 0, 0, 0, {}};
  XFixesCursorImage* img = XFixesGetCursorImage(dpy_);
  if (img == nullptr) return c;
  c = Cursor{img->width, img->height, img->xhot, img->yhot,
             std::vector<unsigned long>(img->pixels, img->pixels + img->width * img->height)};
  XFree(img);
  return c;
}

Program::Icon Program::WindowIcon() {
  Icon icon{0, 0, {}, {}};
  XWMHints* hints = XGetWMHints(dpy_, window_);
  if (hints == nullptr) return icon;
  if ((hints->flags & IconPixmapHint) && (hints->flags & IconMaskHint)) {
    Window root;
    int x, y;
    unsigned w, h, border, depth;
    XGetGeometry(dpy_, hints->icon_pixmap, &root, &x, &y, &w, &h, &border, &depth);
    XImage* img = XGetImage(dpy_, hints->icon_pixmap, 0, 0, w, h, AllPlanes, ZPixmap);
    XImage* mask = XGetImage(dpy_, hints->icon_mask, 0, 0, w, h, 1, XYPixmap);
    if (img && mask) {
      icon.w = static_cast<int>(w);
      icon.h = static_cast<int>(h);
      // A pixmap's image carries no colour masks of its own: it uses the screen's visual.
      Visual* v = DefaultVisual(dpy_, DefaultScreen(dpy_));
      for (unsigned j = 0; j < h; j++)
        for (unsigned i = 0; i < w; i++) {
          unsigned long p = XGetPixel(img, i, j);
          icon.px.push_back(Rgb{static_cast<int>((p & v->red_mask) >> 16),
                                static_cast<int>((p & v->green_mask) >> 8),
                                static_cast<int>(p & v->blue_mask)});
          icon.opaque.push_back(XGetPixel(mask, i, j) != 0);
        }
    }
    if (img) XDestroyImage(img);
    if (mask) XDestroyImage(mask);
  }
  XFree(hints);
  return icon;
}

std::string Program::TextProperty(const char* name) {
  std::string text;
  ReadProperty(dpy_, window_, name, &text, nullptr);
  return text;
}

std::vector<unsigned long> Program::NumberProperty(const char* name) {
  std::vector<unsigned long> items;
  ReadProperty(dpy_, window_, name, nullptr, &items);
  return items;
}

std::string StatusLine(int x, int y) {
  char line[128];
  std::snprintf(line, sizeof line, kStatusFormat, x, y);
  return line;
}

int Lines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// capture.h's, which cannot be included here: its Window is not the X server's.
double PeakLevel(const std::string& path);

bool Program::FadeHeard() {
  SleepMs(kFadeMs + 300);
  return PeakLevel(CapturePath()) > 0.01;
}

bool Program::PlayTwoPoints() {
  if (!WaitForWindow() || !PointAt(200, 100)) return false;
  Click(1);
  if (!PointAt(600, 400)) return false;
  Click(1);
  Click(3);
  return true;
}

int StatusLineMismatch(const Shot& shot, const std::string& text) {
  // The text as the library's own built-in font draws it.
  static bool ready = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
  if (!ready) throw std::runtime_error("the library did not start");
  const int w = text_length(font, text.c_str()), h = text_height(font);
  BITMAP* bmp = create_bitmap_ex(8, w, h);
  clear_to_color(bmp, 0);
  textout_ex(bmp, font, text.c_str(), 0, 0, 15, 0);
  int mismatch = -1;
  for (int y = 0; y < h && mismatch < 0; y++)
    for (int x = 0; x < kWindowW && mismatch < 0; x++)
      if ((shot.at(x, y) == kWhite) != (x < w && getpixel(bmp, x, y) == 15)) mismatch = x;
  destroy_bitmap(bmp);
  return mismatch;
}

}  // namespace e2e
