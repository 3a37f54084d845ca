#include "render/primitives.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "render/drawtarget.h"

namespace {

// All arithmetic on positions is in 64 bits: callers may pass any int32, and
// a length or a clamp must not wrap into a visible place.
inline uint8_t* Pixel(uint8_t* surface, int64_t x, int64_t y) {
  return surface + static_cast<ptrdiff_t>(y * drawTarget.pitch + x);
}

// Columns first .. last of row y; nothing when last < first.
inline void FillSpan(uint8_t* surface, int64_t first, int64_t last, int64_t y, uint8_t colour) {
  if (last >= first) std::memset(Pixel(surface, first, y), colour, static_cast<size_t>(last - first + 1));
}

// Rows first .. last of column x; nothing when last < first.
inline void FillColumn(uint8_t* surface, int64_t x, int64_t first, int64_t last, uint8_t colour) {
  if (last < first) return;
  const ptrdiff_t pitch = drawTarget.pitch;
  uint8_t* pixel = Pixel(surface, x, first);
  for (int64_t y = first; y <= last; ++y, pixel += pitch) *pixel = colour;
}

}  // namespace

void FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t* surface, int32_t colour) {
  const DrawTarget& target = drawTarget;
  const int64_t first = std::max(left, target.clipLeft), last = std::min(right, target.clipRight);
  const int64_t upper = std::max(top, target.clipTop), lower = std::min(bottom, target.clipBottom);
  if (last < first) return;
  for (int64_t y = upper; y <= lower; ++y) FillSpan(surface, first, last, y, static_cast<uint8_t>(colour));
}

void DrawHLine(int32_t x, int32_t y, int32_t length, uint8_t* surface, int32_t colour) {
  const DrawTarget& target = drawTarget;
  if (y < target.clipTop || y > target.clipBottom) return;
  const int64_t first = std::max<int64_t>(x, target.clipLeft);
  const int64_t last = std::min<int64_t>(int64_t{x} + length - 1, target.clipRight);
  FillSpan(surface, first, last, y, static_cast<uint8_t>(colour));
}

void DrawVLine(int32_t x, int32_t y, int32_t length, uint8_t* surface, int32_t colour) {
  const DrawTarget& target = drawTarget;
  if (x < target.clipLeft || x > target.clipRight) return;
  const int64_t first = std::max<int64_t>(y, target.clipTop);
  const int64_t last = std::min<int64_t>(int64_t{y} + length - 1, target.clipBottom);
  FillColumn(surface, x, first, last, static_cast<uint8_t>(colour));
}

void DrawBox(int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t* surface, int32_t colour) {
  const DrawTarget& target = drawTarget;
  const auto value = static_cast<uint8_t>(colour);
  const int64_t first = std::max(left, target.clipLeft), last = std::min(right, target.clipRight);
  const int64_t upper = std::max(top, target.clipTop), lower = std::min(bottom, target.clipBottom);
  // An edge is drawn only where its own row or column lies inside the clip
  // rectangle; an unclamped side may still lie beyond the opposite edge.
  if (top >= target.clipTop && top <= target.clipBottom) FillSpan(surface, first, last, top, value);
  if (bottom <= target.clipBottom && bottom >= target.clipTop) FillSpan(surface, first, last, bottom, value);
  if (left >= target.clipLeft && left <= target.clipRight) FillColumn(surface, left, upper, lower, value);
  if (right <= target.clipRight && right >= target.clipLeft) FillColumn(surface, right, upper, lower, value);
}

void DrawBoxUnclipped(int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t* surface,
                      int32_t colour) {
  const auto value = static_cast<uint8_t>(colour);
  FillSpan(surface, left, right, top, value);
  FillColumn(surface, left, top, int64_t{bottom} - 1, value);
  FillColumn(surface, right, top, int64_t{bottom} - 1, value);
  FillSpan(surface, left, right, bottom, value);
}

void ClearScreen(uint8_t* surface, int32_t colour) {
  const DrawTarget& target = drawTarget;
  if (target.screenWidth <= 0) return;
  for (int64_t y = 0; y < target.screenHeight; ++y)
    std::memset(Pixel(surface, 0, y), static_cast<uint8_t>(colour), static_cast<size_t>(target.screenWidth));
}

void PutPixel(int32_t x, int32_t y, uint8_t* surface, int32_t colour) {
  *Pixel(surface, x, y) = static_cast<uint8_t>(colour);
}

void GrabRect(int32_t x, int32_t y, int32_t width, int32_t height, const uint8_t* surface, uint8_t* buffer) {
  if (width <= 0 || height <= 0) return;
  const ptrdiff_t pitch = drawTarget.pitch;
  const uint8_t* row = surface + static_cast<ptrdiff_t>(int64_t{y} * pitch + x);
  for (int64_t line = 0; line < height; ++line, row += pitch, buffer += width)
    std::memcpy(buffer, row, static_cast<size_t>(width));
}
