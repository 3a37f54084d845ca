// Comparing the wide kernels with the plain ones on one destination: noise
// frames, a destination whose rows may overlap, and a draw made once with
// each kernel set.
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "formats/alpha.h"
#include "formats/sprite.h"
#include "render/blit_wide.h"
#include "render/drawtarget.h"
#include "support/model_frames.h"

namespace vantor_test {

// Tests of the wide kernels: skipped where the processor has none, with the
// alpha table full of noise, and the wide kernels back on afterwards.
class WideKernelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!UseWideBlits(true)) GTEST_SKIP() << "no wide kernels on this processor";
    std::mt19937 random(17);
    for (int i = 0; i < ALPHA_TABLE_SIZE; ++i) alphaTable[i] = static_cast<uint8_t>(random());
    AlphaTableChanged();
  }
  void TearDown() override { UseWideBlits(true); }
};

inline std::vector<uint8_t> Pixels(std::mt19937& random, int32_t w, int32_t h) {
  std::vector<uint8_t> pixels(size_t(w) * h);
  for (auto& p : pixels) p = random() % 3 == 0 ? 0 : static_cast<uint8_t>(random());
  return pixels;
}

// A destination of `rows` rows `pitch` apart, `span` bytes each (rows
// overlap when the pitch is smaller), filled with noise; the clip rectangle
// is all of it.
struct Target {
  int32_t pitch, span, rows;
  std::vector<uint8_t> bytes;
  Target(std::mt19937& random, int32_t pitch_, int32_t span_, int32_t rows_)
      : pitch(pitch_), span(span_), rows(rows_), bytes(size_t(pitch_) * (rows_ - 1) + span_) {
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
  }
};

// Draws with the plain and then the wide kernels onto copies of the target
// and compares them byte for byte.
template <class Draw>
void Compare(const Target& t, const std::string& what, Draw draw) {
  SetClipRect(0, 0, t.span - 1, t.rows - 1);
  drawTarget.pitch = t.pitch;
  std::vector<uint8_t> plain = t.bytes, wide = t.bytes;
  UseWideBlits(false);
  draw(plain.data());
  UseWideBlits(true);
  draw(wide.data());
  ASSERT_NE(plain, t.bytes) << what << ": nothing drawn";
  size_t at = 0;
  while (at < plain.size() && plain[at] == wide[at]) ++at;
  ASSERT_EQ(at, plain.size()) << what << ": first difference at byte " << at;
}

}  // namespace vantor_test
