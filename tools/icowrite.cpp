// icowrite: writes the program's icon (app/icon_art.h) as a Windows .ico file,
// 32 x 32 in 32-bit colour with its transparency mask, for the resource
// script. Usage: icowrite OUTPUT.ico
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/icon_art.h"

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

uint32_t ColorAt(int x, int y) {
  const char* key = std::strchr(icon_art::KEYS, icon_art::ROWS[y][x]);
  if (key == nullptr || icon_art::ROWS[y][x] == '\0') return 0;
  return icon_art::COLORS[key - icon_art::KEYS];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: icowrite OUTPUT.ico\n");
    return 2;
  }
  constexpr int size = icon_art::SIZE;
  constexpr uint32_t maskRow = ((size + 31) / 32) * 4;
  constexpr uint32_t imageBytes = 40 + size * size * 4 + maskRow * size;
  std::vector<uint8_t> out;
  // Directory: one image.
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, 1);
  out.push_back(size);
  out.push_back(size);
  out.push_back(0);  // colours in a palette: none
  out.push_back(0);
  Put16(out, 1);   // planes
  Put16(out, 32);  // bits per pixel
  Put32(out, imageBytes);
  Put32(out, 6 + 16);
  // The image: a bitmap header with the height of colour and mask together,
  // the pixels bottom-up as blue, green, red, alpha, then the mask.
  Put32(out, 40);
  Put32(out, size);
  Put32(out, size * 2);
  Put16(out, 1);
  Put16(out, 32);
  for (int i = 0; i < 6; ++i) Put32(out, 0);
  for (int y = size - 1; y >= 0; --y) {
    for (int x = 0; x < size; ++x) Put32(out, ColorAt(x, y));
  }
  for (int y = size - 1; y >= 0; --y) {
    std::vector<uint8_t> row(maskRow, 0);
    for (int x = 0; x < size; ++x)
      if ((ColorAt(x, y) >> 24) == 0)
        row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
    out.insert(out.end(), row.begin(), row.end());
  }
  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  if (std::fclose(file) != 0 || !written) {
    std::fprintf(stderr, "icowrite: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
