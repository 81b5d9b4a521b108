// The presses that the library's thread sees as they happen, kept for the main loop.
//
// A press and release that come together (a touchpad's tap, a dwell or remote click), or a key
// tapped between two looks, never show in the state that the loop reads; so every press is noted
// as it happens, a left press with the pointer's place at that moment, and the loop's idle pause
// is ended for it.
#pragma once

#include "soundpath.h"

// The presses noted once each, beside the left button's queue.
enum Press { kRightPress, kEscPress, kDelPress, kPressKinds };

// Forgets everything noted and sets the library's callbacks; once the library is up.
void WatchPresses();

// The oldest left press not yet acted on, if any.
bool TakeLeftPress(POINT& at);
// Whether `which` was pressed since it was last taken; it is taken.
bool TakePress(Press which);
// Whether the window's close button was clicked. It is never forgotten.
bool CloseRequested();

// Presses that came during a run are not acted on after it; what is still held then is.
void ForgetPresses();
