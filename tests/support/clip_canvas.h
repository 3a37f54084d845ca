// A destination for the renderer's model tests: a clip rectangle placed
// anywhere in the int32 plane, backed by memory only for the rectangle and a
// guard border of random bytes around it, so a write outside the clip shows
// when the memory is compared with a model.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "render/drawtarget.h"

namespace vantor_test {

struct ClipCanvas {
  static constexpr int32_t kGuard = 8;
  int32_t clipLeft, clipTop, clipWidth, clipHeight;
  int32_t pitch;
  std::vector<uint8_t> bytes;

  ClipCanvas(std::mt19937& random, int32_t left, int32_t top, int32_t w, int32_t h)
      : clipLeft(left), clipTop(top), clipWidth(w), clipHeight(h), pitch(w + 2 * kGuard) {
    bytes.resize(size_t(pitch) * (h + 2 * kGuard));
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
  }
  int32_t ClipRight() const { return int32_t(int64_t{clipLeft} + clipWidth - 1); }
  int32_t ClipBottom() const { return int32_t(int64_t{clipTop} + clipHeight - 1); }
  void Install() const {
    SetClipRect(clipLeft, clipTop, ClipRight(), ClipBottom());
    drawTarget.pitch = pitch;
  }
  // What the drawing routines take as row 0, column 0 of the surface.
  uint8_t* Surface(std::vector<uint8_t>& memory) const {
    const int64_t origin = int64_t{kGuard} * pitch + kGuard - (int64_t{clipTop} * pitch + clipLeft);
    return memory.data() + origin;
  }
  // Index of destination pixel (x, y) inside the clip rectangle, else -1.
  int64_t Index(int64_t x, int64_t y) const {
    if (x < clipLeft || x > ClipRight() || y < clipTop || y > ClipBottom()) return -1;
    return (y - clipTop + kGuard) * pitch + (x - clipLeft + kGuard);
  }
};

}  // namespace vantor_test
