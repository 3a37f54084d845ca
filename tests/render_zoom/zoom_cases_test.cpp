// Hand-checked scaled drawing: tiny frames in each orientation, the column
// each size shows, clip cuts and the rescale they cause, the run-length walk
// across a cut, which source rows are read at all, the level limits, the
// centring rule, and the translucent box.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "formats/alpha.h"
#include "formats/rle_encode.h"
#include "render/blit.h"
#include "render/blit_wide.h"
#include "render/zoom.h"
#include "support/flat_screen.h"
#include "zoom_model.h"

namespace {

using vantor_test::kBackground;
using vantor_test::t;
using Screen = vantor_test::FlatScreen;

SpriteFrame Raw(int32_t w, int32_t h, const std::vector<uint8_t>& pixels) {
  SpriteFrame f{};
  f.width = w;
  f.height = h;
  f.pixels = const_cast<uint8_t*>(pixels.data());
  return f;
}

const std::vector<uint8_t> kTwoByTwo = {1, 2, 3, 0};

TEST(ZoomRaw, TwoByTwoAtFourByFourInThreeOrientations) {
  Screen plain(8, 8);
  ZoomCopy(2, 2, 2, 2, plain.data(), 4, 4, kTwoByTwo.data());
  EXPECT_EQ(plain.Row(2, 2, 4), (std::vector<int>{1, 1, 2, 2}));
  EXPECT_EQ(plain.Row(2, 3, 4), (std::vector<int>{1, 1, 2, 2}));
  EXPECT_EQ(plain.Row(2, 4, 4), (std::vector<int>{3, 3, t, t}));
  EXPECT_EQ(plain.Row(2, 5, 4), (std::vector<int>{3, 3, t, t}));
  EXPECT_EQ(plain.Changed(), 12);

  Screen mirrorX(8, 8);
  ZoomCopyMirrorX(2, 2, 2, 2, mirrorX.data(), 4, 4, kTwoByTwo.data());
  EXPECT_EQ(mirrorX.Row(2, 2, 4), (std::vector<int>{2, 2, 1, 1}));
  EXPECT_EQ(mirrorX.Row(2, 3, 4), (std::vector<int>{2, 2, 1, 1}));
  EXPECT_EQ(mirrorX.Row(2, 4, 4), (std::vector<int>{t, t, 3, 3}));
  EXPECT_EQ(mirrorX.Row(2, 5, 4), (std::vector<int>{t, t, 3, 3}));
  EXPECT_EQ(mirrorX.Changed(), 12);

  Screen mirrorY(8, 8);
  ZoomCopyMirrorY(2, 2, 2, 2, mirrorY.data(), 4, 4, kTwoByTwo.data());
  EXPECT_EQ(mirrorY.Row(2, 2, 4), (std::vector<int>{3, 3, t, t}));
  EXPECT_EQ(mirrorY.Row(2, 3, 4), (std::vector<int>{3, 3, t, t}));
  EXPECT_EQ(mirrorY.Row(2, 4, 4), (std::vector<int>{1, 1, 2, 2}));
  EXPECT_EQ(mirrorY.Row(2, 5, 4), (std::vector<int>{1, 1, 2, 2}));

  // Flags 3: the frame's top-left pixel at the block's bottom-right corner.
  Screen half(8, 8);
  const SpriteFrame f = Raw(2, 2, kTwoByTwo);
  DrawSpriteZoom(4, 4, half.data(), &f, 4, 4, DRAW_MIRROR_X | DRAW_MIRROR_Y, 0, 0);
  EXPECT_EQ(half.At(5, 5), 1);
  EXPECT_EQ(half.Row(2, 2, 4), (std::vector<int>{t, t, 3, 3}));
  EXPECT_EQ(half.Row(2, 5, 4), (std::vector<int>{2, 2, 1, 1}));
}

TEST(ZoomRaw, TwoByTwoAtOneByOneKeepsTheLastPixel) {
  // The last source column and row survive: pixel (1, 1), which is 0.
  Screen s(4, 4);
  ZoomCopy(1, 1, 2, 2, s.data(), 1, 1, kTwoByTwo.data());
  EXPECT_EQ(s.Changed(), 0);
  const std::vector<uint8_t> other = {1, 2, 3, 9};
  ZoomCopy(1, 1, 2, 2, s.data(), 1, 1, other.data());
  EXPECT_EQ(s.At(1, 1), 9);
  EXPECT_EQ(s.Changed(), 1);
}

TEST(ZoomRaw, SolidKeepsTransparencyAndUsesTheLowByte) {
  for (int32_t colour : {56, 312}) {
    Screen s(8, 8);
    ZoomSolid(0, 0, 2, 2, s.data(), 4, 4, kTwoByTwo.data(), colour);
    EXPECT_EQ(s.Changed(), 12);
    EXPECT_EQ(s.At(0, 0), 56);
    EXPECT_EQ(s.At(3, 3), kBackground);
  }
}

// 0, 1, ..., n - 1 in a row, shifted by one so that none is transparent.
std::vector<uint8_t> Numbered(int32_t n) {
  std::vector<uint8_t> row(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) row[size_t(i)] = uint8_t(i + 1);
  return row;
}

TEST(ZoomRaw, ColumnsShownBySize) {
  struct Case {
    int32_t from, to;
    std::vector<int> columns;
  };
  const Case cases[] = {
      {4, 6, {0, 1, 1, 2, 3, 3}},
      {4, 2, {1, 3}},
      {2, 5, {0, 0, 1, 1, 1}},
      {10, 11, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9}},  // one more: only the last repeats
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> row = Numbered(c.from);
    Screen s(16, 1);
    ZoomCopy(0, 0, c.from, 1, s.data(), c.to, 1, row.data());
    std::vector<int> expected;
    for (int column : c.columns) expected.push_back(column + 1);
    EXPECT_EQ(s.Row(0, 0, c.to), expected) << c.from << " onto " << c.to;
  }
  // Through the dispatcher, 10 onto 11 takes the scaled path too.
  const std::vector<uint8_t> row = Numbered(10);
  const SpriteFrame f = Raw(10, 1, row);
  Screen s(16, 1);
  DrawSpriteZoom(5, 0, s.data(), &f, 11, 1, 0, 0, 0);
  EXPECT_EQ(s.Row(0, 0, 11), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10}));
}

TEST(ZoomRaw, ClippedImagesAreRescaledByThemselves) {
  // Width 7 from 3 columns, one column left of clipLeft: the visible six
  // show 0 0 1 1 2 2 (unclipped they would be 0 1 1 2 2 2).
  const std::vector<uint8_t> row = Numbered(3);
  Screen s(16, 1);
  SetClipRect(4, 0, 15, 0);
  ZoomCopy(3, 0, 3, 1, s.data(), 7, 1, row.data());
  EXPECT_EQ(s.Row(3, 0, 7), (std::vector<int>{t, 1, 1, 2, 2, 3, 3}));
  Screen whole(16, 1);
  ZoomCopy(3, 0, 3, 1, whole.data(), 7, 1, row.data());
  EXPECT_EQ(whole.Row(3, 0, 7), (std::vector<int>{1, 1, 2, 2, 3, 3, 3}));

  // The last column on clipLeft draws one column; one further, nothing.
  Screen edge(16, 1);
  SetClipRect(4, 0, 15, 0);
  ZoomCopy(-2, 0, 3, 1, edge.data(), 7, 1, row.data());
  EXPECT_EQ(edge.Changed(), 1);
  EXPECT_EQ(edge.At(4, 0), 3);
  ZoomCopy(-3, 0, 3, 1, edge.data(), 7, 1, row.data());
  EXPECT_EQ(edge.Changed(), 1);
}

TEST(ZoomRaw, TwoHundredPercentWithTenColumnsCut) {
  // 20 x 4 at 40 x 8 with its left 10 columns outside: source columns 5 to
  // 19 at exactly 2 x 2 each.
  std::vector<uint8_t> frame(20 * 4);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 20; ++c) frame[size_t(r * 20 + c)] = uint8_t(1 + r * 20 + c);
  Screen s(40, 8);
  ZoomCopy(-10, 0, 20, 4, s.data(), 40, 8, frame.data());
  EXPECT_EQ(s.Changed(), 30 * 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 30; ++x) ASSERT_EQ(s.At(x, y), 1 + (y / 2) * 20 + 5 + x / 2) << x << ", " << y;
}

TEST(ZoomLevels, SevenAndNegativeDrawNothing) {
  zoom_test::FillAlphaTable(3);
  const SpriteFrame f = Raw(2, 2, kTwoByTwo);
  for (int32_t flags : {int32_t{DRAW_BLEND}, DRAW_BLEND | DRAW_SOLID, DRAW_BLEND | DRAW_MIRROR_X}) {
    for (int32_t level : {7, 8, -1, INT32_MIN}) {
      Screen s(8, 8);
      DrawSpriteZoom(4, 4, s.data(), &f, 4, 4, flags, 5, level);
      DrawSpriteZoom(4, 4, s.data(), &f, 3, 5, flags, 5, level);
      EXPECT_EQ(s.Changed(), 0) << "flags " << flags << " level " << level;
    }
  }
  Screen drawn(8, 8);
  ZoomBlend(0, 0, 2, 2, drawn.data(), 4, 4, kTwoByTwo.data(), 6);
  EXPECT_EQ(drawn.At(0, 0), alphaTable[6 * 65536 + kBackground * 256 + 1]);
  EXPECT_EQ(drawn.At(3, 3), kBackground);
}

TEST(ZoomDispatch, CentringZeroSizesAndIgnoredFlags) {
  const std::vector<uint8_t> row = Numbered(5);
  const SpriteFrame f = Raw(5, 1, row);
  // Odd width 5 at centre 100 covers 98..102; even 4 covers 98..101.
  Screen odd(128, 4);
  DrawSpriteZoom(100, 1, odd.data(), &f, 5, 1, 0, 0, 0);
  EXPECT_EQ(odd.Row(97, 1, 7), (std::vector<int>{t, 1, 2, 3, 4, 5, t}));
  Screen even(128, 4);
  DrawSpriteZoom(100, 1, even.data(), &f, 4, 1, 0, 0, 0);
  EXPECT_EQ(even.Row(97, 1, 6), (std::vector<int>{t, 2, 3, 4, 5, t}));
  // Height 2 at centre row 1 starts at row 0.
  Screen tall(128, 4);
  DrawSpriteZoom(100, 1, tall.data(), &f, 5, 2, 0, 0, 0);
  EXPECT_EQ(tall.Row(98, 0, 5), tall.Row(98, 1, 5));
  EXPECT_EQ(tall.Changed(), 10);

  Screen zero(16, 16);
  DrawSpriteZoom(8, 8, zero.data(), &f, 0, 4, 0, 0, 0);
  DrawSpriteZoom(8, 8, zero.data(), &f, 4, 0, 0, 0, 0);
  DrawSpriteZoom(8, 8, zero.data(), &f, -3, 4, 0, 0, 0);
  EXPECT_EQ(zero.Changed(), 0);

  Screen plain(16, 4), high(16, 4);
  DrawSpriteZoom(8, 1, plain.data(), &f, 9, 2, 0, 0, 0);
  DrawSpriteZoom(8, 1, high.data(), &f, 9, 2, 16, 0, 0);
  EXPECT_EQ(plain.bytes, high.bytes);
  EXPECT_EQ(plain.Changed(), 18);
}

// One 5-column row: skip 1, pixels 7 8 9; then skip 1, length 0.
const std::vector<uint8_t> kRunRow = {4, 0, 0, 0, 2, 0, 1, 3, 7, 8, 9, 1, 0};

TEST(ZoomRle, RunRowAtTenWideWholeAndCut) {
  Screen whole(16, 1);
  ZoomRleCopy(0, 0, 5, 1, whole.data(), 10, 1, kRunRow.data());
  EXPECT_EQ(whole.Row(0, 0, 10), (std::vector<int>{t, t, 7, 7, 8, 8, 9, 9, t, t}));

  // Left 3 columns cut: sL = 1, sw' = 4, dw' = 7; the same as the raw row.
  Screen cut(16, 1);
  SetClipRect(3, 0, 15, 0);
  ZoomRleCopy(0, 0, 5, 1, cut.data(), 10, 1, kRunRow.data());
  EXPECT_EQ(cut.Row(3, 0, 7), (std::vector<int>{7, 8, 8, 9, 9, t, t}));
  EXPECT_EQ(cut.Changed(), 5);
  const std::vector<uint8_t> raw = {0, 7, 8, 9, 0};
  Screen rawCut(16, 1);
  SetClipRect(3, 0, 15, 0);
  ZoomCopy(0, 0, 5, 1, rawCut.data(), 10, 1, raw.data());
  EXPECT_EQ(rawCut.bytes, cut.bytes);

  // Mirrored with the right 3 columns cut: the window starts at source
  // column 1.
  Screen mirrored(16, 1);
  SetClipRect(0, 0, 6, 0);
  ZoomRleCopyMirrorX(0, 0, 5, 1, mirrored.data(), 10, 1, kRunRow.data());
  EXPECT_EQ(mirrored.Row(0, 0, 7), (std::vector<int>{t, t, 9, 9, 8, 8, 7}));
  EXPECT_EQ(mirrored.Changed(), 5);
}

TEST(ZoomRle, ZeroInsideARunIsDrawn) {
  const std::vector<uint8_t> block = {4, 0, 0, 0, 1, 0, 0, 2, 0, 5};
  Screen copy(8, 1);
  ZoomRleCopy(0, 0, 2, 1, copy.data(), 4, 1, block.data());
  EXPECT_EQ(copy.Row(0, 0, 4), (std::vector<int>{0, 0, 5, 5}));
  Screen solid(8, 1);
  ZoomRleSolid(0, 0, 2, 1, solid.data(), 4, 1, block.data(), 33);
  EXPECT_EQ(solid.Row(0, 0, 4), (std::vector<int>{33, 33, 33, 33}));
}

// A run-length block of `height` rows in which the rows `unread` says are
// never to be read have offsets 2 GB past the block: reading one would
// fault, and under the sanitizer is reported.
std::vector<uint8_t> Poisoned(const std::vector<uint8_t>& image, int32_t width, int32_t height,
                              bool (*unread)(int32_t row)) {
  std::vector<uint8_t> block = EncodeRleFrame(image.data(), width, height);
  for (int32_t r = 0; r < height; ++r) {
    if (!unread(r)) continue;
    const uint32_t far = 0x7FFFFF00u;
    for (int k = 0; k < 4; ++k) block[size_t(r) * 4 + k] = uint8_t(far >> (8 * k));
  }
  return block;
}

TEST(ZoomRle, RowsNotShownAreNeverRead) {
  std::vector<uint8_t> image(size_t(8) * 100);
  for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(1 + i % 200);
  // 100 rows onto 50: only the odd rows show.
  const std::vector<uint8_t> odd = Poisoned(image, 8, 100, [](int32_t r) { return r % 2 == 0; });
  Screen s(8, 50);
  ZoomRleCopy(0, 0, 8, 100, s.data(), 8, 50, odd.data());
  for (int y = 0; y < 50; ++y) ASSERT_EQ(s.At(0, y), image[size_t(2 * y + 1) * 8]) << y;

  // Cut at the top: the first 60 rows are never read.
  const std::vector<uint8_t> low = Poisoned(image, 8, 100, [](int32_t r) { return r < 60; });
  Screen c(8, 50);
  ZoomRleCopy(0, -120, 8, 100, c.data(), 8, 200, low.data());
  EXPECT_EQ(c.At(0, 0), image[size_t(60) * 8]);
  EXPECT_EQ(c.At(0, 49), image[size_t(84) * 8]);
}

TEST(ZoomRle, RowEndingEarlyLeavesTheRestUnchanged) {
  // 6 wide: the row's only run covers columns 1 and 2.
  const std::vector<uint8_t> block = {4, 0, 0, 0, 1, 0, 1, 2, 4, 5};
  for (int32_t width : {3, 6, 12, 17}) {
    Screen s(20, 1);
    ZoomRleCopy(0, 0, 6, 1, s.data(), width, 1, block.data());
    std::vector<uint8_t> raw = {0, 4, 5, 0, 0, 0};
    Screen r(20, 1);
    ZoomCopy(0, 0, 6, 1, r.data(), width, 1, raw.data());
    EXPECT_EQ(s.bytes, r.bytes) << width;
  }
}

// One 8-column row: column 0 [9], skip 1, columns 2-3 [4 0], column 4 [6],
// columns 5-6 [5 3], column 7 empty. Halved, places 0..3 show columns 1, 3,
// 5 and 7, so the runs at columns 0 and 4 drop whole.
const std::vector<uint8_t> kShrinkRow = {4, 0, 0, 0, 4, 0, 0, 1, 9, 1, 2, 4, 0, 0, 1, 6, 0, 2, 5, 3};

TEST(ZoomRle, HalvedRowsDropWholeRunsAndBlendEachPlaceOnce) {
  zoom_test::FillAlphaTable(4);
  Screen plain(8, 1), mirrored(8, 1), blended(8, 1), cut(8, 1);
  ZoomRleCopy(0, 0, 8, 1, plain.data(), 4, 1, kShrinkRow.data());
  EXPECT_EQ(plain.Row(0, 0, 4), (std::vector<int>{t, 0, 5, t}));
  EXPECT_EQ(plain.Changed(), 2);
  ZoomRleCopyMirrorX(0, 0, 8, 1, mirrored.data(), 4, 1, kShrinkRow.data());
  EXPECT_EQ(mirrored.Row(0, 0, 4), (std::vector<int>{t, 5, 0, t}));
  ZoomRleBlend(0, 0, 8, 1, blended.data(), 4, 1, kShrinkRow.data(), 2);
  EXPECT_EQ(blended.At(1, 0), alphaTable[2 * 65536 + kBackground * 256 + 0]);
  EXPECT_EQ(blended.At(2, 0), alphaTable[2 * 65536 + kBackground * 256 + 5]);
  EXPECT_EQ(blended.Changed(), 2);
  // The left place cut: the 6 columns from column 2 onto places 1..3, which
  // show columns 3, 5 and 7 again.
  SetClipRect(1, 0, 7, 0);
  ZoomRleCopy(0, 0, 8, 1, cut.data(), 4, 1, kShrinkRow.data());
  EXPECT_EQ(cut.Row(0, 0, 4), (std::vector<int>{t, 0, 5, t}));
}

// Destination rows closer together than the image is wide share bytes, so
// the order of the rows shows: a run-length image drawn whole must give
// what it gives drawn one destination row after another (each row its own
// clip rectangle, top to bottom), shrunk and enlarged, in every effect.
TEST(ZoomRle, RowsCloserThanTheImageIsWideDrawInOrder) {
  zoom_test::FillAlphaTable(5);
  std::mt19937 random(77);
  const int32_t w = 48, h = 40, pitch = 16, span = 40;
  std::vector<uint8_t> image(size_t(w) * h);
  for (auto& p : image) p = random() % 3 == 0 ? 0 : uint8_t(random());
  const std::vector<uint8_t> block = EncodeRleFrame(image.data(), w, h);
  const SpriteFrame frame = vantor_test::Sprite(w, h, true, block);
  for (const int32_t dh : {20, 60}) {
    std::vector<uint8_t> start(size_t(pitch) * (dh - 1) + span);
    for (auto& b : start) b = uint8_t(random());
    for (const int32_t flags : std::initializer_list<int32_t>{
             0, DRAW_MIRROR_X, DRAW_BLEND, DRAW_BLEND | DRAW_MIRROR_X, DRAW_SOLID, DRAW_SOLID | DRAW_BLEND}) {
      drawTarget.pitch = pitch;
      std::vector<uint8_t> whole = start, byRow = start;
      SetClipRect(0, 0, span - 1, dh - 1);
      DrawSpriteZoom(span / 2, dh / 2, whole.data(), &frame, span, dh, flags, 0x5A, 3);
      for (int32_t y = 0; y < dh; ++y) {
        SetClipRect(0, y, span - 1, y);
        DrawSpriteZoom(span / 2, dh / 2, byRow.data(), &frame, span, dh, flags, 0x5A, 3);
      }
      ASSERT_EQ(whole, byRow) << "drawn " << span << " x " << dh << ", flags " << flags;
    }
  }
}

// Column maps and gather plans are kept from one draw to the next while
// the columns and width stay the same. A wider frame cut to the same
// columns may be read further along its rows than a narrow one: a plan
// kept from it must not be used for the narrow frame, whose rows end
// sooner (the sanitizer build catches a read past its exactly sized
// pixels). Frames wider than 64 columns, with the wide kernels off, so
// that the portable gather runs on every processor.
TEST(ZoomRaw, KeptPlansAreNotUsedForFramesWithShorterRows) {
  UseWideBlits(false);
  std::vector<uint8_t> narrow(size_t(72) * 3), wide(size_t(150) * 3);
  for (size_t i = 0; i < narrow.size(); ++i) narrow[i] = uint8_t(1 + i % 251);
  for (size_t i = 0; i < wide.size(); ++i) wide[i] = uint8_t(1 + i % 241);
  // Fresh: the narrow frame at twice its width, after a draw at another
  // size.
  Screen reference(150, 6);
  ZoomCopy(0, 0, 72, 3, reference.data(), 100, 6, narrow.data());
  reference = Screen(150, 6);
  ZoomCopy(0, 0, 72, 3, reference.data(), 144, 6, narrow.data());
  // Right after the wide frame cut to the same 72 columns onto the same
  // 144 places (itself after a draw at another size).
  Screen cut(144, 6);
  ZoomCopy(0, 0, 72, 3, cut.data(), 100, 6, narrow.data());
  ZoomCopy(0, 0, 150, 3, cut.data(), 300, 6, wide.data());
  Screen after(150, 6);
  ZoomCopy(0, 0, 72, 3, after.data(), 144, 6, narrow.data());
  UseWideBlits(true);
  EXPECT_EQ(after.bytes, reference.bytes);
}

// Raw rows 16 to 40 places wide, whose last group of 16 overlaps the one
// before, copied and blended: every place is drawn once, with its own byte.
TEST(ZoomRaw, RowsAcrossGroupsOfSixteen) {
  zoom_test::FillAlphaTable(6);
  std::vector<uint8_t> image(80);
  for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i % 7 == 3 ? 0 : 1 + i);
  for (int32_t width = 16; width <= 40; ++width) {
    Screen copy(48, 1), blend(48, 1);
    ZoomCopy(0, 0, 80, 1, copy.data(), width, 1, image.data());
    ZoomBlend(0, 0, 80, 1, blend.data(), width, 1, image.data(), 1);
    for (int32_t j = 0; j < 48; ++j) {
      const uint8_t shown = j < width ? image[size_t((int64_t{j} + 1) * 80 - 1) / width] : 0;
      ASSERT_EQ(copy.At(j, 0), shown != 0 ? shown : kBackground) << width << " " << j;
      ASSERT_EQ(blend.At(j, 0), shown != 0 ? alphaTable[65536 + kBackground * 256 + shown] : kBackground)
          << width << " " << j;
    }
  }
}

TEST(FillBoxBlend, ClipsAndBlendsEveryPixelOnce) {
  zoom_test::FillAlphaTable(9);
  Screen empty(16, 16);
  FillBoxBlend(2, 2, 0, 5, empty.data(), 4, 3);
  FillBoxBlend(2, 2, 5, 0, empty.data(), 4, 3);
  FillBoxBlend(2, 2, -5, 5, empty.data(), 4, 3);
  FillBoxBlend(2, 2, 5, 5, empty.data(), 4, 7);
  FillBoxBlend(2, 2, 5, 5, empty.data(), 4, -1);
  FillBoxBlend(INT32_MAX, 2, INT32_MAX, 5, empty.data(), 4, 3);
  EXPECT_EQ(empty.Changed(), 0);

  // Overlapping the clip rectangle by one column.
  Screen column(16, 16);
  SetClipRect(4, 4, 11, 11);
  FillBoxBlend(-5, 0, 10, 16, column.data(), 300, 2);
  const uint8_t once = alphaTable[2 * 65536 + kBackground * 256 + (300 & 255)];
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) EXPECT_EQ(column.At(x, y), x == 4 && y >= 4 && y <= 11 ? once : kBackground);

  // Every level rewrites the whole box; twice blends twice.
  for (int32_t level = 0; level < 7; ++level) {
    Screen s(16, 16);
    FillBoxBlend(3, 3, 4, 2, s.data(), 17, level);
    FillBoxBlend(3, 3, 4, 2, s.data(), 17, level);
    const uint8_t first = alphaTable[level * 65536 + kBackground * 256 + 17];
    const uint8_t second = alphaTable[level * 65536 + first * 256 + 17];
    for (int y = 3; y < 5; ++y)
      for (int x = 3; x < 7; ++x) EXPECT_EQ(s.At(x, y), second);
    EXPECT_EQ(s.Row(2, 3, 1)[0], t);
    EXPECT_EQ(s.Row(7, 4, 1)[0], t);
  }

  // Wide boxes, every length and many starts, against the plain
  // definition, with each kernel set the processor has.
  for (const KernelSet set : {KernelSet::Plain, KernelSet::Avx2, KernelSet::Wide}) {
    if (UseKernels(set) != set) continue;
    std::mt19937 random(5);
    for (int32_t n = 1; n < 150; ++n) {
      Screen s(180, 3);
      for (auto& b : s.bytes) b = uint8_t(random());
      std::vector<uint8_t> expected = s.bytes;
      const int32_t x = int32_t(random() % 40);
      FillBoxBlend(x, 1, n, 2, s.data(), 200, 5);
      for (size_t at = 180; at < 540; at += 180) {
        for (int32_t i = x; i < std::min(x + n, 180); ++i)
          expected[at + size_t(i)] = alphaTable[5 * 65536 + expected[at + size_t(i)] * 256 + 200];
      }
      ASSERT_EQ(s.bytes, expected) << "kernel set " << int(set) << ", " << n << " wide";
    }
  }
  UseWideBlits(true);
}

}  // namespace
