// The library's own idle cost: opens the same 800x600 window with the same drivers and pointer
// as soundpath, though with the sound output at the library's default settings (soundpath holds
// a shorter buffer), then does nothing but wait for ESC. Whatever CPU this uses is the floor that
// soundpath's idle loop is measured against.
#include <allegro.h>

int main() {
  if (allegro_init() != 0) return 1;
  install_keyboard();
  install_timer();
  install_mouse();
  install_sound(DIGI_AUTODETECT, MIDI_AUTODETECT, nullptr);
  if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, 800, 600, 0, 0) != 0) return 1;
  set_mouse_sprite(load_bitmap("crosshair.bmp", nullptr));
  set_mouse_sprite_focus(15, 15);
  enable_hardware_cursor();
  show_mouse(screen);
  while (!key[KEY_ESC]) rest(100);
  return 0;
}
END_OF_MAIN()
