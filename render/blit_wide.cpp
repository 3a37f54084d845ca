// The wide blit kernels (see render/blit_wide.h). Everything that the plain
// blits share is included before the target switch below, so that no inline
// function the rest of the program uses is compiled here for instructions it
// may not have; only this file's own kernels and their row walks are.
#include "render/blit_wide.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "formats/rle.h"
#include "render/blit.h"
#include "render/drawtarget.h"
#include "render/effects.h"

namespace {

KernelSet Detect() {
#if VANTOR_WIDE_BLITS
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
      __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("popcnt") &&
      __builtin_cpu_supports("bmi2")) {
    return KernelSet::Wide;
  }
  if (__builtin_cpu_supports("avx2")) return KernelSet::Avx2;
#endif
  return KernelSet::Plain;
}

KernelSet Best() {
  static const KernelSet best = Detect();
  return best;
}

KernelSet& InUse() {
  static KernelSet set = Best();
  return set;
}

}  // namespace

KernelSet Kernels() { return InUse(); }

KernelSet UseKernels(KernelSet set) { return InUse() = std::min(set, Best()); }

#if VANTOR_WIDE_BLITS
#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("ssse3,popcnt,avx2,avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi,bmi2")
// GCC 12's AVX-512 intrinsics start some results from a deliberately
// undefined register, which its flow analysis reports as uninitialised.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"

#include "render/blend_batch.h"
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
//   1. collect: for 64 pixels at a time, the table indices (old destination
//      byte << 8 | drawn colour) of the pixels to draw, packed together;
//   2. look up: one tight loop of loads, an index and an entry per pixel,
//      with nothing else in it;
//   3. place: the results spread back to their pixels with masked stores.
// Each destination byte is read in pass 1 and written in pass 3, and the
// spans of one batch never share a byte (see Batch::separate), so the order
// of the passes cannot change what a pixel gets. What this saves over the
// plain blend is the per-pixel transparency branch and the byte-wise reads
// of source and destination: pass 2 is two loads and a store per drawn
// pixel, and transparent pixels cost nothing there. Small batches leave
// more of the first-level cache to the table: rows of at most 512 pixels in
// all (eight rows of a 64-pixel frame) measured 1.04 to 1.05x faster than
// 2048 where the look-ups spread over the whole table.
constexpr int32_t kBatchPixels = 512;
constexpr int32_t kBatchSpans = 256;

struct Span {
  uint8_t* dst;
  const uint8_t* src;
  int32_t n;
};

struct Batch {
  const uint8_t* table;  // the effect's part of the table
  uint8_t colour;        // the foreground of the solid effects
  bool separate;         // false when destination rows overlap: one span per batch
  int32_t pixels = 0;
  int32_t spans = 0;
  // Room past `pixels` for the last 32-index store of pass 1, the last
  // 8-entry step of pass 2 and the last 64-byte load of pass 3, which read
  // or write whole groups.
  alignas(64) uint16_t index[kBatchPixels + 32];
  alignas(64) uint8_t mixed[kBatchPixels + 64];
  Span span[kBatchSpans];
};

// One batch's pointer as the row walks' argument.
struct BatchArgs {
  Batch* batch;
};

// The 64 bytes in reverse order.
inline __m512i Reverse64(__m512i v) {
  const __m512i order =
      _mm512_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23,
                      24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45,
                      46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63);
  return _mm512_permutexvar_epi8(order, v);
}

// Walks the 64-pixel windows of a span: calls f(window, lanes, source) with
// the window's leftmost destination byte, the lanes of it that belong to the
// span and the source bytes in destination order. Mirrored, source byte k
// goes to destination byte n - 1 - k: the windows are taken from the span's
// right end, each ending where the previous one began.
template <bool reversed, class F>
inline void Windows(uint8_t* dst, const uint8_t* src, int32_t n, F f) {
  for (int32_t i = 0; i < n; i += 64) {
    const uint32_t count = static_cast<uint32_t>(n - i < 64 ? n - i : 64);
    const __mmask64 lanes = _bzhi_u64(~uint64_t{0}, count);
    const __m512i s = _mm512_maskz_loadu_epi8(lanes, src + i);
    if constexpr (reversed) {
      f(Before(dst + n - i, 64), ~uint64_t{0} << (64 - count), Reverse64(s));
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
  // The entries just past `pixels` were cleared above; their results are
  // never placed.
  LookUp(table, b.index, b.mixed, b.pixels);
  const uint8_t* next = b.mixed;
  for (int32_t k = 0; k < b.spans; ++k) {
    const Span& span = b.span[k];
    Windows<reversed>(span.dst, span.src, span.n, [&](uint8_t* window, __mmask64 lanes, __m512i s) {
      const __mmask64 draw = _mm512_mask_test_epi8_mask(lanes, s, s);
      _mm512_mask_storeu_epi8(window, draw, _mm512_maskz_expand_epi8(draw, _mm512_loadu_si512(next)));
      next += _mm_popcnt_u64(draw);
    });
  }
  b.pixels = 0;
  b.spans = 0;
}

// Pass 1 for one row: source 0 leaves the destination byte alone.
template <bool reversed, class Effect>
void CollectLong(Batch& b, uint8_t* dst, const uint8_t* src, int32_t n);

template <bool reversed, class Effect>
[[gnu::always_inline]] inline void Collect(Batch& b, uint8_t* dst, const uint8_t* src, int32_t n) {
  if (n > kBatchPixels) {
    CollectLong<reversed, Effect>(b, dst, src, n);
    return;
  }
  if (b.pixels + n > kBatchPixels || b.spans == kBatchSpans) Flush<reversed>(b);
  b.span[b.spans++] = Span{dst, src, n};
  const uint8_t colour = b.colour;
  uint16_t* out = b.index + b.pixels;
  Windows<reversed>(dst, src, n, [&](uint8_t* window, __mmask64 lanes, __m512i s) {
    const __mmask64 draw = _mm512_mask_test_epi8_mask(lanes, s, s);
    const __m512i old = _mm512_maskz_loadu_epi8(draw, window);
    out += PackIndices<Effect::byDrawn, Effect::solid>(out, draw, old, s, colour);
  });
  b.pixels = static_cast<int32_t>(out - b.index);
  if (!b.separate) Flush<reversed>(b);
}

template <bool reversed, class Effect>
void CollectLong(Batch& b, uint8_t* dst, const uint8_t* src, int32_t n) {
  // Longer than a batch: in two parts, each drawn where it belongs.
  const int32_t first = kBatchPixels;
  Collect<reversed, Effect>(b, reversed ? dst + (n - first) : dst, src, first);
  Collect<reversed, Effect>(b, reversed ? dst : dst + first, src + first, n - first);
}

template <class Effect>
struct BlendKernel {
  static constexpr int rowsTogether = 1;
  template <bool reversed>
  static void Draw(uint8_t* dst, const uint8_t* src, int32_t n, const BatchArgs& args) {
    Collect<reversed, Effect>(*args.batch, dst, src, n);
  }
};

// The solid blend through the colour's row (render/effects.h) is a fixed
// translation of the old destination bytes, done 64 at a time in registers
// with no table look-up in memory: the row's 256 bytes sit in four
// registers, two-table permutes look up the halves and the old byte's top
// bit picks between them.
struct RowRegisters {
  __m512i row[4];
  explicit RowRegisters(const uint8_t* table) {
    for (int k = 0; k < 4; ++k) row[k] = _mm512_loadu_si512(table + 64 * k);
  }
  __m512i Translate(__m512i old) const {
    const __m512i low = _mm512_permutex2var_epi8(row[0], old, row[1]);
    const __m512i high = _mm512_permutex2var_epi8(row[2], old, row[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(old), low, high);
  }
};

// Only where the source byte is not 0. (For the run-length blits, whose runs
// lie a few bytes apart on one row, the masked store of one run and the
// load of the next meet in the same window and stall; the plain loop through
// the row is faster there.)
struct TranslateKernel {
  static constexpr int rowsTogether = 1;
  template <bool reversed>
  static void Draw(uint8_t* dst, const uint8_t* src, int32_t n, const RowRegisters& rows) {
    for (int32_t i = 0; i < n; i += 64) {
      const int32_t count = n - i < 64 ? n - i : 64;
      const __mmask64 lanes = _bzhi_u64(~uint64_t{0}, static_cast<uint32_t>(count));
      __m512i s = _mm512_maskz_loadu_epi8(lanes, src + i);
      uint8_t* window = dst + i;
      __mmask64 inWindow = lanes;
      if constexpr (reversed) {
        s = Reverse64(s);
        window = Before(dst + n - i, 64);
        inWindow = ~uint64_t{0} << (64 - count);
      }
      const __mmask64 draw = _mm512_mask_test_epi8_mask(inWindow, s, s);
      const __m512i old = _mm512_maskz_loadu_epi8(draw, window);
      _mm512_mask_storeu_epi8(window, draw, rows.Translate(old));
    }
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

// Runs of up to 16 pixels whose 16 source bytes all lie before `readable`
// (the block's last row record, the only one that may end at the block's
// end) are loaded whole: a masked load costs more than a plain one.
struct RleCopyKernel {
  static constexpr int rowsTogether = 4;
  static constexpr bool testsLastRun = true;  // a masked move of nothing is still a move
  template <bool reversed>
  static void Draw(uint8_t* dst, const uint8_t* src, int32_t n, const uint8_t* readable) {
    if (n <= 16 && src + 16 <= readable) {
      const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
      const uint32_t count = static_cast<uint32_t>(n);
      if constexpr (reversed) {
        _mm_mask_storeu_epi8(Before(dst + n, 16), 0xFFFF0000u >> count, Reverse16(s));
      } else {
        _mm_mask_storeu_epi8(dst, _bzhi_u32(0xFFFF, count), s);
      }
      return;
    }
    CopyPixels<reversed>(dst, src, n);
  }
};

}  // namespace

template <class Effect, Orientation O>
void WideRaw(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* pixels,
             const EffectArgs& args) {
  static_assert(Effect::blends);
  if constexpr (std::is_same_v<Effect, EffectSolidBlendRows>) {
    // Rows closer together than the frame is wide are fine here: each
    // window is read and written before the next.
    RawRows<TranslateKernel, O>(x, y, width, height, surface, pixels, RowRegisters(args.blend));
    return;
  }
  Batch batch;
  batch.table = args.blend;
  batch.colour = args.colour;
  // Rows closer together than the frame is wide would share bytes.
  const int64_t pitch = drawTarget.pitch;
  batch.separate = (pitch < 0 ? -pitch : pitch) >= width;
  RawRows<BlendKernel<Effect>, O>(x, y, width, height, surface, pixels, BatchArgs{&batch});
  Flush<FlipsX(O)>(batch);
}

template <class Effect, Orientation O>
void WideRle(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* block,
             const EffectArgs&) {
  static_assert(std::is_same_v<Effect, EffectCopy>);
  if (width <= 0 || height <= 0) return;  // nothing to draw, and no row table to read
  RleRows<RleCopyKernel, O>(x, y, width, height, surface, block, block + RleRowOffset(block, height - 1));
}

#define VANTOR_WIDE_ORIENTATIONS(KIND, EFFECT)                                                    \
  template void KIND<EFFECT, Orientation::AsIs>(int32_t, int32_t, int32_t, int32_t, uint8_t*,     \
                                                const uint8_t*, const EffectArgs&);               \
  template void KIND<EFFECT, Orientation::MirrorX>(int32_t, int32_t, int32_t, int32_t, uint8_t*,  \
                                                   const uint8_t*, const EffectArgs&);            \
  template void KIND<EFFECT, Orientation::MirrorY>(int32_t, int32_t, int32_t, int32_t, uint8_t*,  \
                                                   const uint8_t*, const EffectArgs&);            \
  template void KIND<EFFECT, Orientation::MirrorXY>(int32_t, int32_t, int32_t, int32_t, uint8_t*, \
                                                    const uint8_t*, const EffectArgs&);
VANTOR_WIDE_ORIENTATIONS(WideRaw, EffectBlend)
VANTOR_WIDE_ORIENTATIONS(WideRaw, EffectSolidBlend)
VANTOR_WIDE_ORIENTATIONS(WideRaw, EffectBlendRows)
VANTOR_WIDE_ORIENTATIONS(WideRaw, EffectSolidBlendRows)
VANTOR_WIDE_ORIENTATIONS(WideRle, EffectCopy)
#undef VANTOR_WIDE_ORIENTATIONS

#pragma GCC diagnostic pop
#pragma GCC pop_options

#endif
