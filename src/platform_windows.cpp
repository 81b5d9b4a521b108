// What the core asks of Windows (platform.h). A Windows program keeps its data files beside
// itself, has no console, and owns its window through its executable.
#include <csignal>

#include "platform.h"

const char* const kPathSeparators = "/\\";
const char* const kInstalledDataFolder = nullptr;
const bool kStderrIsSeen = false;

// The library takes UTF-8 names already, and opens files through the wide API.
void UseUtf8FileNames() {}

void CatchStopSignals(void (*handler)(int)) {
  std::signal(SIGINT, handler);
  std::signal(SIGTERM, handler);
}

// A Windows program's desktop does not go away under it.
void EndWhenDisplayLost() {}

// Windows knows a window's program by its executable, and the library gives the window the
// executable's icon.
void NameWindowBeforeItIsMade() {}
void IntroduceWindow() {}
