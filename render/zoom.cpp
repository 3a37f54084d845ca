// The scaled renderer's entry points and what its two families share: the
// clip-and-rescale step, the row gather and the translucent box.
#include "render/zoom.h"

#include <algorithm>
#include <cstring>

#include "render/blit.h"
#include "render/blit_wide.h"
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
    for (int32_t b = 0; b < width; ++b)
      kept.columns.columnByte[b] = static_cast<uint8_t>(kept.columns.column[b]);
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
// row (the table itself puts its entries 256 bytes apart). A byte at a
// time: four loaded before four stored measured 1.4x slower.
void BlendRowPlain(uint8_t* row, int32_t n, const uint8_t* lookup) {
  for (int32_t i = 0; i < n; ++i) row[i] = lookup[row[i]];
}

#if VANTOR_WIDE_BLITS
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

// AVX2 shuffles bytes only within 16: the lookup is the sixteen 16-byte
// slices of the table, each shuffled by the bytes' low four bits, then a
// tree of selects by bits 4, 5, 6 and 7 (each moved up to the top bit,
// which is what a byte select reads). 32 pixels in about 40 instructions,
// with no memory access but the row's and the slices' own. (Xoring the
// slices' differences, shuffled by the bytes stepped down 16 at a time
// with saturation, takes no selects but more instructions: it measured
// 1.13x slower.)
struct Lookup256Avx2 {
  __m256i slice[16];

  __attribute__((target("avx2"))) explicit Lookup256Avx2(const uint8_t* lookup) {
    for (int k = 0; k < 16; ++k)
      slice[k] =
          _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lookup + 16 * k)));
  }

  __attribute__((target("avx2"), always_inline)) inline __m256i operator()(__m256i v) const {
    const __m256i low = _mm256_and_si256(v, _mm256_set1_epi8(15));
    __m256i pick[8];
    // A 16-bit shift moves each byte's bit 4 to its own top bit; what comes
    // in from the neighbouring byte lands below it, where no select looks.
    const __m256i bit4 = _mm256_slli_epi16(v, 3);
    for (int j = 0; j < 8; ++j) {
      pick[j] = _mm256_blendv_epi8(_mm256_shuffle_epi8(slice[2 * j], low),
                                   _mm256_shuffle_epi8(slice[2 * j + 1], low), bit4);
    }
    const __m256i bit5 = _mm256_slli_epi16(v, 2);
    for (int j = 0; j < 4; ++j) pick[j] = _mm256_blendv_epi8(pick[2 * j], pick[2 * j + 1], bit5);
    const __m256i bit6 = _mm256_slli_epi16(v, 1);
    pick[0] = _mm256_blendv_epi8(pick[0], pick[1], bit6);
    pick[1] = _mm256_blendv_epi8(pick[2], pick[3], bit6);
    return _mm256_blendv_epi8(pick[0], pick[1], v);
  }
};

__attribute__((target("avx2"))) void BlendRowsAvx2(uint8_t* row, int64_t pitch, int64_t rows, int32_t n,
                                                   const uint8_t* lookup) {
  const Lookup256Avx2 map(lookup);
  for (int64_t line = 0; line < rows; ++line, row += pitch) {
    if (n < 32) {
      // Through a buffer: short rows are rare, and a box's rows are apart.
      alignas(32) uint8_t bytes[32] = {};
      std::memcpy(bytes, row, static_cast<size_t>(n));
      _mm256_store_si256(reinterpret_cast<__m256i*>(bytes),
                         map(_mm256_load_si256(reinterpret_cast<const __m256i*>(bytes))));
      std::memcpy(row, bytes, static_cast<size_t>(n));
      continue;
    }
    // The last 32 bytes are mapped from the row as it was, before the loop
    // rewrites those of them it covers, and stored after it: the places
    // both cover get the same byte twice, not a second blend. The loop
    // stops short of them.
    __m256i* last = reinterpret_cast<__m256i*>(row + n - 32);
    const __m256i tail = map(_mm256_loadu_si256(last));
    for (int32_t i = 0; i + 32 < n; i += 32) {
      __m256i* at = reinterpret_cast<__m256i*>(row + i);
      _mm256_storeu_si256(at, map(_mm256_loadu_si256(at)));
    }
    _mm256_storeu_si256(last, tail);
  }
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
#if VANTOR_WIDE_BLITS
  if (Kernels() == KernelSet::Wide) {
    BlendRowsWide(row, pitch, bottom - top + 1, n, lookup);
    return;
  }
  if (Kernels() == KernelSet::Avx2) {
    BlendRowsAvx2(row, pitch, bottom - top + 1, n, lookup);
    return;
  }
#endif
  for (int64_t line = top; line <= bottom; ++line, row += pitch) BlendRowPlain(row, n, lookup);
}
