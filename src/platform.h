// What the entry point asks of the platform file (platform_linux.cpp or platform_windows.cpp)
// before the library starts.
#pragma once

// Where the display can go away under the program (an X server that ends), the program then
// ends at once with one line and status 1, rather than crashing in the library's teardown.
void EndWhenDisplayLost();

// Where the window system learns a window's owner only from the program (X11): gives the window
// the program's name and class before the library makes it, so that a desktop can match it to
// the program's desktop entry...
void NameWindowBeforeItIsMade();
// ...and, once it is open, the name, process, machine and icon that a taskbar, a dock or a
// window manager reads from it.
void IntroduceWindow();
