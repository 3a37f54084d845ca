// The standard VGA 256-colour default palette, shared by the tools that draw
// the demo's art: 16 EGA colours (0..15), a 16-step grey ramp (16..31), 24
// hues at three saturations and three intensities (32..247: bright 32..103,
// medium 104..175, dark 176..247; each intensity is three blocks of 24 hues,
// full saturation first) and 8 blacks. Hue 0 is blue, 4 magenta, 8 red,
// 12 yellow, 16 green, 20 cyan.
#pragma once

#include <cstdint>
#include <vector>

struct PaletteRgb {
  uint8_t r, g, b;
};

// Values are 6-bit DAC levels widened to 8 bits.
inline std::vector<PaletteRgb> VgaPalette() {
  auto widen = [](int v) { return static_cast<uint8_t>(v << 2 | v >> 4); };
  std::vector<PaletteRgb> palette;
  const int ega[16][3] = {{0, 0, 0},    {0, 0, 42},   {0, 42, 0},   {0, 42, 42},  {42, 0, 0},   {42, 0, 42},
                          {42, 21, 0},  {42, 42, 42}, {21, 21, 21}, {21, 21, 63}, {21, 63, 21}, {21, 63, 63},
                          {63, 21, 21}, {63, 21, 63}, {63, 63, 21}, {63, 63, 63}};
  for (auto& c : ega) palette.push_back({widen(c[0]), widen(c[1]), widen(c[2])});
  const int greys[16] = {0, 5, 8, 11, 14, 17, 20, 24, 28, 32, 36, 40, 45, 50, 56, 63};
  for (int g : greys) palette.push_back({widen(g), widen(g), widen(g)});
  // Five levels per (intensity, saturation): min .. max of each channel.
  const int levels[3][3][5] = {{{0, 16, 31, 47, 63}, {31, 39, 47, 55, 63}, {45, 49, 54, 58, 63}},
                               {{0, 7, 14, 21, 28}, {14, 17, 21, 24, 28}, {20, 22, 24, 26, 28}},
                               {{0, 4, 8, 12, 16}, {8, 10, 12, 14, 16}, {11, 12, 13, 15, 16}}};
  for (auto& intensity : levels) {
    for (auto& v : intensity) {
      // 24 hues from blue through magenta, red, yellow, green and cyan.
      for (int hue = 0; hue < 24; ++hue) {
        int step = hue % 4, sector = hue / 4;
        int up = v[step], down = v[4 - step];
        int r, g, b;
        switch (sector) {
          case 0:
            r = up, g = v[0], b = v[4];
            break;
          case 1:
            r = v[4], g = v[0], b = down;
            break;
          case 2:
            r = v[4], g = up, b = v[0];
            break;
          case 3:
            r = down, g = v[4], b = v[0];
            break;
          case 4:
            r = v[0], g = v[4], b = up;
            break;
          default:
            r = v[0], g = down, b = v[4];
            break;
        }
        palette.push_back({widen(r), widen(g), widen(b)});
      }
    }
  }
  while (palette.size() < 256) palette.push_back({0, 0, 0});
  return palette;
}
