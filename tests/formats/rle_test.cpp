#include "formats/rle.h"

#include <gtest/gtest.h>

#include <random>

#include "format_files.h"

namespace {

using namespace format_files;

int32_t Validate(const Bytes& block, int32_t width, int32_t height) {
  return ValidateRleBlock(block.data(), int64_t(block.size()), width, height);
}

TEST(RleBlock, ExampleShortRowsAndEmptyRowsAreAccepted) {
  const Bytes picture = {0, 0, 5, 6, 0, 0, 0, 7, 1, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(EncodeRle(picture, 8, 2), ExampleBlock());  // the test encoder writes the format
  EXPECT_EQ(Validate(ExampleBlock(), 8, 2), RLE_OK);
  EXPECT_EQ(Validate(ExampleBlock(), 300, 2), RLE_OK);  // runs may end before the width
  EXPECT_EQ(ValidateRleBlock(nullptr, 0, 5, 0), RLE_OK);
  Bytes seed = {3, 2}, example = ExampleBlock();  // the fuzz target reads a width / 3 and a height first
  seed.insert(seed.end(), example.begin(), example.end());
  MaybeWriteSeed("fuzz_sprite", "block.bin", seed);
  // Row 0 without runs; row 1 one run ending at column 2 of 8.
  const Bytes block = {8, 0, 0, 0, 10, 0, 0, 0, 0, 0, 1, 0, 1, 1, 9};
  EXPECT_EQ(Validate(block, 8, 2), RLE_OK);
  EXPECT_EQ(DecodeRle(block, 8, 2), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0}));
}

TEST(RleBlock, HostileBlocksAreRefused) {
  const Bytes example = ExampleBlock();
  auto patched = [&](size_t at, std::initializer_list<uint8_t> values) {
    Bytes block = example;
    std::copy(values.begin(), values.end(), block.begin() + at);
    return block;
  };
  struct Case {
    const char* what;
    Bytes block;
    int32_t width, height, expected;
  } const cases[] = {
      {"negative height", example, 8, -1, RLE_BAD_SIZE},
      {"table larger than the block", example, 8, 7, RLE_NO_TABLE},
      {"first offset negative", patched(0, {0xFF, 0xFF, 0xFF, 0xFF}), 8, 2, RLE_BAD_OFFSET},
      {"first offset at the end", patched(0, {24}), 8, 2, RLE_BAD_OFFSET},
      {"second offset past the end", patched(4, {0, 1}), 8, 2, RLE_BAD_OFFSET},
      {"second offset inside row 0", patched(4, {12}), 8, 2, RLE_OUT_OF_ORDER},
      {"rows swapped", patched(0, {17, 0, 0, 0, 8}), 8, 2, RLE_OUT_OF_ORDER},
      {"last run header cut", Bytes(example.begin(), example.end() - 1), 8, 2, RLE_CUT_SHORT},
      {"run count past the rows", patched(17, {3}), 8, 2, RLE_CUT_SHORT},
      {"run longer than its bytes", patched(20, {0x40}), 300, 2, RLE_CUT_SHORT},
      {"too many runs", patched(17, {0x00, 0x80}), 8, 2, RLE_TOO_MANY_RUNS},
      {"skip past the width", patched(14, {4}), 8, 2, RLE_TOO_WIDE},
      {"runs wider than the frame", example, 7, 2, RLE_TOO_WIDE},
  };
  for (const Case& c : cases) EXPECT_EQ(Validate(c.block, c.width, c.height), c.expected) << c.what;
}

// Random pictures encode to accepted blocks that decode to themselves; any
// block cut short is refused; damaged blocks are refused or still read
// inside themselves (DecodeRle throws on any read outside).
TEST(RleBlock, RandomPicturesAndDamage) {
  std::mt19937 random(11);
  for (int c = Cases(200); c > 0; --c) {
    int32_t width = int32_t(random() % (random() % 4 == 0 ? 700 : 24)), height = int32_t(random() % 6);
    Bytes picture(size_t(width) * height);
    unsigned density = 1 + random() % 4;
    for (uint8_t& p : picture) p = random() % 4 < density ? uint8_t(1 + random() % 255) : 0;
    Bytes block = EncodeRle(picture, width, height);
    ASSERT_EQ(Validate(block, width, height), RLE_OK) << width << " x " << height;
    ASSERT_EQ(DecodeRle(block, width, height), picture) << width << " x " << height;
    if (height == 0) continue;
    EXPECT_NE(Validate(Bytes(block.begin(), block.end() - 1 - random() % block.size()), width, height),
              RLE_OK);
    for (int hits = 1 + random() % 3; hits > 0; --hits) block[random() % block.size()] = uint8_t(random());
    if (Validate(block, width, height) == RLE_OK) {
      EXPECT_NO_THROW(DecodeRle(block, width, height)) << width << " x " << height;
    }
  }
}

}  // namespace
