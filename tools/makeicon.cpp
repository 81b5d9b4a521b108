// Turns the program's icon, kept as a reviewable text pixel map (res/soundpath.xpm: a palette,
// then one character a pixel), into what the program and its packages carry:
//   - the PNGs of the desktop's icon theme below ICON_THEME_DIR (NxN/apps/soundpath.png), from
//     16 to 256 pixels (the build hands the 32-pixel one to icotool for the Windows .ico);
//   - WINDOW_ICONS, a C++ header holding the window's own icons, 16 to 128 pixels, as X11's
//     _NET_WM_ICON property holds them, so that the program reads no pixel map when it runs.
// Every size is scaled with nearest-neighbour sampling, so that the pixel art stays crisp: by
// whole factors at 32, 64, 128 and 256 pixels; at 48 each source pixel covers one or two target
// pixels; at 24 every fourth row and column is left out; and at 16 every second one (the top
// left pixel of each 2x2 block stands for it).
//
//   makeicon SOURCE.xpm ICON_THEME_DIR WINDOW_ICONS
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "xpm_reader.h"

namespace {

constexpr int kThemeSizes[] = {16, 24, 32, 48, 64, 128, 256};
// A window's icon is not drawn larger than this; the theme has the largest.
constexpr int kWindowSizes[] = {16, 24, 32, 48, 64, 128};

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

// An RGBA PNG of the map at `n` x `n` pixels, rows unfiltered and nothing but the image in it
// (no time, no text), so that the same map always gives the same bytes.
bool WritePng(const std::string& path, const PixelMap& map, int n) {
  std::vector<png_byte> rgba;
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      const IconPixel p = ScaledIconPixel(map, n, x, y);
      rgba.insert(rgba.end(),
                  {static_cast<png_byte>(p.rgb >> 16), static_cast<png_byte>(p.rgb >> 8),
                   static_cast<png_byte>(p.rgb), static_cast<png_byte>(p.opaque ? 0xff : 0)});
    }
  std::vector<png_bytep> rows;
  for (int y = 0; y < n; y++) rows.push_back(rgba.data() + 4 * static_cast<size_t>(n) * y);

  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  const bool ok = info != nullptr && setjmp(png_jmpbuf(png)) == 0;
  if (ok) {  // libpng returns here through longjmp when it fails
    png_init_io(png, out);
    png_set_IHDR(png, info, n, n, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, 9);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  }
  png_destroy_write_struct(&png, &info);
  return std::fclose(out) == 0 && ok;
}

// Each icon as its width, its height, then its pixels as 0xAARRGGBB, one to a long.
bool WriteWindowIcons(const std::string& path, const PixelMap& map) {
  std::ofstream out(path);
  out << "// Made by tools/makeicon.cpp from res/soundpath.xpm: the window's icons as X11's\n"
         "// _NET_WM_ICON holds them: each one's width, height, then ARGB pixels row by row.\n"
         "#pragma once\n\n"
         "static const unsigned long kWindowIcons[] = {\n";
  for (int n : kWindowSizes) {
    out << "    " << n << ", " << n << ",";
    for (int i = 0; i < n * n; i++) {
      const IconPixel p = ScaledIconPixel(map, n, i % n, i / n);
      char argb[16];
      std::snprintf(argb, sizeof argb, "0x%08lx", p.opaque ? 0xff000000ul | p.rgb : 0ul);
      out << (i % 8 == 0 ? "\n    " : " ") << argb << ",";
    }
    out << "\n";
  }
  out << "};\n";
  return static_cast<bool>(out);
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "makeicon: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Fail("usage: makeicon SOURCE.xpm ICON_THEME_DIR WINDOW_ICONS");
  std::ifstream in(argv[1]);
  std::stringstream text;
  text << in.rdbuf();
  const PixelMap map = ReadPixelMap(QuotedStrings(text.str()));
  if (!map.error.empty()) return Fail(std::string(argv[1]) + ": " + map.error);
  for (int n : kThemeSizes) {
    const std::string size = std::to_string(n) + "x" + std::to_string(n);
    const std::filesystem::path dir = std::filesystem::path(argv[2]) / size / "apps";
    std::filesystem::create_directories(dir);
    if (!WritePng((dir / "soundpath.png").string(), map, n))
      return Fail("could not write the " + size + " icon");
  }
  if (!WriteWindowIcons(argv[3], map)) return Fail(std::string("could not write ") + argv[3]);
  return 0;
}
