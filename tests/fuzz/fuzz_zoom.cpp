// Scaled drawing of arbitrary frames: the first 12 bytes choose the frame's
// size, the drawn size, the flags, the centre and the clip rectangle; the
// rest is the frame, drawn as run-length data when ValidateRleBlock accepts
// it and as raw pixels when it holds enough bytes. The destination is exactly
// the clip rectangle, so any write outside it, and any read outside the
// frame, is caught by the sanitizer.
#include <cstdint>
#include <cstring>
#include <vector>

#include "formats/alpha.h"
#include "formats/rle.h"
#include "render/blit.h"
#include "render/zoom.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 12) return 0;
  const int32_t width = data[0] % 80, height = data[1] % 40;
  const int32_t zoomWidth = (data[2] | (data[3] & 1) << 8) - 4;  // -4 .. 507
  const int32_t zoomHeight = data[4] - 4;
  const int32_t flags = data[5];
  const int32_t clipWidth = 1 + data[6] % 96, clipHeight = 1 + data[7] % 64;
  const int32_t centreX = static_cast<int8_t>(data[8]) * 2, centreY = static_cast<int8_t>(data[9]);
  const int32_t colour = data[10], level = data[11] % 9 - 1;  // -1 .. 7
  const uint8_t* frameBytes = data + 12;
  const int64_t frameSize = static_cast<int64_t>(size) - 12;

  // The clip rectangle's corner is at (-clipWidth / 2, -clipHeight / 2).
  std::vector<uint8_t> screen(static_cast<size_t>(clipWidth) * clipHeight, 0x55);
  const int32_t left = -clipWidth / 2, top = -clipHeight / 2;
  SetClipRect(left, top, left + clipWidth - 1, top + clipHeight - 1);
  drawTarget.pitch = clipWidth;
  uint8_t* surface = screen.data() - (int64_t{top} * clipWidth + left);

  // Only what the frame holds: a copy the sanitizer bounds exactly.
  std::vector<uint8_t> pixels(frameBytes, frameBytes + frameSize);
  SpriteFrame frame{};
  frame.width = width;
  frame.height = height;
  frame.pixels = pixels.data();
  if (ValidateRleBlock(pixels.data(), frameSize, width, height) == RLE_OK) {
    frame.compressed = 1;
    DrawSpriteZoom(centreX, centreY, surface, &frame, zoomWidth, zoomHeight, flags, colour, level);
  }
  if (frameSize >= int64_t{width} * height && frameSize > 0) {
    frame.compressed = 0;
    DrawSpriteZoom(centreX, centreY, surface, &frame, zoomWidth, zoomHeight, flags, colour, level);
  }
  FillBoxBlend(centreX, centreY, zoomWidth, zoomHeight, surface, colour, level);
  return 0;
}
