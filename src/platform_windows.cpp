// What the core asks of Windows (platform.h). A Windows program keeps its data files beside
// itself, has no console, and owns its window through its executable.
#include <sys/stat.h>

#include <csignal>
#include <cstdint>

#include "platform.h"

const char* const kPathSeparators = "/\\";
const char* const kInstalledDataFolder = nullptr;
const bool kStderrIsSeen = false;
// The library then could not make the window that it starts with.
const char* const kNoWindowSystem = "Windows would not make it";

// The DirectSound buffer stays at the library's six pieces of 1024 bytes (5.8 ms each): its
// mixer, fed every 20 ms, keeps (8 mod pieces) of them written ahead of DirectSound's write
// cursor, two with six; five would keep three, and seven a single piece, less than one feed's
// worth.
const char* const kSoundSettings =
    "[sound]\n"
    "dsound_numfrags = 6\n";

// The library takes UTF-8 names already, and opens files through the wide API.
void UseUtf8FileNames() {}

// The 64-bit calls: a plain off_t is 32 bits here.
int64_t RegularFileSize(std::FILE* f) {
  struct _stat64 st;
  if (_fstat64(_fileno(f), &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) return -1;
  return st.st_size;
}

size_t ReadFileAt(std::FILE* f, uint64_t offset, uint8_t* out, size_t n) {
  if (offset > static_cast<uint64_t>(INT64_MAX) ||
      _fseeki64(f, static_cast<int64_t>(offset), SEEK_SET) != 0)
    return 0;
  return std::fread(out, 1, n, f);
}

void CatchStopSignals(void (*handler)(int)) {
  std::signal(SIGINT, handler);
  std::signal(SIGTERM, handler);
}

// Windows plays through the library's own DirectSound output.
void RegisterOwnSoundOutput() {}

// A Windows program's desktop does not go away under it.
void EndWhenDisplayLost() {}

// Windows knows a window's program by its executable, and the library gives the window the
// executable's icon.
void NameWindowBeforeItIsMade() {}
void IntroduceWindow() {}
