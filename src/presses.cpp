// The press capture: the library's mouse, keyboard and close-button callbacks, which run on the
// library's own thread, and the queue and flags that the main loop takes presses from.
#include "presses.h"

#include <atomic>

#include "library.h"

namespace {

// Left presses: the library's thread adds to the queue, the loop takes from it. A press beyond
// a full queue is dropped; the loop empties it ten times a second.
constexpr unsigned kQueuedPresses = 16;
POINT left_presses[kQueuedPresses];
std::atomic<unsigned> left_added{0}, left_taken{0};

std::atomic<bool> pressed[kPressKinds];
std::atomic<bool> close_requested{false};

// The keys watched, and the press each one notes. A held key repeats; only its press counts.
struct WatchedKey {
  int scancode;
  Press press;
  std::atomic<bool> down;
};
WatchedKey keys[] = {{lib::kKeyEsc, kEscPress, {false}}, {lib::kKeyDel, kDelPress, {false}}};

void Note(Press which) {
  pressed[which] = true;
  lib::wake_rest();
}

void OnMouse(int flags) {
  if (flags & lib::kMouseFlagLeftDown) {
    const unsigned added = left_added.load(std::memory_order_relaxed);
    if (added - left_taken.load(std::memory_order_acquire) < kQueuedPresses) {
      left_presses[added % kQueuedPresses] = POINT{lib::mouse_x(), lib::mouse_y()};
      left_added.store(added + 1, std::memory_order_release);
    }
    lib::wake_rest();
  }
  if (flags & lib::kMouseFlagRightDown) Note(kRightPress);
}

void OnKey(int scancode) {
  const bool released = (scancode & lib::kKeyReleased) != 0;
  const int code = scancode & ~lib::kKeyReleased;
  for (WatchedKey& k : keys) {
    if (k.scancode != code) continue;
    const bool was_down = k.down.exchange(!released);
    if (!released && !was_down) Note(k.press);
  }
}

void OnCloseButton() {
  close_requested = true;
  lib::wake_rest();
}

}  // namespace

void WatchPresses() {
  close_requested = false;
  for (WatchedKey& k : keys) k.down = false;
  ForgetPresses();
  lib::set_close_button_callback(OnCloseButton);
  lib::set_mouse_callback(OnMouse);
  lib::set_keyboard_lowlevel_callback(OnKey);
}

bool TakeLeftPress(POINT& at) {
  const unsigned taken = left_taken.load(std::memory_order_relaxed);
  if (taken == left_added.load(std::memory_order_acquire)) return false;
  at = left_presses[taken % kQueuedPresses];
  left_taken.store(taken + 1, std::memory_order_release);
  return true;
}

bool TakePress(Press which) {
  return pressed[which].exchange(false);
}

bool CloseRequested() {
  return close_requested;
}

void ForgetPresses() {
  left_taken.store(left_added.load(std::memory_order_acquire), std::memory_order_release);
  for (std::atomic<bool>& p : pressed) p = false;
}
