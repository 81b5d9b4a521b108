// The one seam between soundpath and the Allegro 4 library.
//
// The shell and the sound path call the library only through these free functions, which keep
// the library's own names and arguments. allegro_backend.cpp forwards each one to the real
// library; the tests link a recording fake with a virtual clock instead, so that whole runs of
// the program can be checked with no display and no sound card. Drawing always goes to the
// library's `screen` with its built-in `font`, the only surface and font the program uses.
//
// This header must not include <allegro.h>: the core never sees the library's headers.
#pragma once

#include <cstdio>
#include <string>

struct BITMAP;
struct SAMPLE;

namespace lib {

// The library's numeric constants that the program passes, under names that do not collide
// with the library's own macros; the backend checks at compile time that they agree.
constexpr int kGfxAutodetectWindowed = 2;
constexpr int kDigiAutodetect = -1;
constexpr int kMidiAutodetect = -1;
constexpr int kKeyEsc = 59;
constexpr int kKeyDel = 77;
constexpr int kSwitchBackground = 3;
constexpr int kMouseFlagLeftDown = 2;
constexpr int kMouseFlagRightDown = 8;
constexpr int kKeyReleased = 0x80;  // the bit that marks a release in a raw scancode

// Start-up and shutdown.
int allegro_init();
void allegro_exit();
const char* allegro_error();
void allegro_message(const char* text);  // a message box where the platform has one
int install_keyboard();
int install_timer();
int install_mouse();
// Settings for the library's drivers held in memory, ahead of any configuration file; given
// before the drivers are installed.
void override_config_data(const char* text);
int install_sound(int digi, int midi);
bool sound_output_present();  // false when the library fell back to its silent driver
int set_gfx_mode(int card, int w, int h, int v_w, int v_h);
int set_close_button_callback(void (*proc)());
int set_display_switch_mode(int mode);

// Pointer.
BITMAP* load_bitmap(const char* filename);  // palette not asked for
void set_mouse_sprite(BITMAP* sprite);
void set_mouse_sprite_focus(int x, int y);
void enable_hardware_cursor();
void show_mouse_on_screen();
void scare_mouse_area(int x, int y, int w, int h);
void unscare_mouse();

// Input state, read once per use.
int mouse_x();
int mouse_y();
int mouse_b();
bool key(int scancode);
// Input as it happens, called from the library's own thread: for every change of the mouse
// (its flags say which: kMouseFlag...), and for every key press, repeat and release (a raw
// scancode, kKeyReleased set on release). A press and release that come together call both,
// though the state above never shows them.
void set_mouse_callback(void (*proc)(int flags));
void set_keyboard_lowlevel_callback(void (*proc)(int scancode));

// Drawing on the screen.
int screen_w();
int text_length(const char* text);
int text_height();
void textout_ex(const char* text, int x, int y, int color, int bg);
void circlefill(int x, int y, int radius, int color);
void rectfill(int x1, int y1, int x2, int y2, int color);

// Files, where the platform differs: paths are UTF-8 everywhere (the library's loaders take
// them so), and the program looks for its data files beside itself too.
std::string executable_path();
// False only when the path surely names nothing; an entry that cannot be looked at (a folder
// without permission) counts as there, so that it is reported rather than passed over.
bool file_exists(const char* path);
std::FILE* open_file(const char* path);  // for reading, binary; null when it cannot be opened

// Sound and time.
SAMPLE* load_sample(const char* filename);
int play_sample(const SAMPLE* spl, int vol, int pan, int freq, int loop);
void adjust_sample(const SAMPLE* spl, int vol, int pan, int freq, int loop);
void stop_sample(const SAMPLE* spl);
void rest(unsigned int ms);
// A pause like rest() that ends early once wake_rest() is called, from any thread; a call made
// while no such pause runs ends the next one at once.
void rest_until_woken(unsigned int ms);
void wake_rest();

}  // namespace lib
