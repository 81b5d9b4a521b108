#include "filecheck.h"

#include <cstring>

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kOs2HeaderSize = 12;
constexpr uint32_t kWindowsHeaderSize = 40;
constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3;  // compression kinds

constexpr uint32_t kChunkHeader = 8;
constexpr uint32_t kFormatSize = 16;
constexpr int kMaxChunks = 1024;  // far more than any real WAV file has
constexpr uint32_t kUnskippable = 0x80000000u;

uint32_t U16(const uint8_t* b) {
  return b[0] | b[1] << 8;
}
uint32_t U32(const uint8_t* b) {
  return U16(b) | U16(b + 2) << 16;
}

struct Memory {
  const uint8_t* data;
  size_t size;
};

size_t ReadMemory(const void* source, uint64_t offset, uint8_t* out, size_t n) {
  const Memory* m = static_cast<const Memory*>(source);
  if (offset >= m->size) return 0;
  size_t got = n < m->size - offset ? n : static_cast<size_t>(m->size - offset);
  std::memcpy(out, m->data + offset, got);
  return got;
}

}  // namespace

std::string CheckPointerBmp(ReadAt read, const void* source, uint64_t file_size) {
  if (file_size == 0) return "the file is empty";
  uint8_t b[kFileHeaderSize + kWindowsHeaderSize] = {};
  const size_t n = read(source, 0, b, sizeof b);
  if (n < 2 || b[0] != 'B' || b[1] != 'M') return "not a BMP file";
  if (n < kFileHeaderSize + 4) return "the file stops inside its header";
  const uint32_t pixels_at = U32(b + 10);
  const uint32_t header = U32(b + 14);
  if (header != kOs2HeaderSize && header != kWindowsHeaderSize)
    return "an unsupported kind of BMP header (" + std::to_string(header) + " bytes)";
  if (n < kFileHeaderSize + header) return "the file stops inside its header";

  int64_t w, h;
  uint32_t planes, bpp, compression = kRgb, colours = 0;
  const uint8_t* p = b + kFileHeaderSize;
  if (header == kOs2HeaderSize) {
    w = static_cast<int16_t>(U16(p + 4));
    h = static_cast<int16_t>(U16(p + 6));
    planes = U16(p + 8);
    bpp = U16(p + 10);
  } else {
    w = static_cast<int32_t>(U32(p + 4));
    h = static_cast<int32_t>(U32(p + 8));
    planes = U16(p + 12);
    bpp = U16(p + 14);
    compression = U32(p + 16);
    colours = U32(p + 32);
  }
  if (h < 0) return "a top-down BMP (negative height), which the library cannot read";
  if (w <= 0 || h == 0) return "an image with no pixels";
  if (w > kMaxPointerSide || h > kMaxPointerSide)
    return std::to_string(w) + "x" + std::to_string(h) + " pixels, more than a pointer of " +
           std::to_string(kMaxPointerSide) + "x" + std::to_string(kMaxPointerSide) + " may be";
  if (planes != 1) return "an invalid number of planes";
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    return "an unsupported depth of " + std::to_string(bpp) + " bits per pixel";
  // The library's run-length decoders write wherever a crafted run tells them to, past the
  // image's end; a pointer image is small enough to be stored plainly.
  if (compression == kRle8 || compression == kRle4)
    return "run-length compression, which is not accepted";
  if (compression != kRgb && !(compression == kBitfields && (bpp == 16 || bpp == 32)))
    return "an unsupported compression";
  if (bpp <= 8 && colours > (1u << bpp)) return "more palette colours than its depth allows";

  if (pixels_at < kFileHeaderSize + header || pixels_at >= file_size)
    return "its pixel data lies outside the file";
  const uint64_t row = ((static_cast<uint64_t>(w) * bpp + 31) / 32) * 4;
  if (pixels_at + row * static_cast<uint64_t>(h) > file_size) return "the pixel data is cut short";
  return "";
}

// The chunks are walked as the library walks them: one after the other, every "fmt " and "data"
// chunk taken as it comes, with no padding after odd sizes, and after a data chunk from where
// its last whole sample ends. A chunk of another name that runs past the end of the file only
// ends the library's walk; a "fmt " or "data" chunk that does would be read from beyond it.
// The walk is bounded: each step moves on by at least a chunk header, and kMaxChunks steps.
std::string CheckSampleWav(ReadAt read, const void* source, uint64_t file_size) {
  if (file_size == 0) return "the file is empty";
  uint8_t b[kChunkHeader + kFormatSize];
  if (read(source, 0, b, 12) < 12 || std::memcmp(b, "RIFF", 4) != 0 ||
      std::memcmp(b + 8, "WAVE", 4) != 0)
    return "not a WAV file";
  bool have_format = false, have_data = false;
  uint32_t block = 0;
  uint64_t at = 12;
  for (int chunks = 0; at + 4 <= file_size; chunks++) {
    if (chunks == kMaxChunks) return "too many chunks";
    const size_t got = read(source, at, b, kChunkHeader);
    const bool is_format = std::memcmp(b, "fmt ", 4) == 0;
    const bool is_data = std::memcmp(b, "data", 4) == 0;
    // The library skips a chunk by a signed seek: one of 2 GiB or more it cannot skip, and
    // reads on from inside it.
    if (got == kChunkHeader && !is_format && !is_data && U32(b + 4) >= kUnskippable) {
      at += kChunkHeader;
      continue;
    }
    if (got < kChunkHeader || at + kChunkHeader + U32(b + 4) > file_size) {
      if (is_data) return "it claims more sample data than the file holds";
      if (is_format) return "its format chunk is cut short";
      break;
    }
    const uint64_t size = U32(b + 4);
    if (is_format) {
      if (have_format) return "more than one format chunk";
      if (size < kFormatSize || read(source, at + kChunkHeader, b, kFormatSize) < kFormatSize)
        return "its format chunk is cut short";
      const uint32_t format = U16(b), channels = U16(b + 2), rate = U32(b + 4);
      const uint32_t bits = U16(b + 14);
      block = U16(b + 12);
      if (format != 1) return "not integer PCM (format " + std::to_string(format) + ")";
      if (channels != 1 && channels != 2) return "neither mono nor stereo";
      if (bits != 8 && bits != 16)
        return std::to_string(bits) + "-bit samples; only 8 and 16 bits can be played";
      if (rate == 0) return "a sample rate of 0";
      if (block != channels * bits / 8) return "an inconsistent block size";
      have_format = true;
      at += kChunkHeader + size;
    } else if (is_data) {
      if (have_data) return "more than one data chunk";
      if (!have_format) return "sample data before its format";
      if (size < block) return "no samples";
      if (size > kMaxSampleBytes) return "more sample data than the program will hold";
      have_data = true;
      at += kChunkHeader + size / block * block;
    } else {
      at += kChunkHeader + size;
    }
  }
  if (!have_format) return "no format chunk";
  return have_data ? "" : "no sample data";
}

std::string CheckPointerBmp(const uint8_t* data, size_t size) {
  Memory m{data, size};
  return CheckPointerBmp(ReadMemory, &m, size);
}

std::string CheckSampleWav(const uint8_t* data, size_t size) {
  Memory m{data, size};
  return CheckSampleWav(ReadMemory, &m, size);
}
