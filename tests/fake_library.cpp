#include "fake_library.h"

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstddef>

#include "library.h"
#include "platform.h"

// The handles the fake hands out; the program only passes them back.
struct BITMAP {};
struct SAMPLE {};

namespace fake {

std::vector<Call> calls;
long now_ms = 0;

namespace {

// A run that never ends its script is stopped here rather than spinning the test forever.
constexpr long kGiveUpMs = 24L * 60 * 60 * 1000;

std::vector<Frame> script;
Options options;
BITMAP crosshair;
SAMPLE sample;
void (*close_callback)() = nullptr;
void (*mouse_callback)(int) = nullptr;
void (*key_callback)(int) = nullptr;
bool woken = false;
long signalled_frame = -1;

void Record(const char* name, std::vector<int> args = {}, std::string text = "") {
  calls.push_back(Call{name, std::move(args), std::move(text), now_ms});
}

Frame Now() {
  Frame current{0};
  for (const Frame& f : script)
    if (f.from_ms <= now_ms) current = f;
  if (now_ms > kGiveUpMs) current.esc = true;
  return current;
}

// What the library's input thread says of the frame that begins now, after `before`.
void TellCallbacks(const Frame& before, const Frame& now) {
  constexpr int kDown[] = {lib::kMouseFlagLeftDown, lib::kMouseFlagRightDown};
  for (int b = 0; b < 2; b++) {
    const int bit = 1 << b;
    if (mouse_callback == nullptr) break;
    if ((now.buttons & bit) != (before.buttons & bit))
      mouse_callback(now.buttons & bit ? kDown[b] : kDown[b] << 1);  // each UP flag is DOWN's next
    if (now.tapped_buttons & bit) {
      mouse_callback(kDown[b]);
      mouse_callback(kDown[b] << 1);
    }
  }
  const struct {
    int code;
    bool was, is, tapped;
  } keys[] = {{lib::kKeyEsc, before.esc, now.esc, now.tapped_esc},
              {lib::kKeyDel, before.del, now.del, now.tapped_del}};
  for (const auto& k : keys) {
    if (key_callback == nullptr) break;
    if (k.was != k.is) key_callback(k.is ? k.code : k.code | lib::kKeyReleased);
    if (k.tapped) {
      key_callback(k.code);
      key_callback(k.code | lib::kKeyReleased);
    }
  }
}

// Moves the clock on to `to`, frame by frame, telling the callbacks of each frame that begins;
// a pause that a press can end stops at the frame that woke it.
void Advance(long to, bool wakeable) {
  for (size_t i = 0; i < script.size(); i++) {
    if (script[i].from_ms <= now_ms || script[i].from_ms > to) continue;
    now_ms = script[i].from_ms;
    TellCallbacks(i > 0 ? script[i - 1] : Frame{0}, script[i]);
    if (wakeable && woken) {
      woken = false;
      return;
    }
  }
  now_ms = to;
}

// A frame's close click and its signal, once its time has come.
void Deliver() {
  Frame f = Now();
  if (f.close && close_callback) close_callback();
  if (f.signal && signalled_frame != f.from_ms) {
    signalled_frame = f.from_ms;
    std::raise(f.signal);
  }
}

}  // namespace

void Reset(const std::vector<Frame>& new_script, const Options& new_options) {
  calls.clear();
  now_ms = 0;
  script = new_script;
  options = new_options;
  close_callback = nullptr;
  mouse_callback = nullptr;
  key_callback = nullptr;
  woken = false;
  signalled_frame = -1;
}

std::vector<Call> Named(const std::string& name) {
  std::vector<Call> out;
  for (const Call& c : calls)
    if (c.name == name) out.push_back(c);
  return out;
}

}  // namespace fake

namespace lib {

using fake::options;
using fake::Record;

int allegro_init() {
  Record("allegro_init");
  return options.init_result;
}
void allegro_exit() {
  Record("allegro_exit");
}
const char* allegro_error() {
  return options.error_text;
}
void allegro_message(const char* text) {
  Record("allegro_message", {}, text);
}
int install_keyboard() {
  Record("install_keyboard");
  return options.keyboard_result;
}
int install_timer() {
  Record("install_timer");
  return 0;
}
int install_mouse() {
  Record("install_mouse");
  return options.mouse_result;
}
void override_config_data(const char* text) {
  Record("override_config_data", {}, text);
}
int install_sound(int digi, int midi) {
  Record("install_sound", {digi, midi});
  return options.sound_result;
}
bool sound_output_present() {
  return options.sound_present;
}
int set_gfx_mode(int card, int w, int h, int v_w, int v_h) {
  Record("set_gfx_mode", {card, w, h, v_w, v_h});
  return options.gfx_result;
}
int set_display_switch_mode(int mode) {
  Record("set_display_switch_mode", {mode});
  return 0;
}
int set_close_button_callback(void (*proc)()) {
  Record("set_close_button_callback");
  fake::close_callback = proc;
  return 0;
}

BITMAP* load_bitmap(const char* filename) {
  Record("load_bitmap", {}, filename);
  return options.have_crosshair ? &fake::crosshair : nullptr;
}
void set_mouse_sprite(BITMAP* sprite) {
  Record("set_mouse_sprite", {}, sprite ? "crosshair" : "null");
}
void set_mouse_sprite_focus(int x, int y) {
  Record("set_mouse_sprite_focus", {x, y});
}
void enable_hardware_cursor() {
  Record("enable_hardware_cursor");
}
void show_mouse_on_screen() {
  Record("show_mouse_on_screen");
}
void scare_mouse_area(int x, int y, int w, int h) {
  Record("scare_mouse_area", {x, y, w, h});
}
void unscare_mouse() {
  Record("unscare_mouse");
}

int mouse_x() {
  return fake::Now().x;
}
int mouse_y() {
  return fake::Now().y;
}
int mouse_b() {
  return fake::Now().buttons;
}
bool key(int scancode) {
  fake::Frame f = fake::Now();
  return (scancode == kKeyEsc && f.esc) || (scancode == kKeyDel && f.del);
}
void set_mouse_callback(void (*proc)(int flags)) {
  Record("set_mouse_callback");
  fake::mouse_callback = proc;
}
void set_keyboard_lowlevel_callback(void (*proc)(int scancode)) {
  Record("set_keyboard_lowlevel_callback");
  fake::key_callback = proc;
}

// The library's built-in font is 8x8 pixels a character.
int screen_w() {
  return options.screen_w;
}
int text_length(const char* text) {
  return 8 * static_cast<int>(std::string(text).size());
}
int text_height() {
  return 8;
}
void textout_ex(const char* text, int x, int y, int color, int bg) {
  Record("textout_ex", {x, y, color, bg}, text);
}
void circlefill(int x, int y, int radius, int color) {
  Record("circlefill", {x, y, radius, color});
}
void rectfill(int x1, int y1, int x2, int y2, int color) {
  Record("rectfill", {x1, y1, x2, y2, color});
}

std::string executable_path() {
  return options.exe_path;
}
bool file_exists(const char* path) {
  if (!options.virtual_files) return access(path, F_OK) == 0;
  return std::find(options.files.begin(), options.files.end(), path) != options.files.end();
}
std::FILE* open_file(const char* path) {
  if (!options.virtual_files) return std::fopen(path, "rb");
  if (!file_exists(path)) return nullptr;
  const std::string name = path;
  return std::fopen(name.substr(name.find_last_of('/') + 1).c_str(), "rb");
}

SAMPLE* load_sample(const char* filename) {
  Record("load_sample", {}, filename);
  return options.have_sample ? &fake::sample : nullptr;
}
int play_sample(const SAMPLE*, int vol, int pan, int freq, int loop) {
  Record("play_sample", {vol, pan, freq, loop});
  return 0;
}
void adjust_sample(const SAMPLE*, int vol, int pan, int freq, int loop) {
  Record("adjust_sample", {vol, pan, freq, loop});
}
void stop_sample(const SAMPLE*) {
  Record("stop_sample");
}
void rest(unsigned int ms) {
  Record("rest", {static_cast<int>(ms)});
  fake::Advance(fake::now_ms + ms, false);
  fake::Deliver();
}
void rest_until_woken(unsigned int ms) {
  Record("rest_until_woken", {static_cast<int>(ms)});
  if (fake::woken)
    fake::woken = false;
  else
    fake::Advance(fake::now_ms + ms, true);
  fake::Deliver();
}
void wake_rest() {
  fake::woken = true;
}

}  // namespace lib

// The window's side of the platform, as the fake library's window has it.
void UseUtf8FileNames() {
  fake::Record("UseUtf8FileNames");
}
void RegisterOwnSoundOutput() {
  fake::Record("RegisterOwnSoundOutput");
}
void EndWhenDisplayLost() {
  fake::Record("EndWhenDisplayLost");
}
void NameWindowBeforeItIsMade() {
  fake::Record("NameWindowBeforeItIsMade");
}
void IntroduceWindow() {
  fake::Record("IntroduceWindow");
}
