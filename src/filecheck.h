// Checks of the two data files' headers and sizes, made before the library is handed a file.
// The library's loaders trust what a file says: a pointer image of zero or absurd size, pixel
// data that stops short, run-length data that runs past the image, a sample with no samples, or
// a chunk that claims more bytes than the file holds would reach its decoders, its allocator
// and the mixer as they are. These checks refuse such files, with a reason a user can act on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Largest pointer image accepted: far beyond any pointer a window system draws.
constexpr int kMaxPointerSide = 256;
// Largest sample accepted, in bytes of sample data: minutes of CD-quality stereo.
constexpr uint64_t kMaxSampleBytes = 256ull << 20;

// Where the checks read from: up to `n` bytes at `offset` of `source` into `out`; returns how
// many it read. The checks only read headers, never the pixels or the samples.
using ReadAt = size_t (*)(const void* source, uint64_t offset, uint8_t* out, size_t n);

// Each returns an empty string for a file the library may load, else why it is refused.
std::string CheckPointerBmp(ReadAt read, const void* source, uint64_t file_size);
std::string CheckSampleWav(ReadAt read, const void* source, uint64_t file_size);

// The same, on a file held in memory.
std::string CheckPointerBmp(const uint8_t* data, size_t size);
std::string CheckSampleWav(const uint8_t* data, size_t size);
