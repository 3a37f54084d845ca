// Raw frame blits: one template over effect and orientation, walking the
// rows with render/blit_rows.h. The blending ones take the wide kernels of
// render/blit_wide.cpp where the processor has them.
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "render/blit.h"
#include "render/blit_internal.h"
#include "render/blit_rows.h"
#include "render/blit_wide.h"

namespace {

// n source bytes to the n destination bytes at dst; `reversed` puts src[i]
// at dst[n - 1 - i]. Source 0 leaves the destination byte as it was.
template <class Effect, bool reversed>
inline void RawRow(uint8_t* dst, const uint8_t* src, int32_t n, const EffectArgs& args) {
  int32_t i = 0;
#if defined(__SSE2__)
  if constexpr (!Effect::blends) {
    // Copy and Solid select per byte: keep the old byte where the source is
    // 0, else take the source (or the colour).
    const __m128i zero = _mm_setzero_si128();
    [[maybe_unused]] const __m128i fill = _mm_set1_epi8(static_cast<char>(args.colour));
    for (; i + 16 <= n; i += 16) {
      __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
      if constexpr (reversed) s = ReverseBytes(s);
      __m128i* d = reinterpret_cast<__m128i*>(reversed ? dst + (n - 16 - i) : dst + i);
      const __m128i keep = _mm_cmpeq_epi8(s, zero);
      const int kept = _mm_movemask_epi8(keep);
      if (kept == 0xFFFF) continue;  // all transparent: leave the bytes alone
      __m128i value;
      if constexpr (std::is_same_v<Effect, EffectSolid>) {
        value = fill;
      } else {
        value = s;
      }
      if (kept != 0) {
        value = _mm_or_si128(_mm_and_si128(keep, _mm_loadu_si128(d)), _mm_andnot_si128(keep, value));
      }
      _mm_storeu_si128(d, value);
    }
  }
#endif
#if VANTOR_BLEND_GROUPS
  if constexpr (Effect::blends) {
    // Sixteen pixels at a time; a wholly transparent group is skipped.
    for (; i + 16 <= n; i += 16) {
      __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
      if constexpr (reversed) s = ReverseBytes(s);
      uint8_t* d = reversed ? dst + (n - 16 - i) : dst + i;
      const int clear = _mm_movemask_epi8(_mm_cmpeq_epi8(s, _mm_setzero_si128()));
      if (clear != 0xFFFF) BlendGroup<Effect>(d, s, clear, args);
    }
  }
#endif
  if constexpr (Effect::blends) {
    // Eight pixels at a time (with the groups above, only a row's last 8 to
    // 15 pixels). Every pixel costs a lookup in a 64 KB table
    // that does not fit the first-level cache, so transparent pixels must
    // not be looked up: a wholly transparent group is skipped, a wholly
    // opaque one is looked up with no test per pixel, and only a group that
    // mixes both tests each pixel.
    for (; i + 8 <= n; i += 8) {
      uint64_t s;
      std::memcpy(&s, src + i, 8);
      if (s == 0) continue;
      uint8_t* d = reversed ? dst + (n - 8 - i) : dst + i;
      // d[k] takes source byte i + k, or i + 7 - k mirrored.
      const uint8_t* from = src + i;
      if (OpaqueByteMask(s) == ~uint64_t{0}) {
        uint8_t drawn[8];
        for (int k = 0; k < 8; ++k) drawn[k] = Effect::Apply(args, d[k], from[reversed ? 7 - k : k]);
        std::memcpy(d, drawn, 8);
        continue;
      }
      for (int k = 0; k < 8; ++k) {
        const uint8_t sk = from[reversed ? 7 - k : k];
        if (sk != 0) d[k] = Effect::Apply(args, d[k], sk);
      }
    }
  }
  for (; i < n; ++i) {
    const uint8_t s = src[i];
    if (s != 0) {
      uint8_t& d = reversed ? dst[n - 1 - i] : dst[i];
      d = Effect::Apply(args, d, s);
    }
  }
}

template <class Effect>
struct PlainRow {
  static constexpr int rowsTogether = 1;
  template <bool reversed>
  static void Draw(uint8_t* dst, const uint8_t* src, int32_t n, const EffectArgs& args) {
    RawRow<Effect, reversed>(dst, src, n, args);
  }
};

template <class Effect, Orientation O>
void BlitRaw(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* pixels,
             const EffectArgs& args) {
#if VANTOR_WIDE_BLITS
  if constexpr (Effect::blends) {
    if (WideBlits()) {
      WideRaw<Effect, O>(x, y, width, height, surface, pixels, args);
      return;
    }
  }
#endif
  RawRows<PlainRow<Effect>, O>(x, y, width, height, surface, pixels, args);
}

// The blending blits: the table as the switch below says.
template <class Stored, class Rows, Orientation O>
void BlendRaw(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* pixels,
              uint8_t colour, int32_t alphaLevel) {
  WithBlendLayout<Stored, Rows>(alphaLevel, colour, [&](auto effect, const EffectArgs& args) {
    BlitRaw<decltype(effect), O>(x, y, width, height, surface, pixels, args);
  });
}

bool blendByDrawn = true;

}  // namespace

bool BlendByDrawn() { return blendByDrawn; }
bool UseBlendByDrawn(bool on) { return blendByDrawn = on; }

void BlitCopy(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* pixels) {
  BlitRaw<EffectCopy, Orientation::AsIs>(x, y, width, height, surface, pixels, kNoArgs);
}
void BlitCopyMirrorX(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                     const uint8_t* pixels) {
  BlitRaw<EffectCopy, Orientation::MirrorX>(x, y, width, height, surface, pixels, kNoArgs);
}
void BlitCopyMirrorY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                     const uint8_t* pixels) {
  BlitRaw<EffectCopy, Orientation::MirrorY>(x, y, width, height, surface, pixels, kNoArgs);
}
void BlitCopyMirrorXY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                      const uint8_t* pixels) {
  BlitRaw<EffectCopy, Orientation::MirrorXY>(x, y, width, height, surface, pixels, kNoArgs);
}

void BlitBlend(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* pixels,
               int32_t alphaLevel) {
  BlendRaw<EffectBlend, EffectBlendRows, Orientation::AsIs>(x, y, width, height, surface, pixels, 0,
                                                            alphaLevel);
}
void BlitBlendMirrorX(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                      const uint8_t* pixels, int32_t alphaLevel) {
  BlendRaw<EffectBlend, EffectBlendRows, Orientation::MirrorX>(x, y, width, height, surface, pixels, 0,
                                                               alphaLevel);
}
void BlitBlendMirrorY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                      const uint8_t* pixels, int32_t alphaLevel) {
  BlendRaw<EffectBlend, EffectBlendRows, Orientation::MirrorY>(x, y, width, height, surface, pixels, 0,
                                                               alphaLevel);
}
void BlitBlendMirrorXY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                       const uint8_t* pixels, int32_t alphaLevel) {
  BlendRaw<EffectBlend, EffectBlendRows, Orientation::MirrorXY>(x, y, width, height, surface, pixels, 0,
                                                                alphaLevel);
}

void BlitSolid(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface, const uint8_t* pixels,
               int32_t colour) {
  BlitRaw<EffectSolid, Orientation::AsIs>(x, y, width, height, surface, pixels, SolidArgs(colour));
}
void BlitSolidMirrorX(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                      const uint8_t* pixels, int32_t colour) {
  BlitRaw<EffectSolid, Orientation::MirrorX>(x, y, width, height, surface, pixels, SolidArgs(colour));
}
void BlitSolidMirrorY(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                      const uint8_t* pixels, int32_t colour) {
  BlitRaw<EffectSolid, Orientation::MirrorY>(x, y, width, height, surface, pixels, SolidArgs(colour));
}
void BlitSolidMirrorXY(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                       const uint8_t* pixels, int32_t colour) {
  BlitRaw<EffectSolid, Orientation::MirrorXY>(x, y, width, height, surface, pixels, SolidArgs(colour));
}

void BlitSolidBlend(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                    const uint8_t* pixels, int32_t colour, int32_t alphaLevel) {
  BlendRaw<EffectSolidBlend, EffectSolidBlendRows, Orientation::AsIs>(
      x, y, width, height, surface, pixels, static_cast<uint8_t>(colour), alphaLevel);
}
void BlitSolidBlendMirrorX(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                           const uint8_t* pixels, int32_t colour, int32_t alphaLevel) {
  BlendRaw<EffectSolidBlend, EffectSolidBlendRows, Orientation::MirrorX>(
      x, y, width, height, surface, pixels, static_cast<uint8_t>(colour), alphaLevel);
}
void BlitSolidBlendMirrorY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                           const uint8_t* pixels, int32_t colour, int32_t alphaLevel) {
  BlendRaw<EffectSolidBlend, EffectSolidBlendRows, Orientation::MirrorY>(
      x, y, width, height, surface, pixels, static_cast<uint8_t>(colour), alphaLevel);
}
void BlitSolidBlendMirrorXY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                            const uint8_t* pixels, int32_t colour, int32_t alphaLevel) {
  BlendRaw<EffectSolidBlend, EffectSolidBlendRows, Orientation::MirrorXY>(
      x, y, width, height, surface, pixels, static_cast<uint8_t>(colour), alphaLevel);
}
