// Builds the files of the fault matrix: well-formed BMP and WAV files of many kinds, and broken
// ones, as bytes. Shared by the end-to-end fault tests and the fuzzers' seed corpora.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace faults {

// A BMP of the crosshair's shape (a cross through (15, 15) on a transparent ground) at the given
// size and bits per pixel (1, 4, 8, 24 or 32); `top_down` stores a negative height.
std::string Bmp(int w, int h, int bpp, bool top_down = false);

// A PCM WAV of a 441 Hz tone. `format` 1 is integer PCM, 3 floating point. `claimed_bytes`, when
// not negative, is what the data chunk's header says it holds, whatever follows.
std::string Wav(int channels, int rate, int bits, int frames, int format = 1,
                long claimed_bytes = -1);

// A file's contents, made when a case needs them: the largest are tens of megabytes, and every
// test process lists every case before it runs one.
using Contents = std::function<std::string()>;

struct Case {
  std::string name;
  Contents crosshair;     // contents of crosshair.bmp; "<dir>" makes a directory, "<none>" none
  Contents sound;         // likewise for sound.wav
  bool crosshair_usable;  // loaded and shown as the pointer
  bool sound_usable;      // loaded and played
};

inline void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

// Every file case of the matrix, with what the program is expected to make of it.
std::vector<Case> FileCases();

}  // namespace faults
