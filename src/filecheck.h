// Checks of the two data files' headers and sizes, made before the library is handed a file.
// The library's loaders trust what a header says: a pointer image of zero or absurd size, pixel
// data that stops short, or a sample with no samples in it would reach the drawing and mixing
// code as it is. These checks refuse such files, with a reason a user can act on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Largest pointer image accepted: far beyond any pointer a window system draws.
constexpr int kMaxPointerSide = 256;
// Largest sample accepted, in bytes of sample data: minutes of CD-quality stereo.
constexpr uint64_t kMaxSampleBytes = 256ull << 20;
// How much of a file the checks look at: the headers, and the chunk list of a WAV file.
constexpr size_t kCheckedBytes = 64 * 1024;

// `head` is the start of the file (up to kCheckedBytes), `file_size` its whole size. Each
// returns an empty string for a file the library may load, else why it is refused.
std::string CheckPointerBmp(const uint8_t* head, size_t head_size, uint64_t file_size);
std::string CheckSampleWav(const uint8_t* head, size_t head_size, uint64_t file_size);

// Reads the start of `path` and runs `check` on it; also refuses what is not a readable
// regular file.
std::string CheckFile(const char* path, std::string (*check)(const uint8_t*, size_t, uint64_t));
