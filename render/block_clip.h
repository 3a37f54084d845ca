// Clipping of a rectangular block against the draw target, shared by the
// turned, opaque and surface copies. Everything is worked out in 64 bits, so
// positions near the ends of the int32 range and any size neither overflow
// nor wrap round into a visible place.
#pragma once

#include <cstddef>
#include <cstdint>

#include "render/drawtarget.h"

// How far a block reaches past each side of the clip rectangle, 0 for a side
// that fits.
struct BlockOverflow {
  int64_t left;
  int64_t top;
  int64_t right;
  int64_t bottom;
  bool None() const { return (left | top | right | bottom) == 0; }
};

// A block `width` columns wide and `height` rows tall with its top-left
// pixel at (x, y). False when nothing of it is visible: an empty or negative
// size, a block wholly outside the clip rectangle, or a clip rectangle turned
// inside out.
inline bool ClipBlock(int64_t x, int64_t y, int64_t width, int64_t height, BlockOverflow& overflow) {
  const DrawTarget& target = drawTarget;
  if (width <= 0 || height <= 0) return false;
  if (x > target.clipRight || y > target.clipBottom || x + width <= target.clipLeft ||
      y + height <= target.clipTop)
    return false;
  overflow.left = x < target.clipLeft ? target.clipLeft - x : 0;
  overflow.top = y < target.clipTop ? target.clipTop - y : 0;
  overflow.right = x + width - 1 > target.clipRight ? x + width - 1 - target.clipRight : 0;
  overflow.bottom = y + height - 1 > target.clipBottom ? y + height - 1 - target.clipBottom : 0;
  return width - overflow.left - overflow.right > 0 && height - overflow.top - overflow.bottom > 0;
}

// Address of pixel (x, y) of the destination; only ever asked for pixels
// inside the clip rectangle.
inline uint8_t* TargetPixel(uint8_t* surface, int64_t x, int64_t y) {
  return surface + static_cast<ptrdiff_t>(y * drawTarget.pitch + x);
}
