// The wide scaled kernels against the plain ones (which the model tests check
// on every processor) where the wide ones batch their blends: more rows than
// a batch holds, rows of several 64-place windows, rows longer than a batch,
// rows closer together than the block is wide, frames at and past the
// 64-column limit, in every orientation, raw and run-length.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "formats/rle_encode.h"
#include "render/blit_wide.h"
#include "render/zoom.h"
#include "support/wide_compare.h"

namespace {

using vantor_test::Compare;
using vantor_test::Pixels;
using vantor_test::Sprite;
using vantor_test::Target;

using WideZoom = vantor_test::WideKernelTest;

struct Case {
  int32_t w, h;    // the frame
  int32_t dw, dh;  // drawn size
  int32_t span, pitch, rows;
  const char* what;
};

TEST_F(WideZoom, EnlargedBlendsInBatches) {
  std::mt19937 random(31);
  const Case cases[] = {
      {20, 30, 30, 90, 40, 40, 90, "more rows than a batch holds"},
      {64, 10, 200, 20, 200, 200, 20, "rows of four windows"},
      {60, 4, 3000, 8, 3000, 3000, 8, "rows longer than a batch"},
      {64, 12, 100, 24, 100, 70, 24, "rows closer together than the block is wide"},
      {64, 12, 96, 18, 90, 96, 18, "cut on the right"},
      {65, 12, 130, 24, 130, 130, 24, "one column past the limit"},
      {3, 2, 7, 5, 9, 9, 5, "a tiny frame"},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> pixels = Pixels(random, c.w, c.h);
    const std::vector<uint8_t> block = EncodeRleFrame(pixels.data(), c.w, c.h);
    const Target target(random, c.pitch, c.span, c.rows);
    for (const bool rle : {false, true}) {
      const SpriteFrame frame = Sprite(c.w, c.h, rle, rle ? block : pixels);
      for (int32_t flags = 0; flags < 16; ++flags) {
        const std::string what =
            std::string(c.what) + (rle ? ", run-length" : ", raw") + ", flags " + std::to_string(flags);
        Compare(target, what, [&](uint8_t* d) {
          DrawSpriteZoom(c.dw / 2, c.dh / 2, d, &frame, c.dw, c.dh, flags, 0xA5, 4);
        });
        if (HasFatalFailure()) return;
      }
    }
  }
}

}  // namespace
