// BMP parsing from arbitrary bytes: whatever is accepted must come out in the
// plain layout, every pixel inside the buffer.
#include <cstdint>
#include <cstring>

#include "formats/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  BmpImage image;
  std::memset(&image, 0, sizeof image);
  int result = ParseBmp(data, size, &image);
  if (result != BMP_OK) {
    if (image.buffer != nullptr || result > 0 || result < BMP_NO_MEMORY) __builtin_trap();
    return 0;
  }
  if (image.width <= 0 || image.height <= 0 || image.pixelCount != image.width * image.height ||
      image.dataSize != BMP_PIXELS_OFFSET + image.pixelCount ||
      image.palette != image.buffer + BMP_INFO_SIZE || image.pixels != image.buffer + BMP_PIXELS_OFFSET ||
      image.pixelsEnd != image.buffer + image.dataSize || image.colorCount != 256 ||
      image.paletteBytes != BMP_PALETTE_BYTES)
    __builtin_trap();
  // Touch every byte as the palette code and the background copy would.
  unsigned sum = 0;
  for (const uint8_t* p = image.buffer; p < image.pixelsEnd; ++p) sum += *p;
  if (FreeBmp(&image) != 1 || FreeBmp(&image) != 0) __builtin_trap();
  return static_cast<int>(sum & 0);
}
