// Reads the program's icon pixel map (res/soundpath.xpm, compiled in): one character a pixel,
// colours as #RRGGBB or None. The Linux program builds its window's icons from it, and the tests
// check what the build made of it.
#pragma once

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "soundpath.xpm"

struct IconPixel {
  bool opaque;
  unsigned rgb;  // 0xRRGGBB where opaque
};

// Row by row, top to bottom.
inline std::vector<IconPixel> IconPixels(int* w, int* h) {
  int colours = 0, cpp = 0;
  std::sscanf(soundpath_icon[0], "%d %d %d %d", w, h, &colours, &cpp);
  std::map<char, IconPixel> palette;
  for (int i = 1; i <= colours; i++) {
    const char* line = soundpath_icon[i];
    const char* value = std::strstr(line + 1, " c ") + 3;
    palette[line[0]] =
        std::strcmp(value, "None") == 0
            ? IconPixel{false, 0}
            : IconPixel{true, static_cast<unsigned>(std::stoul(value + 1, nullptr, 16))};
  }
  std::vector<IconPixel> out;
  for (int y = 0; y < *h; y++)
    for (int x = 0; x < *w; x++) out.push_back(palette.at(soundpath_icon[1 + colours + y][x]));
  return out;
}

// The pixel at (x, y) of the icon drawn `n` pixels wide, taken from `pixels` (`w` wide) by
// nearest-neighbour sampling, as the icon theme's images are made, so that they are the same.
inline IconPixel ScaledIconPixel(const std::vector<IconPixel>& pixels, int w, int n, int x, int y) {
  return pixels[static_cast<size_t>(y * w / n * w + x * w / n)];
}
