// The interaction shell: start-up, the polling main loop, and shutdown.
#pragma once

// The status line, filled with the pointer's position.
constexpr const char* kStatusFormat =
    "[DEL] clears screen; Left Click assigns a point, Right Click starts synthesis. %d %d ";

// Runs the whole program and returns its exit status: 0 after ESC or the window's close
// button; 1 when the window, the keyboard or the mouse cannot be had, with one line saying why;
// 128 + the signal's number after SIGINT or SIGTERM, as a shell counts it.
int RunShell();
