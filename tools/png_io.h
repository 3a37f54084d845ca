// PNG reading and writing for the art tools, through libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/vga_palette.h"

struct PngPicture {
  int32_t width = 0;
  int32_t height = 0;
  // Palette PNGs keep their indices (one byte per pixel); every other kind
  // is expanded to 8-bit RGBA (four bytes per pixel).
  bool indexed = false;
  std::vector<uint8_t> pixels;
};

// false with a message in *error when the file cannot be read as a PNG.
bool ReadPng(const std::string& path, PngPicture* picture, std::string* error);

// An 8-bit palette PNG of the indices, with index 0 marked transparent so
// viewers show the sprite's own shape.
bool WriteIndexedPng(const std::string& path, int32_t width, int32_t height,
                     const std::vector<uint8_t>& indices, const std::vector<PaletteRgb>& palette,
                     std::string* error);

// An 8-bit RGB PNG, three bytes per pixel.
bool WriteRgbPng(const std::string& path, int32_t width, int32_t height, const std::vector<uint8_t>& rgb,
                 std::string* error);
