// Reads the program's icon pixel map (res/soundpath.xpm): a header "W H COLOURS 1", one line a
// colour ("K c #RRGGBB" or "K c None"), then one character a pixel. The build turns it into the
// icons that the program and its packages carry (tools/makeicon.cpp), and the tests check what
// the build made against it; the program itself never reads it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

struct IconPixel {
  bool opaque;
  unsigned rgb;  // 0xRRGGBB where opaque
};

struct PixelMap {
  int w = 0, h = 0;
  std::vector<IconPixel> pixels;  // row by row, top to bottom
  std::string error;              // why it was refused; empty when it was read
};

// From the map's strings, in order: its header, its colours, its rows.
inline PixelMap ReadPixelMap(const std::vector<std::string>& s) {
  PixelMap map;
  int colours = 0, cpp = 0;
  if (s.empty() || std::sscanf(s[0].c_str(), "%d %d %d %d", &map.w, &map.h, &colours, &cpp) != 4 ||
      map.w < 1 || map.h < 1 || cpp != 1 || colours < 1 || colours > 256 ||
      s.size() != static_cast<size_t>(1 + colours + map.h)) {
    map.error = "expected a header of width, height, colours and 1, then its colours and rows";
    return map;
  }
  std::map<char, IconPixel> palette;
  for (int i = 1; i <= colours; i++) {
    char value[32] = {};
    if (s[i].size() < 2 || std::sscanf(s[i].c_str() + 1, " c %31s", value) != 1) {
      map.error = "bad colour line: " + s[i];
      return map;
    }
    const std::string v = value;
    char* end = nullptr;
    const unsigned long rgb =
        v.size() == 7 && v[0] == '#' ? std::strtoul(v.c_str() + 1, &end, 16) : 0;
    if (v == "None") {
      palette[s[i][0]] = IconPixel{false, 0};
    } else if (end != nullptr && *end == '\0') {
      palette[s[i][0]] = IconPixel{true, static_cast<unsigned>(rgb)};
    } else {
      map.error = "colours must be #RRGGBB or None: " + s[i];
      return map;
    }
  }
  for (int y = 0; y < map.h; y++) {
    const std::string& row = s[1 + colours + y];
    if (static_cast<int>(row.size()) != map.w) {
      map.error = "row " + std::to_string(y) + " is not " + std::to_string(map.w) + " wide";
      return map;
    }
    for (char c : row) {
      auto it = palette.find(c);
      if (it == palette.end()) {
        map.error = std::string("undefined pixel character '") + c + "'";
        return map;
      }
      map.pixels.push_back(it->second);
    }
  }
  return map;
}

// The map as C source holds it, once the file is included (as the tests include it).
template <size_t N>
PixelMap ReadPixelMap(const char* (&xpm)[N]) {
  return ReadPixelMap(std::vector<std::string>(xpm, xpm + N));
}

// The pixel at (x, y) of the icon drawn `n` pixels wide, by nearest-neighbour sampling, as
// every image made from the map is made: the pixel art stays crisp.
inline IconPixel ScaledIconPixel(const PixelMap& map, int n, int x, int y) {
  return map.pixels[static_cast<size_t>(y * map.h / n * map.w + x * map.w / n)];
}
