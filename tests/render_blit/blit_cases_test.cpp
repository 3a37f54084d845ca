// Hand-checked sprite drawing cases: mirror mappings on tiny frames, clip
// edges at the screen borders, the run-length walk across a cut, the level
// limits, 16-bit sizes of the Solid blits, the blends after the alpha table
// changes, and the boss figure's layering.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "formats/alpha.h"
#include "render/blit.h"
#include "support/flat_screen.h"

namespace {

using vantor_test::kBackground;
using Screen = vantor_test::FlatScreen;

// A raw frame record over `pixels` (width x height bytes, kept by the caller).
SpriteFrame RawFrame(int32_t width, int32_t height, std::vector<uint8_t>& pixels) {
  SpriteFrame frame{};
  frame.width = width;
  frame.height = height;
  frame.pixels = pixels.data();
  return frame;
}

// width x height random bytes, about a third of them 0 (transparent).
std::vector<uint8_t> RandomPixels(std::mt19937& random, int32_t width, int32_t height) {
  std::vector<uint8_t> pixels(size_t(width) * height);
  for (auto& b : pixels) b = random() % 3 ? uint8_t(random()) : 0;
  return pixels;
}

TEST(RawMirrors, FourByOneAndOneByThree) {
  const uint8_t row[] = {0, 1, 2, 3};
  Screen plain(32, 32);
  BlitCopy(10, 10, 4, 1, plain.data(), row);
  EXPECT_EQ(plain.At(10, 10), kBackground);
  EXPECT_EQ(plain.At(11, 10), 1);
  EXPECT_EQ(plain.At(12, 10), 2);
  EXPECT_EQ(plain.At(13, 10), 3);
  EXPECT_EQ(plain.Changed(), 3);

  Screen mirrored(32, 32);
  BlitCopyMirrorX(10, 10, 4, 1, mirrored.data(), row);
  EXPECT_EQ(mirrored.At(12, 10), 1);
  EXPECT_EQ(mirrored.At(11, 10), 2);
  EXPECT_EQ(mirrored.At(10, 10), 3);
  EXPECT_EQ(mirrored.At(13, 10), kBackground);
  EXPECT_EQ(mirrored.Changed(), 3);

  const uint8_t column[] = {5, 0, 7};
  Screen upside(32, 32);
  BlitCopyMirrorY(0, 0, 1, 3, upside.data(), column);
  EXPECT_EQ(upside.At(0, 0), 7);
  EXPECT_EQ(upside.At(0, 1), kBackground);
  EXPECT_EQ(upside.At(0, 2), 5);
  EXPECT_EQ(upside.Changed(), 2);
}

// 10 x 10, every byte naming its source position: 1 + row * 10 + column.
std::vector<uint8_t> NumberedFrame() {
  std::vector<uint8_t> f(100);
  for (int i = 0; i < 100; ++i) f[i] = uint8_t(1 + i);
  return f;
}
uint8_t Source(int column, int row) { return uint8_t(1 + row * 10 + column); }

TEST(RawClipping, BottomLeftCornerOf320By200) {
  const std::vector<uint8_t> f = NumberedFrame();
  Screen plain(320, 200);
  BlitCopy(-3, 195, 10, 10, plain.data(), f.data());
  EXPECT_EQ(plain.Changed(), 7 * 5);
  EXPECT_EQ(plain.At(0, 195), Source(3, 0));
  EXPECT_EQ(plain.At(6, 199), Source(9, 4));

  Screen turned(320, 200);
  BlitCopyMirrorXY(-3, 195, 10, 10, turned.data(), f.data());
  EXPECT_EQ(turned.Changed(), 7 * 5);
  EXPECT_EQ(turned.At(0, 195), Source(6, 9));
  EXPECT_EQ(turned.At(6, 195), Source(0, 9));
  EXPECT_EQ(turned.At(0, 199), Source(6, 5));
}

TEST(RawClipping, RightEdgeOf640By480) {
  std::vector<uint8_t> f = NumberedFrame();
  Screen plain(640, 480);
  const SpriteFrame frame = RawFrame(10, 10, f);
  DrawSprite(635, 100, plain.data(), &frame, 0, 0, 0);
  EXPECT_EQ(plain.Changed(), 5 * 10);
  for (int c = 0; c < 5; ++c) EXPECT_EQ(plain.At(635 + c, 100), Source(c, 0));

  Screen mirrored(640, 480);
  DrawSprite(635, 100, mirrored.data(), &frame, DRAW_MIRROR_X, 0, 0);
  EXPECT_EQ(mirrored.Changed(), 5 * 10);
  for (int c = 0; c < 5; ++c) EXPECT_EQ(mirrored.At(635 + c, 100), Source(9 - c, 0));

  // One column visible: the first, or the last when mirrored.
  Screen edge(640, 480);
  DrawSprite(639, 0, edge.data(), &frame, 0, 0, 0);
  EXPECT_EQ(edge.Changed(), 10);
  EXPECT_EQ(edge.At(639, 0), Source(0, 0));
  DrawSprite(639, 20, edge.data(), &frame, DRAW_MIRROR_X, 0, 0);
  EXPECT_EQ(edge.At(639, 20), Source(9, 0));

  // Just outside on either side.
  Screen outside(640, 480);
  DrawSprite(640, 0, outside.data(), &frame, 0, 0, 0);
  DrawSprite(-10, 0, outside.data(), &frame, 0, 0, 0);
  DrawSprite(0, 480, outside.data(), &frame, 0, 0, 0);
  DrawSprite(0, -10, outside.data(), &frame, 0, 0, 0);
  EXPECT_EQ(outside.Changed(), 0);
}

// An 8 x 2 image: row 0 is 0 0 5 6 0 0 0 7, row 1 is 1 then seven 0.
const std::vector<uint8_t> kExample = {0x08, 0x00, 0x00, 0x00, 0x11, 0x00, 0x00, 0x00,
                                       0x02, 0x00, 0x02, 0x02, 0x05, 0x06, 0x03, 0x01,
                                       0x07, 0x02, 0x00, 0x00, 0x01, 0x01, 0x07, 0x00};

struct Pixel {
  int x, y, value;
};
void ExpectOnly(const Screen& s, std::initializer_list<Pixel> pixels) {
  for (const Pixel& p : pixels) EXPECT_EQ(s.At(p.x, p.y), p.value) << "at (" << p.x << ", " << p.y << ")";
  EXPECT_EQ(s.Changed(), int(pixels.size()));
}

TEST(RunLengthExample, WholeAndMirrored) {
  Screen plain(16, 4);
  BlitRleCopy(0, 0, 8, 2, plain.data(), kExample.data());
  ExpectOnly(plain, {{2, 0, 5}, {3, 0, 6}, {7, 0, 7}, {0, 1, 1}});

  Screen mirrored(16, 4);
  BlitRleCopyMirrorX(0, 0, 8, 2, mirrored.data(), kExample.data());
  ExpectOnly(mirrored, {{4, 0, 6}, {5, 0, 5}, {0, 0, 7}, {7, 1, 1}});

  Screen solid(16, 4);
  BlitRleSolid(0, 0, 8, 2, solid.data(), kExample.data(), 9);
  ExpectOnly(solid, {{2, 0, 9}, {3, 0, 9}, {7, 0, 9}, {0, 1, 9}});
}

TEST(RunLengthExample, CutOnTheLeftAndTop) {
  Screen left(16, 4);
  SetClipRect(3, 0, 15, 3);
  BlitRleCopy(0, 0, 8, 2, left.data(), kExample.data());
  ExpectOnly(left, {{3, 0, 6}, {7, 0, 7}});

  Screen leftMirrored(16, 4);
  SetClipRect(3, 0, 15, 3);
  BlitRleCopyMirrorX(0, 0, 8, 2, leftMirrored.data(), kExample.data());
  ExpectOnly(leftMirrored, {{4, 0, 6}, {5, 0, 5}, {7, 1, 1}});

  Screen top(16, 4);
  SetClipRect(0, 1, 15, 3);
  BlitRleCopy(0, 0, 8, 2, top.data(), kExample.data());
  ExpectOnly(top, {{0, 1, 1}});

  Screen topMirrored(16, 4);
  SetClipRect(0, 1, 15, 3);
  BlitRleCopyMirrorX(0, 0, 8, 2, topMirrored.data(), kExample.data());
  ExpectOnly(topMirrored, {{7, 1, 1}});

  // Upside down, the first source row lands on the cut-off row 0.
  Screen topFlipped(16, 4);
  SetClipRect(0, 1, 15, 3);
  BlitRleCopyMirrorY(0, 0, 8, 2, topFlipped.data(), kExample.data());
  ExpectOnly(topFlipped, {{2, 1, 5}, {3, 1, 6}, {7, 1, 7}});
}

// The blends read a copy of the table arranged by drawn colour; whatever
// replaces the table (a fill of its own, a build, a load), the next draw
// must mix by the new entries.
TEST(Effects, BlendsFollowEveryChangeOfTheTable) {
  std::mt19937 random(21);
  std::vector<uint8_t> f = RandomPixels(random, 20, 6);
  const SpriteFrame frame = RawFrame(20, 6, f);
  auto check = [&](const char* after) {
    for (int32_t flags : {int32_t{DRAW_BLEND}, DRAW_BLEND | DRAW_SOLID | DRAW_MIRROR_X}) {
      Screen s(30, 10);
      for (auto& b : s.bytes) b = uint8_t(random());
      const std::vector<uint8_t> before = s.bytes;
      DrawSprite(3, 2, s.data(), &frame, flags, 201, 2);
      for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 20; ++c) {
          const uint8_t source = f[r * 20 + (flags & DRAW_MIRROR_X ? 19 - c : c)];
          const size_t at = size_t(2 + r) * 30 + 3 + c;
          const uint8_t drawn = flags & DRAW_SOLID ? 201 : source;
          const uint8_t want = source ? alphaTable[2 * 65536 + before[at] * 256 + drawn] : before[at];
          ASSERT_EQ(s.bytes[at], want) << after << ", flags " << flags << " at " << c << ", " << r;
        }
      }
    }
  };
  for (auto& b : alphaTable) b = uint8_t(random());
  AlphaTableChanged();
  check("own fill");
  const std::string saved =
      (std::filesystem::temp_directory_path() / ("vantor_blend_" + std::to_string(getpid()) + ".alp"))
          .string();
  ASSERT_EQ(SaveAlphaTable(saved.c_str()), ALPHA_OK);

  std::vector<uint8_t> palette(1024);
  for (auto& b : palette) b = uint8_t(random());
  BuildAlphaTable(palette.data(), 1, 254);
  check("build");
  BuildAlphaTableExhaustive(palette.data(), 9, 9);
  check("plain build");
  ASSERT_EQ(LoadAlphaTable(saved.c_str()), ALPHA_OK);
  std::remove(saved.c_str());
  check("load");
}

TEST(Effects, SolidBlendColour15Level6AndSolidLowByte) {
  std::mt19937 random(8);
  for (auto& b : alphaTable) b = uint8_t(random());
  AlphaTableChanged();
  std::vector<uint8_t> f = RandomPixels(random, 12, 9);
  const SpriteFrame frame = RawFrame(12, 9, f);

  Screen s(40, 30);
  for (auto& b : s.bytes) b = uint8_t(random());
  const std::vector<uint8_t> before = s.bytes;
  DrawSprite(5, 7, s.data(), &frame, 12, 15, 6);
  for (int r = 0; r < 9; ++r) {
    for (int c = 0; c < 12; ++c) {
      const size_t at = size_t(7 + r) * 40 + 5 + c;
      const uint8_t want = f[r * 12 + c] ? alphaTable[6 * 65536 + before[at] * 256 + 15] : before[at];
      EXPECT_EQ(s.bytes[at], want) << c << ", " << r;
    }
  }

  Screen solid(40, 30);
  BlitSolid(0, 0, 12, 9, solid.data(), f.data(), 0x130);
  for (int i = 0; i < 12 * 9; ++i) EXPECT_EQ(solid.At(i % 12, i / 12), f[i] ? 0x30 : kBackground);
}

// Out-of-range levels return before anything is read or written: a null
// surface and null pixels are never touched.
TEST(Effects, LevelsOutsideTheTableTouchNothing) {
  SetClipRect(0, 0, 99, 99);
  drawTarget.pitch = 100;
  for (int32_t level : {7, 8, 100, -1, INT32_MIN, INT32_MAX}) {
    BlitBlend(0, 0, 10, 10, nullptr, nullptr, level);
    BlitBlendMirrorXY(0, 0, 10, 10, nullptr, nullptr, level);
    BlitSolidBlend(0, 0, 10, 10, nullptr, nullptr, 1, level);
    BlitSolidBlendMirrorY(0, 0, 10, 10, nullptr, nullptr, 1, level);
    BlitRleBlend(0, 0, 10, 10, nullptr, nullptr, level);
    BlitRleBlendMirrorX(0, 0, 10, 10, nullptr, nullptr, level);
    BlitRleSolidBlend(0, 0, 10, 10, nullptr, nullptr, 1, level);
    BlitRleSolidBlendMirrorXY(0, 0, 10, 10, nullptr, nullptr, 1, level);
  }
  SUCCEED();
}

// The raw Solid blits see the size as 16 bits: a frame 65,539 wide is drawn
// as 3 wide (its first three bytes per row), one 40,000 wide (negative in 16
// bits) not at all. Neither reads past the frame.
TEST(Effects, SolidSizesAreSixteenBit) {
  std::vector<uint8_t> f(65539 * 2);
  for (size_t i = 0; i < f.size(); ++i) f[i] = uint8_t(1 + i % 200);
  SpriteFrame frame = RawFrame(65539, 2, f);
  Screen s(16, 4);
  DrawSprite(0, 0, s.data(), &frame, DRAW_SOLID, 4, 0);
  ExpectOnly(s, {{0, 0, 4}, {1, 0, 4}, {2, 0, 4}, {0, 1, 4}, {1, 1, 4}, {2, 1, 4}});

  frame.width = 40000;
  Screen none(16, 4);
  DrawSprite(0, 0, none.data(), &frame, DRAW_SOLID, 4, 0);
  EXPECT_EQ(none.Changed(), 0);
  // Copy takes the full size and is cut by the clip rectangle as usual.
  DrawSprite(0, 0, none.data(), &frame, 0, 0, 0);
  EXPECT_EQ(none.Changed(), 16 * 2);
}

// Eight 4 x 1 frames holding 10 + their index, frame i (but 0) three columns
// further right per index, so that neighbours overlap by one column and the
// drawing order decides who owns it.
TEST(Composite, LayersSixFramesBackToFront) {
  std::vector<std::vector<uint8_t>> pixels(8);
  SpriteFrame set[8] = {};
  for (int i = 0; i < 8; ++i) {
    pixels[i].assign(4, uint8_t(10 + i));
    set[i].frameCount = 8;
    set[i].width = 4;
    set[i].height = 1;
    set[i].offsetX = 3 * i;
    set[i].pixels = pixels[i].data();
  }
  set[0].offsetX = 20;  // frame 0 goes at (x, y) whatever its offsets say
  set[0].offsetY = 3;

  // Who shows in a column of row 2 when the figure is drawn at (1, 2).
  auto expected = [&](int column, int frameCount) {
    int owner = -1;
    for (int index : {7, 6, 0, 2, 4, 1}) {
      const int left = 1 + (index == 0 ? 0 : 3 * index);
      if (index < frameCount && column >= left && column < left + 4) owner = index;
    }
    return owner < 0 ? int(kBackground) : 10 + owner;
  };
  for (int frameCount : {8, 5, 1, 0}) {
    for (auto& f : set) f.frameCount = frameCount;
    Screen s(40, 8);
    DrawComposite(s.data(), 1, 2, set);
    int drawn = 0;
    for (int column = 0; column < 40; ++column) {
      EXPECT_EQ(s.At(column, 2), expected(column, frameCount)) << column << " of " << frameCount;
      drawn += s.At(column, 2) != kBackground;
    }
    EXPECT_EQ(s.Changed(), drawn) << "only row 2 is drawn on";
  }
  // Frames 3 and 5 own columns 11, 12, 17 and 18 alone and are left out.
  Screen s(40, 8);
  for (auto& f : set) f.frameCount = 8;
  DrawComposite(s.data(), 1, 2, set);
  for (int column : {11, 12, 17, 18}) EXPECT_EQ(s.At(column, 2), kBackground) << column;
  DrawComposite(s.data(), 1, 2, nullptr);
}

}  // namespace
