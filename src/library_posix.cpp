// The seam's functions that a POSIX system answers rather than the library (library.h): where
// the program lies, whether a file is there, opening one, and a pause that a press can end.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "library.h"

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

// The pause waits on a pipe, which wake_rest() writes a byte into: write() is safe from any
// thread, and the waiting costs nothing until the pipe is written or the time is up.
namespace {
int* WakePipe() {
  static int ends[2] = {-1, -1};
  static const bool made = pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0;
  return made ? ends : nullptr;
}
}  // namespace

void rest_until_woken(unsigned int ms) {
  int* ends = WakePipe();
  if (ends == nullptr) return rest(ms);
  pollfd wait{ends[0], POLLIN, 0};
  poll(&wait, 1, static_cast<int>(ms));  // a signal may end it early too, which is as good
  char drained[64];
  while (read(ends[0], drained, sizeof drained) > 0) {
  }
}

void wake_rest() {
  int* ends = WakePipe();
  const char byte = 1;
  if (ends != nullptr && write(ends[1], &byte, 1) < 0) {
    // full: a wake-up is pending already
  }
}

}  // namespace lib
