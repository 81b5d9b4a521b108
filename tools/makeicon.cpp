// Turns the program's icon, kept as a reviewable text pixel map (res/soundpath.xpm: a palette,
// then one character a pixel), into the Windows icon file: one 32x32 image at 8 bits per pixel
// with a 256-colour palette, and an AND mask that is set wherever the pixel map says "None".
// Given a third argument, it also writes the PNGs of the desktop's icon theme below that
// directory (NxN/apps/soundpath.png), scaled with nearest-neighbour sampling so that the pixel
// art stays crisp: by whole factors at 32, 64, 128 and 256 pixels; at 48 each source pixel
// covers one or two target pixels; at 24 every fourth row and column is left out; and at 16
// every second one (the top left pixel of each 2x2 block stands for it).
//
//   makeicon SOURCE.xpm OUTPUT.ico [ICON_THEME_DIR]
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "le_bytes.h"

namespace {

constexpr int kSize = 32;
constexpr int kPaletteSize = 256;
constexpr int kMaskRowBytes = kSize / 8;

struct Colour {
  uint8_t r, g, b;
};

// The quoted strings of the XPM, in order: its header, its colours, its rows.
std::vector<std::string> QuotedStrings(const std::string& text) {
  std::vector<std::string> out;
  for (size_t at = text.find('"'); at != std::string::npos; at = text.find('"', at + 1)) {
    size_t end = text.find('"', at + 1);
    if (end == std::string::npos) break;
    out.push_back(text.substr(at + 1, end - at - 1));
    at = end;
  }
  return out;
}

constexpr int kThemeSizes[] = {16, 24, 32, 48, 64, 128, 256};

void PutBig32(std::vector<uint8_t>& b, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
  PutBig32(png, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  png.insert(png.end(), body.begin(), body.end());
  PutBig32(png, static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

// An RGBA PNG of `n` x `n` pixels; `rgba(x, y)` gives the 32x32 map's pixel as 0xRRGGBBAA.
template <class Pixel>
std::vector<uint8_t> Png(int n, Pixel rgba) {
  std::vector<uint8_t> rows;
  for (int y = 0; y < n; y++) {
    rows.push_back(0);  // no filter
    for (int x = 0; x < n; x++) PutBig32(rows, rgba(x * kSize / n, y * kSize / n));
  }
  uLongf packed_size = compressBound(rows.size());
  std::vector<uint8_t> packed(packed_size);
  compress2(packed.data(), &packed_size, rows.data(), rows.size(), Z_BEST_COMPRESSION);
  packed.resize(packed_size);

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'}, header;
  PutBig32(header, n);
  PutBig32(header, n);
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits a channel, RGBA, no interlace
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", packed);
  PutChunk(png, "IEND", {});
  return png;
}

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "makeicon: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) return Fail("usage: makeicon SOURCE.xpm OUTPUT.ico [ICON_THEME_DIR]");
  std::ifstream in(argv[1]);
  std::stringstream text;
  text << in.rdbuf();
  std::vector<std::string> s = QuotedStrings(text.str());
  if (s.empty()) return Fail(std::string("no pixel map in ") + argv[1]);

  int w = 0, h = 0, colours = 0, cpp = 0;
  if (std::sscanf(s[0].c_str(), "%d %d %d %d", &w, &h, &colours, &cpp) != 4 || w != kSize ||
      h != kSize || cpp != 1 || colours < 1 || colours > kPaletteSize ||
      static_cast<int>(s.size()) != 1 + colours + h)
    return Fail("expected a 32x32 map with one character a pixel and at most 256 colours");

  // Palette index 0 stands for the transparent pixels; the colours follow in their order.
  std::map<char, int> index;
  std::vector<Colour> palette(kPaletteSize, Colour{0, 0, 0});
  char transparent = 0;
  int next = 1;
  for (int i = 1; i <= colours; i++) {
    char key = s[i][0];
    char value[32] = {};
    if (std::sscanf(s[i].c_str() + 1, " c %31s", value) != 1)
      return Fail("bad colour line: " + s[i]);
    std::string v = value;
    if (v == "None") {
      transparent = key;
      index[key] = 0;
    } else if (v.size() == 7 && v[0] == '#') {
      unsigned rgb = std::stoul(v.substr(1), nullptr, 16);
      palette[next] = Colour{uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)};
      index[key] = next++;
    } else {
      return Fail("colours must be #RRGGBB or None: " + s[i]);
    }
  }

  std::vector<uint8_t> pixels, mask;
  for (int y = kSize - 1; y >= 0; y--) {  // bottom-up, as Windows stores them
    const std::string& row = s[1 + colours + y];
    if (static_cast<int>(row.size()) != kSize) return Fail("a row is not 32 pixels wide");
    uint8_t bits[kMaskRowBytes] = {};
    for (int x = 0; x < kSize; x++) {
      auto it = index.find(row[x]);
      if (it == index.end()) return Fail(std::string("undefined pixel character '") + row[x] + "'");
      pixels.push_back(static_cast<uint8_t>(it->second));
      if (row[x] == transparent) bits[x / 8] |= 0x80 >> (x % 8);
    }
    mask.insert(mask.end(), bits, bits + kMaskRowBytes);
  }

  const uint32_t image_bytes = 40 + kPaletteSize * 4 + pixels.size() + mask.size();
  std::vector<uint8_t> ico;
  Put16(ico, 0);  // ICONDIR: reserved, type 1 (icon), one image
  Put16(ico, 1);
  Put16(ico, 1);
  ico.push_back(kSize);  // ICONDIRENTRY
  ico.push_back(kSize);
  ico.push_back(0);  // 0 means 256 colours
  ico.push_back(0);
  Put16(ico, 1);  // planes
  Put16(ico, 8);  // bits per pixel
  Put32(ico, image_bytes);
  Put32(ico, 6 + 16);
  Put32(ico, 40);  // BITMAPINFOHEADER; the height counts the image and its mask
  Put32(ico, kSize);
  Put32(ico, 2 * kSize);
  Put16(ico, 1);
  Put16(ico, 8);
  Put32(ico, 0);
  Put32(ico, pixels.size() + mask.size());
  Put32(ico, 0);
  Put32(ico, 0);
  Put32(ico, kPaletteSize);
  Put32(ico, 0);
  for (const Colour& c : palette) {
    ico.push_back(c.b);
    ico.push_back(c.g);
    ico.push_back(c.r);
    ico.push_back(0);
  }
  ico.insert(ico.end(), pixels.begin(), pixels.end());
  ico.insert(ico.end(), mask.begin(), mask.end());

  if (!Write(argv[2], ico)) return Fail(std::string("cannot write ") + argv[2]);

  if (argc == 4) {
    auto rgba = [&](int x, int y) -> uint32_t {
      uint8_t i = pixels[(kSize - 1 - y) * kSize + x];  // the rows above are bottom-up
      const Colour& c = palette[i];
      return i == 0 ? 0u : uint32_t(c.r) << 24 | uint32_t(c.g) << 16 | uint32_t(c.b) << 8 | 0xff;
    };
    for (int n : kThemeSizes) {
      const std::string dir =
          std::string(argv[3]) + "/" + std::to_string(n) + "x" + std::to_string(n) + "/apps";
      std::filesystem::create_directories(dir);
      if (!Write(dir + "/soundpath.png", Png(n, rgba))) return Fail("cannot write in " + dir);
    }
  }
  return 0;
}
