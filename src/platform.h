// What the core asks of the platform it runs on, beside the library. Each platform answers in
// its own files (platform_posix.cpp with platform_x11.cpp, or platform_windows.cpp); the core
// never includes a system header for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// ---- files ---------------------------------------------------------------------------------
// The characters that end a folder's name in a path.
extern const char* const kPathSeparators;
// Where an installed program's data files are, under the prefix that holds its bin/ folder;
// null where they are kept beside the program.
extern const char* const kInstalledDataFolder;
// Right after the library starts: file names are passed to it as UTF-8.
void UseUtf8FileNames();
// The size of the open file `f`, or -1 when it is not a regular file (a folder, a device).
int64_t RegularFileSize(std::FILE* f);
// Reads up to `n` bytes at `offset` of the open file `f` into `out`; returns how many it read.
size_t ReadFileAt(std::FILE* f, uint64_t offset, uint8_t* out, size_t n);

// ---- sound -----------------------------------------------------------------------------------
// The settings of the library's sound output, held in memory so that no configuration file is
// read for them or written: a buffer short enough that a right click or DEL is heard at once, and
// long enough that the sound keeps going while every core is busy.
extern const char* const kSoundSettings;
// Before the sound is installed: puts the platform's own sound output, which answers sooner than
// the library's, first among the outputs that the library tries; where it cannot play, the
// library's own are tried as before.
void RegisterOwnSoundOutput();

// ---- complaints ----------------------------------------------------------------------------
// False where nobody sees what the program writes to stderr (a Windows program has no
// console), so that its complaints are shown in a message box too.
extern const bool kStderrIsSeen;

// What keeps the library from starting when it gives no reason of its own: it could not reach
// the window system.
extern const char* const kNoWindowSystem;

// ---- stopping ------------------------------------------------------------------------------
// Calls `handler` with the signal's number when the program is told to stop (SIGINT,
// SIGTERM), in place of the library's own handlers, which shut it down from inside the signal
// handler and can abort.
void CatchStopSignals(void (*handler)(int));
// Where the display can go away under the program (an X server that ends), the program then
// ends at once with one line and status 1, rather than crashing in the library's teardown.
void EndWhenDisplayLost();

// ---- the window ----------------------------------------------------------------------------
// Where the window system learns a window's owner only from the program (X11): gives the window
// the program's name, class and icon before the library makes it, so that a desktop can match
// it to the program's desktop entry...
void NameWindowBeforeItIsMade();
// ...and, once it is open, the name, process, machine and icons that a taskbar, a dock or a
// window manager reads from it.
void IntroduceWindow();
