// What the core asks of a POSIX system (platform.h): paths, complaints and the stop signals.
// The window's side is in platform_x11.cpp.
#include <signal.h>
#include <sys/stat.h>

#include <cstdint>

#include "platform.h"

const char* const kPathSeparators = "/";
const char* const kInstalledDataFolder = "share/soundpath/";  // beside bin/, under the prefix
const bool kStderrIsSeen = true;
const char* const kNoWindowSystem = "no display to connect to";

// For the library's own ALSA output, which plays where the program's own (sound_alsa.cpp) could
// not open the device. It is fed from a thread that runs every 10 ms, one period at a time, a
// period ahead of what plays: a period must hold a little more than 10 ms of sound (512 frames at
// 44.1 kHz are 11.6 ms), and with three of them the sound keeps going while every core is busy,
// through PulseAudio and through PipeWire alike (two ran dry under PipeWire). The library's
// default buffer is about 116 ms, which a right click or DEL would wait for.
const char* const kSoundSettings =
    "[sound]\n"
    "alsa_fragsize = 512\n"
    "alsa_numfrags = 3\n";

int64_t RegularFileSize(std::FILE* f) {
  struct stat st;
  if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return st.st_size;
}

size_t ReadFileAt(std::FILE* f, uint64_t offset, uint8_t* out, size_t n) {
  if (offset > static_cast<uint64_t>(INT64_MAX) || fseeko(f, static_cast<off_t>(offset), SEEK_SET))
    return 0;
  return std::fread(out, 1, n, f);
}

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
