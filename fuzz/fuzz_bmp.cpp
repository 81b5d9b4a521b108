// Fuzzes the pointer image's road into the program: the header check, then the library's BMP
// reader, as load_bitmap("crosshair.bmp", NULL) runs it at the default 8-bit depth.
#include <cstdlib>

#include "filecheck.h"
#include "memory_packfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!StartLibraryForLoading()) std::abort();
  if (!Unguarded() && !CheckPointerBmp(data, size).empty()) return 0;
  MemoryFile m{data, static_cast<long>(size), 0};
  PACKFILE* f = pack_fopen_vtable(&kMemoryVtable, &m);
  if (f == nullptr) return 0;
  BITMAP* bmp = load_bmp_pf(f, nullptr);
  pack_fclose(f);
  if (bmp != nullptr) {
    // What the pointer code reads of it: every pixel.
    volatile int sum = 0;
    for (int y = 0; y < bmp->h; y++)
      for (int x = 0; x < bmp->w; x++) sum = sum + getpixel(bmp, x, y);
    destroy_bitmap(bmp);
  }
  return 0;
}
