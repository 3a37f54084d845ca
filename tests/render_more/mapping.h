// Per-pixel models of the block routines: where each source pixel of a
// w x h block at (x, y) lands, and what is stored there.
#pragma once

#include <cstdint>
#include <vector>

#include "canvas.h"

namespace render_test {

struct Point {
  int64_t x;
  int64_t y;
};

enum class Place { AsIs, MirrorX, MirrorY, MirrorXY, TurnLeft, TurnRight, Nowhere };

inline Point Destination(Place place, int64_t x, int64_t y, int64_t w, int64_t h, int64_t c, int64_t r) {
  switch (place) {
    case Place::AsIs:
      return {x + c, y + r};
    case Place::MirrorX:
      return {x + w - 1 - c, y + r};
    case Place::MirrorY:
      return {x + c, y + h - 1 - r};
    case Place::MirrorXY:
      return {x + w - 1 - c, y + h - 1 - r};
    case Place::TurnLeft:
      return {x + r, y + w - 1 - c};
    case Place::TurnRight:
      return {x + h - 1 - r, y + c};
    case Place::Nowhere:
      break;
  }
  return {INT64_MIN, INT64_MIN};
}

enum class Store { Copy, Solid, Opaque };

// Draws the block into `canvas` the slow way: every source pixel, placed by
// the mapping and kept only inside the clip rectangle.
inline void DrawModel(Canvas& canvas, Place place, Store store, int64_t x, int64_t y, int64_t w, int64_t h,
                      const std::vector<uint8_t>& pixels, uint8_t colour) {
  if (place == Place::Nowhere) return;
  for (int64_t r = 0; r < h; ++r) {
    for (int64_t c = 0; c < w; ++c) {
      const uint8_t source = pixels[static_cast<size_t>(r * w + c)];
      if (store != Store::Opaque && source == 0) continue;
      const Point to = Destination(place, x, y, w, h, c, r);
      if (InClip(to.x, to.y)) canvas.At(to.x, to.y) = store == Store::Solid ? colour : source;
    }
  }
}

}  // namespace render_test
