// The 32 scaled operations, through DrawSpriteZoom and by name, against the
// per-pixel model of the stepping rule over random frames, sizes, positions
// and clip rectangles; run-length frames against the raw images they encode;
// and a frame at its own size against DrawSprite. The whole buffer is
// compared, so a write outside the clip rectangle shows in the guard border.
#include "zoom_model.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "formats/rle_encode.h"
#include "render/blit.h"
#include "render/blit_wide.h"

// Kernel sets by name in the test reports.
static void PrintTo(KernelSet set, std::ostream* os) {
  *os << (set == KernelSet::Wide ? "Wide" : set == KernelSet::Avx2 ? "Avx2" : "Plain");
}

namespace zoom_test {
namespace {

int32_t Pick(std::mt19937& random, std::initializer_list<int32_t> values) {
  return values.begin()[random() % values.size()];
}

// A drawn size for a frame side: enlarged, shrunk, 0, 1, equal, one more, or
// anything up to a few hundred.
int32_t ZoomSize(std::mt19937& random, int32_t side) {
  const int32_t s = std::max(side, 1);
  switch (random() % 9) {
    case 0:
      return Pick(random, {0, 1});
    case 1:
      return side;
    case 2:
      return side + 1;
    case 3:
      return s * int32_t(2 + random() % 3) + int32_t(random() % 3);  // enlarged
    case 4:
      return s / int32_t(2 + random() % 4) + int32_t(random() % 2);  // shrunk
    case 5:
      return s * 3 / 2;
    case 6:
      return random() % 8 == 0 ? -int32_t(random() % 5) : int32_t(random() % 300);
    default:
      return int32_t(int64_t{s} * int32_t(10 + random() % 300) / 100);  // a percentage
  }
}

// One side's top-left: mostly around the clip span, some far outside, some
// at the ends of the int32 range.
int64_t Corner(std::mt19937& random, int32_t clipLow, int32_t clipSize, int32_t size) {
  const int64_t span = int64_t{clipSize} + std::max(size, 0) + 8;
  switch (random() % 10) {
    case 0:
      return int32_t(random());
    case 1:
      return INT32_MAX - int64_t(random() % 64);
    case 2:
      return INT32_MIN + int64_t(random() % 64);
    default:
      return std::clamp<int64_t>(int64_t{clipLow} - std::max(size, 0) - 4 + int64_t(random() % span),
                                 INT32_MIN, INT32_MAX);
  }
}

struct Draw {
  bool named;
  int64_t x, y;  // the image's top-left
  int32_t dw, dh, flags, colour, level;
};

std::string Describe(const Canvas& c, const Frame& f, const Draw& d, int64_t at) {
  return "clip (" + std::to_string(c.clipLeft) + ", " + std::to_string(c.clipTop) + ") " +
         std::to_string(c.clipWidth) + " x " + std::to_string(c.clipHeight) + ", frame " +
         std::to_string(f.width) + " x " + std::to_string(f.height) +
         (f.compressed ? " run-length" : " raw") + " drawn " + std::to_string(d.dw) + " x " +
         std::to_string(d.dh) + " at (" + std::to_string(d.x) + ", " + std::to_string(d.y) + "), flags " +
         std::to_string(d.flags) + ", colour " + std::to_string(d.colour) + ", level " +
         std::to_string(d.level) + (d.named ? " by name" : " through DrawSpriteZoom") +
         ", first wrong byte at row " + std::to_string(at / c.pitch) + " column " +
         std::to_string(at % c.pitch) + " of the buffer";
}

// Draws the frame as `d` says into a copy of the canvas.
std::vector<uint8_t> Drawn(const Canvas& canvas, const Frame& f, const Draw& d) {
  canvas.Install();
  std::vector<uint8_t> drawn = canvas.bytes;
  uint8_t* surface = canvas.Surface(drawn);
  if (d.named) {
    Named(f.compressed, d.flags, int32_t(d.x), int32_t(d.y), f.width, f.height, surface, d.dw, d.dh,
          f.data.data(), d.colour, d.level);
  } else {
    // The centre that puts the top-left at (x, y).
    const SpriteFrame sprite = AsSprite(f);
    DrawSpriteZoom(int32_t(d.x + (d.dw >> 1)), int32_t(d.y + (d.dh >> 1)), surface, &sprite, d.dw, d.dh,
                   d.flags, d.colour, d.level);
  }
  return drawn;
}

// The frame drawn as `d` says against the model on the same canvas: empty
// when they agree, else where and how they differ.
std::string AgainstModel(const Canvas& canvas, const Frame& f, const Draw& d) {
  const std::vector<uint8_t> drawn = Drawn(canvas, f, d);
  std::vector<uint8_t> expected = canvas.bytes;
  Model(canvas, expected, d.x, d.y, f, d.dw, d.dh, d.flags, d.colour, d.level);
  const int64_t at = FirstDifference(drawn, expected);
  return at < 0 ? std::string() : Describe(canvas, f, d, at);
}

// Any of the 16 flag values, colour and level in range.
void AnyEffect(std::mt19937& random, Draw* d) {
  d->flags = int32_t(random() % 16);
  d->colour = int32_t(random() % 256);
  d->level = int32_t(random() % 7);
}

// The model tests run with every kernel set the processor has; false for
// one it lacks.
bool ChooseKernels(KernelSet set) { return UseKernels(set) == set; }

std::string KernelName(KernelSet set) {
  std::ostringstream name;
  PrintTo(set, &name);
  return name.str();
}

const auto kKernelSets = ::testing::Values(KernelSet::Plain, KernelSet::Avx2, KernelSet::Wide);

// Parameters: run-length storage, kernel set.
class ZoomModel : public ::testing::TestWithParam<std::tuple<bool, KernelSet>> {
 protected:
  void SetUp() override {
    if (!ChooseKernels(std::get<1>(GetParam()))) GTEST_SKIP() << "no such kernels on this processor";
  }
  void TearDown() override { UseWideBlits(true); }
};

TEST_P(ZoomModel, EveryOperationDrawsWhatTheSteppingRuleMaps) {
  const bool rle = std::get<0>(GetParam());
  std::mt19937 random(rle ? 2718 : 3141);
  FillAlphaTable(12);
  const int cases = Cases(1500);
  for (int i = 0; i < cases; ++i) {
    // Clip rectangle: mostly small and near the origin, sometimes at the ends
    // of the int32 range; now and then a wide one, with an image across it,
    // so that rows are wider than the row buffers.
    const bool wide = random() % 20 == 0;
    const int32_t cw =
        wide ? 4100 + int32_t(random() % 400) : 1 + int32_t(random() % (random() % 4 ? 48 : 300));
    const int32_t ch = wide ? 1 + int32_t(random() % 4) : 1 + int32_t(random() % 48);
    int32_t cl = int32_t(random() % 101) - 50, ct = int32_t(random() % 101) - 50;
    if (random() % 10 == 0) cl = random() % 2 ? INT32_MAX - cw + 1 : INT32_MIN;
    if (random() % 10 == 0) ct = random() % 2 ? INT32_MAX - ch + 1 : INT32_MIN;
    const Canvas canvas(random, cl, ct, cw, ch);

    int32_t w = int32_t(random() % 20), h = int32_t(random() % 20);
    if (random() % 6 == 0) w = int32_t(random() % 400);
    if (wide && random() % 2 == 0)
      w = 4100 + int32_t(random() % 1000);  // more source columns than the buffers
    if (random() % 25 == 0) w = -int32_t(random() % 3);
    if (random() % 25 == 0) h = -int32_t(random() % 3);
    const Frame f = rle ? RleFrame(random, w, h) : RawFrame(random, w, h);

    Draw d;
    d.named = random() % 2 == 0;
    d.dw = wide ? cw + int32_t(random() % 60) : ZoomSize(random, w);
    d.dh = ZoomSize(random, h);
    d.x = wide ? int64_t{cl} - int32_t(random() % 30) : Corner(random, cl, cw, d.dw);
    d.y = Corner(random, ct, ch, d.dh);
    if (d.named) {
      d.x = std::clamp<int64_t>(d.x, INT32_MIN, INT32_MAX);
    } else {
      // The centre must be an int32 (the corner may then lie beyond the range).
      d.x = std::clamp<int64_t>(d.x, int64_t{INT32_MIN} - (d.dw >> 1), int64_t{INT32_MAX} - (d.dw >> 1));
      d.y = std::clamp<int64_t>(d.y, int64_t{INT32_MIN} - (d.dh >> 1), int64_t{INT32_MAX} - (d.dh >> 1));
    }
    d.flags = int32_t(random() % 16);
    if (!d.named && random() % 3 == 0) d.flags |= int32_t(random()) & ~15;  // ignored bits
    d.colour = random() % 2 ? int32_t(random() % 256) : int32_t(random());
    d.level = random() % 4 ? int32_t(random() % 7) : Pick(random, {-1, 7, 8, INT32_MIN, INT32_MAX});

    const std::string wrong = AgainstModel(canvas, f, d);
    ASSERT_TRUE(wrong.empty()) << wrong;
  }
}

// Frames about as wide as the wide kernels take (64 columns), with the rows
// that stress their run-length decode: a last run that is empty at the
// frame's right edge, one-pixel runs whose record is longer than 64 bytes,
// empty runs that skip nothing, zeros inside runs, and no runs at all.
Frame NarrowRleFrame(std::mt19937& random, int32_t w, int32_t h) {
  Frame f;
  f.width = w;
  f.height = h;
  f.compressed = true;
  f.value.assign(size_t(w) * h, 0);
  f.opaque.assign(f.value.size(), 0);
  std::vector<uint8_t> rows;
  std::vector<int32_t> offsets;
  for (int32_t r = 0; r < h; ++r) {
    offsets.push_back(int32_t(rows.size()));
    std::vector<uint8_t> record;
    int runs = 0;
    int32_t covered = 0;
    auto run = [&](int32_t skip, int32_t length) {
      record.push_back(uint8_t(skip));
      record.push_back(uint8_t(length));
      covered += skip;
      for (int32_t i = 0; i < length; ++i, ++covered) {
        const uint8_t byte = random() % 8 == 0 ? 0 : uint8_t(random());
        record.push_back(byte);
        f.value[size_t(r) * w + covered] = byte;
        f.opaque[size_t(r) * w + covered] = 1;
      }
      ++runs;
    };
    switch (random() % 5) {
      case 0:  // one-pixel runs and gaps across the row
        for (int32_t c = int32_t(random() % 2); c < w; c += 2) run(c == 0 || covered == c ? 0 : 1, 1);
        break;
      case 1:  // a few runs, then an empty one reaching the right edge
        while (covered < w - 16) run(int32_t(random() % 8), 4 + int32_t(random() % 8));
        run(w - covered, 0);
        break;
      case 2:  // empty runs that skip nothing, between others
        while (covered < w) {
          const int32_t length = std::min<int32_t>(w - covered, int32_t(random() % 4));
          run(0, length);
          if (random() % 2) run(0, 0);
        }
        break;
      case 3:  // one run of the whole row
        run(0, w);
        break;
      default:  // no runs
        break;
    }
    Put16(&rows, runs);
    rows.insert(rows.end(), record.begin(), record.end());
  }
  for (int32_t offset : offsets) {
    const int32_t at = offset + 4 * h;
    for (int k = 0; k < 4; ++k) f.data.push_back(uint8_t(at >> (8 * k)));
  }
  f.data.insert(f.data.end(), rows.begin(), rows.end());
  EXPECT_EQ(ValidateRleBlock(f.data.data(), int64_t(f.data.size()), w, h), RLE_OK);
  return f;
}

// Parameter: kernel set.
class ZoomNarrow : public ::testing::TestWithParam<KernelSet> {
 protected:
  void SetUp() override {
    if (!ChooseKernels(GetParam())) GTEST_SKIP() << "no such kernels on this processor";
  }
  void TearDown() override { UseWideBlits(true); }
};

TEST_P(ZoomNarrow, RunLengthFramesAtTheWideLimit) {
  std::mt19937 random(6464);
  FillAlphaTable(21);
  const int cases = Cases(300);
  for (int i = 0; i < cases; ++i) {
    const int32_t w = 62 + int32_t(random() % 5), h = 1 + int32_t(random() % 12);
    const Frame f = NarrowRleFrame(random, w, h);
    const Canvas canvas(random, int32_t(random() % 20) - 10, int32_t(random() % 20) - 10,
                        1 + int32_t(random() % 200), 1 + int32_t(random() % 40));
    Draw d;
    d.named = random() % 2 == 0;
    d.dw = ZoomSize(random, w);
    d.dh = ZoomSize(random, h);
    d.x = Corner(random, canvas.clipLeft, canvas.clipWidth, d.dw);
    d.y = Corner(random, canvas.clipTop, canvas.clipHeight, d.dh);
    d.x = std::clamp<int64_t>(d.x, -100000, 100000);
    d.y = std::clamp<int64_t>(d.y, -100000, 100000);
    AnyEffect(random, &d);
    const std::string wrong = AgainstModel(canvas, f, d);
    ASSERT_TRUE(wrong.empty()) << wrong;
  }
}

// Shrunk run-length frames, some with runs long enough to be drawn eight
// places at a time (to between half and all of their width), mirrored or
// not, cut at the sides or not: every effect against the model.
class ZoomShrunk : public ZoomNarrow {};

TEST_P(ZoomShrunk, LongRunsAtEveryShrink) {
  std::mt19937 random(808);
  FillAlphaTable(22);
  const int cases = Cases(400);
  for (int i = 0; i < cases; ++i) {
    const int32_t w = 8 + int32_t(random() % 300), h = 1 + int32_t(random() % 10);
    const Frame f = RleFrame(random, w, h);
    Draw d;
    d.named = random() % 2 == 0;
    d.dw = w / 2 + int32_t(random() % uint32_t(w - w / 2 + 1));
    d.dh = 1 + int32_t(random() % uint32_t(h));
    const Canvas canvas(random, int32_t(random() % 20) - 10, int32_t(random() % 20) - 10,
                        1 + int32_t(random() % 320), 1 + int32_t(random() % 12));
    d.x = random() % 2 ? canvas.clipLeft + int32_t(random() % 8)
                       : Corner(random, canvas.clipLeft, canvas.clipWidth, d.dw);
    d.y = Corner(random, canvas.clipTop, canvas.clipHeight, d.dh);
    AnyEffect(random, &d);
    const std::string wrong = AgainstModel(canvas, f, d);
    ASSERT_TRUE(wrong.empty()) << wrong;
  }
}

INSTANTIATE_TEST_SUITE_P(Kernels, ZoomShrunk, kKernelSets,
                         [](const auto& info) { return KernelName(info.param); });

INSTANTIATE_TEST_SUITE_P(Kernels, ZoomNarrow, kKernelSets,
                         [](const auto& info) { return KernelName(info.param); });

INSTANTIATE_TEST_SUITE_P(StorageAndKernels, ZoomModel, ::testing::Combine(::testing::Bool(), kKernelSets),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) ? "RunLength" : "Raw") +
                                  KernelName(std::get<1>(info.param));
                         });

// The same image raw and run-length encoded draws the same bytes at every
// size, flag value, position and clip.
TEST(ZoomRunLengthAgainstRaw, EncodedFramesDrawLikeTheirImage) {
  std::mt19937 random(404);
  FillAlphaTable(6);
  const int cases = Cases(600);
  for (int i = 0; i < cases; ++i) {
    const int32_t w = 1 + int32_t(random() % (random() % 3 == 0 ? 600 : 40));
    const int32_t h = 1 + int32_t(random() % 30);
    const Frame raw = RawFrame(random, w, h);
    Frame rle = raw;
    rle.compressed = true;
    rle.data = EncodeRleFrame(raw.value.data(), w, h);
    ASSERT_EQ(ValidateRleBlock(rle.data.data(), int64_t(rle.data.size()), w, h), RLE_OK);
    const Canvas canvas(random, int32_t(random() % 20), int32_t(random() % 20), 1 + int32_t(random() % 300),
                        1 + int32_t(random() % 60));
    Draw d;
    d.named = random() % 2 == 0;
    d.dw = ZoomSize(random, w);
    d.dh = ZoomSize(random, h);
    d.x = int32_t(random() % 340) - std::max(d.dw, 0);
    d.y = int32_t(random() % 100) - std::max(d.dh, 0);
    d.flags = int32_t(random() % 16);
    d.colour = int32_t(random());
    d.level = int32_t(random() % 7);
    const std::vector<uint8_t> a = Drawn(canvas, raw, d), b = Drawn(canvas, rle, d);
    const int64_t at = FirstDifference(a, b);
    ASSERT_EQ(at, -1) << Describe(canvas, rle, d, at);
  }
}

// At the frame's own size the scaled operations and DrawSpriteZoom give
// exactly DrawSprite's pixels, clipped or not.
TEST(ZoomOwnSize, DrawsWhatDrawSpriteDraws) {
  std::mt19937 random(77);
  FillAlphaTable(8);
  const int cases = Cases(400);
  for (int i = 0; i < cases; ++i) {
    const bool rle = random() % 2 == 0;
    const int32_t w = 1 + int32_t(random() % 40), h = 1 + int32_t(random() % 40);
    const Frame f = rle ? RleFrame(random, w, h) : RawFrame(random, w, h);
    const Canvas canvas(random, int32_t(random() % 30), int32_t(random() % 30), 1 + int32_t(random() % 60),
                        1 + int32_t(random() % 60));
    Draw d{random() % 2 == 0,      int32_t(random() % 120) - w, int32_t(random() % 120) - h, w, h,
           int32_t(random() % 64), int32_t(random()),           int32_t(random() % 7)};
    if (d.named) d.flags &= 15;
    const std::vector<uint8_t> zoomed = Drawn(canvas, f, d);
    std::vector<uint8_t> plain = canvas.bytes;
    const SpriteFrame sprite = AsSprite(f);
    DrawSprite(int32_t(d.x), int32_t(d.y), canvas.Surface(plain), &sprite, d.flags, d.colour, d.level);
    const int64_t at = FirstDifference(zoomed, plain);
    ASSERT_EQ(at, -1) << Describe(canvas, f, d, at);
  }
}

}  // namespace
}  // namespace zoom_test
