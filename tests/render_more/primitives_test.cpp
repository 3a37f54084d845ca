#include "render/primitives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <vector>

#include "canvas.h"
#include "render/turned.h"

namespace {

using namespace render_test;

// Paints every pixel of the surface for which `inside` holds, clipped or not.
void PaintModel(Canvas& canvas, bool clipped, uint8_t colour,
                const std::function<bool(int64_t, int64_t)>& inside) {
  for (int64_t y = 0; y < canvas.height; ++y)
    for (int64_t x = 0; x < canvas.width; ++x)
      if (inside(x, y) && (!clipped || InClip(x, y))) canvas.At(x, y) = colour;
}

// A bound for a random shape: usually near the surface, sometimes at the
// ends of the int32 range.
int32_t RandomBound(std::mt19937& random, int size) {
  switch (random() % 12) {
    case 0:
      return INT32_MIN + static_cast<int32_t>(random() % 3);
    case 1:
      return INT32_MAX - static_cast<int32_t>(random() % 3);
    default:
      return static_cast<int32_t>(random() % (size + 20)) - 10;
  }
}

class Primitives : public ::testing::Test {
 protected:
  std::mt19937 random{2024};
};

TEST_F(Primitives, ClippedShapesMatchTheirModels) {
  const int cases = Cases(400);
  for (int i = 0; i < cases; ++i) {
    Canvas canvas(40 + static_cast<int>(random() % 30), 30 + static_cast<int>(random() % 20), random);
    canvas.RandomClip(random);
    const int64_t left = RandomBound(random, canvas.width), right = RandomBound(random, canvas.width);
    const int64_t top = RandomBound(random, canvas.height), bottom = RandomBound(random, canvas.height);
    const auto colour = static_cast<int32_t>(random());
    const auto value = static_cast<uint8_t>(colour);
    const auto x = static_cast<int32_t>(left), y = static_cast<int32_t>(top);
    const auto length = static_cast<int32_t>(random() % 3 == 0 ? random() : random() % 80) - 10;

    Canvas expected = canvas, drawn = canvas;
    PaintModel(expected, true, value, [&](int64_t px, int64_t py) {
      return px >= left && px <= right && py >= top && py <= bottom;
    });
    FillRect(x, y, static_cast<int32_t>(right), static_cast<int32_t>(bottom), drawn.Surface(), colour);
    ASSERT_EQ(drawn.memory, expected.memory)
        << "FillRect " << left << ", " << top << " .. " << right << ", " << bottom;

    expected = drawn = canvas;
    PaintModel(expected, true, value,
               [&](int64_t px, int64_t py) { return py == y && px >= x && px < int64_t{x} + length; });
    DrawHLine(x, y, length, drawn.Surface(), colour);
    ASSERT_EQ(drawn.memory, expected.memory) << "DrawHLine " << x << ", " << y << " length " << length;

    expected = drawn = canvas;
    PaintModel(expected, true, value,
               [&](int64_t px, int64_t py) { return px == x && py >= y && py < int64_t{y} + length; });
    DrawVLine(x, y, length, drawn.Surface(), colour);
    ASSERT_EQ(drawn.memory, expected.memory) << "DrawVLine " << x << ", " << y << " length " << length;

    // A box is its outline, cut by the clip rectangle: a side beyond the clip
    // edge is simply not visible, and the edges meeting it run to the edge.
    const int64_t boxLeft = std::min(left, right), boxRight = std::max(left, right);
    const int64_t boxTop = std::min(top, bottom), boxBottom = std::max(top, bottom);
    expected = drawn = canvas;
    PaintModel(expected, true, value, [&](int64_t px, int64_t py) {
      const bool within = px >= boxLeft && px <= boxRight && py >= boxTop && py <= boxBottom;
      return within && (px == boxLeft || px == boxRight || py == boxTop || py == boxBottom);
    });
    DrawBox(static_cast<int32_t>(boxLeft), static_cast<int32_t>(boxTop), static_cast<int32_t>(boxRight),
            static_cast<int32_t>(boxBottom), drawn.Surface(), colour);
    ASSERT_EQ(drawn.memory, expected.memory)
        << "DrawBox " << boxLeft << ", " << boxTop << " .. " << boxRight << ", " << boxBottom;
  }
}

TEST_F(Primitives, NamedClipCases) {
  Canvas canvas(40, 30, random);
  canvas.Target(12, 5, 35, 25);
  // An empty fill, then a one-pixel-wide column.
  Canvas expected = canvas;
  FillRect(20, 8, 19, 12, canvas.Surface(), 3);
  EXPECT_EQ(canvas.memory, expected.memory);
  FillRect(20, 8, 20, 12, canvas.Surface(), 3);
  for (int y = 8; y <= 12; ++y) expected.At(20, y) = 3;
  EXPECT_EQ(canvas.memory, expected.memory);
  // Ten columns of a line starting ten left of the clip.
  DrawHLine(12 - 10, 7, 20, canvas.Surface(), 0x204);
  for (int x = 12; x < 22; ++x) expected.At(x, 7) = 4;
  EXPECT_EQ(canvas.memory, expected.memory);
  // A box reaching past the left clip edge: no left edge, the top and bottom
  // edges start at the clip edge, the right edge is there.
  DrawBox(5, 14, 30, 20, canvas.Surface(), 6);
  for (int x = 12; x <= 30; ++x) expected.At(x, 14) = expected.At(x, 20) = 6;
  for (int y = 14; y <= 20; ++y) expected.At(30, y) = 6;
  EXPECT_EQ(canvas.memory, expected.memory);
}

TEST_F(Primitives, UnclippedOperationsIgnoreTheClipRectangle) {
  Canvas canvas(40, 30, random);
  canvas.Target(10, 10, 20, 20);
  Canvas expected = canvas;
  DrawBoxUnclipped(2, 3, 37, 28, canvas.Surface(), 0x311);
  for (int x = 2; x <= 37; ++x) expected.At(x, 3) = expected.At(x, 28) = 0x11;
  for (int y = 3; y <= 28; ++y) expected.At(2, y) = expected.At(37, y) = 0x11;
  EXPECT_EQ(canvas.memory, expected.memory);

  PutPixel(0, 29, canvas.Surface(), 0x1FF);
  expected.At(0, 29) = 0xFF;
  EXPECT_EQ(canvas.memory, expected.memory);

  // The whole work area and nothing of the pitch beyond it.
  ClearScreen(canvas.Surface(), 0x105);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) expected.At(x, y) = 5;
  EXPECT_EQ(canvas.memory, expected.memory);
}

// A grabbed rectangle copied back with the opaque block copy restores it
// exactly; the buffer is exactly width x height bytes.
TEST_F(Primitives, GrabbedRectangleRoundTrips) {
  const int cases = Cases(50);
  for (int i = 0; i < cases; ++i) {
    Canvas canvas(50, 40, random);
    canvas.Target(0, 0, 49, 39);
    const int32_t width = 1 + static_cast<int32_t>(random() % 50),
                  height = 1 + static_cast<int32_t>(random() % 40);
    const int32_t x = static_cast<int32_t>(random() % (51 - width)),
                  y = static_cast<int32_t>(random() % (41 - height));
    std::vector<uint8_t> buffer(static_cast<size_t>(width) * height);
    GrabRect(x, y, width, height, canvas.Surface(), buffer.data());
    for (int32_t row = 0; row < height; ++row)
      for (int32_t column = 0; column < width; ++column)
        ASSERT_EQ(buffer[static_cast<size_t>(row * width + column)], canvas.At(x + column, y + row));
    const Canvas original = canvas;
    FillRect(x, y, x + width - 1, y + height - 1, canvas.Surface(), 0);
    BlitOpaque(x, y, width, height, canvas.Surface(), buffer.data());
    ASSERT_EQ(canvas.memory, original.memory);
  }
  Canvas canvas(8, 8, random);
  canvas.Target(0, 0, 7, 7);
  std::vector<uint8_t> none;
  GrabRect(0, 0, 0, 5, canvas.Surface(), none.data());
  GrabRect(0, 0, 5, -1, canvas.Surface(), none.data());
}

}  // namespace
