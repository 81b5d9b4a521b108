// Counts the white discs that the program's window shows at the given places: how many of the
// taps there it saw. The window is the viewable 800x600 one on the display, at whatever place
// the window system put it.
//   discs X Y [X Y ...]      (window coordinates; prints the count)
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>

namespace {

// The viewable 800x600 window below `w`, or 0.
Window Find(Display* dpy, Window w) {
  XWindowAttributes a;
  if (XGetWindowAttributes(dpy, w, &a) && a.map_state == IsViewable && a.width == 800 &&
      a.height == 600)
    return w;
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  Window found = 0;
  if (XQueryTree(dpy, w, &root, &parent, &children, &n))
    for (unsigned i = 0; i < n && !found; i++) found = Find(dpy, children[i]);
  if (children) XFree(children);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    std::fprintf(stderr, "discs: no display\n");
    return 2;
  }
  const Window window = Find(dpy, DefaultRootWindow(dpy));
  if (window == 0) {
    std::fprintf(stderr, "discs: no 800x600 window\n");
    return 2;
  }
  XImage* image = XGetImage(dpy, window, 0, 0, 800, 600, AllPlanes, ZPixmap);
  if (image == nullptr) return 2;
  int seen = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    const int x = std::atoi(argv[i]), y = std::atoi(argv[i + 1]);
    constexpr int kAround[][2] = {{0, 0}, {15, 0}, {-15, 0}, {0, 15}, {0, -15}};
    bool white = true;  // the centre and four points 15 pixels out
    for (const auto& d : kAround)
      white = white && (XGetPixel(image, x + d[0], y + d[1]) & 0xffffff) == 0xffffff;
    seen += white;
  }
  std::printf("%d\n", seen);
  XDestroyImage(image);
  XCloseDisplay(dpy);
  return 0;
}
