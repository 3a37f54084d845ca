// What the raw and run-length scaled families share: the clip-and-rescale
// step, the stepping of destination places onto source indices, and the row
// kernels. Internal to render/.
//
// Both families draw the visible block one destination row at a time.
// Raw rows, and run-length rows that are copied or blended, are scaled once
// per source row into a row buffer (bytes, and for run-length rows which of
// them are opaque, already in destination order) that is then applied to
// each destination row the source row lands on; a source row that lands on
// none is never read. The pixels are the same as stepping the source row
// once per destination row, because the scaled row does not depend on what
// is underneath.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "render/blit_internal.h"
#include "render/drawtarget.h"
#include "render/effects.h"

// Rows up to this many destination pixels (and, for run-length frames, this
// many remaining source columns) go through the row buffers, which live on
// the stack; wider ones are stepped pixel by pixel, which needs no buffer.
constexpr int32_t ZOOM_ROW_MAX = 4096;

// The visible block of a scaled image.
struct ZoomBlock {
  int64_t left, top;              // destination of the block's top-left pixel
  int32_t dstWidth, dstHeight;    // dw', dh': all of it inside the clip rectangle
  int32_t srcWidth, srcHeight;    // sw', sh': the source columns and rows stepped onto it
  int32_t firstColumn, firstRow;  // where the walk starts in the source (its cut at that end)
};

// The clip-and-rescale step. False when nothing is to be drawn: a size of 0
// or less, an image wholly outside the clip rectangle, or a clip rectangle
// turned inside out. (x, y) is the image's top-left, in 64 bits so that a
// centred image's corner may lie beyond the int32 range.
bool ClipZoom(int64_t x, int64_t y, int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t dstHeight,
              bool flipX, bool flipY, ZoomBlock* block);

// The source index shown at destination places 0, 1, 2, ... along one axis
// when s source indices are stepped onto d places: place j shows index
// floor(((j + 1) * s - 1) / d), the one whose share of the places,
// floor((k + 1) * d / s) - floor(k * d / s), covers j. Two divisions when it
// is set up, then additions only.
struct ZoomStep {
  int64_t index, remainder;
  int64_t quotient, rest, places;
  // s and d are positive: 32-bit divisions (faster than 64-bit ones).
  ZoomStep(int32_t s, int32_t d)
      : index((s - 1) / d), remainder((s - 1) % d), quotient(s / d), rest(s % d), places(d) {}
  void Next() {
    index += quotient;
    remainder += rest;
    if (remainder >= places) {
      remainder -= places;
      ++index;
    }
  }
};

// The same stepping over source rows of `stride` bytes, keeping the byte
// offset of the row shown rather than its index, so that no row needs a
// multiplication.
struct ZoomRowStep : ZoomStep {
  int64_t offset, quotientBytes, stride;
  ZoomRowStep(int32_t s, int32_t d, int32_t rowBytes)
      : ZoomStep(s, d), offset(index * rowBytes), quotientBytes(quotient * rowBytes), stride(rowBytes) {}
  void Next() {
    const int64_t before = index;
    ZoomStep::Next();
    offset += index == before + quotient ? quotientBytes : quotientBytes + stride;
  }
};

// Source column (from the walk's first) for each of the block's destination
// columns, left to right: mirrored blocks are walked from their right edge.
inline void ZoomColumnMap(int32_t* map, int32_t srcWidth, int32_t dstWidth, bool flipX) {
  ZoomStep step(srcWidth, dstWidth);
  for (int32_t j = 0; j < dstWidth; ++j, step.Next())
    map[flipX ? dstWidth - 1 - j : j] = static_cast<int32_t>(step.index);
}

// The first place, in walk order, that each of s source columns is shown
// at: start[k] = floor(k * d / s), and start[s] = d.
inline void ZoomColumnStarts(int32_t* start, int32_t s, int32_t d) {
  const int32_t quotient = d / s, rest = d % s;
  int32_t place = 0, remainder = 0;
  for (int32_t k = 0; k < s; ++k) {
    start[k] = place;
    place += quotient;
    remainder += rest;
    if (remainder >= s) {
      remainder -= s;
      ++place;
    }
  }
  start[s] = d;
}

// Gathering a raw source row into destination order: out[j] = row[map[j]]
// for the block's places. The plan is made once per call. Where the
// processor has a byte shuffle (SSSE3, looked up at run time), the places
// are cut into groups of 16, the last one ending at the last place (so it
// overlaps the one before when the width is not a multiple of 16, and
// gathers some places twice, to the same bytes); each group whose source
// columns lie within 16 or 32 bytes is gathered with one or two shuffles of
// bytes loaded from the row, the others one by one. Rows narrower than 16
// places are gathered one by one.
struct ZoomGatherPlan {
  static constexpr int32_t GROUPS = ZOOM_ROW_MAX / 16;
  const int32_t* map;
  int32_t width;
  int32_t vectorGroups;  // groups 0 .. vectorGroups - 1 have a kind; 0 without shuffles
  uint8_t kind[GROUPS];  // 1 or 2 shuffles, 0 one by one
  int32_t at[GROUPS];    // where the group's bytes are loaded from
  alignas(16) uint8_t control[GROUPS][2][16];
  // The first place of group g.
  int32_t Place(int32_t g) const { return g * 16 < width - 16 ? g * 16 : width - 16; }
};
// `readable`: the bytes that may be read from the start of each row given
// to the gather (the rest of the source row).
void ZoomPlanGather(ZoomGatherPlan* plan, const int32_t* map, int32_t width, int32_t readable);
// The plan of a block `width` places wide from `srcWidth` source columns,
// mirrored or not, over its own column map (ZoomColumnMap). Draws in a row
// often share one (sprites drawn at one size), so the last one made is
// kept, per thread, and returned again while the arguments stay the same;
// it stays valid until the thread's next call.
const ZoomGatherPlan& ZoomPlanFor(int32_t srcWidth, int32_t width, bool flipX, int32_t readable);

// For the run-length walks: the first place of each of srcWidth source
// columns (ZoomColumnStarts) and the column each of `width` places shows,
// not mirrored (ZoomColumnMap). Kept per thread like ZoomPlanFor's plans.
struct ZoomColumns {
  int32_t start[ZOOM_ROW_MAX + 1];
  int32_t column[ZOOM_ROW_MAX];
  uint8_t columnByte[ZOOM_ROW_MAX];  // the columns' low bytes, for byte shuffles
};
const ZoomColumns& ZoomColumnsFor(int32_t srcWidth, int32_t width);

// Whether a shrunk run-length copy (no wider and no taller than the
// remaining source) should go the way of ZoomShrunkRleCopyAvx2: the kernels
// in use are not the plain ones, the image is shrunk to no less than half its width,
// and the first row shown has at most one run for every 16 of its columns
// (render/zoom_shrink.cpp).
bool ZoomShrunkGoesAvx2(const uint8_t* block, const ZoomBlock& clip, const ZoomStep& rows);
// That copy, of a block whose top destination row is `row`, rows `step`
// bytes apart.
template <bool flipX>
void ZoomShrunkRleCopyAvx2(uint8_t* row, ptrdiff_t step, const uint8_t* block, const ZoomBlock& clip,
                           int32_t frameWidth, int32_t frameHeight, ZoomStep rows);
void ZoomGather(const ZoomGatherPlan& plan, uint8_t* out, const uint8_t* row);
// Two rows through the same plan in one pass.
void ZoomGatherPair(const ZoomGatherPlan& plan, uint8_t* out, const uint8_t* row, uint8_t* out2,
                    const uint8_t* row2);

template <class Effect>
constexpr bool UsesSource() {
  return std::is_same_v<Effect, EffectCopy> || std::is_same_v<Effect, EffectBlend>;
}

// Applies one scaled row to the n destination pixels at dst, left to right:
// value[i] is the source byte for dst[i]; it is opaque when mask[i] is not 0,
// or, without a mask (raw rows), when value[i] itself is not 0. `value` is
// not read by the solid effects.
template <class Effect, bool masked>
inline void ZoomApplyRow(uint8_t* dst, const uint8_t* value, const uint8_t* mask, int32_t n,
                         const EffectArgs& args) {
  const uint8_t* opaque = masked ? mask : value;
  int32_t i = 0;
  if constexpr (!Effect::blends) {
#if defined(__SSE2__)
    // Keep the old byte where transparent, else take the value or colour.
    const __m128i zero = _mm_setzero_si128();
    [[maybe_unused]] const __m128i fill = _mm_set1_epi8(static_cast<char>(args.colour));
    for (; i + 16 <= n; i += 16) {
      const __m128i keep =
          _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(opaque + i)), zero);
      const int kept = _mm_movemask_epi8(keep);
      if (kept == 0xFFFF) continue;
      __m128i* d = reinterpret_cast<__m128i*>(dst + i);
      __m128i drawn;
      if constexpr (UsesSource<Effect>()) {
        drawn = _mm_loadu_si128(reinterpret_cast<const __m128i*>(value + i));
      } else {
        drawn = fill;
      }
      if (kept != 0)
        drawn = _mm_or_si128(_mm_and_si128(keep, _mm_loadu_si128(d)), _mm_andnot_si128(keep, drawn));
      _mm_storeu_si128(d, drawn);
    }
#else
    // Eight bytes at a time in a general register.
    const uint64_t fill = 0x0101010101010101ull * args.colour;
    for (; i + 8 <= n; i += 8) {
      uint64_t o, d, v = fill;
      std::memcpy(&o, opaque + i, 8);
      if (o == 0) continue;
      const uint64_t take = OpaqueByteMask(o);
      if constexpr (UsesSource<Effect>()) std::memcpy(&v, value + i, 8);
      std::memcpy(&d, dst + i, 8);
      d = (d & ~take) | (v & take);
      std::memcpy(dst + i, &d, 8);
    }
#endif
  } else {
#if VANTOR_BLEND_GROUPS
    // As the unscaled raw blends: sixteen at a time, a wholly transparent
    // group skipped.
    for (; i + 16 <= n; i += 16) {
      const int clear = _mm_movemask_epi8(
          _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(opaque + i)), _mm_setzero_si128()));
      if (clear == 0xFFFF) continue;
      __m128i drawn = _mm_setzero_si128();
      if constexpr (UsesSource<Effect>())
        drawn = _mm_loadu_si128(reinterpret_cast<const __m128i*>(value + i));
      BlendGroup<Effect>(dst + i, drawn, clear, args);
    }
#endif
    // As the unscaled blends: a lookup costs a trip into a 64 KB table, so
    // wholly transparent groups of eight are skipped and wholly opaque ones
    // looked up without a test.
    for (; i + 8 <= n; i += 8) {
      uint64_t o;
      std::memcpy(&o, opaque + i, 8);
      if (o == 0) continue;
      uint8_t* d = dst + i;
      if (OpaqueByteMask(o) == ~uint64_t{0}) {
        uint8_t drawn[8];
        for (int k = 0; k < 8; ++k)
          drawn[k] = Effect::Apply(args, d[k], UsesSource<Effect>() ? value[i + k] : 0);
        std::memcpy(d, drawn, 8);
        continue;
      }
      for (int k = 0; k < 8; ++k) {
        if (opaque[i + k] != 0) d[k] = Effect::Apply(args, d[k], UsesSource<Effect>() ? value[i + k] : 0);
      }
    }
  }
  for (; i < n; ++i) {
    if (opaque[i] != 0) dst[i] = Effect::Apply(args, dst[i], UsesSource<Effect>() ? value[i] : 0);
  }
}

// The effect arguments of one operation; false for a blending one whose level
// lies outside the table.
template <class Effect>
inline bool ZoomEffectArgs(int32_t colour, int32_t alphaLevel, EffectArgs* args) {
  if constexpr (Effect::blends) {
    return BlendLevelArgs<Effect>(alphaLevel, static_cast<uint8_t>(colour), args);
  } else {
    *args = EffectArgs{static_cast<uint8_t>(colour), nullptr};
    return true;
  }
}

// Destination of the block's first row walked (its bottom row when mirrored
// top-bottom), leftmost pixel, and the step to the next row walked.
inline uint8_t* ZoomFirstRow(uint8_t* surface, const ZoomBlock& block, bool flipY, ptrdiff_t* step) {
  const int64_t pitch = drawTarget.pitch;
  const int64_t row = flipY ? block.top + block.dstHeight - 1 : block.top;
  *step = static_cast<ptrdiff_t>(flipY ? -pitch : pitch);
  return surface + static_cast<ptrdiff_t>(row * pitch + block.left);
}

// One operation of either family with the arguments every operation could
// take; DrawSpriteZoom picks one of 16 per family by flags & 15.
using ZoomOperation = void (*)(int64_t left, int64_t top, int32_t srcWidth, int32_t srcHeight,
                               uint8_t* surface, int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels,
                               int32_t colour, int32_t alphaLevel);
extern const ZoomOperation zoomRawOperations[16];
extern const ZoomOperation zoomRleOperations[16];
