// Fuzzes the sample's road into the program: the header check, then the library's WAV reader,
// as load_sample("sound.wav") runs it.
#include <cstdlib>

#include "filecheck.h"
#include "memory_packfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!StartLibraryForLoading()) std::abort();
  if (!Unguarded() && !CheckSampleWav(data, size).empty()) return 0;
  MemoryFile m{data, static_cast<long>(size), 0};
  PACKFILE* f = pack_fopen_vtable(&kMemoryVtable, &m);
  if (f == nullptr) return 0;
  SAMPLE* spl = load_wav_pf(f);
  pack_fclose(f);
  if (spl != nullptr) {
    // What the mixer reads of it: every sample, across its whole length.
    const unsigned long bytes = spl->len * (spl->bits / 8) * (spl->stereo ? 2 : 1);
    volatile unsigned sum = 0;
    for (unsigned long i = 0; i < bytes; i++) sum = sum + static_cast<uint8_t*>(spl->data)[i];
    destroy_sample(spl);
  }
  return 0;
}
