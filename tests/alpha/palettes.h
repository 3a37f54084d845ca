// Palettes for the alpha table tests and benchmark, as 1024 bytes of blue,
// green, red, reserved.
#pragma once

#include <array>
#include <cstdint>
#include <random>

namespace alpha_palettes {

using PaletteBytes = std::array<uint8_t, 1024>;

inline void Put(PaletteBytes& palette, int index, int red, int green, int blue) {
  palette[4 * index] = static_cast<uint8_t>(blue);
  palette[4 * index + 1] = static_cast<uint8_t>(green);
  palette[4 * index + 2] = static_cast<uint8_t>(red);
  palette[4 * index + 3] = 0;
}

// The VGA 256-colour default palette: 16 EGA colours, a grey ramp, 24 hues at
// three intensities and three saturations, 8 blacks. Full of repeated colours
// (the blacks) and near-ties, like the pictures the program is used with.
inline PaletteBytes VgaPalette() {
  PaletteBytes palette{};
  auto widen = [](int v) { return v << 2 | v >> 4; };
  const int ega[16][3] = {{0, 0, 0},    {0, 0, 42},   {0, 42, 0},   {0, 42, 42},  {42, 0, 0},   {42, 0, 42},
                          {42, 21, 0},  {42, 42, 42}, {21, 21, 21}, {21, 21, 63}, {21, 63, 21}, {21, 63, 63},
                          {63, 21, 21}, {63, 21, 63}, {63, 63, 21}, {63, 63, 63}};
  int index = 0;
  for (auto& c : ega) Put(palette, index++, widen(c[0]), widen(c[1]), widen(c[2]));
  const int greys[16] = {0, 5, 8, 11, 14, 17, 20, 24, 28, 32, 36, 40, 45, 50, 56, 63};
  for (int g : greys) Put(palette, index++, widen(g), widen(g), widen(g));
  const int levels[3][3][5] = {{{0, 16, 31, 47, 63}, {31, 39, 47, 55, 63}, {45, 49, 54, 58, 63}},
                               {{0, 7, 14, 21, 28}, {14, 17, 21, 24, 28}, {20, 22, 24, 26, 28}},
                               {{0, 4, 8, 12, 16}, {8, 10, 12, 14, 16}, {11, 12, 13, 15, 16}}};
  for (auto& intensity : levels) {
    for (auto& v : intensity) {
      for (int hue = 0; hue < 24; ++hue) {
        const int step = hue % 4, up = v[step], down = v[4 - step];
        int rgb[6][3] = {{up, v[0], v[4]},   {v[4], v[0], down}, {v[4], up, v[0]},
                         {down, v[4], v[0]}, {v[0], v[4], up},   {v[0], down, v[4]}};
        const int* c = rgb[hue / 4];
        Put(palette, index++, widen(c[0]), widen(c[1]), widen(c[2]));
      }
    }
  }
  while (index < 256) Put(palette, index++, 0, 0, 0);
  return palette;
}

// Every component uniformly random.
inline PaletteBytes RandomPalette(std::mt19937& random) {
  PaletteBytes palette{};
  std::uniform_int_distribution<int> component(0, 255);
  for (int i = 0; i < 256; ++i) Put(palette, i, component(random), component(random), component(random));
  return palette;
}

// Colours drawn from a handful of values per component, so that entries repeat
// and wanted colours often sit at the same distance from several entries.
inline PaletteBytes ClusteredPalette(std::mt19937& random) {
  PaletteBytes palette{};
  std::uniform_int_distribution<int> count(2, 6);
  std::uniform_int_distribution<int> component(0, 255);
  int values[6];
  const int used = count(random);
  for (int i = 0; i < used; ++i) values[i] = component(random);
  std::uniform_int_distribution<int> pick(0, used - 1);
  for (int i = 0; i < 256; ++i)
    Put(palette, i, values[pick(random)], values[pick(random)], values[pick(random)]);
  return palette;
}

// Nearly every colour within a few steps of one random colour, a few anywhere:
// mixes of the two kinds want colours far from the crowd, where most of its
// entries are nearly as near as each other.
inline PaletteBytes CrowdedPalette(std::mt19937& random) {
  PaletteBytes palette{};
  std::uniform_int_distribution<int> centre(0, 250);
  std::uniform_int_distribution<int> step(0, 5);
  const int red = centre(random), green = centre(random), blue = centre(random);
  for (int i = 0; i < 256; ++i)
    Put(palette, i, red + step(random), green + step(random), blue + step(random));
  std::uniform_int_distribution<int> anywhere(0, 255);
  for (int n = 0; n < 6; ++n)
    Put(palette, anywhere(random), anywhere(random), anywhere(random), anywhere(random));
  return palette;
}

// A few colours, each repeated with its components one step apart in
// different directions: many wanted colours lie exactly as far from several.
inline PaletteBytes JitteredPalette(std::mt19937& random) {
  PaletteBytes palette{};
  std::uniform_int_distribution<int> component(1, 254);
  int bases[4][3];
  for (auto& base : bases) {
    for (int& c : base) c = component(random);
  }
  std::uniform_int_distribution<int> pick(0, 3);
  std::uniform_int_distribution<int> step(-1, 1);
  for (int i = 0; i < 256; ++i) {
    const int* base = bases[pick(random)];
    Put(palette, i, base[0] + step(random), base[1] + step(random), base[2] + step(random));
  }
  return palette;
}

}  // namespace alpha_palettes
