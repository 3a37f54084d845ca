// 256-colour BMP images: the palette and the background picture.
//
// Whatever the file's own layout, a loaded image is held in one plain form
// that every consumer can rely on:
//   buffer = a 40-byte info header (biSize 40, biHeight positive,
//            uncompressed), the 1024-byte colour table (256 x blue, green,
//            red, reserved), then `height` rows of exactly `width` bytes,
//            bottom row first;
//   palette = buffer + 40, pixels = buffer + 1064,
//   pixelsEnd = pixels + pixelCount = buffer + dataSize.
// For the plain file layout (40-byte info header, colour table, unpadded
// bottom-up rows right after it) this is the file from offset 14 on. Files
// that differ are converted on loading: the pixel offset of the file header
// is honoured, larger info headers (52, 56, 108, 124 bytes...) are cut to 40,
// padded rows lose their padding and top-down files (negative height) are
// turned bottom-up.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// LoadBmp / ParseBmp results.
constexpr int32_t BMP_OK = 1;
constexpr int32_t BMP_NO_FILE = -1;    // "Can't load BMP file!": the file cannot be opened
constexpr int32_t BMP_NOT_BMP = -2;    // "Not BMP file!": the first two bytes are not "BM"
constexpr int32_t BMP_NOT_256 = -3;    // "Not 256 Color BMP file!": not 256 colours at 8 bits
constexpr int32_t BMP_DAMAGED = -4;    // "Damaged BMP file!": cut short, impossible sizes or
                                       // offsets, or compressed (RLE8) pixels, which we do not read
constexpr int32_t BMP_NO_MEMORY = -5;  // "Not enough memory for BMP file!"

constexpr int32_t BMP_INFO_SIZE = 40;
constexpr int32_t BMP_PALETTE_BYTES = 1024;
constexpr int32_t BMP_PIXELS_OFFSET = BMP_INFO_SIZE + BMP_PALETTE_BYTES;  // within `buffer`
// Larger pictures are refused as damaged; the engine's are a few hundred
// pixels wide.
constexpr int32_t BMP_SIDE_MAX = 16384;

struct BmpImage {
  int32_t width;
  int32_t height;        // always positive once loaded
  int32_t dataSize;      // bytes in `buffer`: 1064 + pixelCount
  int32_t pixelCount;    // width x height
  int32_t paletteBytes;  // 1024
  uint16_t colorCount;   // 256
  uint8_t* buffer;       // owned; freed by FreeBmp
  uint8_t* pixels;       // bottom row first, rows `width` bytes apart
  uint8_t* pixelsEnd;
  uint8_t* palette;  // 256 entries of blue, green, red, reserved
};

// Loads a 256-colour BMP file from the disk into `image`. On failure shows a
// message box owned by `window` (caption "Error!", text as listed with the
// codes above) and leaves `image` untouched.
int LoadBmp(HWND window, const char* fileName, BmpImage* image);

// The same from a file already in memory, without any message: one of the
// codes above. `image` is only written on success.
int ParseBmp(const uint8_t* bytes, size_t size, BmpImage* image);

// The message LoadBmp shows for a failure code, or null for BMP_OK.
const char* BmpErrorText(int result);

// Frees the buffer and clears the image's pointers; 1, or 0 when there was
// no buffer (never loaded, or freed already).
int FreeBmp(BmpImage* image);
