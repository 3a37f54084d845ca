#include "formats/bmp.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr int32_t FILE_HEADER_SIZE = 14;

uint16_t ReadU16(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] | bytes[1] << 8); }

uint32_t ReadU32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}

void WriteU32(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The colour count as the info header states it: the colours-used field when
// set (its low 16 bits), else what the bit count implies; -1 for a bit count
// that implies none.
int32_t StatedColorCount(const uint8_t* info) {
  uint32_t used = ReadU32(info + 32);
  if (used != 0) return static_cast<int32_t>(used & 0xFFFF);
  switch (ReadU16(info + 14)) {
    case 1:
      return 2;
    case 4:
      return 16;
    case 8:
      return 256;
    case 24:
      return 0;
    default:
      return -1;
  }
}

}  // namespace

const char* BmpErrorText(int result) {
  switch (result) {
    case BMP_OK:
      return nullptr;
    case BMP_NO_FILE:
      return "Can't load BMP file!";
    case BMP_NOT_BMP:
      return "Not BMP file!";
    case BMP_NOT_256:
      return "Not 256 Color BMP file!";
    case BMP_NO_MEMORY:
      return "Not enough memory for BMP file!";
    default:
      return "Damaged BMP file!";
  }
}

int ParseBmp(const uint8_t* bytes, size_t size, BmpImage* image) {
  if (image == nullptr) return BMP_NO_FILE;
  if (bytes == nullptr || size < 2 || ReadU16(bytes) != 0x4D42) return BMP_NOT_BMP;
  if (size < size_t{FILE_HEADER_SIZE + BMP_INFO_SIZE}) return BMP_DAMAGED;
  const uint8_t* info = bytes + FILE_HEADER_SIZE;
  uint32_t infoSize = ReadU32(info);
  // Older 12-byte headers keep their fields elsewhere; we do not read them.
  if (infoSize < uint32_t{BMP_INFO_SIZE}) return BMP_DAMAGED;

  // A colours-used field of 256 passes whatever the bit count says, but only
  // 8-bit pixels can be read as one palette index per byte.
  if (StatedColorCount(info) != 256 || ReadU16(info + 14) != 8) return BMP_NOT_256;
  if (ReadU32(info + 16) != 0) return BMP_DAMAGED;  // RLE8 and other compressions

  int32_t width = static_cast<int32_t>(ReadU32(info + 4));
  int32_t storedHeight = static_cast<int32_t>(ReadU32(info + 8));
  if (width <= 0 || width > BMP_SIDE_MAX) return BMP_DAMAGED;
  if (storedHeight == 0 || storedHeight < -BMP_SIDE_MAX || storedHeight > BMP_SIDE_MAX) return BMP_DAMAGED;
  const bool topDown = storedHeight < 0;
  const int32_t height = topDown ? -storedHeight : storedHeight;
  const int64_t pixelCount = int64_t{width} * height;

  const uint64_t tableStart = uint64_t{FILE_HEADER_SIZE} + infoSize;
  const uint64_t tableEnd = tableStart + BMP_PALETTE_BYTES;
  if (tableEnd > size) return BMP_DAMAGED;
  // Writers that leave the pixel offset empty (or pointing into the headers)
  // mean the plain layout: pixels right after the colour table.
  uint64_t pixelStart = ReadU32(bytes + 10);
  if (pixelStart < tableEnd) pixelStart = tableEnd;
  const uint64_t stride = (uint64_t(width) + 3) & ~uint64_t{3};
  // The last row's padding may be missing; its pixels may not.
  if (pixelStart + stride * uint64_t(height - 1) + uint64_t(width) > size) return BMP_DAMAGED;

  const int64_t dataSize = BMP_PIXELS_OFFSET + pixelCount;
  uint8_t* buffer = new (std::nothrow) uint8_t[static_cast<size_t>(dataSize)];
  if (buffer == nullptr) return BMP_NO_MEMORY;

  std::memcpy(buffer, info, BMP_INFO_SIZE);
  WriteU32(buffer + 0, BMP_INFO_SIZE);
  WriteU32(buffer + 8, static_cast<uint32_t>(height));
  WriteU32(buffer + 16, 0);
  std::memcpy(buffer + BMP_INFO_SIZE, bytes + tableStart, BMP_PALETTE_BYTES);
  uint8_t* pixels = buffer + BMP_PIXELS_OFFSET;
  for (int32_t row = 0; row < height; ++row) {
    const uint8_t* from = bytes + pixelStart + stride * uint64_t(row);
    // Stored row `row` is the picture's row from the top in a top-down file.
    int32_t to = topDown ? height - 1 - row : row;
    std::memcpy(pixels + int64_t{to} * width, from, static_cast<size_t>(width));
  }

  image->width = width;
  image->height = height;
  image->dataSize = static_cast<int32_t>(dataSize);
  image->pixelCount = static_cast<int32_t>(pixelCount);
  image->paletteBytes = BMP_PALETTE_BYTES;
  image->colorCount = 256;
  image->buffer = buffer;
  image->palette = buffer + BMP_INFO_SIZE;
  image->pixels = pixels;
  image->pixelsEnd = pixels + pixelCount;
  return BMP_OK;
}

namespace {

int ReadAndParse(const char* fileName, BmpImage* image) {
  if (fileName == nullptr || image == nullptr) return BMP_NO_FILE;
  FILE* file = std::fopen(fileName, "rb");
  if (file == nullptr) return BMP_NO_FILE;
  uint8_t type[2] = {};
  if (std::fread(type, 1, 2, file) != 2 || ReadU16(type) != 0x4D42) {
    std::fclose(file);
    return BMP_NOT_BMP;
  }
  long length = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
  // ParseBmp refuses anything this large anyway (sides up to BMP_SIDE_MAX).
  if (length < 0 || length > std::numeric_limits<int32_t>::max()) {
    std::fclose(file);
    return BMP_DAMAGED;
  }
  uint8_t* bytes = new (std::nothrow) uint8_t[static_cast<size_t>(length)];
  if (bytes == nullptr) {
    std::fclose(file);
    return BMP_NO_MEMORY;
  }
  size_t got = 0;
  if (std::fseek(file, 0, SEEK_SET) == 0) got = std::fread(bytes, 1, static_cast<size_t>(length), file);
  std::fclose(file);
  int result = ParseBmp(bytes, got, image);
  delete[] bytes;
  return result;
}

}  // namespace

int LoadBmp(HWND window, const char* fileName, BmpImage* image) {
  int result = ReadAndParse(fileName, image);
  if (result != BMP_OK) MessageBoxA(window, BmpErrorText(result), "Error!", MB_OK);
  return result;
}

int FreeBmp(BmpImage* image) {
  if (image == nullptr || image->buffer == nullptr) return 0;
  delete[] image->buffer;
  // Cleared so that a second free, or a stale read of the pixels, cannot
  // touch the released block.
  image->buffer = nullptr;
  image->pixels = nullptr;
  image->pixelsEnd = nullptr;
  image->palette = nullptr;
  return 1;
}
