// What the build made of the icon's pixel map: the Windows .ico, and the resource that the
// MinGW resource compiler made of res/soundpath.rc, read back entry by entry.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "soundpath.xpm"
#include "xpm_reader.h"

#include <zlib.h>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
unsigned U16(const Bytes& b, size_t at) {
  return b.at(at) | b.at(at + 1) << 8;
}
uint32_t U32(const Bytes& b, size_t at) {
  return U16(b, at) | U16(b, at + 2) << 16;
}

// One entry of a compiled .res file: its type and name are either a number or a string.
struct Resource {
  unsigned type_id = 0, name_id = 0;
  std::string name;
  Bytes data;
};

std::vector<Resource> ReadRes(const Bytes& b) {
  std::vector<Resource> out;
  size_t at = 0;
  while (at + 8 <= b.size()) {
    uint32_t data_size = U32(b, at), header_size = U32(b, at + 4);
    Resource r;
    size_t p = at + 8;
    auto id_or_name = [&](unsigned* id, std::string* name) {
      if (U16(b, p) == 0xffff) {
        *id = U16(b, p + 2);
        p += 4;
      } else {
        for (; U16(b, p) != 0; p += 2) *name += static_cast<char>(U16(b, p));
        p += 2;
      }
    };
    std::string ignored;
    id_or_name(&r.type_id, &ignored);
    id_or_name(&r.name_id, &r.name);
    r.data.assign(b.begin() + at + header_size, b.begin() + at + header_size + data_size);
    if (data_size > 0) out.push_back(r);
    at += header_size + data_size;
    at = (at + 3) & ~size_t{3};
  }
  return out;
}

// The icon image as Windows stores it: a BITMAPINFOHEADER of double height, the palette, the
// pixels bottom-up, then the AND mask bottom-up. Checks it against the pixel map.
void ExpectImageMatchesPixelMap(const Bytes& img) {
  const PixelMap map = ReadPixelMap(soundpath_icon);
  ASSERT_EQ(map.error, "");
  ASSERT_EQ(map.w, 32);
  ASSERT_EQ(map.h, 32);
  const std::vector<IconPixel>& want = map.pixels;
  ASSERT_EQ(U32(img, 0), 40u);
  EXPECT_EQ(U32(img, 4), 32u);
  EXPECT_EQ(U32(img, 8), 64u) << "height counts the image and its mask";
  EXPECT_EQ(U16(img, 14), 8u) << "bits per pixel";
  const size_t palette = 40, pixels = palette + 256 * 4, mask = pixels + 32 * 32;
  ASSERT_EQ(img.size(), mask + 32 * 4);
  int transparent = 0;
  for (int y = 0; y < 32; y++)
    for (int x = 0; x < 32; x++) {
      const IconPixel& p = want[y * 32 + x];
      int row = 31 - y;
      bool masked = img[mask + row * 4 + x / 8] & (0x80 >> (x % 8));
      EXPECT_EQ(masked, !p.opaque) << "mask at (" << x << ", " << y << ")";
      transparent += masked;
      if (p.opaque) {
        size_t c = palette + 4 * img[pixels + row * 32 + x];
        unsigned rgb = img[c + 2] << 16 | img[c + 1] << 8 | img[c];
        EXPECT_EQ(rgb, p.rgb) << "colour at (" << x << ", " << y << ")";
      }
    }
  EXPECT_GT(transparent, 0);
  EXPECT_LT(transparent, 32 * 32 / 2);
}

// The .ico the build made, or another one named in SOUNDPATH_ICO (the icon group read back
// from the Windows executable).
TEST(Icon, TheIcoFileHoldsOne32x32ImageAt8BitsWithItsMask) {
  Bytes ico = Read(std::getenv("SOUNDPATH_ICO") ? std::getenv("SOUNDPATH_ICO") : SOUNDPATH_ICO);
  ASSERT_GE(ico.size(), 22u);
  EXPECT_EQ(U16(ico, 2), 1u) << "an icon";
  ASSERT_EQ(U16(ico, 4), 1u) << "one image";
  EXPECT_EQ(ico[6], 32);
  EXPECT_EQ(ico[7], 32);
  EXPECT_EQ(U16(ico, 12), 8u);
  uint32_t size = U32(ico, 14), offset = U32(ico, 18);
  ASSERT_EQ(offset + size, ico.size());
  ExpectImageMatchesPixelMap(Bytes(ico.begin() + offset, ico.end()));
}

// The group "A" comes first, so that Explorer shows it; the library gives its window the group
// "allegro_icon" (names are kept in capitals). Both show the image made from the pixel map.
TEST(Icon, TheWindowsResourceHasTheIconGroupAAndTheWindowsIcon) {
  constexpr unsigned kRtIcon = 3, kRtGroupIcon = 14;
  std::vector<Resource> res = ReadRes(Read(SOUNDPATH_RES));
  std::vector<const Resource*> groups;
  for (const Resource& r : res)
    if (r.type_id == kRtGroupIcon) groups.push_back(&r);
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0]->name, "A");
  EXPECT_EQ(groups[1]->name, "ALLEGRO_ICON");
  for (const Resource* group : groups) {
    const Bytes& g = group->data;
    ASSERT_EQ(g.size(), 6u + 14u);
    EXPECT_EQ(U16(g, 2), 1u);
    ASSERT_EQ(U16(g, 4), 1u) << "one image in the group";
    EXPECT_EQ(g[6], 32);
    EXPECT_EQ(g[7], 32);
    EXPECT_EQ(U16(g, 12), 8u) << "bits per pixel";
    const unsigned id = U16(g, 18);
    int images = 0;
    for (const Resource& r : res)
      if (r.type_id == kRtIcon && r.name_id == id) {
        images++;
        EXPECT_EQ(r.data.size(), U32(g, 14));
        ExpectImageMatchesPixelMap(r.data);
      }
    EXPECT_EQ(images, 1) << group->name;
  }
}

}  // namespace

namespace {

uint32_t Big32(const Bytes& b, size_t at) {
  return uint32_t(b.at(at)) << 24 | b.at(at + 1) << 16 | b.at(at + 2) << 8 | b.at(at + 3);
}

// An 8-bit RGBA PNG without interlacing, as 0xRRGGBBAA pixels row by row; empty if it is not one.
std::vector<uint32_t> ReadPng(const std::string& path, int* w, int* h) {
  Bytes b = Read(path), packed;
  if (b.size() < 8 || std::memcmp(b.data(), "\x89PNG\r\n\x1a\n", 8) != 0) return {};
  for (size_t at = 8; at + 8 <= b.size(); at += 12 + Big32(b, at)) {
    std::string type(b.begin() + at + 4, b.begin() + at + 8);
    if (type == "IHDR") {
      *w = static_cast<int>(Big32(b, at + 8));
      *h = static_cast<int>(Big32(b, at + 12));
      if (b[at + 16] != 8 || b[at + 17] != 6 || b[at + 20] != 0) return {};
    } else if (type == "IDAT") {
      packed.insert(packed.end(), b.begin() + at + 8, b.begin() + at + 8 + Big32(b, at));
    }
  }
  Bytes rows(size_t(*h) * (1 + 4 * size_t(*w)));
  uLongf size = rows.size();
  if (uncompress(rows.data(), &size, packed.data(), packed.size()) != Z_OK || size != rows.size())
    return {};
  std::vector<uint32_t> px;
  for (int y = 0; y < *h; y++) {
    size_t row = y * (1 + 4 * size_t(*w));
    if (rows[row] != 0) return {};  // a filter this reader does not undo
    for (int x = 0; x < *w; x++) px.push_back(Big32(rows, row + 1 + 4 * x));
  }
  return px;
}

TEST(Icon, TheThemeIconsAreThePixelMapScaledPixelForPixel) {
  const PixelMap map = ReadPixelMap(soundpath_icon);
  ASSERT_EQ(map.error, "");
  const int w = map.w;
  const std::vector<IconPixel>& want = map.pixels;
  for (int n : {16, 24, 32, 48, 64, 128, 256}) {
    const std::string size = std::to_string(n) + "x" + std::to_string(n);
    int pw = 0, ph = 0;
    std::vector<uint32_t> png =
        ReadPng(SOUNDPATH_ICONS "/" + size + "/apps/soundpath.png", &pw, &ph);
    ASSERT_EQ(png.size(), size_t(n) * n) << size;
    ASSERT_EQ(pw, n);
    if (n % w != 0) continue;  // smaller and in-between sizes are sampled, not multiplied
    for (int y = 0; y < n; y++)
      for (int x = 0; x < n; x++) {
        const IconPixel& p = want[(y / (n / w)) * w + x / (n / w)];
        ASSERT_EQ(png[y * n + x], p.opaque ? p.rgb << 8 | 0xff : 0u)
            << size << " at (" << x << ", " << y << ")";
      }
  }
}

}  // namespace
