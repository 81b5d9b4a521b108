// Linux side of what the program needs from the system beside the library: where the program
// lies, whether a file is there, opening one, and ending cleanly when the X server goes away.
#include <X11/Xlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "library.h"
#include "platform.h"

namespace {

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

void EndWhenDisplayLost() {
  XSetIOErrorHandler(DisplayLost);
}

namespace lib {

std::string executable_path() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path);
  return n > 0 && n < static_cast<ssize_t>(sizeof path) ? std::string(path, n) : "";
}

bool file_exists(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

std::FILE* open_file(const char* path) {
  return std::fopen(path, "rb");
}

}  // namespace lib
