// soundpath: mark up to ten points with the left mouse button, then right-click to hear a
// looping sample travel along them: pan follows x, pitch follows y. DEL clears, ESC quits.
#include <allegro.h>

#include "platform.h"
#include "shell.h"

#ifdef ALLEGRO_WITH_XWINDOWS
#include "soundpath.xpm"
// The library's X11 port gives its window this pixel map as the icon; its headers do not
// declare it.
extern "C" void* allegro_icon;
#endif

int main() {
#ifdef ALLEGRO_WITH_XWINDOWS
  allegro_icon = soundpath_icon;
#endif
  EndWhenDisplayLost();
  NameWindowBeforeItIsMade();
  return RunShell();
}
END_OF_MAIN()
