// What the raw and run-length blit families share beyond blit.h: the level
// check of the blending blits and a byte reverse for the mirrored vector
// loops. Internal to render/.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>

#include "formats/alpha.h"
#include "render/effects.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The blending blits draw nothing for a level outside the table; negative
// levels included, which would otherwise index before it. Otherwise fills in
// the part of the table `Effect` reads (render/effects.h).
template <class Effect>
inline bool BlendLevelArgs(int32_t alphaLevel, uint8_t colour, EffectArgs* args) {
  if (alphaLevel < 0 || alphaLevel >= ALPHA_LEVELS) return false;
  args->colour = colour;
  if constexpr (Effect::byDrawn) {
    assert(AlphaRowsInStep(alphaLevel) && "alphaTable written without AlphaTableChanged()");
    args->blend = AlphaRowsByDrawn(alphaLevel) + (Effect::solid ? colour * 256 : 0);
  } else {
    args->blend = alphaTable + alphaLevel * 65536;
  }
  return true;
}

// Whether the blending blits read the table by drawn colour (the default)
// or as stored. Both draw the same bytes; the switch is there so that the
// two can be compared on one machine, in one process. Returns the setting.
bool BlendByDrawn();
bool UseBlendByDrawn(bool on);

// The blending blits' table layout, as BlendByDrawn() says: calls
// draw(Effect{}, args) with `Rows` (the table by drawn colour) or `Stored`
// (as stored) and its level's arguments; nothing for a level that draws
// nothing.
template <class Stored, class Rows, class Draw>
inline void WithBlendLayout(int32_t alphaLevel, uint8_t colour, Draw&& draw) {
  EffectArgs args;
  if (BlendByDrawn()) {
    if (BlendLevelArgs<Rows>(alphaLevel, colour, &args)) draw(Rows{}, args);
  } else if (BlendLevelArgs<Stored>(alphaLevel, colour, &args)) {
    draw(Stored{}, args);
  }
}

// The copies' arguments (none used) and the single-colour ones.
inline constexpr EffectArgs kNoArgs = {0, nullptr};
inline EffectArgs SolidArgs(int32_t colour) { return EffectArgs{static_cast<uint8_t>(colour), nullptr}; }

// Copies n bytes, n below 16, with two moves of the widest size that fits,
// overlapping in the middle: every length from that size to twice it is
// covered without touching a byte outside the n.
inline void CopyUnder16(uint8_t* dst, const uint8_t* src, int32_t n) {
  if (n >= 8) {
    uint64_t head, tail;
    std::memcpy(&head, src, 8);
    std::memcpy(&tail, src + n - 8, 8);
    std::memcpy(dst, &head, 8);
    std::memcpy(dst + n - 8, &tail, 8);
  } else if (n >= 4) {
    uint32_t head, tail;
    std::memcpy(&head, src, 4);
    std::memcpy(&tail, src + n - 4, 4);
    std::memcpy(dst, &head, 4);
    std::memcpy(dst + n - 4, &tail, 4);
  } else if (n >= 2) {
    uint16_t head, tail;
    std::memcpy(&head, src, 2);
    std::memcpy(&tail, src + n - 2, 2);
    std::memcpy(dst, &head, 2);
    std::memcpy(dst + n - 2, &tail, 2);
  } else if (n == 1) {
    dst[0] = src[0];
  }
}

// Exactly n bytes (a run's, up to 255), with moves of one size that overlap
// in the middle: runs are short, and a library call would cost more than
// most.
inline void CopyBytes(uint8_t* dst, const uint8_t* src, int32_t n) {
  if (n >= 16) {
    uint8_t chunk[16];
    for (int32_t i = 0; i + 16 < n; i += 16) {
      std::memcpy(chunk, src + i, 16);
      std::memcpy(dst + i, chunk, 16);
    }
    std::memcpy(chunk, src + n - 16, 16);
    std::memcpy(dst + n - 16, chunk, 16);
  } else {
    CopyUnder16(dst, src, n);
  }
}

// 0xFF in every byte of the word that is not 0, 0x00 in the others. Adding
// 0x7F to a byte's low seven bits sets its top bit exactly when one of them
// is set, and never carries into the next byte; the byte's own top bit is
// or-ed in after.
inline uint64_t OpaqueByteMask(uint64_t v) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  const uint64_t top = (((v & kLow7) + kLow7) | v) & ~kLow7;
  return (top >> 7) * 0xFF;
}

#if defined(__SSE2__)
// The 16 bytes in reverse order, with SSE2 alone: dwords reversed, then the
// words in each dword swapped, then the bytes in each word.
inline __m128i ReverseBytes(__m128i v) {
  v = _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3));
  v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(2, 3, 0, 1));
  v = _mm_shufflehi_epi16(v, _MM_SHUFFLE(2, 3, 0, 1));
  return _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
}
#endif

#if defined(__SSE2__) && defined(__x86_64__)
#define VANTOR_BLEND_GROUPS 1
// A blending effect's table indices for 16 pixels, eight 16-bit indices in
// each half: one interleave of the old and drawn bytes (or the colour)
// builds them, where the scalar way costs a shift and an or per pixel.
template <class Effect>
[[gnu::always_inline]] inline void BlendIndices(__m128i old, __m128i drawn, const EffectArgs& args,
                                                __m128i* low, __m128i* high) {
  __m128i lowByte = old, highByte = drawn;  // by drawn colour: drawn << 8 | old
  if constexpr (!Effect::byDrawn) {
    lowByte = Effect::solid ? _mm_set1_epi8(static_cast<char>(args.colour)) : drawn;
    highByte = old;  // as stored: old << 8 | drawn (or the colour)
  } else if constexpr (Effect::solid) {
    highByte = _mm_setzero_si128();  // the colour's own row: the old byte alone
  }
  *low = _mm_unpacklo_epi8(lowByte, highByte);
  *high = _mm_unpackhi_epi8(lowByte, highByte);
}

// Looks up the eight indices of `indices` and writes the bytes to out[0..7]
// one at a time: byte stores cost less than putting the bytes together.
[[gnu::always_inline]] inline void LookUp8(uint8_t* out, const uint8_t* table, __m128i indices) {
  uint64_t first = static_cast<uint64_t>(_mm_cvtsi128_si64(indices));
  uint64_t second = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(indices, indices)));
  for (int k = 0; k < 4; ++k, first >>= 16) out[k] = table[first & 0xFFFF];
  for (int k = 4; k < 8; ++k, second >>= 16) out[k] = table[second & 0xFFFF];
}

// Blends the 16 pixels at d with `drawn` (not read by the solid effects)
// where bit k of `clear` is 0. A wholly opaque group is looked up with no
// test per pixel; a mixed one tests each pixel.
template <class Effect>
inline void BlendGroup(uint8_t* d, __m128i drawn, int clear, const EffectArgs& args) {
  __m128i low, high;
  BlendIndices<Effect>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d)), drawn, args, &low, &high);
  if (clear == 0) {
    LookUp8(d, args.blend, low);
    LookUp8(d + 8, args.blend, high);
    return;
  }
  alignas(16) uint16_t index[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(index), low);
  _mm_store_si128(reinterpret_cast<__m128i*>(index + 8), high);
  for (int k = 0; k < 16; ++k) {
    if (!(clear >> k & 1)) d[k] = args.blend[index[k]];
  }
}
#endif

// Exactly n bytes with src[i] going to dst[n - 1 - i] (a mirrored run), as
// CopyBytes moves them: each size's two moves overlap in the middle.
inline void CopyBytesReversed(uint8_t* dst, const uint8_t* src, int32_t n) {
#if defined(__SSE2__)
  if (n >= 16) {
    for (int32_t i = 0; i + 16 < n; i += 16) {
      const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + (n - 16 - i)), ReverseBytes(s));
    }
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + n - 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), ReverseBytes(s));
    return;
  }
#endif
  // The first bytes reversed land at the end, the last ones at the start.
  if (n >= 8) {
    uint64_t word;
    for (int32_t i = 0; i + 8 < n; i += 8) {
      std::memcpy(&word, src + i, 8);
      word = __builtin_bswap64(word);
      std::memcpy(dst + (n - 8 - i), &word, 8);
    }
    std::memcpy(&word, src + n - 8, 8);
    word = __builtin_bswap64(word);
    std::memcpy(dst, &word, 8);
  } else if (n >= 4) {
    uint32_t head, tail;
    std::memcpy(&head, src, 4);
    std::memcpy(&tail, src + n - 4, 4);
    head = __builtin_bswap32(head);
    tail = __builtin_bswap32(tail);
    std::memcpy(dst + n - 4, &head, 4);
    std::memcpy(dst, &tail, 4);
  } else if (n >= 2) {
    const uint8_t first = src[0], second = src[1], last = src[n - 1];
    dst[n - 1] = first;
    dst[n - 2] = second;
    dst[0] = last;
  } else if (n == 1) {
    dst[0] = src[0];
  }
}
