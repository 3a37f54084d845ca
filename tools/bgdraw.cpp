// bgdraw: draws the demo's background picture, a 320 x 200 picture that tiles
// seamlessly both ways, in the standard VGA 256-colour default palette, and
// writes it as a 256-colour BMP in the plain layout (1078 + 64000 bytes).
// The picture is made of the hand-placed elements listed in Draw; edit them
// and rebuild to change it.
//
//   bgdraw OUT.bmp

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tools/vga_palette.h"

namespace {

constexpr int WIDTH = 320;
constexpr int HEIGHT = 200;

using Rgb = PaletteRgb;

struct Canvas {
  std::vector<uint8_t> pixels = std::vector<uint8_t>(WIDTH * HEIGHT, 0);
  // Everything wraps at the edges, so the picture tiles without seams.
  void Put(int x, int y, uint8_t colour) {
    x = ((x % WIDTH) + WIDTH) % WIDTH;
    y = ((y % HEIGHT) + HEIGHT) % HEIGHT;
    pixels[y * WIDTH + x] = colour;
  }
  void Box(int x, int y, int w, int h, uint8_t colour) {
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) Put(x + i, y + j, colour);
  }
  void Disc(int cx, int cy, int radius, uint8_t colour) {
    for (int j = -radius; j <= radius; ++j)
      for (int i = -radius; i <= radius; ++i)
        if (i * i + j * j <= radius * radius) Put(cx + i, cy + j, colour);
  }
};

// Hue h (0..23: blue, magenta, red, yellow, green, cyan) at intensity 0..2
// (bright to dark) and saturation 0..2 (full to pale) in the VGA palette.
uint8_t Hue(int h, int intensity = 0, int saturation = 0) {
  return static_cast<uint8_t>(32 + intensity * 72 + saturation * 24 + ((h % 24) + 24) % 24);
}
uint8_t Grey(int level) { return static_cast<uint8_t>(16 + level); }  // 0 black .. 15 white

// A fixed integer hash, so the picture is the same everywhere.
uint32_t Hash(uint32_t x, uint32_t y, uint32_t seed) {
  uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  return h ^ h >> 15;
}

// Smooth noise on a lattice that wraps with the picture: `cell` divides
// both sides, so the noise tiles too. Result 0..255.
int TileNoise(int x, int y, int cell, uint32_t seed) {
  int cellsX = WIDTH / cell, cellsY = HEIGHT / cell;
  int cx = x / cell, cy = y / cell, fx = x % cell, fy = y % cell;
  auto at = [&](int i, int j) { return static_cast<int>(Hash((i + cellsX) % cellsX, (j + cellsY) % cellsY, seed) & 255); };
  int top = at(cx, cy) * (cell - fx) + at(cx + 1, cy) * fx;
  int bottom = at(cx, cy + 1) * (cell - fx) + at(cx + 1, cy + 1) * fx;
  return (top * (cell - fy) + bottom * fy) / (cell * cell);
}

// A top-down meadow, as the ground of a game seen from above: grass, a
// river running top to bottom, a path running left to right with a bridge
// over the river, stones, bushes and trees with their shadows, flowers.
// Every element wraps at the edges, so the picture tiles both ways.
void Draw(Canvas& canvas) {
  // Grass in four shades from two octaves of tiling noise.
  const uint8_t grass[4] = {Hue(16, 2, 0), Hue(17, 2, 0), Hue(16, 1, 0), Hue(16, 1, 1)};
  for (int y = 0; y < HEIGHT; ++y)
    for (int x = 0; x < WIDTH; ++x) {
      int n = (TileNoise(x, y, 40, 1) * 3 + TileNoise(x, y, 8, 2)) / 4;
      int shade = n < 96 ? 0 : n < 128 ? 1 : n < 170 ? 2 : 3;
      canvas.Put(x, y, grass[shade]);
    }

  // The river: its centre wanders with whole sine periods over the height.
  auto riverX = [](int y) {
    double t = y * 2 * M_PI / HEIGHT;
    return 210 + 18 * std::sin(t) + 7 * std::sin(2 * t + 1.3);
  };
  for (int y = 0; y < HEIGHT; ++y) {
    double centre = riverX(y);
    for (int dx = -17; dx <= 17; ++dx) {
      int x = static_cast<int>(std::lround(centre)) + dx;
      int edge = 17 - std::abs(dx);
      uint8_t colour = edge < 3 ? Hue(10, 0, 2)                 // sand bank
                       : edge < 5 ? Hue(22, 1, 1)              // shallows
                       : edge < 9 ? Hue(0, 1, 0)               // water
                                  : Hue(0, 2, 0);              // deep
      canvas.Put(x, y, colour);
    }
  }
  // Glints on the water, hand-placed along the river.
  const int glints[][2] = {{-4, 12}, {3, 37}, {-2, 64}, {5, 90}, {-5, 121}, {2, 149}, {-1, 177}};
  for (auto& g : glints) {
    int x = static_cast<int>(std::lround(riverX(g[1]))) + g[0];
    canvas.Box(x, g[1], 3, 1, 15);
    canvas.Put(x + 1, g[1] + 1, Hue(22, 0, 1));
  }

  // The path: its centre wanders with whole sine periods over the width.
  auto pathY = [](int x) {
    double t = x * 2 * M_PI / WIDTH;
    return 70 + 14 * std::sin(t + 0.5) + 5 * std::sin(3 * t);
  };
  for (int x = 0; x < WIDTH; ++x) {
    int centre = static_cast<int>(std::lround(pathY(x)));
    for (int dy = -7; dy <= 7; ++dy) {
      int y = centre + dy;
      int edge = 7 - std::abs(dy);
      bool pebble = (Hash(x, y, 7) & 31) == 0;
      uint8_t colour = edge == 0 ? Hue(9, 2, 0) : pebble ? Grey(9) : edge < 2 ? Hue(9, 1, 1) : Hue(9, 1, 2);
      canvas.Put(x, y, colour);
    }
  }

  // The bridge where the path meets the river: planks across, rails along.
  int bridgeX = static_cast<int>(std::lround(riverX(static_cast<int>(std::lround(pathY(210))))));
  int bridgeY = static_cast<int>(std::lround(pathY(bridgeX)));
  canvas.Box(bridgeX - 22, bridgeY - 9 + 3, 44, 18, Hue(16, 2, 2));  // shadow on the water
  for (int i = 0; i < 44; ++i) {
    uint8_t plank = (i % 4 == 3) ? 6 : Hue(9, 1, 0);
    canvas.Box(bridgeX - 22 + i, bridgeY - 8, 1, 16, plank);
  }
  canvas.Box(bridgeX - 22, bridgeY - 9, 44, 2, Hue(9, 2, 0));
  canvas.Box(bridgeX - 22, bridgeY + 7, 44, 2, Hue(9, 2, 0));
  for (int i = 0; i < 44; i += 11) canvas.Box(bridgeX - 22 + i, bridgeY - 10, 2, 3, Grey(6));

  // Stones: x, y, radius. Lit from the top left, shadow to the bottom right.
  const int stones[][3] = {{30, 140}, {44, 150}, {120, 20}, {286, 118}, {150, 170}, {70, 104}, {262, 16}};
  const int stoneSizes[] = {6, 4, 5, 7, 4, 3, 5};
  for (int i = 0; i < 7; ++i) {
    int x = stones[i][0], y = stones[i][1], r = stoneSizes[i];
    canvas.Disc(x + 2, y + 2, r, Hue(16, 2, 1));
    canvas.Disc(x, y, r, Grey(8));
    canvas.Disc(x - 1, y - 1, r - 1, Grey(10));
    canvas.Disc(x - r / 3, y - r / 3, r / 3, Grey(13));
  }

  // Trees seen from above: shadow, dark crown, lit crown, highlight.
  const int trees[][3] = {{40, 30, 16}, {95, 160, 14}, {140, 115, 11}, {290, 180, 15}, {275, 70, 12},
                          {10, 95, 10},  {175, 35, 9},  {60, 190, 9}};
  for (auto& t : trees) {
    int x = t[0], y = t[1], r = t[2];
    canvas.Disc(x + r / 2, y + r / 2, r, Hue(17, 2, 1));
    canvas.Disc(x, y, r, Hue(16, 2, 0));
    canvas.Disc(x - r / 5, y - r / 5, r * 3 / 4, Hue(17, 1, 0));
    canvas.Disc(x - r / 3, y - r / 3, r / 3, Hue(16, 0, 1));
    for (int k = 0; k < 6; ++k) {  // leaf texture
      uint32_t h = Hash(x, y, 40 + k);
      canvas.Put(x - r / 2 + static_cast<int>(h % r), y - r / 2 + static_cast<int>(h / 7 % r), Hue(16, 2, 0));
    }
  }

  // Bushes along the river and the path.
  const int bushes[][2] = {{180, 100}, {240, 150}, {105, 55}, {300, 40}, {15, 60}, {230, 105}};
  for (auto& b : bushes) {
    canvas.Disc(b[0] + 2, b[1] + 2, 5, Hue(17, 2, 1));
    canvas.Disc(b[0], b[1], 5, Hue(18, 1, 0));
    canvas.Disc(b[0] - 1, b[1] - 2, 2, Hue(18, 0, 1));
  }

  // Flowers scattered over the grass, away from the water and the path.
  const uint8_t petals[] = {12, 14, 13, 15, 9};
  for (int i = 0; i < 160; ++i) {
    uint32_t h = Hash(i, 99, 3);
    int x = static_cast<int>(h % WIDTH), y = static_cast<int>(h / WIDTH % HEIGHT);
    uint8_t under = canvas.pixels[y * WIDTH + x];
    if (under != grass[2] && under != grass[3]) continue;
    canvas.Put(x, y, petals[h % 5]);
  }
}

bool WriteBmp(const char* path, const Canvas& canvas, const std::vector<Rgb>& palette) {
  std::vector<uint8_t> file;
  auto put16 = [&](uint32_t v) { file.push_back(v & 0xFF), file.push_back(v >> 8 & 0xFF); };
  auto put32 = [&](uint32_t v) { put16(v & 0xFFFF), put16(v >> 16); };
  const uint32_t offset = 14 + 40 + 1024, imageSize = WIDTH * HEIGHT;
  file.push_back('B'), file.push_back('M');
  put32(offset + imageSize), put32(0), put32(offset);
  put32(40), put32(WIDTH), put32(HEIGHT), put16(1), put16(8), put32(0), put32(imageSize);
  put32(2835), put32(2835), put32(256), put32(256);
  for (const Rgb& c : palette) file.push_back(c.b), file.push_back(c.g), file.push_back(c.r), file.push_back(0);
  for (int y = HEIGHT - 1; y >= 0; --y)  // bottom-up, as BMP stores rows
    file.insert(file.end(), canvas.pixels.begin() + y * WIDTH, canvas.pixels.begin() + (y + 1) * WIDTH);
  std::FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return false;
  bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  return std::fclose(out) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::puts("usage: bgdraw OUT.bmp\nDraws the demo's 320 x 200 tiling background in the VGA default palette.");
    return 0;
  }
  if (argc != 2) {
    std::fputs("usage: bgdraw OUT.bmp\n", stderr);
    return 2;
  }
  Canvas canvas;
  Draw(canvas);
  if (!WriteBmp(argv[1], canvas, VgaPalette())) {
    std::fprintf(stderr, "bgdraw: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
