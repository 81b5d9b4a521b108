#include "filecheck.h"

#include <sys/stat.h>
#include <fstream>
#include <vector>

namespace {

constexpr uint32_t kOs2HeaderSize = 12;
constexpr uint32_t kWindowsHeaderSize = 40;
constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3;  // compression kinds

uint32_t U16(const uint8_t* b) {
  return b[0] | b[1] << 8;
}
uint32_t U32(const uint8_t* b) {
  return U16(b) | U16(b + 2) << 16;
}

}  // namespace

std::string CheckPointerBmp(const uint8_t* b, size_t n, uint64_t file_size) {
  if (file_size == 0) return "the file is empty";
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
  const bool compression_fits =
      compression == kRgb || (compression == kBitfields && (bpp == 16 || bpp == 32));
  if (!compression_fits) return "an unsupported compression";
  if (bpp <= 8 && colours > (1u << bpp)) return "more palette colours than its depth allows";

  if (pixels_at < kFileHeaderSize + header || pixels_at >= file_size)
    return "its pixel data lies outside the file";
  if (compression == kRgb || compression == kBitfields) {
    const uint64_t row = ((static_cast<uint64_t>(w) * bpp + 31) / 32) * 4;
    if (pixels_at + row * static_cast<uint64_t>(h) > file_size)
      return "the pixel data is cut short";
  }
  return "";
}

std::string CheckSampleWav(const uint8_t* b, size_t n, uint64_t file_size) {
  if (file_size == 0) return "the file is empty";
  if (n < 12 || std::string(b, b + 4) != "RIFF" || std::string(b + 8, b + 12) != "WAVE")
    return "not a WAV file";
  bool have_format = false;
  uint32_t channels = 0, bits = 0, rate = 0, block = 0;
  for (uint64_t at = 12; at + 8 <= n;) {
    const std::string id(b + at, b + at + 4);
    const uint64_t size = U32(b + at + 4);
    const uint8_t* body = b + at + 8;
    if (id == "fmt ") {
      if (size < 16 || at + 8 + 16 > n) return "its format chunk is cut short";
      const uint32_t format = U16(body);
      channels = U16(body + 2);
      rate = U32(body + 4);
      block = U16(body + 12);
      bits = U16(body + 14);
      if (format != 1) return "not integer PCM (format " + std::to_string(format) + ")";
      if (channels != 1 && channels != 2) return "neither mono nor stereo";
      if (bits != 8 && bits != 16)
        return std::to_string(bits) + "-bit samples; only 8 and 16 bits can be played";
      if (rate == 0) return "a sample rate of 0";
      if (block != channels * bits / 8) return "an inconsistent block size";
      have_format = true;
    } else if (id == "data") {
      if (!have_format) return "sample data before its format";
      if (size == 0) return "no samples";
      if (at + 8 + size > file_size) return "it claims more sample data than the file holds";
      if (size > kMaxSampleBytes) return "more sample data than the program will hold";
      if (size < block) return "no samples";
      return "";
    }
    at += 8 + size + (size & 1);
  }
  return have_format ? "no sample data" : "no format chunk";
}

std::string CheckFile(const char* path, std::string (*check)(const uint8_t*, size_t, uint64_t)) {
  struct stat st;
  if (stat(path, &st) != 0) return "it is missing or cannot be reached";
  if (!S_ISREG(st.st_mode)) return "it is not a regular file";
  std::ifstream in(path, std::ios::binary);
  if (!in) return "it cannot be read";
  std::vector<uint8_t> head(kCheckedBytes);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  if (in.bad()) return "it cannot be read";
  return check(head.data(), head.size(), static_cast<uint64_t>(st.st_size));
}
