#include "fault_files.h"

#include <cmath>
#include <utility>

#include "le_bytes.h"

namespace faults {

namespace {

bool OnCross(int x, int y) {
  return (x == 15 && y >= 2 && y <= 28) || (y == 15 && x >= 2 && x <= 28);
}

Contents Of(std::string bytes) {
  return [bytes = std::move(bytes)] { return bytes; };
}

}  // namespace

std::string Bmp(int w, int h, int bpp, bool top_down) {
  const int palette = bpp <= 8 ? (1 << bpp) : 0;
  const int row_bytes = ((w * bpp + 31) / 32) * 4;
  const uint32_t offset = 14 + 40 + palette * 4;
  std::string b = "BM";
  Put32(b, offset + row_bytes * h);
  Put32(b, 0);
  Put32(b, offset);
  Put32(b, 40);
  Put32(b, w);
  Put32(b, top_down ? static_cast<uint32_t>(-h) : h);
  Put16(b, 1);
  Put16(b, bpp);
  Put32(b, 0);
  Put32(b, row_bytes * h);
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, palette);
  Put32(b, 0);
  for (int i = 0; i < palette; i++) Put32(b, i == 0 ? 0 : i == 1 || i == 15 ? 0xffffff : 0x808080);
  for (int r = 0; r < h; r++) {
    int y = top_down ? r : h - 1 - r;
    std::string row(row_bytes, '\0');
    for (int x = 0; x < w; x++) {
      bool on = OnCross(x, y);
      switch (bpp) {
        case 1:  // index 1 is white in this file's palette
          if (on) row[x / 8] |= static_cast<char>(0x80 >> (x % 8));
          break;
        case 4:
          if (on) row[x / 2] |= static_cast<char>(x % 2 ? 0x0f : 0xf0);
          break;
        case 8:
          row[x] = on ? 15 : 0;
          break;
        default:  // 24 or 32: white on the library's transparent magenta
          for (int c = 0; c < bpp / 8; c++)
            row[x * (bpp / 8) + c] = static_cast<char>(on ? 0xff : c == 1 ? 0x00 : 0xff);
      }
    }
    b += row;
  }
  return b;
}

std::string Wav(int channels, int rate, int bits, int frames, int format, long claimed_bytes) {
  const int bytes = bits / 8;
  std::string data;
  for (int i = 0; i < frames; i++) {
    double v = 0.5 * std::sin(2 * M_PI * 441.0 * i / rate);
    for (int c = 0; c < channels; c++) {
      if (format == 3) {
        float f = static_cast<float>(v);
        uint32_t u;
        static_assert(sizeof u == sizeof f);
        __builtin_memcpy(&u, &f, sizeof u);
        Put32(data, u);
      } else if (bits == 8) {
        data += static_cast<char>(128 + static_cast<int>(v * 127));
      } else {
        long s = std::lround(v * ((1L << (bits - 1)) - 1));
        for (int k = 0; k < bytes; k++) data += static_cast<char>((s >> (8 * k)) & 0xff);
      }
    }
  }
  std::string b = "RIFF";
  Put32(b, 36 + data.size());
  b += "WAVEfmt ";
  Put32(b, 16);
  Put16(b, format);
  Put16(b, channels);
  Put32(b, rate);
  Put32(b, rate * channels * bytes);
  Put16(b, channels * bytes);
  Put16(b, bits);
  b += "data";
  Put32(b, claimed_bytes >= 0 ? static_cast<uint32_t>(claimed_bytes) : data.size());
  return b + data;
}

std::vector<Case> FileCases() {
  const std::string bmp = Bmp(32, 32, 8);
  const std::string wav = Wav(1, 44100, 16, 22050);
  std::string huge_dims = bmp;
  huge_dims[18] = huge_dims[19] = huge_dims[20] = '\xff';  // width about 16 million
  huge_dims[21] = 0x00;
  huge_dims[22] = huge_dims[23] = huge_dims[24] = '\xff';  // height likewise
  huge_dims[25] = 0x00;
  std::string zero_dims = bmp;
  for (int i = 18; i < 26; i++) zero_dims[i] = 0;
  const std::string none = "<none>", dir = "<dir>";
  return {
      {"both files missing", Of(none), Of(none), false, false},
      {"bmp empty", Of(""), Of(wav), false, true},
      {"bmp truncated in its header", Of(bmp.substr(0, 30)), Of(wav), false, true},
      {"bmp truncated in its pixels", Of(bmp.substr(0, bmp.size() - 500)), Of(wav), false, true},
      {"bmp not a bmp", Of("GIF89a this is not a bitmap at all"), Of(wav), false, true},
      {"bmp a directory", Of(dir), Of(wav), false, true},
      {"bmp absurd width and height", Of(huge_dims), Of(wav), false, true},
      {"bmp zero width and height", Of(zero_dims), Of(wav), false, true},
      {"bmp top-down (negative height)", Of(Bmp(32, 32, 8, true)), Of(wav), false, true},
      {"bmp 1 bit", Of(Bmp(32, 32, 1)), Of(wav), true, true},
      {"bmp 4 bits", Of(Bmp(32, 32, 4)), Of(wav), true, true},
      {"bmp 24 bits", Of(Bmp(32, 32, 24)), Of(wav), true, true},
      {"bmp 32 bits", Of(Bmp(32, 32, 32)), Of(wav), true, true},
      {"bmp very large but valid", [] { return Bmp(4000, 4000, 8); }, Of(wav), false, true},
      {"wav empty", Of(bmp), Of(""), true, false},
      {"wav truncated", Of(bmp), Of(wav.substr(0, 30)), true, false},
      {"wav not a wav", Of(bmp), Of("OggS this is not a wave file"), true, false},
      {"wav a directory", Of(bmp), Of(dir), true, false},
      {"wav claims more data than it has", Of(bmp), Of(Wav(1, 44100, 16, 1000, 1, 10000000)), true,
       false},
      {"wav zero samples", Of(bmp), Of(Wav(1, 44100, 16, 0)), true, false},
      {"wav 8 bits", Of(bmp), Of(Wav(1, 44100, 8, 22050)), true, true},
      {"wav 16-bit stereo", Of(bmp), Of(Wav(2, 44100, 16, 22050)), true, true},
      {"wav 8 kHz", Of(bmp), Of(Wav(1, 8000, 16, 4000)), true, true},
      {"wav 96 kHz", Of(bmp), Of(Wav(1, 96000, 16, 48000)), true, true},
      {"wav 24 bits", Of(bmp), Of(Wav(1, 44100, 24, 22050)), true, false},
      {"wav floating point", Of(bmp), Of(Wav(1, 44100, 32, 22050, 3)), true, false},
      {"wav very large but valid", Of(bmp), [] { return Wav(2, 44100, 16, 44100 * 60 * 5); }, true,
       true},
  };
}

}  // namespace faults
