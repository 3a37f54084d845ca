// Scaled blits of raw frames: one template over effect and orientation. The
// column stepping is worked out once per call as a map from destination
// column to source column (or kept from the call before, at the same size);
// each source row that shows is gathered through it into destination order
// and applied to every destination row it lands on.
// Where the wide kernels run, frames up to 64 pixels wide go the way of
// render/zoom_wide.h instead.
#include "render/zoom.h"
#include "render/zoom_internal.h"
#include "render/zoom_wide.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

#if defined(__SSE2__)
bool HasShuffle() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

// For the effects that do not blend, gathering and applying are one step:
// each group of 16 places is shuffled out of the source row into a register
// and selected straight into the destination row, with no row buffer. The
// plan's last group may overlap the one before it; these effects put the
// same byte on a place however often they are applied there.
template <class Effect>
__attribute__((target("ssse3"))) void ShuffleApplyRows(const ZoomGatherPlan& plan, uint8_t* row,
                                                       ptrdiff_t step, int32_t height, const uint8_t* first,
                                                       ZoomRowStep rows, const EffectArgs& args) {
  static_assert(!Effect::blends);
  const __m128i zero = _mm_setzero_si128();
  [[maybe_unused]] const __m128i fill = _mm_set1_epi8(static_cast<char>(args.colour));
  // Held locally: the stores below could otherwise alias the plan.
  const int32_t groups = plan.vectorGroups, lastPlace = plan.width - 16;
  for (int32_t j = 0; j < height; ++j, row += step, rows.Next()) {
    const uint8_t* source = first + rows.offset;
    for (int32_t g = 0; g < groups; ++g) {
      const int32_t place = g * 16 < lastPlace ? g * 16 : lastPlace;
      const uint8_t* from = source + plan.at[g];
      const __m128i* control = reinterpret_cast<const __m128i*>(plan.control[g][0]);
      __m128i value;
      if (plan.kind[g] == 2) {
        // A control byte with its top bit set gives 0, so the halves or together.
        value = _mm_or_si128(_mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from)),
                                              _mm_load_si128(control)),
                             _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16)),
                                              _mm_load_si128(control + 1)));
      } else if (plan.kind[g] == 1) {
        value = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from)),
                                 _mm_load_si128(control));
      } else {
        alignas(16) uint8_t bytes[16];
        const int32_t* map = plan.map + place;
        for (int k = 0; k < 16; ++k) bytes[k] = source[map[k]];
        value = _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
      }
      const __m128i keep = _mm_cmpeq_epi8(value, zero);
      const int kept = _mm_movemask_epi8(keep);
      if (kept == 0xFFFF) continue;
      __m128i* d = reinterpret_cast<__m128i*>(row + place);
      __m128i drawn = UsesSource<Effect>() ? value : fill;
      if (kept != 0)
        drawn = _mm_or_si128(_mm_and_si128(keep, _mm_loadu_si128(d)), _mm_andnot_si128(keep, drawn));
      _mm_storeu_si128(d, drawn);
    }
  }
}
#endif

template <class Effect, Orientation O>
void ZoomRaw(int64_t x, int64_t y, int32_t srcWidth, int32_t srcHeight, uint8_t* surface, int32_t dstWidth,
             int32_t dstHeight, const uint8_t* pixels, const EffectArgs& args) {
  ZoomBlock block;
  if (!ClipZoom(x, y, srcWidth, srcHeight, dstWidth, dstHeight, FlipsX(O), FlipsY(O), &block)) return;
  ptrdiff_t step;
  uint8_t* row = ZoomFirstRow(surface, block, FlipsY(O), &step);
  const uint8_t* first = pixels + (int64_t{block.firstRow} * srcWidth + block.firstColumn);
  const int32_t width = block.dstWidth;
  ZoomRowStep rows(block.srcHeight, block.dstHeight, srcWidth);
#if VANTOR_WIDE_BLITS
  if (ZoomGoesWide(block, srcWidth)) {
    WideZoom<Effect, FlipsX(O), false>(block, row, step, pixels, srcWidth, args);
    return;
  }
#endif

  if (width <= ZOOM_ROW_MAX) {
    alignas(16) uint8_t scaled[ZOOM_ROW_MAX];
    const ZoomGatherPlan& plan = ZoomPlanFor(block.srcWidth, width, FlipsX(O), srcWidth - block.firstColumn);
#if defined(__SSE2__)
    if constexpr (!Effect::blends) {
      if (plan.vectorGroups > 0 && HasShuffle()) {
        ShuffleApplyRows<Effect>(plan, row, step, block.dstHeight, first, rows, args);
        return;
      }
    }
#endif
    int64_t gathered = -1;
    for (int32_t j = 0; j < block.dstHeight; ++j, row += step, rows.Next()) {
      if (rows.index != gathered) {
        ZoomGather(plan, scaled, first + rows.offset);
        gathered = rows.index;
      }
      ZoomApplyRow<Effect, false>(row, scaled, nullptr, width, args);
    }
    return;
  }
  // Wider than the buffers: step each row pixel by pixel.
  constexpr ptrdiff_t across = FlipsX(O) ? -1 : 1;
  for (int32_t j = 0; j < block.dstHeight; ++j, row += step, rows.Next()) {
    const uint8_t* source = first + rows.offset;
    uint8_t* d = FlipsX(O) ? row + (width - 1) : row;
    ZoomStep columns(block.srcWidth, width);
    for (int32_t i = 0; i < width; ++i, d += across, columns.Next()) {
      const uint8_t s = source[columns.index];
      if (s != 0) *d = Effect::Apply(args, *d, s);
    }
  }
}

template <class Effect, Orientation O>
void ZoomRawOperation(int64_t left, int64_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                      int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t colour,
                      int32_t alphaLevel) {
  EffectArgs args;
  if (!ZoomEffectArgs<Effect>(colour, alphaLevel, &args)) return;
  ZoomRaw<Effect, O>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight, pixels, args);
}

using O = Orientation;

}  // namespace

const ZoomOperation zoomRawOperations[16] = {
    ZoomRawOperation<EffectCopy, O::AsIs>,          ZoomRawOperation<EffectCopy, O::MirrorX>,
    ZoomRawOperation<EffectCopy, O::MirrorY>,       ZoomRawOperation<EffectCopy, O::MirrorXY>,
    ZoomRawOperation<EffectBlend, O::AsIs>,         ZoomRawOperation<EffectBlend, O::MirrorX>,
    ZoomRawOperation<EffectBlend, O::MirrorY>,      ZoomRawOperation<EffectBlend, O::MirrorXY>,
    ZoomRawOperation<EffectSolid, O::AsIs>,         ZoomRawOperation<EffectSolid, O::MirrorX>,
    ZoomRawOperation<EffectSolid, O::MirrorY>,      ZoomRawOperation<EffectSolid, O::MirrorXY>,
    ZoomRawOperation<EffectSolidBlend, O::AsIs>,    ZoomRawOperation<EffectSolidBlend, O::MirrorX>,
    ZoomRawOperation<EffectSolidBlend, O::MirrorY>, ZoomRawOperation<EffectSolidBlend, O::MirrorXY>,
};

void ZoomCopy(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
              int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels) {
  ZoomRawOperation<EffectCopy, O::AsIs>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight, pixels,
                                        0, 0);
}
void ZoomCopyMirrorX(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                     int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels) {
  ZoomRawOperation<EffectCopy, O::MirrorX>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                           pixels, 0, 0);
}
void ZoomCopyMirrorY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                     int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels) {
  ZoomRawOperation<EffectCopy, O::MirrorY>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                           pixels, 0, 0);
}
void ZoomCopyMirrorXY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                      int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels) {
  ZoomRawOperation<EffectCopy, O::MirrorXY>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                            pixels, 0, 0);
}
void ZoomBlend(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
               int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t alphaLevel) {
  ZoomRawOperation<EffectBlend, O::AsIs>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight, pixels,
                                         0, alphaLevel);
}
void ZoomBlendMirrorX(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                      int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t alphaLevel) {
  ZoomRawOperation<EffectBlend, O::MirrorX>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                            pixels, 0, alphaLevel);
}
void ZoomBlendMirrorY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                      int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t alphaLevel) {
  ZoomRawOperation<EffectBlend, O::MirrorY>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                            pixels, 0, alphaLevel);
}
void ZoomBlendMirrorXY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                       int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t alphaLevel) {
  ZoomRawOperation<EffectBlend, O::MirrorXY>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                             pixels, 0, alphaLevel);
}
void ZoomSolid(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
               int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t colour) {
  ZoomRawOperation<EffectSolid, O::AsIs>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight, pixels,
                                         colour, 0);
}
void ZoomSolidMirrorX(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                      int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t colour) {
  ZoomRawOperation<EffectSolid, O::MirrorX>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                            pixels, colour, 0);
}
void ZoomSolidMirrorY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                      int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t colour) {
  ZoomRawOperation<EffectSolid, O::MirrorY>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                            pixels, colour, 0);
}
void ZoomSolidMirrorXY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                       int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t colour) {
  ZoomRawOperation<EffectSolid, O::MirrorXY>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                             pixels, colour, 0);
}
void ZoomSolidBlend(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                    int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t colour,
                    int32_t alphaLevel) {
  ZoomRawOperation<EffectSolidBlend, O::AsIs>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                              pixels, colour, alphaLevel);
}
void ZoomSolidBlendMirrorX(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                           int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t colour,
                           int32_t alphaLevel) {
  ZoomRawOperation<EffectSolidBlend, O::MirrorX>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                                 pixels, colour, alphaLevel);
}
void ZoomSolidBlendMirrorY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                           int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t colour,
                           int32_t alphaLevel) {
  ZoomRawOperation<EffectSolidBlend, O::MirrorY>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                                 pixels, colour, alphaLevel);
}
void ZoomSolidBlendMirrorXY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                            int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t colour,
                            int32_t alphaLevel) {
  ZoomRawOperation<EffectSolidBlend, O::MirrorXY>(left, top, srcWidth, srcHeight, surface, dstWidth,
                                                  dstHeight, pixels, colour, alphaLevel);
}
