#include "render/turned.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "canvas.h"
#include "mapping.h"

namespace {

using namespace render_test;

using Call = std::function<void(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t* surface,
                                const uint8_t* pixels, int32_t colour)>;

struct Routine {
  std::string name;
  Place place;
  Store store;
  Call call;
};

Place PlaceOfTurn(int32_t turns) {
  switch (turns) {
    case 0:
      return Place::AsIs;
    case 1:
      return Place::TurnLeft;
    case 2:
      return Place::MirrorXY;
    case 3:
      return Place::TurnRight;
    default:
      return Place::Nowhere;
  }
}

std::vector<Routine> TurnedRoutines() {
  auto narrow = [](int32_t v) { return static_cast<int16_t>(v); };
  std::vector<Routine> routines = {
      {"BlitCopyTurnLeft", Place::TurnLeft, Store::Copy,
       [=](int32_t x, int32_t y, int32_t w, int32_t h, uint8_t* s, const uint8_t* p, int32_t) {
         BlitCopyTurnLeft(x, y, narrow(w), narrow(h), s, p);
       }},
      {"BlitCopyTurnRight", Place::TurnRight, Store::Copy,
       [=](int32_t x, int32_t y, int32_t w, int32_t h, uint8_t* s, const uint8_t* p, int32_t) {
         BlitCopyTurnRight(x, y, narrow(w), narrow(h), s, p);
       }},
      {"BlitSolidTurnLeft", Place::TurnLeft, Store::Solid,
       [=](int32_t x, int32_t y, int32_t w, int32_t h, uint8_t* s, const uint8_t* p, int32_t colour) {
         BlitSolidTurnLeft(x, y, narrow(w), narrow(h), s, p, colour);
       }},
      {"BlitSolidTurnRight", Place::TurnRight, Store::Solid,
       [=](int32_t x, int32_t y, int32_t w, int32_t h, uint8_t* s, const uint8_t* p, int32_t colour) {
         BlitSolidTurnRight(x, y, narrow(w), narrow(h), s, p, colour);
       }},
      {"BlitOpaqueTurnLeft", Place::TurnLeft, Store::Opaque,
       [=](int32_t x, int32_t y, int32_t w, int32_t h, uint8_t* s, const uint8_t* p, int32_t) {
         BlitOpaqueTurnLeft(x, y, narrow(w), narrow(h), s, p);
       }},
      {"BlitOpaqueTurnRight", Place::TurnRight, Store::Opaque,
       [=](int32_t x, int32_t y, int32_t w, int32_t h, uint8_t* s, const uint8_t* p, int32_t) {
         BlitOpaqueTurnRight(x, y, narrow(w), narrow(h), s, p);
       }},
  };
  // The entry points, turn counts 0 .. 3 and a few that are not turn counts.
  for (int32_t turns : {0, 1, 2, 3, 4, -1}) {
    const std::string suffix = "(turns " + std::to_string(turns) + ")";
    routines.push_back({"DrawSpriteTurned" + suffix, PlaceOfTurn(turns), Store::Copy,
                        [=](int32_t x, int32_t y, int32_t w, int32_t h, uint8_t* s, const uint8_t* p,
                            int32_t) { DrawSpriteTurned(x, y, w, h, s, p, turns); }});
    routines.push_back({"DrawSolidTurned" + suffix, PlaceOfTurn(turns), Store::Solid,
                        [=](int32_t x, int32_t y, int32_t w, int32_t h, uint8_t* s, const uint8_t* p,
                            int32_t colour) { DrawSolidTurned(x, y, w, h, s, p, colour, turns); }});
    routines.push_back({"BlitOpaqueTurned" + suffix, PlaceOfTurn(turns), Store::Opaque,
                        [=](int32_t x, int32_t y, int32_t w, int32_t h, uint8_t* s, const uint8_t* p,
                            int32_t) { BlitOpaqueTurned(x, y, w, h, s, p, turns); }});
  }
  return routines;
}

// Every routine against the model over random blocks, positions (the far
// ones included) and clip rectangles; the guard border must stay as it was.
TEST(TurnedBlits, MatchTheMappingOverRandomCases) {
  std::mt19937 random(1234);
  const int cases = Cases(300);
  for (const Routine& routine : TurnedRoutines()) {
    for (int i = 0; i < cases; ++i) {
      Canvas canvas(64 + static_cast<int>(random() % 16), 48 + static_cast<int>(random() % 16), random);
      canvas.RandomClip(random);
      const int32_t w = static_cast<int32_t>(random() % 40) - 3, h = static_cast<int32_t>(random() % 40) - 3;
      const std::vector<uint8_t> pixels = RandomPixels(random, int64_t{w > 0 ? w : 0} * (h > 0 ? h : 0));
      // A turned block spans h columns and w rows.
      const bool turned = routine.place == Place::TurnLeft || routine.place == Place::TurnRight;
      const int32_t x = RandomPosition(random, drawTarget.clipLeft, drawTarget.clipRight, turned ? h : w);
      const int32_t y = RandomPosition(random, drawTarget.clipTop, drawTarget.clipBottom, turned ? w : h);
      const auto colour = static_cast<int32_t>(random());
      Canvas expected = canvas;
      DrawModel(expected, routine.place, routine.store, x, y, w, h, pixels, static_cast<uint8_t>(colour));
      routine.call(x, y, w, h, canvas.Surface(), pixels.data(), colour);
      ASSERT_EQ(canvas.memory, expected.memory)
          << routine.name << " of " << w << " x " << h << " at (" << x << ", " << y << "), clip "
          << drawTarget.clipLeft << ", " << drawTarget.clipTop << " .. " << drawTarget.clipRight << ", "
          << drawTarget.clipBottom;
    }
  }
}

class TurnedExamples : public ::testing::Test {
 protected:
  std::mt19937 random{77};
  Canvas canvas{16, 12, random};
  void SetUp() override { canvas.Target(0, 0, 15, 11); }
  // Rows `rows` of columns 0 .. columns - 1.
  std::vector<std::vector<int>> Corner(int columns, int rows) {
    std::vector<std::vector<int>> corner(static_cast<size_t>(rows));
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < columns; ++x) corner[static_cast<size_t>(y)].push_back(canvas.At(x, y));
    return corner;
  }
};

TEST_F(TurnedExamples, ThreeByTwoImageTurnedEachWay) {
  const std::vector<uint8_t> image = {1, 2, 3, 4, 5, 6};  // 3 wide, 2 tall
  using Rows = std::vector<std::vector<int>>;
  BlitOpaqueTurnLeft(0, 0, 3, 2, canvas.Surface(), image.data());
  EXPECT_EQ(Corner(2, 3), (Rows{{3, 6}, {2, 5}, {1, 4}}));
  BlitOpaqueTurnRight(0, 0, 3, 2, canvas.Surface(), image.data());
  EXPECT_EQ(Corner(2, 3), (Rows{{4, 1}, {5, 2}, {6, 3}}));
  BlitOpaqueTurned(0, 0, 3, 2, canvas.Surface(), image.data(), 2);
  EXPECT_EQ(Corner(3, 2), (Rows{{6, 5, 4}, {3, 2, 1}}));
  DrawSpriteTurned(0, 0, 3, 2, canvas.Surface(), image.data(), 1);
  EXPECT_EQ(Corner(2, 3), (Rows{{3, 6}, {2, 5}, {1, 4}}));
  DrawSolidTurned(0, 0, 3, 2, canvas.Surface(), image.data(), 0x109, 3);
  EXPECT_EQ(Corner(2, 3), (Rows{{9, 9}, {9, 9}, {9, 9}}));
}

TEST_F(TurnedExamples, FrameHalfLeftOfTheClipDrawsItsLastSourceRows) {
  canvas.Target(6, 0, 15, 11);
  std::vector<uint8_t> frame(2 * 8);  // width 2, height 8: turned, 8 columns by 2 rows
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(100 + i);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x) canvas.At(x, y) = 0;
  Canvas expected = canvas;
  DrawModel(expected, Place::TurnLeft, Store::Copy, 6 - 4, 3, 2, 8, frame, 0);
  BlitCopyTurnLeft(6 - 4, 3, 2, 8, canvas.Surface(), frame.data());
  EXPECT_EQ(canvas.memory, expected.memory);
  std::vector<int> rowsSeen;  // source column 1 of each row lands on row 3
  for (int x = 0; x < 16; ++x)
    if (canvas.At(x, 3) != 0) rowsSeen.push_back((canvas.At(x, 3) - 100) / 2);
  EXPECT_EQ(rowsSeen, (std::vector<int>{4, 5, 6, 7}));
}

TEST_F(TurnedExamples, CountsOtherThanZeroToThreeDrawNothing) {
  const std::vector<uint8_t> image(6, 7);
  const Canvas before = canvas;
  for (int32_t turns : {4, 5, -1, -4, INT32_MIN, INT32_MAX}) {
    DrawSpriteTurned(1, 1, 3, 2, canvas.Surface(), image.data(), turns);
    DrawSolidTurned(1, 1, 3, 2, canvas.Surface(), image.data(), 9, turns);
    BlitOpaqueTurned(1, 1, 3, 2, canvas.Surface(), image.data(), turns);
  }
  EXPECT_EQ(canvas.memory, before.memory);
}

// The turned routines and the mirrored opaque copy take sizes as 16-bit
// values: a size past 32767 is negative there and draws nothing, and one
// past 65535 wraps to a smaller block, so nothing beyond the real block is
// ever read (the pixel vectors are exactly as long as the block).
TEST_F(TurnedExamples, SizesReachTheTurnedRoutinesAsSixteenBits) {
  const std::vector<uint8_t> image = {1, 2, 3, 4, 5, 6};
  const Canvas before = canvas;
  for (int32_t turns : {1, 2, 3}) {
    // The half turn of the transparent copy is BlitCopyMirrorXY, whose sizes are 32-bit.
    if (turns != 2) DrawSpriteTurned(0, 0, 40000, 2, canvas.Surface(), image.data(), turns);
    DrawSolidTurned(0, 0, 3, 32768, canvas.Surface(), image.data(), 9, turns);
    BlitOpaqueTurned(0, 0, 3, 65535, canvas.Surface(), image.data(), turns);
  }
  EXPECT_EQ(canvas.memory, before.memory);
  Canvas expected = canvas;
  DrawModel(expected, Place::TurnLeft, Store::Opaque, 0, 0, 3, 2, image, 0);
  BlitOpaqueTurned(0, 0, 65536 + 3, 65536 * 2 + 2, canvas.Surface(), image.data(), 1);
  EXPECT_EQ(canvas.memory, expected.memory);
}

}  // namespace
