// The harness's side of the X server: finding the program's window, real input through the XTest
// extension, the window's pixels, its pointer, icon and properties, and the status line as the
// library's own font draws it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

// <allegro.h> after the X headers: both define some of the same macro names, and the library's
// are the ones used below only through its functions.
#include <allegro.h>

#include "harness.h"
#include "servers.h"
#include "shell.h"

namespace e2e {

namespace {

constexpr int kWindowW = 800;
constexpr int kWindowH = 600;

// A pixel of a 24-bit visual whose colour masks are `v`'s.
template <class Masks>
Rgb Split(unsigned long p, const Masks& v) {
  return Rgb{static_cast<int>((p & v.red_mask) >> 16), static_cast<int>((p & v.green_mask) >> 8),
             static_cast<int>(p & v.blue_mask)};
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

}  // namespace

_XDisplay* OpenDisplay(const std::string& display) {
  // Windows come and go while the tests look at them (Wine makes short-lived ones of its own):
  // a request about one that has just gone is answered with an error, which is no failure.
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  Display* dpy = XOpenDisplay(display.c_str());
  if (dpy == nullptr) throw std::runtime_error("cannot connect to " + display);
  return dpy;
}

bool WindowManaged(_XDisplay* dpy) {
  std::vector<unsigned long> check;
  ReadProperty(dpy, DefaultRootWindow(dpy), "_NET_SUPPORTING_WM_CHECK", nullptr, &check);
  return !check.empty();
}

void Program::CloseDisplay() {
  if (dpy_ != nullptr) XCloseDisplay(dpy_);
  dpy_ = nullptr;
}

bool Program::WaitForWindow(int timeout_ms) {
  timeout_ms *= ProgramRunner().start_factor;
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

// A window of Wine's that is neither the program's own nor one of its hidden 1x1 helpers: the
// message box. 0 when there is none.
unsigned long Program::MessageBox() {
  return FindTopWindow(dpy_, [](const XWindowAttributes& a) {
    return a.width > 50 && a.height > 20 && !(a.width == kWindowW && a.height == kWindowH);
  });
}

void Program::MoveTo(int x, int y, int settle_ms) {
  XTestFakeMotionEvent(dpy_, -1, origin_x_ + x, origin_y_ + y, CurrentTime);
  XFlush(dpy_);
  SleepMs(settle_ms);
}

void Program::Button(int button, bool down) {
  XTestFakeButtonEvent(dpy_, button, down, CurrentTime);
  XFlush(dpy_);
}

void Program::KeyState(const char* keysym_name, bool down) {
  XTestFakeKeyEvent(dpy_, XKeysymToKeycode(dpy_, XStringToKeysym(keysym_name)), down, CurrentTime);
  XFlush(dpy_);
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
    for (int x = 0; x < kWindowW; x++) s.px[y * kWindowW + x] = Split(XGetPixel(img, x, y), *img);
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
          icon.px.push_back(Split(XGetPixel(img, i, j), *v));
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
