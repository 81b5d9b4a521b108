// What the core asks of a POSIX system (platform.h): paths, complaints and the stop signals.
// The window's side is in platform_x11.cpp.
#include <signal.h>

#include "platform.h"

const char* const kPathSeparators = "/";
const char* const kInstalledDataFolder = "share/soundpath/";  // beside bin/, under the prefix
const bool kStderrIsSeen = true;

void CatchStopSignals(void (*handler)(int)) {
  // sigaction rather than signal(), whose meaning differs between systems (whether the handler
  // stays, whether an interrupted call restarts): it stays, and calls restart.
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}
