// What the entry point asks of the platform file (platform_linux.cpp or platform_windows.cpp)
// before the library starts.
#pragma once

// Where the display can go away under the program (an X server that ends), the program then
// ends at once with one line and status 1, rather than crashing in the library's teardown.
void EndWhenDisplayLost();
