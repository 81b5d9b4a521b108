// soundpath: mark up to ten points with the left mouse button, then right-click to hear a
// looping sample travel along them: pan follows x, pitch follows y. DEL clears, ESC quits.
#include <allegro.h>

#include "shell.h"

int main() {
  return RunShell();
}
END_OF_MAIN()
