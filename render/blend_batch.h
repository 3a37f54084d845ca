// What the wide blends (render/blit_wide.cpp, render/zoom_wide.cpp) share
// of their batches: packing the table indices of a window's drawn pixels,
// and the look-up pass over them. Only for those files, after their switch
// to the wide instructions; internal linkage on purpose, so that no copy
// compiled for those instructions may stand in for a plain one elsewhere.
#pragma once

#include <immintrin.h>

#include <cstdint>
#include <cstring>

namespace {

// The table indices of the pixels `draw` picks from one 64-pixel window
// (their old bytes `old`, drawn colours `source`), packed in order at
// `out`; returns how many. The table as stored is indexed old byte << 8 |
// drawn colour, by drawn colour drawn colour << 8 | old byte, and the solid
// effect's one row by drawn colour by the old byte alone (render/effects.h);
// the solid effects draw `colour`. Writes 32 entries, or 64 when more than
// 32 are drawn, whatever the count.
template <bool byDrawn, bool solid>
inline uint32_t PackIndices(uint16_t* out, __mmask64 draw, __m512i old, __m512i source, uint8_t colour) {
  // The bytes packed with one compress each, as the indices' low and high
  // bytes.
  const __m512i oldPacked = _mm512_maskz_compress_epi8(draw, old);
  __m512i lo, hi;
  if constexpr (byDrawn && solid) {
    lo = oldPacked;
    hi = _mm512_setzero_si512();
  } else if constexpr (byDrawn) {
    lo = oldPacked;
    hi = _mm512_maskz_compress_epi8(draw, source);
  } else if constexpr (solid) {
    lo = _mm512_set1_epi8(static_cast<char>(colour));
    hi = oldPacked;
  } else {
    lo = _mm512_maskz_compress_epi8(draw, source);
    hi = oldPacked;
  }
  // Paired by the in-lane byte interleaves: with 128-bit lane k holding the
  // packed bytes 8k..8k+7 and 32+8k..32+8k+7, the low interleave gives
  // indices 0..31 in order, the high one 32..63.
  const __m512i order = _mm512_set_epi64(7, 3, 6, 2, 5, 1, 4, 0);
  lo = _mm512_permutexvar_epi64(order, lo);
  hi = _mm512_permutexvar_epi64(order, hi);
  const uint32_t count = static_cast<uint32_t>(_mm_popcnt_u64(draw));
  _mm512_storeu_si512(out, _mm512_unpacklo_epi8(lo, hi));
  if (count > 32) _mm512_storeu_si512(out + 32, _mm512_unpackhi_epi8(lo, hi));
  return count;
}

// out[k] = table[in[k]] for k in [0, count), count rounded up to a multiple
// of 8: both buffers must have room for that. The eight results of a step
// are put together in a register and stored at once: the pass is bound by
// its loads and stores (an index and an entry a pixel), and one store
// instead of eight measured faster.
inline void LookUp(const uint8_t* table, const uint16_t* in, uint8_t* out, int32_t count) {
  for (int32_t j = 0; j < count; j += 8) {
    const uint16_t* at = in + j;
    const uint64_t eight = uint64_t{table[at[0]]} | uint64_t{table[at[1]]} << 8 |
                           uint64_t{table[at[2]]} << 16 | uint64_t{table[at[3]]} << 24 |
                           uint64_t{table[at[4]]} << 32 | uint64_t{table[at[5]]} << 40 |
                           uint64_t{table[at[6]]} << 48 | uint64_t{table[at[7]]} << 56;
    std::memcpy(out + j, &eight, 8);
  }
}

}  // namespace
