// Run-length frame blits: one template over effect and orientation, walking
// the rows with render/blit_rows.h, and the run primitives they move their
// runs with. Where the processor has them, the wide kernels of
// render/blit_wide.cpp move the runs instead (all effects but the plain
// fill, which memset and word stores already serve well).
#include <cstring>
#include <type_traits>

#include "formats/rle.h"
#include "render/blit.h"
#include "render/blit_internal.h"
#include "render/blit_rows.h"
#include "render/blit_wide.h"

// Runs are mostly short: below 16 bytes the words and single bytes are
// moved inline, where a library call would cost more than the run.
void FillRun(uint8_t* dst, uint8_t colour, int32_t n) {
  if (n >= 16) {
    std::memset(dst, colour, static_cast<size_t>(n));
    return;
  }
  if (n <= 0) return;
  const uint64_t word = 0x0101010101010101ull * colour;
  if (n & 8) std::memcpy(dst + (n & 7), &word, 8);
  if (n & 4) std::memcpy(dst + (n & 3), &word, 4);
  if (n & 2) std::memcpy(dst + (n & 1), &word, 2);
  if (n & 1) dst[0] = colour;
}

void CopyRun(uint8_t* dst, const uint8_t* src, int32_t n) {
  if (n > 255) {
    std::memcpy(dst, src, static_cast<size_t>(n));
    return;
  }
  CopyBytes(dst, src, n);
}

void CopyRunReversed(uint8_t* dst, const uint8_t* src, int32_t n) { CopyBytesReversed(dst, src, n); }

void BlendRun(uint8_t* dst, const uint8_t* src, int32_t n, const uint8_t* table) {
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const uint8_t a = table[dst[i] << 8 | src[i]];
    const uint8_t b = table[dst[i + 1] << 8 | src[i + 1]];
    const uint8_t c = table[dst[i + 2] << 8 | src[i + 2]];
    const uint8_t d = table[dst[i + 3] << 8 | src[i + 3]];
    dst[i] = a;
    dst[i + 1] = b;
    dst[i + 2] = c;
    dst[i + 3] = d;
  }
  for (; i < n; ++i) dst[i] = table[dst[i] << 8 | src[i]];
}

void BlendRunReversed(uint8_t* dst, const uint8_t* src, int32_t n, const uint8_t* table) {
  uint8_t* end = dst + n - 1;  // where src[0] goes
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const uint8_t a = table[end[-i] << 8 | src[i]];
    const uint8_t b = table[end[-i - 1] << 8 | src[i + 1]];
    const uint8_t c = table[end[-i - 2] << 8 | src[i + 2]];
    const uint8_t d = table[end[-i - 3] << 8 | src[i + 3]];
    end[-i] = a;
    end[-i - 1] = b;
    end[-i - 2] = c;
    end[-i - 3] = d;
  }
  for (; i < n; ++i) end[-i] = table[end[-i] << 8 | src[i]];
}

void BlendColourRun(uint8_t* dst, uint8_t colour, int32_t n, const uint8_t* table) {
  // The colour fixes the table column: index it once, then only the old
  // destination byte varies.
  const uint8_t* column = table + colour;
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const uint8_t a = column[dst[i] << 8];
    const uint8_t b = column[dst[i + 1] << 8];
    const uint8_t c = column[dst[i + 2] << 8];
    const uint8_t d = column[dst[i + 3] << 8];
    dst[i] = a;
    dst[i + 1] = b;
    dst[i + 2] = c;
    dst[i + 3] = d;
  }
  for (; i < n; ++i) dst[i] = column[dst[i] << 8];
}

void BlendColourRunReversed(uint8_t* dst, uint8_t colour, int32_t n, const uint8_t* table) {
  // Every byte gets the same treatment, so the direction is only the order
  // of the writes, which no caller can tell apart.
  BlendColourRun(dst, colour, n, table);
}

namespace {

// A blending run, one pixel at a time: runs are mostly a few pixels long,
// and an unrolled loop's extra branches on the length cost more than they
// save (spans of 16 or more go sixteen at a time, BlendGroups below; two
// overlapping groups of eight for 8 to 15 measured slower). `table` is the
// level's slice, read as stored (row = old byte) or by drawn colour (row =
// drawn colour, render/effects.h).
template <bool reversed, bool byDrawn>
inline void BlendSpan(uint8_t* dst, const uint8_t* src, int32_t n, const uint8_t* table) {
  uint8_t* at = reversed ? dst + n - 1 : dst;  // where src[0] goes
  for (int32_t i = 0; i < n; ++i) {
    const int32_t old = *at;
    *at = table[byDrawn ? src[i] << 8 | old : old << 8 | src[i]];
    at += reversed ? -1 : 1;
  }
}

// The solid blend is one 256-byte translation of the old bytes; every byte
// gets the same treatment, so the direction does not matter.
inline void TranslateSpan(uint8_t* dst, int32_t n, const uint8_t* row) {
  for (int32_t i = 0; i < n; ++i) dst[i] = row[dst[i]];
}

#if VANTOR_BLEND_GROUPS
// A blending span of 16 pixels or more, sixteen at a time, each group's
// indices built by one interleave and its results stored a byte at a time.
// The last group overlaps the one before it: its indices are built before
// the loop writes any of its bytes, so the bytes both cover get the same
// result twice and none is blended twice.
template <class Effect, bool reversed>
[[gnu::noinline]] void BlendGroups(uint8_t* dst, const uint8_t* src, int32_t n, const EffectArgs& args) {
  const auto indices = [&](int32_t i, __m128i* low, __m128i* high) {
    __m128i drawn = _mm_setzero_si128();
    if constexpr (!Effect::solid) {
      drawn = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
      if constexpr (reversed) drawn = ReverseBytes(drawn);
    }
    const uint8_t* at = reversed ? dst + (n - 16 - i) : dst + i;
    BlendIndices<Effect>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), drawn, args, low, high);
  };
  __m128i lastLow, lastHigh;
  indices(n - 16, &lastLow, &lastHigh);
  for (int32_t i = 0; i + 16 < n; i += 16) {
    __m128i low, high;
    indices(i, &low, &high);
    uint8_t* at = reversed ? dst + (n - 16 - i) : dst + i;
    LookUp8(at, args.blend, low);
    LookUp8(at + 8, args.blend, high);
  }
  uint8_t* at = reversed ? dst : dst + n - 16;
  LookUp8(at, args.blend, lastLow);
  LookUp8(at + 8, args.blend, lastHigh);
}
#endif

// One span of a run: n pixels whose leftmost destination byte is dst, from
// the run's pixel bytes at src (not read by the solid effects). Reversed
// spans put src[0] at the right end.
template <class Effect, bool reversed>
inline void RleSpan(uint8_t* dst, const uint8_t* src, int32_t n, const EffectArgs& args) {
#if VANTOR_BLEND_GROUPS
  if constexpr (Effect::blends) {
    if (n >= 16) {
      BlendGroups<Effect, reversed>(dst, src, n, args);
      return;
    }
  }
#endif
  if constexpr (std::is_same_v<Effect, EffectCopy>) {
    if constexpr (reversed) {
      CopyBytesReversed(dst, src, n);
    } else {
      CopyBytes(dst, src, n);  // a run: at most 255
    }
  } else if constexpr (std::is_same_v<Effect, EffectBlend> || std::is_same_v<Effect, EffectBlendRows>) {
    BlendSpan<reversed, Effect::byDrawn>(dst, src, n, args.blend);
  } else if constexpr (std::is_same_v<Effect, EffectSolid>) {
    FillRun(dst, args.colour, n);
  } else if constexpr (std::is_same_v<Effect, EffectSolidBlendRows>) {
    TranslateSpan(dst, n, args.blend);
  } else {
    static_assert(std::is_same_v<Effect, EffectSolidBlend>);
    BlendColourRun(dst, args.colour, n, args.blend);
  }
}

// The blends walk rows four at a time: their runs wait on table loads, and
// several rows' chains overlap them (measured faster, unlike the plain
// copies, whose length ladders mispredict when rows are mixed).
template <class Effect>
struct PlainSpan {
  static constexpr bool fourRows = std::is_same_v<Effect, EffectBlend> ||
                                   std::is_same_v<Effect, EffectBlendRows> ||
                                   std::is_same_v<Effect, EffectSolidBlendRows>;
  static constexpr int rowsTogether = fourRows ? 4 : 1;
  // A copy or fill of no pixels still costs its length ladder; a blend's
  // loop of no pixels costs less than the test of the length.
  static constexpr bool testsLastRun =
      std::is_same_v<Effect, EffectCopy> || std::is_same_v<Effect, EffectSolid>;
  template <bool reversed>
  static void Draw(uint8_t* dst, const uint8_t* src, int32_t n, const EffectArgs& args) {
    RleSpan<Effect, reversed>(dst, src, n, args);
  }
};

template <class Effect, Orientation O>
void BlitRle(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* block,
             const EffectArgs& args) {
#if VANTOR_WIDE_BLITS
  if constexpr (std::is_same_v<Effect, EffectCopy>) {
    if (WideBlits()) {
      WideRle<Effect, O>(x, y, width, height, surface, block, args);
      return;
    }
  }
#endif
  RleRows<PlainSpan<Effect>, O>(x, y, width, height, surface, block, args);
}

// The blending blits: the table as BlendByDrawn() says.
template <class Stored, class Rows, Orientation O>
void BlendRle(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* block,
              uint8_t colour, int32_t alphaLevel) {
  WithBlendLayout<Stored, Rows>(alphaLevel, colour, [&](auto effect, const EffectArgs& args) {
    BlitRle<decltype(effect), O>(x, y, width, height, surface, block, args);
  });
}

}  // namespace

void BlitRleCopy(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                 const uint8_t* block) {
  BlitRle<EffectCopy, Orientation::AsIs>(x, y, width, height, surface, block, kNoArgs);
}
void BlitRleCopyMirrorX(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                        const uint8_t* block) {
  BlitRle<EffectCopy, Orientation::MirrorX>(x, y, width, height, surface, block, kNoArgs);
}
void BlitRleCopyMirrorY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                        const uint8_t* block) {
  BlitRle<EffectCopy, Orientation::MirrorY>(x, y, width, height, surface, block, kNoArgs);
}
void BlitRleCopyMirrorXY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                         const uint8_t* block) {
  BlitRle<EffectCopy, Orientation::MirrorXY>(x, y, width, height, surface, block, kNoArgs);
}

void BlitRleBlend(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* block,
                  int32_t alphaLevel) {
  BlendRle<EffectBlend, EffectBlendRows, Orientation::AsIs>(x, y, width, height, surface, block, 0,
                                                            alphaLevel);
}
void BlitRleBlendMirrorX(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                         const uint8_t* block, int32_t alphaLevel) {
  BlendRle<EffectBlend, EffectBlendRows, Orientation::MirrorX>(x, y, width, height, surface, block, 0,
                                                               alphaLevel);
}
void BlitRleBlendMirrorY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                         const uint8_t* block, int32_t alphaLevel) {
  BlendRle<EffectBlend, EffectBlendRows, Orientation::MirrorY>(x, y, width, height, surface, block, 0,
                                                               alphaLevel);
}
void BlitRleBlendMirrorXY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                          const uint8_t* block, int32_t alphaLevel) {
  BlendRle<EffectBlend, EffectBlendRows, Orientation::MirrorXY>(x, y, width, height, surface, block, 0,
                                                                alphaLevel);
}

void BlitRleSolid(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* block,
                  int32_t colour) {
  BlitRle<EffectSolid, Orientation::AsIs>(x, y, width, height, surface, block, SolidArgs(colour));
}
void BlitRleSolidMirrorX(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                         const uint8_t* block, int32_t colour) {
  BlitRle<EffectSolid, Orientation::MirrorX>(x, y, width, height, surface, block, SolidArgs(colour));
}
void BlitRleSolidMirrorY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                         const uint8_t* block, int32_t colour) {
  BlitRle<EffectSolid, Orientation::MirrorY>(x, y, width, height, surface, block, SolidArgs(colour));
}
void BlitRleSolidMirrorXY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                          const uint8_t* block, int32_t colour) {
  BlitRle<EffectSolid, Orientation::MirrorXY>(x, y, width, height, surface, block, SolidArgs(colour));
}

void BlitRleSolidBlend(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                       const uint8_t* block, int32_t colour, int32_t alphaLevel) {
  BlendRle<EffectSolidBlend, EffectSolidBlendRows, Orientation::AsIs>(
      x, y, width, height, surface, block, static_cast<uint8_t>(colour), alphaLevel);
}
void BlitRleSolidBlendMirrorX(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                              const uint8_t* block, int32_t colour, int32_t alphaLevel) {
  BlendRle<EffectSolidBlend, EffectSolidBlendRows, Orientation::MirrorX>(
      x, y, width, height, surface, block, static_cast<uint8_t>(colour), alphaLevel);
}
void BlitRleSolidBlendMirrorY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                              const uint8_t* block, int32_t colour, int32_t alphaLevel) {
  BlendRle<EffectSolidBlend, EffectSolidBlendRows, Orientation::MirrorY>(
      x, y, width, height, surface, block, static_cast<uint8_t>(colour), alphaLevel);
}
void BlitRleSolidBlendMirrorXY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                               const uint8_t* block, int32_t colour, int32_t alphaLevel) {
  BlendRle<EffectSolidBlend, EffectSolidBlendRows, Orientation::MirrorXY>(
      x, y, width, height, surface, block, static_cast<uint8_t>(colour), alphaLevel);
}
