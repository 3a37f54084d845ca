// The 32 sprite blits, through DrawSprite and by name, against a per-pixel
// model of the mapping rule: source pixel (c, r) lands where its orientation
// puts it, only inside the clip rectangle, and gets what its effect gives.
// The clip rectangle sits inside a larger buffer whose border must stay as it
// was.
#include "render/blit.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "formats/alpha.h"
#include "formats/rle.h"
#include "render/blit_internal.h"
#include "render/blit_wide.h"
#if __has_include("formats/rle_encode.h")
#include "formats/rle_encode.h"
#include "support/clip_canvas.h"
#include "support/model_frames.h"
#define HAVE_RLE_ENCODER 1
#endif

namespace {

using namespace vantor_test;

using Canvas = vantor_test::ClipCanvas;

// The mapping rule, pixel by pixel.
void Model(const Canvas& canvas, std::vector<uint8_t>& out, int64_t x, int64_t y, const Frame& f,
           int32_t flags, int32_t colour, int32_t level) {
  flags &= 15;
  const bool blend = flags & DRAW_BLEND, solid = flags & DRAW_SOLID;
  if (blend && (level < 0 || level > 6)) return;
  int32_t w = f.width, h = f.height;
  if (solid && !blend && !f.compressed) {
    w = int16_t(w);
    h = int16_t(h);
  }
  if (w <= 0 || h <= 0) return;
  const uint8_t c8 = static_cast<uint8_t>(colour);
  for (int32_t r = 0; r < h; ++r) {
    for (int32_t c = 0; c < w; ++c) {
      const size_t source = size_t(r) * w + c;
      if (!f.opaque[source]) continue;
      const int64_t dx = x + ((flags & DRAW_MIRROR_X) ? w - 1 - c : c);
      const int64_t dy = y + ((flags & DRAW_MIRROR_Y) ? h - 1 - r : r);
      const int64_t at = canvas.Index(dx, dy);
      if (at < 0) continue;
      const uint8_t s = solid ? c8 : f.value[source];
      out[at] = blend ? alphaTable[level * 65536 + out[at] * 256 + s] : s;
    }
  }
}

void Named(bool rle, int32_t flags, int32_t x, int32_t y, int32_t w, int32_t h, uint8_t* d, const uint8_t* p,
           int32_t colour, int32_t level) {
  const int16_t w16 = int16_t(w), h16 = int16_t(h);
  if (!rle) {
    switch (flags & 15) {
      case 0:
        return BlitCopy(x, y, w, h, d, p);
      case 1:
        return BlitCopyMirrorX(x, y, w, h, d, p);
      case 2:
        return BlitCopyMirrorY(x, y, w, h, d, p);
      case 3:
        return BlitCopyMirrorXY(x, y, w, h, d, p);
      case 4:
        return BlitBlend(x, y, w, h, d, p, level);
      case 5:
        return BlitBlendMirrorX(x, y, w, h, d, p, level);
      case 6:
        return BlitBlendMirrorY(x, y, w, h, d, p, level);
      case 7:
        return BlitBlendMirrorXY(x, y, w, h, d, p, level);
      case 8:
        return BlitSolid(x, y, w16, h16, d, p, colour);
      case 9:
        return BlitSolidMirrorX(x, y, w16, h16, d, p, colour);
      case 10:
        return BlitSolidMirrorY(x, y, w16, h16, d, p, colour);
      case 11:
        return BlitSolidMirrorXY(x, y, w16, h16, d, p, colour);
      case 12:
        return BlitSolidBlend(x, y, w, h, d, p, colour, level);
      case 13:
        return BlitSolidBlendMirrorX(x, y, w, h, d, p, colour, level);
      case 14:
        return BlitSolidBlendMirrorY(x, y, w, h, d, p, colour, level);
      default:
        return BlitSolidBlendMirrorXY(x, y, w, h, d, p, colour, level);
    }
  }
  switch (flags & 15) {
    case 0:
      return BlitRleCopy(x, y, w, h, d, p);
    case 1:
      return BlitRleCopyMirrorX(x, y, w, h, d, p);
    case 2:
      return BlitRleCopyMirrorY(x, y, w, h, d, p);
    case 3:
      return BlitRleCopyMirrorXY(x, y, w, h, d, p);
    case 4:
      return BlitRleBlend(x, y, w, h, d, p, level);
    case 5:
      return BlitRleBlendMirrorX(x, y, w, h, d, p, level);
    case 6:
      return BlitRleBlendMirrorY(x, y, w, h, d, p, level);
    case 7:
      return BlitRleBlendMirrorXY(x, y, w, h, d, p, level);
    case 8:
      return BlitRleSolid(x, y, w, h, d, p, colour);
    case 9:
      return BlitRleSolidMirrorX(x, y, w, h, d, p, colour);
    case 10:
      return BlitRleSolidMirrorY(x, y, w, h, d, p, colour);
    case 11:
      return BlitRleSolidMirrorXY(x, y, w, h, d, p, colour);
    case 12:
      return BlitRleSolidBlend(x, y, w, h, d, p, colour, level);
    case 13:
      return BlitRleSolidBlendMirrorX(x, y, w, h, d, p, colour, level);
    case 14:
      return BlitRleSolidBlendMirrorY(x, y, w, h, d, p, colour, level);
    default:
      return BlitRleSolidBlendMirrorXY(x, y, w, h, d, p, colour, level);
  }
}

int32_t Pick(std::mt19937& random, std::initializer_list<int32_t> values) {
  return values.begin()[random() % values.size()];
}

// A position for one side: mostly straddling or near the clip span, some far
// outside, some at the ends of the int32 range.
int32_t Position(std::mt19937& random, int32_t clipLow, int32_t clipSize, int32_t size) {
  const int64_t span = int64_t{clipSize} + std::max(size, 0) + 8;
  int64_t p;
  switch (random() % 8) {
    case 0:
      p = int64_t(int32_t(random()));
      break;
    case 1:
      p = INT32_MAX - int64_t(random() % 64);
      break;
    case 2:
      p = INT32_MIN + int64_t(random() % 64);
      break;
    default:
      p = int64_t{clipLow} - std::max(size, 0) - 4 + int64_t(random() % span);
      break;
  }
  return int32_t(std::clamp<int64_t>(p, INT32_MIN, INT32_MAX));
}

struct Draw {
  bool rle, named;
  int32_t x, y, flags, colour, level;
};

std::string Describe(const Canvas& c, const Frame& f, const Draw& d, int64_t at) {
  return "clip (" + std::to_string(c.clipLeft) + ", " + std::to_string(c.clipTop) + ") " +
         std::to_string(c.clipWidth) + " x " + std::to_string(c.clipHeight) + ", frame " +
         std::to_string(f.width) + " x " + std::to_string(f.height) +
         (f.compressed ? " run-length" : " raw") + " at (" + std::to_string(d.x) + ", " +
         std::to_string(d.y) + "), flags " + std::to_string(d.flags) + ", colour " +
         std::to_string(d.colour) + ", level " + std::to_string(d.level) +
         (d.named ? " by name" : " through DrawSprite") + ", first wrong byte at row " +
         std::to_string(at / c.pitch) + " column " + std::to_string(at % c.pitch) + " of the buffer";
}

// Draws and compares the whole buffer, guard border included.
void CheckDraw(const Canvas& canvas, const Frame& f, const Draw& d) {
  canvas.Install();
  std::vector<uint8_t> drawn = canvas.bytes, expected = canvas.bytes;
  uint8_t* surface = canvas.Surface(drawn);
  if (d.named) {
    Named(d.rle, d.flags, d.x, d.y, f.width, f.height, surface, f.data.data(), d.colour, d.level);
  } else {
    const SpriteFrame sprite = AsSprite(f);
    DrawSprite(d.x, d.y, surface, &sprite, d.flags, d.colour, d.level);
  }
  Model(canvas, expected, d.x, d.y, f, d.flags, d.colour, d.level);
  const int64_t at = FirstDifference(drawn, expected);
  ASSERT_EQ(at, -1) << Describe(canvas, f, d, at);
}

// Storage (raw or run-length), the kernels (the wide ones where the
// processor has them, and the plain ones, which it always has) and the
// blends' view of the table (by drawn colour, or as stored).
class BlitModel : public ::testing::TestWithParam<std::tuple<bool, bool, bool>> {
 protected:
  void SetUp() override {
    if (std::get<1>(GetParam()) && !UseWideBlits(true)) GTEST_SKIP() << "no wide kernels on this processor";
    if (!std::get<1>(GetParam())) UseWideBlits(false);
    UseBlendByDrawn(std::get<2>(GetParam()));
  }
  void TearDown() override {
    UseWideBlits(true);
    UseBlendByDrawn(true);
  }
};

TEST_P(BlitModel, EveryRoutineMatchesTheMappingRule) {
  const bool rle = std::get<0>(GetParam());
  std::mt19937 random(rle ? 1234 : 4321);
  FillAlphaTable(77);
  const int cases = Cases(600);
  for (int i = 0; i < cases; ++i) {
    // Clip rectangle: mostly near the origin, sometimes at the ends of the
    // int32 range.
    const int32_t cw = 1 + int32_t(random() % (random() % 4 == 0 ? 300 : 40));
    const int32_t ch = 1 + int32_t(random() % 40);
    int32_t cl = int32_t(random() % 101) - 50, ct = int32_t(random() % 101) - 50;
    if (random() % 8 == 0) cl = random() % 2 ? INT32_MAX - cw + 1 : INT32_MIN;
    if (random() % 8 == 0) ct = random() % 2 ? INT32_MAX - ch + 1 : INT32_MIN;
    Canvas canvas(random, cl, ct, cw, ch);

    int32_t w = int32_t(random() % 24), h = int32_t(random() % 24);
    if (random() % 5 == 0) w = int32_t(random() % (rle ? 700 : 320));
    if (random() % 20 == 0) w = -int32_t(random() % 5);
    if (random() % 20 == 0) h = -int32_t(random() % 5);
    const Frame f = rle ? RleFrame(random, w, h) : RawFrame(random, w, h);

    Draw d;
    d.rle = rle;
    d.named = random() % 2 == 0;
    d.x = Position(random, cl, cw, w);
    d.y = Position(random, ct, ch, h);
    d.flags = int32_t(random() % 16);
    if (!d.named && random() % 3 == 0) d.flags |= int32_t(random()) & ~15;  // ignored bits
    d.colour = random() % 2 ? int32_t(random() % 256) : int32_t(random());
    d.level = random() % 4 ? int32_t(random() % 7) : Pick(random, {-1, 7, 8, 100, INT32_MIN, INT32_MAX});
    CheckDraw(canvas, f, d);
    if (HasFatalFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(Storage, BlitModel,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool(), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) ? "RunLength" : "Raw") +
                                  (std::get<1>(info.param) ? "Wide" : "Plain") +
                                  (std::get<2>(info.param) ? "ByDrawn" : "AsStored");
                         });

#ifdef HAVE_RLE_ENCODER
// The same image raw and run-length encoded draws the same bytes, for every
// flag value and wherever the clip cuts it.
TEST(RunLengthAgainstRaw, EncodedFramesDrawLikeTheirImage) {
  std::mt19937 random(99);
  FillAlphaTable(5);
  const int cases = Cases(200);
  for (int i = 0; i < cases; ++i) {
    const int32_t w = 1 + int32_t(random() % (random() % 3 == 0 ? 600 : 30));
    const int32_t h = 1 + int32_t(random() % 20);
    const Frame raw = RawFrame(random, w, h);
    Frame rle = raw;
    rle.compressed = true;
    rle.data = EncodeRleFrame(raw.value.data(), w, h);
    ASSERT_EQ(ValidateRleBlock(rle.data.data(), int64_t(rle.data.size()), w, h), RLE_OK);
    Canvas canvas(random, int32_t(random() % 20), int32_t(random() % 20), 1 + int32_t(random() % 200),
                  1 + int32_t(random() % 30));
    canvas.Install();
    const int32_t x = int32_t(random() % 260) - w, y = int32_t(random() % 60) - h;
    const int32_t flags = int32_t(random() % 16), colour = int32_t(random()), level = int32_t(random() % 7);
    std::vector<uint8_t> a = canvas.bytes, b = canvas.bytes;
    const SpriteFrame rawSprite = AsSprite(raw), rleSprite = AsSprite(rle);
    DrawSprite(x, y, canvas.Surface(a), &rawSprite, flags, colour, level);
    DrawSprite(x, y, canvas.Surface(b), &rleSprite, flags, colour, level);
    const int64_t at = FirstDifference(a, b);
    ASSERT_EQ(at, -1) << "frame " << w << " x " << h << " at (" << x << ", " << y << "), flags " << flags;
  }
}
#endif

#ifdef HAVE_RLE_ENCODER
// The blends go sixteen pixels at a time, a row's or run's last group
// overlapping the one before it: one opaque stretch a row, of every length
// from 1 to 70 and at every offset modulo 16, raw and run-length, with every
// blend flag and both table layouts, whole and cut on either side.
TEST(BlendGroups, StretchesOfEveryLength) {
  std::mt19937 random(31);
  FillAlphaTable(21);
  constexpr int32_t kWidth = 90, kHeight = 70;
  Frame raw;
  raw.width = kWidth;
  raw.height = kHeight;
  raw.value.assign(size_t(kWidth) * kHeight, 0);
  for (int32_t r = 0; r < kHeight; ++r) {
    const int32_t length = r + 1, first = (r * 7) % (kWidth - length + 1);
    for (int32_t c = first; c < first + length; ++c)
      raw.value[size_t(r) * kWidth + c] = uint8_t(1 + random() % 255);
  }
  raw.opaque = raw.value;
  raw.data = raw.value;
  Frame rle = raw;
  rle.compressed = true;
  rle.data = EncodeRleFrame(raw.value.data(), kWidth, kHeight);
  for (const bool byDrawn : {true, false}) {
    UseBlendByDrawn(byDrawn);
    for (const int32_t cut : {0, 5, -5}) {
      Canvas canvas(random, 0, 0, kWidth - (cut < 0 ? -cut : cut), kHeight);
      for (const Frame* f : {&raw, &rle}) {
        for (const int32_t flags : {4, 5, 6, 7, 12, 13, 14, 15}) {
          Draw d{f->compressed,        false, cut > 0 ? -cut : 0, 0, flags, int32_t(random() % 256),
                 int32_t(random() % 7)};
          CheckDraw(canvas, *f, d);
          if (HasFatalFailure()) break;
        }
      }
    }
  }
  UseBlendByDrawn(true);
}
#endif

// The run primitives against their plain definitions, at every small count
// and alignment.
TEST(RunPrimitives, MatchTheirDefinitions) {
  std::mt19937 random(3);
  FillAlphaTable(11);
  const uint8_t* table = alphaTable + 3 * 65536;
  std::vector<int32_t> counts;
  for (int32_t n = -1; n <= 80; ++n) counts.push_back(n);
  // Runs up to the longest a record holds, and past it.
  for (int32_t n : {127, 128, 129, 254, 255, 256, 257, 300}) counts.push_back(n);
  for (const int32_t n : counts) {
    for (int shift = 0; shift < 4; ++shift) {
      std::vector<uint8_t> src(320), before(320);
      for (auto& b : src) b = uint8_t(random());
      for (auto& b : before) b = uint8_t(random());
      const uint8_t colour = uint8_t(random());
      const int32_t count = std::max(n, 0);
      auto run = [&](auto primitive, auto model) {
        std::vector<uint8_t> got = before, want = before;
        primitive(got.data() + shift);
        for (int32_t i = 0; i < count; ++i) model(want.data() + shift, i);
        EXPECT_EQ(got, want) << "n " << n << " shift " << shift;
      };
      const uint8_t* s = src.data() + (3 - shift);
      run([&](uint8_t* d) { FillRun(d, colour, n); }, [&](uint8_t* d, int i) { d[i] = colour; });
      run([&](uint8_t* d) { CopyRun(d, s, n); }, [&](uint8_t* d, int i) { d[i] = s[i]; });
      run([&](uint8_t* d) { CopyRunReversed(d, s, n); }, [&](uint8_t* d, int i) { d[count - 1 - i] = s[i]; });
      run([&](uint8_t* d) { BlendRun(d, s, n, table); },
          [&](uint8_t* d, int i) { d[i] = table[d[i] * 256 + s[i]]; });
      run([&](uint8_t* d) { BlendRunReversed(d, s, n, table); },
          [&](uint8_t* d, int i) { d[count - 1 - i] = table[d[count - 1 - i] * 256 + s[i]]; });
      run([&](uint8_t* d) { BlendColourRun(d, colour, n, table); },
          [&](uint8_t* d, int i) { d[i] = table[d[i] * 256 + colour]; });
      run([&](uint8_t* d) { BlendColourRunReversed(d, colour, n, table); },
          [&](uint8_t* d, int i) { d[i] = table[d[i] * 256 + colour]; });
    }
  }
}

}  // namespace
