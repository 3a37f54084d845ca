// The wide blit kernels (see render/blit_wide.h). Everything that the plain
// blits share is included before the target switch below, so that no inline
// function the rest of the program uses is compiled here for instructions it
// may not have; only this file's own kernels and their row walks are.
#include "render/blit_wide.h"

#include <cstdint>
#include <type_traits>

#include "formats/rle.h"
#include "render/blit.h"
#include "render/drawtarget.h"
#include "render/effects.h"

#if VANTOR_WIDE_BLITS
#include <immintrin.h>

namespace {

bool Supported() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi2") &&
         __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi2");
}

bool& Switch() {
  static bool on = Supported();
  return on;
}

}  // namespace

bool WideBlits() { return Switch(); }

bool UseWideBlits(bool on) {
  Switch() = on && Supported();
  return Switch();
}

#pragma GCC push_options
#pragma GCC target("ssse3,popcnt,avx2,avx512f,avx512bw,avx512vl,avx512vbmi2,bmi,bmi2")
// GCC 12's AVX-512 intrinsics start some results from a deliberately
// undefined register, which its flow analysis reports as uninitialised.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "render/blit_rows.h"

namespace {

inline __m128i Reverse16(__m128i v) {
  return _mm_shuffle_epi8(v, _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
}

// A destination address `back` bytes before dst, for the mirrored kernels,
// whose 16-byte window may start before the span; the bytes before
// it are masked off and never touched.
inline uint8_t* Before(uint8_t* dst, int32_t back) {
  return reinterpret_cast<uint8_t*>(reinterpret_cast<uintptr_t>(dst) - static_cast<uintptr_t>(back));
}

// Blending in batches. A table look-up cannot be done in vector registers,
// and a 16-lane gather measured slower than plain loads, so the work is
// split in three passes over a batch of rows:
//   1. collect: for 16 pixels at a time, the table indices (old destination
//      byte << 8 | drawn colour) of the pixels to draw, packed together;
//   2. look up: one tight loop of loads, an index and an entry per pixel,
//      with nothing else in it;
//   3. place: the results spread back to their pixels with masked stores.
// Each destination byte is read in pass 1 and written in pass 3, and the
// spans of one batch never share a byte (see Batch::separate), so the order
// of the passes cannot change what a pixel gets. What this saves over the
// plain blend is the per-pixel transparency branch and the byte-wise reads
// of source and destination: pass 2 is two loads and a store per drawn
// pixel, and transparent pixels cost nothing there.
constexpr int32_t kBatchPixels = 2048;
constexpr int32_t kBatchSpans = 256;

struct Span {
  uint8_t* dst;
  const uint8_t* src;
  int32_t n;
};

struct Batch {
  const uint8_t* table;  // the level's 64 KB slice
  uint8_t colour;        // the foreground of the solid effects
  bool separate;         // false when destination rows overlap: one span per batch
  int32_t pixels = 0;
  int32_t spans = 0;
  // Room past `pixels` for the last 16-lane store of pass 1 and the last
  // 8-entry step of pass 2, which read or write whole groups.
  alignas(64) uint16_t index[kBatchPixels + 32];
  alignas(64) uint8_t mixed[kBatchPixels + 32];
  Span span[kBatchSpans];
};

// One batch's pointer as the row walks' argument.
struct BatchArgs {
  Batch* batch;
};

// The 16 table indices of a window: old destination byte << 8 | colour.
template <bool solid>
inline __m256i Indices(__m128i source, __m128i old, uint8_t colour) {
  const __m256i front = solid ? _mm256_set1_epi16(colour) : _mm256_cvtepu8_epi16(source);
  return _mm256_or_si256(_mm256_slli_epi16(_mm256_cvtepu8_epi16(old), 8), front);
}

// Walks the 16-pixel windows of a span: calls f(window, lanes, source) with
// the window's leftmost destination byte, the lanes of it that belong to the
// span and the source bytes in destination order. Mirrored, source byte k
// goes to destination byte n - 1 - k: the windows are taken from the span's
// right end, each ending where the previous one began.
template <bool reversed, class F>
inline void Windows(uint8_t* dst, const uint8_t* src, int32_t n, F f) {
  for (int32_t i = 0; i < n; i += 16) {
    const int32_t count = n - i < 16 ? n - i : 16;
    const __mmask16 lanes = static_cast<__mmask16>(_bzhi_u32(0xFFFF, static_cast<uint32_t>(count)));
    const __m128i s = _mm_maskz_loadu_epi8(lanes, src + i);
    if constexpr (reversed) {
      f(Before(dst + n - i, 16), static_cast<__mmask16>(0xFFFF0000u >> count), Reverse16(s));
    } else {
      f(dst + i, lanes, s);
    }
  }
}

// Pass 2 and 3 for everything collected, leaving the batch empty.
template <bool reversed>
[[gnu::noinline]] void Flush(Batch& b) {
  const uint8_t* table = b.table;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(b.index + b.pixels), _mm_setzero_si128());
  for (int32_t j = 0; j < b.pixels; j += 8) {
    // The entries just past `pixels` were cleared above; their results are
    // never placed.
    uint8_t* out = b.mixed + j;
    const uint16_t* in = b.index + j;
    out[0] = table[in[0]];
    out[1] = table[in[1]];
    out[2] = table[in[2]];
    out[3] = table[in[3]];
    out[4] = table[in[4]];
    out[5] = table[in[5]];
    out[6] = table[in[6]];
    out[7] = table[in[7]];
  }
  const uint8_t* next = b.mixed;
  for (int32_t k = 0; k < b.spans; ++k) {
    const Span& span = b.span[k];
    Windows<reversed>(span.dst, span.src, span.n, [&](uint8_t* window, __mmask16 lanes, __m128i s) {
      const __m128i values = _mm_loadu_si128(reinterpret_cast<const __m128i*>(next));
      const __mmask16 draw = _mm_mask_test_epi8_mask(lanes, s, s);
      _mm_mask_storeu_epi8(window, draw, _mm_maskz_expand_epi8(draw, values));
      next += _mm_popcnt_u32(draw);
    });
  }
  b.pixels = 0;
  b.spans = 0;
}

// Pass 1 for one row: source 0 leaves the destination byte alone. `solid`:
// the foreground is the colour, not the source.
template <bool reversed, bool solid>
void CollectLong(Batch& b, uint8_t* dst, const uint8_t* src, int32_t n);

template <bool reversed, bool solid>
[[gnu::always_inline]] inline void Collect(Batch& b, uint8_t* dst, const uint8_t* src, int32_t n) {
  if (n > kBatchPixels) {
    CollectLong<reversed, solid>(b, dst, src, n);
    return;
  }
  if (b.pixels + n > kBatchPixels || b.spans == kBatchSpans) Flush<reversed>(b);
  b.span[b.spans++] = Span{dst, src, n};
  const uint8_t colour = b.colour;
  uint16_t* out = b.index + b.pixels;
  Windows<reversed>(dst, src, n, [&](uint8_t* window, __mmask16 lanes, __m128i s) {
    const __mmask16 draw = _mm_mask_test_epi8_mask(lanes, s, s);
    const __m256i index = Indices<solid>(s, _mm_maskz_loadu_epi8(draw, window), colour);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_maskz_compress_epi16(draw, index));
    out += _mm_popcnt_u32(draw);
  });
  b.pixels = static_cast<int32_t>(out - b.index);
  if (!b.separate) Flush<reversed>(b);
}

template <bool reversed, bool solid>
void CollectLong(Batch& b, uint8_t* dst, const uint8_t* src, int32_t n) {
  // Longer than a batch: in two parts, each drawn where it belongs.
  const int32_t first = kBatchPixels;
  Collect<reversed, solid>(b, reversed ? dst + (n - first) : dst, src, first);
  Collect<reversed, solid>(b, reversed ? dst : dst + first, src + first, n - first);
}

template <bool solid>
struct BlendKernel {
  static constexpr bool pairsRows = false;
  template <bool reversed>
  static void Draw(uint8_t* dst, const uint8_t* src, int32_t n, const BatchArgs& args) {
    Collect<reversed, solid>(*args.batch, dst, src, n);
  }
};

// n bytes copied, 16 at a time: a run of up to 16 is one masked move.
template <bool reversed>
inline void CopyPixels(uint8_t* dst, const uint8_t* src, int32_t n) {
  for (int32_t i = 0; i < n; i += 16) {
    const int32_t count = n - i < 16 ? n - i : 16;
    const __mmask16 lanes = _bzhi_u32(0xFFFF, static_cast<uint32_t>(count));
    const __m128i s = _mm_maskz_loadu_epi8(lanes, src + i);
    if constexpr (reversed) {
      _mm_mask_storeu_epi8(Before(dst + n - i, 16), 0xFFFF0000u >> count, Reverse16(s));
    } else {
      _mm_mask_storeu_epi8(dst + i, lanes, s);
    }
  }
}

struct RleCopyKernel {
  static constexpr bool pairsRows = true;
  template <bool reversed>
  static void Draw(uint8_t* dst, const uint8_t* src, int32_t n, int) {
    CopyPixels<reversed>(dst, src, n);
  }
};

}  // namespace

template <class Effect, Orientation O>
void WideRaw(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* pixels,
             const EffectArgs& args) {
  static_assert(Effect::blends);
  Batch batch;
  batch.table = args.blend;
  batch.colour = args.colour;
  // Rows closer together than the frame is wide would share bytes.
  const int64_t pitch = drawTarget.pitch;
  batch.separate = (pitch < 0 ? -pitch : pitch) >= width;
  RawRows<BlendKernel<std::is_same_v<Effect, EffectSolidBlend>>, O>(x, y, width, height, surface, pixels,
                                                                     BatchArgs{&batch});
  Flush<FlipsX(O)>(batch);
}

template <class Effect, Orientation O>
void WideRle(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* block,
             const EffectArgs&) {
  static_assert(std::is_same_v<Effect, EffectCopy>);
  RleRows<RleCopyKernel, O>(x, y, width, height, surface, block, 0);
}

#define VANTOR_WIDE_ORIENTATIONS(KIND, EFFECT)                                                              \
  template void KIND<EFFECT, Orientation::AsIs>(int32_t, int32_t, int32_t, int32_t, uint8_t*, const uint8_t*, \
                                                const EffectArgs&);                                          \
  template void KIND<EFFECT, Orientation::MirrorX>(int32_t, int32_t, int32_t, int32_t, uint8_t*,             \
                                                   const uint8_t*, const EffectArgs&);                       \
  template void KIND<EFFECT, Orientation::MirrorY>(int32_t, int32_t, int32_t, int32_t, uint8_t*,             \
                                                   const uint8_t*, const EffectArgs&);                       \
  template void KIND<EFFECT, Orientation::MirrorXY>(int32_t, int32_t, int32_t, int32_t, uint8_t*,            \
                                                    const uint8_t*, const EffectArgs&);
VANTOR_WIDE_ORIENTATIONS(WideRaw, EffectBlend)
VANTOR_WIDE_ORIENTATIONS(WideRaw, EffectSolidBlend)
VANTOR_WIDE_ORIENTATIONS(WideRle, EffectCopy)
#undef VANTOR_WIDE_ORIENTATIONS

#pragma GCC diagnostic pop
#pragma GCC pop_options

#else

bool WideBlits() { return false; }
bool UseWideBlits(bool) { return false; }

#endif
