// A destination for the renderer's tests: a surface with a pitch wider than
// its rows, inside a guard border of random bytes, so that a write anywhere
// outside what a routine may touch shows up when the whole memory is
// compared with a model.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "render/drawtarget.h"
#include "support/cases.h"

namespace render_test {

using vantor_test::Cases;

struct Canvas {
  static constexpr int GUARD = 24;
  int width;
  int height;
  int pitch;
  std::vector<uint8_t> memory;

  int margin;  // guard columns on each side; 0 for rows back to back

  Canvas(int width, int height, std::mt19937& random, bool rowsBackToBack = false)
      : width(width),
        height(height),
        pitch(rowsBackToBack ? width : width + 2 * GUARD),
        memory(static_cast<size_t>(pitch) * (height + 2 * GUARD)),
        margin(rowsBackToBack ? 0 : GUARD) {
    for (uint8_t& byte : memory) byte = static_cast<uint8_t>(random());
  }
  // Row 0, column 0 of the surface proper.
  uint8_t* Surface() { return memory.data() + GUARD * pitch + margin; }
  uint8_t& At(int64_t x, int64_t y) { return Surface()[y * pitch + x]; }
  // Makes this the draw target's surface with the clip rectangle given.
  void Target(int left, int top, int right, int bottom) const {
    drawTarget = {};
    drawTarget.pitch = pitch;
    drawTarget.screenWidth = width;
    drawTarget.screenHeight = height;
    SetClipRect(left, top, right, bottom);
  }
  void RandomClip(std::mt19937& random) const {
    const int left = static_cast<int>(random() % width), top = static_cast<int>(random() % height);
    const int right = left + static_cast<int>(random() % (width - left));
    const int bottom = top + static_cast<int>(random() % (height - top));
    Target(left, top, right, bottom);
  }
};

inline bool InClip(int64_t x, int64_t y) {
  return x >= drawTarget.clipLeft && x <= drawTarget.clipRight && y >= drawTarget.clipTop &&
         y <= drawTarget.clipBottom;
}

// A coordinate for a block of `size` along an axis whose clip range is
// low .. high: mostly around the range, sometimes far out or at the ends of
// the int32 range.
inline int32_t RandomPosition(std::mt19937& random, int32_t low, int32_t high, int32_t size) {
  switch (random() % 10) {
    case 0:
      return INT32_MIN + static_cast<int32_t>(random() % 4);
    case 1:
      return INT32_MAX - static_cast<int32_t>(random() % 4);
    case 2:
      return static_cast<int32_t>(random());
    default: {
      const int32_t span = high - low + 2 * (size > 0 ? size : 1) + 8;
      return low - (size > 0 ? size : 1) - 4 + static_cast<int32_t>(random() % span);
    }
  }
}

// Pixels with plenty of transparent zeros.
inline std::vector<uint8_t> RandomPixels(std::mt19937& random, int64_t count) {
  std::vector<uint8_t> pixels(static_cast<size_t>(count > 0 ? count : 0));
  for (uint8_t& pixel : pixels) pixel = random() % 3 == 0 ? 0 : static_cast<uint8_t>(random());
  return pixels;
}

}  // namespace render_test
