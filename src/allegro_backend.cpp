// The real side of the library seam: each function hands its arguments to Allegro 4 unchanged.
//
// library.h comes first on purpose: <allegro.h> defines allegro_init() as a macro, which would
// otherwise rewrite the seam's declaration of the same name.
#include "library.h"
// (kept apart so that include sorting never moves it below this line)
#include <allegro.h>

static_assert(lib::kGfxAutodetectWindowed == GFX_AUTODETECT_WINDOWED);
static_assert(lib::kDigiAutodetect == DIGI_AUTODETECT);
static_assert(lib::kMidiAutodetect == MIDI_AUTODETECT);
static_assert(lib::kKeyEsc == KEY_ESC);
static_assert(lib::kKeyDel == KEY_DEL);
static_assert(lib::kSwitchBackground == SWITCH_BACKGROUND);
static_assert(lib::kMouseFlagLeftDown == MOUSE_FLAG_LEFT_DOWN);
static_assert(lib::kMouseFlagRightDown == MOUSE_FLAG_RIGHT_DOWN);

namespace lib {

// The parentheses keep the library's allegro_init() macro from expanding the name.
int(allegro_init)() {
  return allegro_init();
}
void allegro_exit() {
  ::allegro_exit();
}
const char* allegro_error() {
  return ::allegro_error;
}
void allegro_message(const char* text) {
  ::allegro_message("%s", text);
}
int install_keyboard() {
  return ::install_keyboard();
}
int install_timer() {
  return ::install_timer();
}
int install_mouse() {
  return ::install_mouse();
}
void override_config_data(const char* text) {
  ::override_config_data(text, ustrsize(text));
}
int install_sound(int digi, int midi) {
  return ::install_sound(digi, midi, nullptr);
}
bool sound_output_present() {
  return digi_card != DIGI_NONE;
}
int set_gfx_mode(int card, int w, int h, int v_w, int v_h) {
  return ::set_gfx_mode(card, w, h, v_w, v_h);
}
int set_close_button_callback(void (*proc)()) {
  return ::set_close_button_callback(proc);
}
int set_display_switch_mode(int mode) {
  return ::set_display_switch_mode(mode);
}

BITMAP* load_bitmap(const char* filename) {
  return ::load_bitmap(filename, nullptr);
}
void set_mouse_sprite(BITMAP* sprite) {
  ::set_mouse_sprite(sprite);
}
void set_mouse_sprite_focus(int x, int y) {
  ::set_mouse_sprite_focus(x, y);
}
void enable_hardware_cursor() {
  ::enable_hardware_cursor();
}
void show_mouse_on_screen() {
  ::show_mouse(screen);
}
void scare_mouse_area(int x, int y, int w, int h) {
  ::scare_mouse_area(x, y, w, h);
}
void unscare_mouse() {
  ::unscare_mouse();
}

int mouse_x() {
  return ::mouse_x;
}
int mouse_y() {
  return ::mouse_y;
}
int mouse_b() {
  return ::mouse_b;
}
bool key(int scancode) {
  return ::key[scancode] != 0;
}
void set_mouse_callback(void (*proc)(int flags)) {
  ::mouse_callback = proc;
}
void set_keyboard_lowlevel_callback(void (*proc)(int scancode)) {
  ::keyboard_lowlevel_callback = proc;
}

int screen_w() {
  return SCREEN_W;
}
int text_length(const char* text) {
  return ::text_length(font, text);
}
int text_height() {
  return ::text_height(font);
}
void textout_ex(const char* text, int x, int y, int color, int bg) {
  ::textout_ex(screen, font, text, x, y, color, bg);
}
void circlefill(int x, int y, int radius, int color) {
  ::circlefill(screen, x, y, radius, color);
}
void rectfill(int x1, int y1, int x2, int y2, int color) {
  ::rectfill(screen, x1, y1, x2, y2, color);
}

SAMPLE* load_sample(const char* filename) {
  return ::load_sample(filename);
}
int play_sample(const SAMPLE* spl, int vol, int pan, int freq, int loop) {
  return ::play_sample(spl, vol, pan, freq, loop);
}
void adjust_sample(const SAMPLE* spl, int vol, int pan, int freq, int loop) {
  ::adjust_sample(spl, vol, pan, freq, loop);
}
void stop_sample(const SAMPLE* spl) {
  ::stop_sample(spl);
}
void rest(unsigned int ms) {
  ::rest(ms);
}

}  // namespace lib
