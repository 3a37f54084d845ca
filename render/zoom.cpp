// The scaled renderer's entry points and what its two families share: the
// clip-and-rescale step, the row gather and the translucent box.
#include "render/zoom.h"

#include <algorithm>

#include "render/blit.h"
#include "render/zoom_internal.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

bool ClipZoom(int64_t x, int64_t y, int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t dstHeight,
              bool flipX, bool flipY, ZoomBlock* block) {
  if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return false;
  const DrawTarget& target = drawTarget;
  if (x > target.clipRight || y > target.clipBottom || x + dstWidth <= target.clipLeft ||
      y + dstHeight <= target.clipTop) {
    return false;
  }
  // Destination cuts, each below the size here, so the products below stay
  // under 2^62.
  const int64_t left = x < target.clipLeft ? target.clipLeft - x : 0;
  const int64_t top = y < target.clipTop ? target.clipTop - y : 0;
  const int64_t right = x + dstWidth - 1 > target.clipRight ? x + dstWidth - 1 - target.clipRight : 0;
  const int64_t bottom = y + dstHeight - 1 > target.clipBottom ? y + dstHeight - 1 - target.clipBottom : 0;
  const int64_t visibleWidth = dstWidth - left - right, visibleHeight = dstHeight - top - bottom;
  if (visibleWidth <= 0 || visibleHeight <= 0) return false;  // clip rectangle inside out
  // Source cuts, truncated. Together they stay below the source size, since
  // the destination cuts stay below the destination size.
  // (Most images are not cut at all: no division for those.)
  auto cut = [](int64_t places, int32_t s, int32_t d) { return places == 0 ? 0 : places * s / d; };
  const int64_t cutLeft = cut(left, srcWidth, dstWidth), cutRight = cut(right, srcWidth, dstWidth);
  const int64_t cutTop = cut(top, srcHeight, dstHeight), cutBottom = cut(bottom, srcHeight, dstHeight);
  block->left = x + left;
  block->top = y + top;
  block->dstWidth = static_cast<int32_t>(visibleWidth);
  block->dstHeight = static_cast<int32_t>(visibleHeight);
  block->srcWidth = static_cast<int32_t>(srcWidth - cutLeft - cutRight);
  block->srcHeight = static_cast<int32_t>(srcHeight - cutTop - cutBottom);
  block->firstColumn = static_cast<int32_t>(flipX ? cutRight : cutLeft);
  block->firstRow = static_cast<int32_t>(flipY ? cutBottom : cutTop);
  return true;
}

namespace {

#if defined(__SSE2__)
bool HasShuffle() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

// One row, or two rows of the same layout (a run-length row's bytes and
// its mask) through the same plan.
template <bool pair>
__attribute__((target("ssse3"))) void ShuffleGroups(const ZoomGatherPlan& plan, uint8_t* out,
                                                    const uint8_t* row, uint8_t* out2, const uint8_t* row2) {
  // Held locally: the stores below could otherwise alias the plan.
  const int32_t groups = plan.vectorGroups, lastPlace = plan.width - 16;
  for (int32_t g = 0; g < groups; ++g) {
    const int32_t place = g * 16 < lastPlace ? g * 16 : lastPlace, at = plan.at[g];
    const __m128i* control = reinterpret_cast<const __m128i*>(plan.control[g][0]);
    if (plan.kind[g] == 0) {
      const int32_t* map = plan.map + place;
      for (int k = 0; k < 16; ++k) out[place + k] = row[map[k]];
      if constexpr (pair) {
        for (int k = 0; k < 16; ++k) out2[place + k] = row2[map[k]];
      }
      continue;
    }
    const __m128i low = _mm_load_si128(control);
    if (plan.kind[g] == 1) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + place),
                       _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + at)), low));
      if constexpr (pair) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out2 + place),
                         _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row2 + at)), low));
      }
      continue;
    }
    // Two shuffles: a control byte with its top bit set gives 0, so the
    // halves or together.
    const __m128i high = _mm_load_si128(control + 1);
    const __m128i* from = reinterpret_cast<const __m128i*>(row + at);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + place),
                     _mm_or_si128(_mm_shuffle_epi8(_mm_loadu_si128(from), low),
                                  _mm_shuffle_epi8(_mm_loadu_si128(from + 1), high)));
    if constexpr (pair) {
      const __m128i* from2 = reinterpret_cast<const __m128i*>(row2 + at);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out2 + place),
                       _mm_or_si128(_mm_shuffle_epi8(_mm_loadu_si128(from2), low),
                                    _mm_shuffle_epi8(_mm_loadu_si128(from2 + 1), high)));
    }
  }
}
#endif

void GatherPlain(uint8_t* out, const uint8_t* row, const int32_t* map, int32_t n) {
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const uint8_t a = row[map[i]], b = row[map[i + 1]], c = row[map[i + 2]], d = row[map[i + 3]];
    out[i] = a;
    out[i + 1] = b;
    out[i + 2] = c;
    out[i + 3] = d;
  }
  for (; i < n; ++i) out[i] = row[map[i]];
}

// The last plan and columns made, kept per thread (ZoomPlanFor,
// ZoomColumnsFor), with what they were made from.
struct KeptPlan {
  int32_t srcWidth = 0, width = 0, readable = 0;
  bool flipX = false;
  int32_t map[ZOOM_ROW_MAX];
  ZoomGatherPlan plan;
};

struct KeptColumns {
  int32_t srcWidth = 0, width = 0;
  ZoomColumns columns;
};

}  // namespace

const ZoomColumns& ZoomColumnsFor(int32_t srcWidth, int32_t width) {
  thread_local KeptColumns kept;
  if (kept.width != width || kept.srcWidth != srcWidth) {
    ZoomColumnStarts(kept.columns.start, srcWidth, width);
    ZoomColumnMap(kept.columns.column, srcWidth, width, false);
    kept.srcWidth = srcWidth;
    kept.width = width;
  }
  return kept.columns;
}

const ZoomGatherPlan& ZoomPlanFor(int32_t srcWidth, int32_t width, bool flipX, int32_t readable) {
  thread_local KeptPlan kept;
  if (kept.width != width || kept.srcWidth != srcWidth || kept.flipX != flipX || kept.readable != readable) {
    ZoomColumnMap(kept.map, srcWidth, width, flipX);
    ZoomPlanGather(&kept.plan, kept.map, width, readable);
    kept.srcWidth = srcWidth;
    kept.width = width;
    kept.flipX = flipX;
    kept.readable = readable;
  }
  return kept.plan;
}

void ZoomPlanGather(ZoomGatherPlan* plan, const int32_t* map, int32_t width, int32_t readable) {
  plan->map = map;
  plan->width = width;
  plan->vectorGroups = 0;
#if defined(__SSE2__)
  if (!HasShuffle()) return;
  plan->vectorGroups = (width + 15) / 16;
  if (width < 16) plan->vectorGroups = 0;
  for (int32_t g = 0; g < plan->vectorGroups; ++g) {
    const int32_t* group = map + plan->Place(g);
    // The map runs one way within a group (backwards when mirrored).
    const int32_t low = std::min(group[0], group[15]), high = std::max(group[0], group[15]);
    plan->kind[g] = 0;
    for (int kind = 1; kind <= 2; ++kind) {
      // Load from the group's first column, or earlier where the row ends
      // too soon; never outside the row.
      const int32_t span = 16 * kind;
      if (readable < span) break;
      const int32_t at = std::min(low, readable - span);
      if (high - at >= span) continue;
      plan->kind[g] = static_cast<uint8_t>(kind);
      plan->at[g] = at;
      for (int k = 0; k < 16; ++k) {
        const int32_t index = group[k] - at;
        plan->control[g][0][k] = static_cast<uint8_t>(index < 16 ? index : 0x80);
        plan->control[g][1][k] = static_cast<uint8_t>(index >= 16 ? index - 16 : 0x80);
      }
      break;
    }
  }
#else
  (void)readable;
#endif
}

void ZoomGather(const ZoomGatherPlan& plan, uint8_t* out, const uint8_t* row) {
#if defined(__SSE2__)
  if (plan.vectorGroups > 0) {
    ShuffleGroups<false>(plan, out, row, nullptr, nullptr);
    return;
  }
#endif
  GatherPlain(out, row, plan.map, plan.width);
}

void ZoomGatherPair(const ZoomGatherPlan& plan, uint8_t* out, const uint8_t* row, uint8_t* out2,
                    const uint8_t* row2) {
#if defined(__SSE2__)
  if (plan.vectorGroups > 0) {
    ShuffleGroups<true>(plan, out, row, out2, row2);
    return;
  }
#endif
  GatherPlain(out, row, plan.map, plan.width);
  GatherPlain(out2, row2, plan.map, plan.width);
}

void DrawSpriteZoom(int32_t centreX, int32_t centreY, uint8_t* surface, const SpriteFrame* frame,
                    int32_t zoomWidth, int32_t zoomHeight, int32_t flags, int32_t colour,
                    int32_t alphaLevel) {
  if (frame == nullptr || frame->pixels == nullptr) return;
  // Half the size by an arithmetic shift: an even size has one more column
  // right of the centre than left of it. In 64 bits, since a centre near the
  // int32 limits can put the corner beyond them.
  const int64_t left = int64_t{centreX} - (zoomWidth >> 1), top = int64_t{centreY} - (zoomHeight >> 1);
  const bool fits = left >= INT32_MIN && left <= INT32_MAX && top >= INT32_MIN && top <= INT32_MAX;
  if (zoomWidth == frame->width && zoomHeight == frame->height && fits) {
    DrawSprite(static_cast<int32_t>(left), static_cast<int32_t>(top), surface, frame, flags, colour,
               alphaLevel);
    return;
  }
  // Beyond the int32 range the scaled operation, which works in 64 bits,
  // draws a frame at its own size just as DrawSprite would.
  const ZoomOperation* family = frame->compressed != 0 ? zoomRleOperations : zoomRawOperations;
  family[flags & 15](left, top, frame->width, frame->height, surface, zoomWidth, zoomHeight, frame->pixels,
                     colour, alphaLevel);
}

namespace {

// A blend with one fixed colour is a lookup in 256 bytes: the colour's
// column of the level's table, gathered once per box into one contiguous
// row (the table itself puts its entries 256 bytes apart).
void BlendRowPlain(uint8_t* row, int32_t n, const uint8_t* lookup) {
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const uint8_t a = lookup[row[i]], b = lookup[row[i + 1]], c = lookup[row[i + 2]], d = lookup[row[i + 3]];
    row[i] = a;
    row[i + 1] = b;
    row[i + 2] = c;
    row[i + 3] = d;
  }
  for (; i < n; ++i) row[i] = lookup[row[i]];
}

#if defined(__SSE2__)
// With byte permutes across 64-byte registers, the 256-byte lookup is two
// two-register permutes and a select on each byte's top bit: 64 pixels in a
// handful of instructions.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void BlendRowsWide(uint8_t* row, int64_t pitch,
                                                                          int64_t rows, int32_t n,
                                                                          const uint8_t* lookup) {
  const __m512i t0 = _mm512_loadu_si512(lookup), t1 = _mm512_loadu_si512(lookup + 64);
  const __m512i t2 = _mm512_loadu_si512(lookup + 128), t3 = _mm512_loadu_si512(lookup + 192);
  const __mmask64 tail = n % 64 == 0 ? ~__mmask64{0} : (__mmask64{1} << (n % 64)) - 1;
  for (int64_t line = 0; line < rows; ++line, row += pitch) {
    for (int32_t i = 0; i < n; i += 64) {
      const __mmask64 keep = n - i >= 64 ? ~__mmask64{0} : tail;
      const __m512i old = _mm512_maskz_loadu_epi8(keep, row + i);
      const __m512i low = _mm512_permutex2var_epi8(t0, old, t1);
      const __m512i high = _mm512_permutex2var_epi8(t2, old, t3);
      _mm512_mask_storeu_epi8(row + i, keep, _mm512_mask_blend_epi8(_mm512_movepi8_mask(old), low, high));
    }
  }
}

bool HasWidePermute() {
  static const bool has = __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw");
  return has;
}
#endif

}  // namespace

void FillBoxBlend(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, int32_t colour,
                  int32_t alphaLevel) {
  if (alphaLevel < 0 || alphaLevel >= ALPHA_LEVELS) return;
  const DrawTarget& target = drawTarget;
  const int64_t left = std::max<int64_t>(x, target.clipLeft);
  const int64_t right = std::min<int64_t>(int64_t{x} + width - 1, target.clipRight);
  const int64_t top = std::max<int64_t>(y, target.clipTop);
  const int64_t bottom = std::min<int64_t>(int64_t{y} + height - 1, target.clipBottom);
  if (right < left || bottom < top) return;
  const int64_t pitch = target.pitch;
  const uint8_t* column = alphaTable + alphaLevel * 65536 + static_cast<uint8_t>(colour);
  alignas(64) uint8_t lookup[256];
  for (int i = 0; i < 256; ++i) lookup[i] = column[i << 8];
  const auto n = static_cast<int32_t>(right - left + 1);
  uint8_t* row = surface + static_cast<ptrdiff_t>(top * pitch + left);
#if defined(__SSE2__)
  if (HasWidePermute()) {
    BlendRowsWide(row, pitch, bottom - top + 1, n, lookup);
    return;
  }
#endif
  for (int64_t line = top; line <= bottom; ++line, row += pitch) BlendRowPlain(row, n, lookup);
}
