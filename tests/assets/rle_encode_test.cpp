// The run-length encoder: the canonical form byte for byte on a known frame,
// and encode -> validate -> decode on random frames of every shape.
#include "formats/rle_encode.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "assets/rle_check.h"
#include "formats/rle.h"
#include "formats/sprite.h"
#include "support/cases.h"

namespace {

TEST(RleEncodeTest, SmallFrameEncodesToTheDocumentedBytes) {
  const std::vector<uint8_t> pixels = {0, 0, 5, 6, 0, 0, 0, 7,  //
                                       1, 0, 0, 0, 0, 0, 0, 0};
  const std::vector<uint8_t> expected = {0x08, 0x00, 0x00, 0x00, 0x11, 0x00, 0x00, 0x00,  // row offsets
                                         0x02, 0x00, 0x02, 0x02, 0x05, 0x06, 0x03, 0x01,
                                         0x07, 0x02, 0x00, 0x00, 0x01, 0x01, 0x07, 0x00};
  EXPECT_EQ(EncodeRleFrame(pixels.data(), 8, 2), expected);
}

// Runs of one row, read back as (skip, length) pairs.
std::vector<std::pair<int, int>> RowRuns(const std::vector<uint8_t>& block, int32_t row) {
  std::vector<std::pair<int, int>> runs;
  int64_t at = RleRowOffset(block.data(), row);
  const int count = block[at] | block[at + 1] << 8;
  at += 2;
  for (int i = 0; i < count; ++i) {
    runs.push_back({block[at], block[at + 1]});
    at += 2 + block[at + 1];
  }
  return runs;
}

TEST(RleEncodeTest, LongStretchesAreSplitAtTheByteLimit) {
  // 600 transparent, 300 opaque, 256 transparent: every piece crosses 255.
  std::vector<uint8_t> row(600, 0);
  row.insert(row.end(), 300, 9);
  row.insert(row.end(), 256, 0);
  const auto block = EncodeRleFrame(row.data(), static_cast<int32_t>(row.size()), 1);
  ASSERT_EQ(CanonicalRleFault(block.data(), block.size(), static_cast<int32_t>(row.size()), 1), "");
  const std::vector<std::pair<int, int>> runs = {{255, 0}, {255, 0}, {90, 255}, {0, 45}, {255, 0}, {1, 0}};
  EXPECT_EQ(RowRuns(block, 0), runs);
}

TEST(RleEncodeTest, EmptyRowsAndFramesStillHoldARun) {
  const std::vector<uint8_t> clear(3 * 40, 0);
  auto block = EncodeRleFrame(clear.data(), 40, 3);
  ASSERT_EQ(CanonicalRleFault(block.data(), block.size(), 40, 3), "");
  for (int r = 0; r < 3; ++r) EXPECT_EQ(RowRuns(block, r), (std::vector<std::pair<int, int>>{{40, 0}}));

  // Rows of width 0 still have their single empty run.
  block = EncodeRleFrame(nullptr, 0, 2);
  ASSERT_EQ(CanonicalRleFault(block.data(), block.size(), 0, 2), "");
  EXPECT_EQ(RowRuns(block, 1), (std::vector<std::pair<int, int>>{{0, 0}}));
  EXPECT_TRUE(EncodeRleFrame(nullptr, 5, 0).empty());
}

TEST(RleEncodeTest, ImpossibleSizesGiveNoBlock) {
  const uint8_t pixel = 1;
  EXPECT_TRUE(EncodeRleFrame(&pixel, -1, 1).empty());
  EXPECT_TRUE(EncodeRleFrame(&pixel, 1, -1).empty());
  EXPECT_TRUE(EncodeRleFrame(&pixel, SPRITE_SIDE_MAX + 1, 1).empty());
  EXPECT_TRUE(EncodeRleFrame(nullptr, 4, 4).empty());
}

TEST(RleEncodeTest, DecodeRefusesBlocksTheValidatorRefuses) {
  const std::vector<uint8_t> pixels = {3, 0, 4, 4};
  auto block = EncodeRleFrame(pixels.data(), 2, 2);
  std::vector<uint8_t> out = {42};
  EXPECT_EQ(DecodeRleFrame(block.data(), static_cast<int64_t>(block.size()) - 1, 2, 2, &out), RLE_CUT_SHORT);
  EXPECT_EQ(DecodeRleFrame(block.data(), static_cast<int64_t>(block.size()), 1, 2, &out), RLE_TOO_WIDE);
  EXPECT_EQ(out, std::vector<uint8_t>{42});  // untouched on failure
  EXPECT_EQ(DecodeRleFrame(block.data(), static_cast<int64_t>(block.size()), 2, 2, &out), RLE_OK);
  EXPECT_EQ(out, pixels);
}

TEST(RleEncodeTest, RandomFramesRoundTripInCanonicalForm) {
  std::mt19937 random(20261207);
  const int cases = vantor_test::Cases(300);
  for (int c = 0; c < cases; ++c) {
    const int32_t width = std::uniform_int_distribution<int32_t>(0, 300)(random);
    const int32_t height = std::uniform_int_distribution<int32_t>(0, 12)(random);
    // Pixels come in stretches of random length and random fill, so that
    // both short alternations and stretches beyond 255 occur.
    const double opaque = std::uniform_real_distribution<double>(0.0, 1.0)(random);
    const int32_t meanStretch = std::uniform_int_distribution<int32_t>(1, 400)(random);
    std::vector<uint8_t> pixels(size_t(width) * height);
    size_t at = 0;
    while (at < pixels.size()) {
      const size_t stretch = std::uniform_int_distribution<size_t>(1, 2 * meanStretch)(random);
      const bool filled = std::bernoulli_distribution(opaque)(random);
      for (size_t i = 0; i < stretch && at < pixels.size(); ++i, ++at)
        pixels[at] = filled ? static_cast<uint8_t>(std::uniform_int_distribution<int>(1, 255)(random)) : 0;
    }
    const auto block = EncodeRleFrame(pixels.data(), width, height);
    ASSERT_EQ(CanonicalRleFault(block.data(), block.size(), width, height), "")
        << "case " << c << ": " << width << " x " << height;
    std::vector<uint8_t> decoded;
    ASSERT_EQ(DecodeRleFrame(block.data(), block.size(), width, height, &decoded), RLE_OK);
    ASSERT_EQ(decoded, pixels) << "case " << c << ": " << width << " x " << height;
  }
}

}  // namespace
