// The window's side of what the core asks of a Linux system (platform.h), through the library's
// X11 port: UTF-8 file names, ending cleanly when the X server goes away, and telling the
// desktop whose window it is.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstring>

#include "platform.h"
#include "soundpath.xpm"
#include "window_icons.h"  // made by the build from the same pixel map
// The library's X11 port: its display and managed window, and the lock around its X calls.
#include <allegro.h>
#include <xalleg.h>
// (after the two above, which it needs)
#include <allegro/platform/aintunix.h>

namespace {

// The program's name as the desktop knows it: its desktop entry's StartupWMClass is this class.
constexpr const char* kWindowClass = "soundpath";

// Xlib calls this, in whichever thread met the broken connection (usually the library's own X
// thread), and ends the process with exit() if it returns. That exit would run the library's
// exit handler in that thread, tearing the screen down under the main thread while it draws:
// a crash. So say it and end here, at once, without running any exit handler.
int DisplayLost(Display*) {
  static const char kLine[] = "soundpath: the display went away\n";
  if (write(STDERR_FILENO, kLine, sizeof kLine - 1) < 0) {
    // nothing more can be said
  }
  _exit(1);
}

}  // namespace

// The library's X11 port gives its window this pixel map as the icon in its hints (it reads
// it itself); its headers do not declare it.
extern "C" void* allegro_icon;

void UseUtf8FileNames() {
  // File names are bytes here, and the program's are UTF-8. Unless the locale says UTF-8, the
  // library would turn every non-ASCII character of a path (a folder named "Zoë") into '^'.
  set_filename_encoding(U_UTF8);
}

void EndWhenDisplayLost() {
  XSetIOErrorHandler(DisplayLost);
}

void NameWindowBeforeItIsMade() {
  allegro_icon = soundpath_icon;
  // Stored now, and given to the window when the library makes it; given later, the library
  // would set it on its inner window, which no window manager reads.
  xwin_set_window_name(kWindowClass, kWindowClass);
}

void IntroduceWindow() {
  const unsigned long pid = static_cast<unsigned long>(getpid());
  char host[256] = {};
  gethostname(host, sizeof host - 1);

  XLOCK();
  Display* display = _xwin.display;
  const Window window = _xwin.wm_window;
  if (display != nullptr && window != None) {
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), utf8, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(_xwin.window_title),
                    static_cast<int>(std::strlen(_xwin.window_title)));
    // A PID means something only together with the machine it runs on.
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
    char* names[] = {host};
    XTextProperty machine;
    if (XStringListToTextProperty(names, 1, &machine) != 0) {
      XSetWMClientMachine(display, window, &machine);
      XFree(machine.value);
    }
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(kWindowIcons),
                    static_cast<int>(sizeof kWindowIcons / sizeof kWindowIcons[0]));
    XFlush(display);
  }
  XUNLOCK();
}
