// Writes soundpath's two default data files into the given directory, the same bytes every time:
//   crosshair.bmp  32x32, 8 bits per pixel: a white cross with a dark outline, centred on pixel
//                  (15, 15). The program loads it without its palette, so what matters are the
//                  pixel indexes under the library's default palette (0 transparent, 15 white);
//                  the file's own palette is that default palette, so viewers show the same.
//   sound.wav      a 16-bit mono tone at 441 Hz with its first eight harmonics: exactly 220
//                  periods, so it loops without a click, and rich enough that pitch changes are
//                  easy to hear.
#include <allegro.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "le_bytes.h"

namespace {

constexpr int kSize = 32;
constexpr int kCentre = 15;
constexpr int kArm = 13;  // pixels from the centre to the end of each arm
constexpr uint8_t kTransparent = 0;
constexpr uint8_t kWhite = 15;
constexpr uint8_t kOutline = 16;  // black in the default palette, but not the transparent index

constexpr int kRate = 44100;
constexpr int kPeriod = 100;  // samples: 441 Hz
constexpr int kPeriods = 220;
constexpr int kHarmonics = 8;
constexpr double kPeak = 0.6;  // of full scale, leaving headroom for the mixer
constexpr double kPi = 3.14159265358979323846;

void PutTag(std::vector<uint8_t>& b, const char* tag) {
  b.insert(b.end(), tag, tag + 4);
}

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::vector<uint8_t> Crosshair() {
  uint8_t px[kSize][kSize] = {};
  auto on_cross = [](int x, int y) {
    return (y == kCentre && std::abs(x - kCentre) <= kArm) ||
           (x == kCentre && std::abs(y - kCentre) <= kArm);
  };
  for (int y = 0; y < kSize; y++)
    for (int x = 0; x < kSize; x++) {
      if (on_cross(x, y)) {
        px[y][x] = kWhite;
        continue;
      }
      for (int dy = -1; dy <= 1; dy++)
        for (int dx = -1; dx <= 1; dx++)
          if (on_cross(x + dx, y + dy)) px[y][x] = kOutline;
    }

  constexpr uint32_t kHeaders = 14 + 40 + 256 * 4;
  std::vector<uint8_t> b;
  b.push_back('B');
  b.push_back('M');
  Put32(b, kHeaders + kSize * kSize);
  Put32(b, 0);
  Put32(b, kHeaders);
  Put32(b, 40);
  Put32(b, kSize);
  Put32(b, kSize);
  Put16(b, 1);
  Put16(b, 8);
  Put32(b, 0);  // no compression
  Put32(b, kSize * kSize);
  Put32(b, 2835);  // 72 dpi
  Put32(b, 2835);
  Put32(b, 256);
  Put32(b, 0);
  for (int i = 0; i < 256; i++) {  // blue, green, red, reserved
    b.push_back(_rgb_scale_6[default_palette[i].b]);
    b.push_back(_rgb_scale_6[default_palette[i].g]);
    b.push_back(_rgb_scale_6[default_palette[i].r]);
    b.push_back(0);
  }
  for (int y = kSize - 1; y >= 0; y--)  // bottom-up rows; 32 bytes need no padding
    for (int x = 0; x < kSize; x++) b.push_back(px[y][x] ? px[y][x] : kTransparent);
  return b;
}

std::vector<uint8_t> Tone() {
  std::vector<double> wave(kPeriod);
  double peak = 0;
  for (int i = 0; i < kPeriod; i++) {
    for (int h = 1; h <= kHarmonics; h++) wave[i] += std::sin(2 * kPi * h * i / kPeriod) / h;
    peak = std::fmax(peak, std::fabs(wave[i]));
  }
  const uint32_t data_bytes = kPeriod * kPeriods * 2;
  std::vector<uint8_t> b;
  PutTag(b, "RIFF");
  Put32(b, 36 + data_bytes);
  PutTag(b, "WAVE");
  PutTag(b, "fmt ");
  Put32(b, 16);
  Put16(b, 1);  // PCM
  Put16(b, 1);  // mono
  Put32(b, kRate);
  Put32(b, kRate * 2);
  Put16(b, 2);
  Put16(b, 16);
  PutTag(b, "data");
  Put32(b, data_bytes);
  for (int n = 0; n < kPeriods; n++)
    for (int i = 0; i < kPeriod; i++)
      Put16(b, static_cast<uint16_t>(
                   static_cast<int16_t>(std::lround(wave[i] / peak * kPeak * 32767))));
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : ".";
  if (!Write(dir + "/crosshair.bmp", Crosshair())) {
    std::fprintf(stderr, "makedata: cannot write %s/crosshair.bmp\n", dir.c_str());
    return 1;
  }
  if (!Write(dir + "/sound.wav", Tone())) {
    std::fprintf(stderr, "makedata: cannot write %s/sound.wav\n", dir.c_str());
    return 1;
  }
  return 0;
}
END_OF_MAIN()
