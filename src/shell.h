// The interaction shell: start-up, the polling main loop, and shutdown.
#pragma once

// Runs the whole program and returns its exit status: 0 after ESC or the window's close
// button, 1 when the window cannot be opened.
int RunShell();
