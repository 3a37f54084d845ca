// bgdraw: draws the demo's background picture, a 320 x 200 picture that tiles
// seamlessly, in the standard VGA 256-colour default palette, and writes it
// as a 256-colour BMP. The picture is made of hand-placed elements listed
// below; edit them and rebuild to change it.
//
//   bgdraw OUT.bmp

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int WIDTH = 320;
constexpr int HEIGHT = 200;

struct Rgb {
  uint8_t r, g, b;
};

// The VGA default palette: 16 EGA colours, a 16-step grey ramp, 24 hues at
// three saturations and three intensities, and 8 blacks. Values are 6-bit
// DAC levels widened to 8 bits.
std::vector<Rgb> VgaPalette() {
  auto widen = [](int v) { return static_cast<uint8_t>(v << 2 | v >> 4); };
  std::vector<Rgb> palette;
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
          case 0: r = up, g = v[0], b = v[4]; break;
          case 1: r = v[4], g = v[0], b = down; break;
          case 2: r = v[4], g = up, b = v[0]; break;
          case 3: r = down, g = v[4], b = v[0]; break;
          case 4: r = v[0], g = v[4], b = up; break;
          default: r = v[0], g = down, b = v[4]; break;
        }
        palette.push_back({widen(r), widen(g), widen(b)});
      }
    }
  }
  while (palette.size() < 256) palette.push_back({0, 0, 0});
  return palette;
}

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

// Hue h (0..23) at intensity 0..2 and saturation 0..2 in the VGA palette.
uint8_t Hue(int h, int intensity = 0, int saturation = 0) {
  return static_cast<uint8_t>(32 + intensity * 72 + saturation * 24 + ((h % 24) + 24) % 24);
}

void Draw(Canvas& canvas) {
  // Sky: bands of deep blue that lighten towards the horizon.
  for (int y = 0; y < HEIGHT; ++y) {
    uint8_t colour = y < 40 ? Hue(0, 2, 0) : y < 80 ? Hue(0, 1, 0) : y < 110 ? Hue(0, 1, 1) : Hue(22, 1, 2);
    for (int x = 0; x < WIDTH; ++x) canvas.Put(x, y, colour);
  }
  // Stars, hand-placed.
  const int stars[][2] = {{12, 9},   {47, 22},  {80, 5},   {118, 31}, {150, 14}, {171, 40}, {203, 8},
                          {236, 27}, {262, 12}, {297, 35}, {310, 3},  {33, 48},  {97, 58},  {188, 62},
                          {250, 55}, {140, 70}, {5, 75},   {280, 80}, {60, 90},  {225, 95}};
  for (auto& s : stars) canvas.Put(s[0], s[1], 15);
  // A moon.
  canvas.Disc(262, 36, 14, 30);
  canvas.Disc(268, 32, 12, Hue(0, 2, 0));
  // Hills in two greens, rolling so that they meet themselves at the edges.
  for (int x = 0; x < WIDTH; ++x) {
    double t = x * 2 * M_PI / WIDTH;
    int far = 120 + static_cast<int>(10 * std::sin(2 * t) + 6 * std::sin(3 * t + 1));
    int near = 150 + static_cast<int>(8 * std::sin(t + 2) + 5 * std::sin(4 * t));
    for (int y = far; y < HEIGHT; ++y) canvas.Put(x, y, Hue(16, 1, 1));
    for (int y = near; y < HEIGHT; ++y) canvas.Put(x, y, Hue(16, 1, 0));
  }
  // A brick road along the bottom.
  for (int y = 176; y < HEIGHT; ++y)
    for (int x = 0; x < WIDTH; ++x) {
      int row = (y - 176) / 6;
      bool mortar = (y - 176) % 6 == 5 || (x + row * 8) % 16 == 15;
      canvas.Put(x, y, mortar ? 24 : Hue(9, 1, 0));
    }
  // Houses, hand-placed: x, width, height, wall hue, roof hue.
  const int houses[][5] = {{20, 34, 26, 12, 8}, {95, 28, 20, 14, 10}, {170, 40, 30, 10, 7}, {245, 30, 22, 13, 9}};
  for (auto& h : houses) {
    int x = h[0], w = h[1], ht = h[2], top = 176 - ht;
    canvas.Box(x, top, w, ht, Hue(h[3], 0, 2));
    for (int j = 0; j < 10; ++j) canvas.Box(x - 2 + j, top - j - 1, w + 4 - 2 * j, 1, Hue(h[4], 1, 0));
    canvas.Box(x + w / 2 - 3, 176 - 12, 6, 12, 6);                  // door
    canvas.Box(x + 4, top + 5, 6, 6, 14), canvas.Box(x + w - 10, top + 5, 6, 6, 14);  // windows
  }
  // Trees between them.
  const int trees[][2] = {{70, 174}, {140, 170}, {225, 173}, {300, 171}};
  for (auto& t : trees) {
    canvas.Box(t[0] - 1, t[1] - 10, 3, 10, 6);
    canvas.Disc(t[0], t[1] - 16, 8, Hue(17, 1, 0));
    canvas.Disc(t[0] - 3, t[1] - 19, 3, Hue(17, 0, 1));
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
