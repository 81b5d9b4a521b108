// Builds input scripts for the fake library: clicks held as long as a person holds them.
#pragma once

#include <vector>

#include "fake_library.h"

class Script {
 public:
  // The pointer rests at (x, y) from now on, with nothing pressed.
  Script& MoveTo(int x, int y) {
    x_ = x;
    y_ = y;
    return Add(0, 0);
  }
  // Holds `buttons` at (x, y) for `hold_ms`, then lets go and waits `gap_ms`.
  Script& Press(int x, int y, int buttons, long hold_ms = 60, long gap_ms = 200) {
    x_ = x;
    y_ = y;
    Add(buttons, hold_ms);
    return Add(0, gap_ms);
  }
  Script& Click(int x, int y) { return Press(x, y, 1); }
  // Presses and lets go of `buttons` at (x, y) at once, as a touchpad's tap; then waits `gap_ms`.
  Script& Tap(int x, int y, int buttons, long gap_ms = 200) {
    x_ = x;
    y_ = y;
    Raw(gap_ms).tapped_buttons = buttons;
    return *this;
  }
  // A run blocks the loop for up to about 189 s, so by default the script waits that long
  // before its next step.
  Script& RightClick(long gap_ms = 200000) { return Press(x_, y_, 2, 60, gap_ms); }
  Script& Del() {
    frames_.push_back(Frame(0));
    frames_.back().del = true;
    t_ += 60;
    return Add(0, 200);
  }
  Script& Wait(long ms) { return Add(0, ms); }
  // A frame set by hand, lasting `hold_ms` from now; fill it in before the next step.
  fake::Frame& Raw(long hold_ms) {
    frames_.push_back(Frame(0));
    t_ += hold_ms;
    return frames_.back();
  }
  long now() const { return t_; }
  std::vector<fake::Frame> Esc() {
    frames_.push_back(Frame(0));
    frames_.back().esc = true;
    return frames_;
  }

 private:
  fake::Frame Frame(int buttons) const {
    fake::Frame f{t_};
    f.x = x_;
    f.y = y_;
    f.buttons = buttons;
    return f;
  }
  Script& Add(int buttons, long ms) {
    frames_.push_back(Frame(buttons));
    t_ += ms;
    return *this;
  }
  std::vector<fake::Frame> frames_;
  long t_ = 0;
  int x_ = 0;
  int y_ = 0;
};
