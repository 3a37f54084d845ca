// A small screen for the renderer's worked examples: rows back to back, the
// clip rectangle the whole of it, every byte a background value no drawing
// in the examples uses, so what changed is plain to see.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/drawtarget.h"

namespace vantor_test {

constexpr uint8_t kBackground = 0xEE;
constexpr int t = -1;  // "destination unchanged" in expected rows

struct FlatScreen {
  int32_t width, height;
  std::vector<uint8_t> bytes;
  // Also makes it the draw target.
  FlatScreen(int32_t w, int32_t h) : width(w), height(h), bytes(size_t(w) * h, kBackground) {
    SetClipRect(0, 0, w - 1, h - 1);
    drawTarget.pitch = w;
  }
  uint8_t* data() { return bytes.data(); }
  uint8_t At(int32_t x, int32_t y) const { return bytes[size_t(y) * width + x]; }
  int Changed() const {
    int n = 0;
    for (uint8_t b : bytes) n += b != kBackground;
    return n;
  }
  // Columns x0.. of row y, t for unchanged.
  std::vector<int> Row(int32_t x0, int32_t y, int32_t count) const {
    std::vector<int> row;
    for (int32_t x = x0; x < x0 + count; ++x) row.push_back(At(x, y) == kBackground ? t : At(x, y));
    return row;
  }
};

}  // namespace vantor_test
