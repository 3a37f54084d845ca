// The wide kernels against the plain ones (which the model tests check on
// every processor) where the wide ones work in batches and pairs of rows:
// rows longer than a batch, more rows than a batch holds, rows closer
// together than the frame is wide, odd row counts and cut rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "formats/rle_encode.h"
#include "render/blit.h"
#include "render/blit_wide.h"
#include "support/wide_compare.h"

namespace {

using vantor_test::Compare;
using vantor_test::Pixels;
using vantor_test::Sprite;
using vantor_test::Target;

using WideKernels = vantor_test::WideKernelTest;

struct Shape {
  int32_t w, h, pitch, x, y;
};

// The raw blends at the table's first and last level, in every orientation.
TEST_F(WideKernels, RawBlendsInBatches) {
  std::mt19937 random(5);
  const Shape shapes[] = {
      {3000, 3, 3000, 0, 0},    // rows longer than a batch
      {2100, 2, 2200, -30, 0},  // cut on the left, still longer
      {7, 600, 9, 0, -20},      // more rows than a batch holds
      {40, 30, 24, 0, 0},       // rows overlap
      {40, 30, 24, -9, 3},
      {1000, 40, 1000, 0, 0},  // long rows with few drawn pixels
  };
  for (const Shape& s : shapes) {
    std::vector<uint8_t> pixels = Pixels(random, s.w, s.h);
    if (s.w == 1000) {
      for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = i % 97 == 0 ? pixels[i] | 1 : 0;
    }
    const Target target(random, s.pitch, s.w, s.h);
    for (int32_t flags = 0; flags < 16; ++flags) {
      if (!(flags & DRAW_BLEND)) continue;
      for (int32_t level : {0, 6}) {
        const std::string what = std::to_string(s.w) + " x " + std::to_string(s.h) + " pitch " +
                                 std::to_string(s.pitch) + " flags " + std::to_string(flags) + " level " +
                                 std::to_string(level);
        const SpriteFrame frame = Sprite(s.w, s.h, false, pixels);
        Compare(target, what, [&](uint8_t* d) { DrawSprite(s.x, s.y, d, &frame, flags, 0x5A, level); });
        if (HasFatalFailure()) return;
      }
    }
  }
}

// Run-length copies: row counts of every remainder by four (rows go in
// fours, then pairs, then one by one), rows that overlap, rows cut on
// either side.
TEST_F(WideKernels, RunLengthCopiesInGroupsOfRows) {
  std::mt19937 random(8);
  const Shape shapes[] = {
      {64, 44, 64, 0, 0}, {64, 45, 70, 0, 0},  {300, 7, 300, 0, 0},
      {50, 21, 20, 0, 0}, {40, 6, 40, 0, 0},   {64, 44, 64, -5, 2}, {64, 44, 64, 7, -3},
  };
  for (const Shape& s : shapes) {
    std::vector<uint8_t> pixels = Pixels(random, s.w, s.h);
    // Some empty rows and some rows of one long run.
    for (int32_t x = 0; x < s.w; ++x) pixels[size_t(s.w) + x] = 0;
    for (int32_t x = 0; x < s.w; ++x) pixels[size_t(s.w) * 2 + x] = static_cast<uint8_t>(1 + x % 200);
    const std::vector<uint8_t> block = EncodeRleFrame(pixels.data(), s.w, s.h);
    const Target target(random, s.pitch, s.w, s.h);
    for (int32_t flags : {0, 1, 2, 3}) {  // as is and the three mirrors
      const std::string what = std::to_string(s.w) + " x " + std::to_string(s.h) + " pitch " +
                               std::to_string(s.pitch) + " at " + std::to_string(s.x) + ", " +
                               std::to_string(s.y) + " flags " + std::to_string(flags);
      const SpriteFrame frame = Sprite(s.w, s.h, true, block);
      Compare(target, what, [&](uint8_t* d) { DrawSprite(s.x, s.y, d, &frame, flags, 0, 0); });
      if (HasFatalFailure()) return;
    }
  }
}

// The wide run-length copy loads whole 16-byte groups where the block goes
// on past them; a block that ends with a short run must not be read past its
// end (the sanitizer build sees any such read in this exactly sized copy).
TEST_F(WideKernels, RunLengthCopyReadsNothingPastTheBlock) {
  std::mt19937 random(12);
  for (const int32_t w : {1, 5, 17, 64}) {
    std::vector<uint8_t> pixels = Pixels(random, w, 3);
    for (int32_t x = 0; x < w; ++x) pixels[size_t(w) * 2 + x] = x + 1 == w ? 9 : 0;  // one pixel at the end
    const std::vector<uint8_t> encoded = EncodeRleFrame(pixels.data(), w, 3);
    std::unique_ptr<uint8_t[]> block(new uint8_t[encoded.size()]);
    std::copy(encoded.begin(), encoded.end(), block.get());
    const Target target(random, w + 3, w + 3, 5);
    for (int32_t flags : {0, 1, 2, 3}) {
      SpriteFrame frame = Sprite(w, 3, true, encoded);
      frame.pixels = block.get();
      Compare(target, std::to_string(w) + " wide, flags " + std::to_string(flags),
              [&](uint8_t* d) { DrawSprite(1, 1, d, &frame, flags, 0, 0); });
      if (HasFatalFailure()) return;
    }
  }
}

}  // namespace
