// Scaled blits of run-length frames: one template over effect and
// orientation. Each source row that shows is found through its own row
// offset, and only the runs inside its visible window are decoded, stopping
// at the run that crosses the window's end; a `skip` stretch costs one
// addition, however long. Shrunk images (no wider and no taller than their
// remaining source) are copied or blended straight from the runs, each run
// covering its places; enlarged ones put each copied or blended row in raw
// form once and then go the raw frames' way (vector gather into destination
// order, applied to each destination row it lands on). Single-colour rows
// need no pixel bytes, so each run simply fills the places it covers, row by
// row. Rows that no destination row shows, and rows cut off by the clip
// rectangle, are never read.
// Where the wide kernels run, frames up to 64 pixels wide go the way of
// render/zoom_wide.h instead; where AVX2 does, shrunk copies of frames with
// long runs go the way of render/zoom_shrink.cpp.
#include <algorithm>
#include <type_traits>

#include "formats/rle.h"
#include "render/blit.h"
#include "render/zoom.h"
#include "render/zoom_internal.h"
#include "render/zoom_runs.h"
#include "render/zoom_wide.h"

namespace {

// The places [0, n) of `dst` that one run covers, for the single-colour
// effects.
template <class Effect>
inline void RunSpan(uint8_t* dst, int32_t n, const EffectArgs& args) {
  if constexpr (std::is_same_v<Effect, EffectSolid>) {
    FillRun(dst, args.colour, n);
  } else {
    static_assert(std::is_same_v<Effect, EffectSolidBlend>);
    BlendColourRun(dst, args.colour, n, args.blend);
  }
}

// What one run of a source row draws into the destination row whose
// leftmost place is `dst`, as a WalkRuns callback: window columns
// [from, to), whose bytes are pixels[column - offset]. `start` gives the
// first place, in walk order, of each window column; each run covers the
// places from its first column's start to its end's, and nothing is written
// for skips.
//
// In a single colour: short spans, the rule when shrinking, are filled in
// place rather than by a call.
template <class Effect, bool flipX>
inline auto ColourSpan(uint8_t* dst, const int32_t* start, int32_t width, const EffectArgs& args) {
  return [=, &args](int32_t from, int32_t to, const uint8_t*, int32_t) {
    const int32_t b0 = flipX ? width - start[to] : start[from], b1 = flipX ? width - start[from] : start[to];
    if (b1 - b0 > 8) {
      RunSpan<Effect>(dst + b0, b1 - b0, args);
    } else {
      for (int32_t b = b0; b < b1; ++b) dst[b] = Effect::Apply(args, dst[b], 0);
    }
  };
}

// Copying or blending, for a shrunk image, straight from the runs: place b
// (in walk order) shows window column column[b]. A run whose columns all
// drop covers no place and costs only its header.
template <class Effect, bool flipX>
inline auto ShrunkSpan(uint8_t* dst, const int32_t* start, const int32_t* column, int32_t width,
                       const EffectArgs& args) {
  return [=, &args](int32_t from, int32_t to, const uint8_t* pixels, int32_t offset) {
    const int32_t b1 = start[to];
    for (int32_t b = start[from]; b < b1; ++b) {
      uint8_t* d = flipX ? dst + (width - 1 - b) : dst + b;
      *d = Effect::Apply(args, *d, pixels[column[b] - offset]);
    }
  };
}

// `byte` over [from, to) in steps of 16, so up to 15 bytes past `to` as well;
// the caller writes what follows afterwards.
inline void FillOver(uint8_t* dst, int32_t from, int32_t to, uint64_t word) {
  for (int32_t i = from; i < to; i += 16) {
    std::memcpy(dst + i, &word, 8);
    std::memcpy(dst + i + 8, &word, 8);
  }
}

// Source columns [first, first + count) of one row into `value` and
// `opaque` (0xFF for a run pixel, else 0), indexed from `first`: the row in
// raw form, for the copying and blending effects, whose rows are then
// gathered like raw ones. Both buffers hold count + 16 bytes at least; the
// mask is written left to right, each stretch's overshoot covered by the
// next, and the values of transparent columns are left as they happen to be.
void DecodeWindow(const uint8_t* block, int32_t row, int32_t first, int32_t count, int32_t rowWidth,
                  uint8_t* value, uint8_t* opaque) {
  constexpr uint64_t kClear = 0, kSet = ~uint64_t{0};
  int32_t marked = 0;  // mask written up to here (from `first`)
  WalkRuns(block, row, first, count, rowWidth,
           [&](int32_t from, int32_t to, const uint8_t* pixels, int32_t offset) {
             FillOver(opaque, marked, from, kClear);
             FillOver(opaque, from, to, kSet);
             marked = to;
             CopyBytes(value + from, pixels + (from - offset), to - from);
           });
  FillOver(opaque, marked, count, kClear);
}

template <class Effect, Orientation O>
void ZoomRle(int64_t x, int64_t y, int32_t srcWidth, int32_t srcHeight, uint8_t* surface, int32_t dstWidth,
             int32_t dstHeight, const uint8_t* block, const EffectArgs& args) {
  ZoomBlock clip;
  if (!ClipZoom(x, y, srcWidth, srcHeight, dstWidth, dstHeight, FlipsX(O), FlipsY(O), &clip)) return;
  ptrdiff_t step;
  uint8_t* row = ZoomFirstRow(surface, clip, FlipsY(O), &step);
  const int32_t width = clip.dstWidth;
  ZoomStep rows(clip.srcHeight, clip.dstHeight);
#if VANTOR_WIDE_BLITS
  if (ZoomGoesWide(clip, srcWidth)) {
    WideZoom<Effect, FlipsX(O), true>(clip, row, step, block, srcWidth, args);
    return;
  }
#endif

  if (width <= ZOOM_ROW_MAX && clip.srcWidth <= ZOOM_ROW_MAX) {
    if constexpr (UsesSource<Effect>()) {
      if (width <= clip.srcWidth && clip.dstHeight <= clip.srcHeight) {
        // Shrunk both ways: every source row shows on one destination row
        // at most and most of its pixels on none, so the runs are drawn
        // straight into the destination, with no raw form, mask or gather.
#if VANTOR_WIDE_BLITS
        if constexpr (std::is_same_v<Effect, EffectCopy>) {
          if (ZoomShrunkGoesAvx2(block, clip, rows)) {
            ZoomShrunkRleCopyAvx2<FlipsX(O)>(row, step, block, clip, srcWidth, srcHeight, rows);
            return;
          }
        }
#endif
        const ZoomColumns& columns = ZoomColumnsFor(clip.srcWidth, width);
        RowsOfRuns(row, step, block, clip, srcWidth, rows, [&](uint8_t* dst) {
          return ShrunkSpan<Effect, FlipsX(O)>(dst, columns.start, columns.column, width, args);
        });
        return;
      }
      // Each source row that shows is put in raw form once, gathered into
      // destination order with the raw frames' vector gather and applied to
      // every destination row it lands on.
      alignas(16) uint8_t windowValue[ZOOM_ROW_MAX + 32],
          windowOpaque[ZOOM_ROW_MAX + 32];  // slack for FillOver
      alignas(16) uint8_t value[ZOOM_ROW_MAX], opaque[ZOOM_ROW_MAX];
      // The buffers' slack may be read, never used.
      const ZoomGatherPlan& plan = ZoomPlanFor(clip.srcWidth, width, FlipsX(O), clip.srcWidth + 32);
      // The vector code reads transparent columns' values and the slack (and
      // masks them off): give every byte it may read a value once.
      std::memset(windowValue, 0, static_cast<size_t>(clip.srcWidth) + 32);
      std::memset(windowOpaque, 0, static_cast<size_t>(clip.srcWidth) + 32);
      int64_t decoded = -1;
      for (int32_t j = 0; j < clip.dstHeight; ++j, row += step, rows.Next()) {
        if (rows.index != decoded) {
          DecodeWindow(block, clip.firstRow + static_cast<int32_t>(rows.index), clip.firstColumn,
                       clip.srcWidth, srcWidth, windowValue, windowOpaque);
          ZoomGatherPair(plan, value, windowValue, opaque, windowOpaque);
          decoded = rows.index;
        }
        ZoomApplyRow<Effect, true>(row, value, opaque, width, args);
      }
    } else {
      // A single colour needs no pixel bytes: each run fills its places.
      const int32_t* start = ZoomColumnsFor(clip.srcWidth, width).start;
      RowsOfRuns(row, step, block, clip, srcWidth, rows,
                 [&](uint8_t* dst) { return ColourSpan<Effect, FlipsX(O)>(dst, start, width, args); });
    }
    return;
  }
  // Wider than the buffers: walk the runs alongside the destination, pixel
  // by pixel; the source columns shown only ever increase.
  constexpr ptrdiff_t across = FlipsX(O) ? -1 : 1;
  for (int32_t j = 0; j < clip.dstHeight; ++j, row += step, rows.Next()) {
    const uint8_t* run = block + RleRowOffset(block, clip.firstRow + static_cast<int32_t>(rows.index));
    int32_t runs = run[0] | run[1] << 8;
    run += 2;
    int64_t start = 0, end = 0;  // source columns of the current run's pixels
    const uint8_t* pixels = run;
    uint8_t* d = FlipsX(O) ? row + (width - 1) : row;
    ZoomStep columns(clip.srcWidth, width);
    for (int32_t i = 0; i < width; ++i, d += across, columns.Next()) {
      const int64_t column = clip.firstColumn + columns.index;
      while (column >= end && runs > 0) {
        start = end + run[0];
        end = start + run[1];
        pixels = run + 2;
        run = pixels + run[1];
        --runs;
      }
      if (column >= end) break;  // the row's runs are exhausted
      if (column >= start) *d = Effect::Apply(args, *d, UsesSource<Effect>() ? pixels[column - start] : 0);
    }
  }
}

template <class Effect, Orientation O>
void ZoomRleOperation(int64_t left, int64_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                      int32_t dstWidth, int32_t dstHeight, const uint8_t* block, int32_t colour,
                      int32_t alphaLevel) {
  EffectArgs args;
  if (!ZoomEffectArgs<Effect>(colour, alphaLevel, &args)) return;
  ZoomRle<Effect, O>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight, block, args);
}

using O = Orientation;

}  // namespace

const ZoomOperation zoomRleOperations[16] = {
    ZoomRleOperation<EffectCopy, O::AsIs>,          ZoomRleOperation<EffectCopy, O::MirrorX>,
    ZoomRleOperation<EffectCopy, O::MirrorY>,       ZoomRleOperation<EffectCopy, O::MirrorXY>,
    ZoomRleOperation<EffectBlend, O::AsIs>,         ZoomRleOperation<EffectBlend, O::MirrorX>,
    ZoomRleOperation<EffectBlend, O::MirrorY>,      ZoomRleOperation<EffectBlend, O::MirrorXY>,
    ZoomRleOperation<EffectSolid, O::AsIs>,         ZoomRleOperation<EffectSolid, O::MirrorX>,
    ZoomRleOperation<EffectSolid, O::MirrorY>,      ZoomRleOperation<EffectSolid, O::MirrorXY>,
    ZoomRleOperation<EffectSolidBlend, O::AsIs>,    ZoomRleOperation<EffectSolidBlend, O::MirrorX>,
    ZoomRleOperation<EffectSolidBlend, O::MirrorY>, ZoomRleOperation<EffectSolidBlend, O::MirrorXY>,
};

void ZoomRleCopy(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                 int32_t dstWidth, int32_t dstHeight, const uint8_t* block) {
  ZoomRleOperation<EffectCopy, O::AsIs>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight, block,
                                        0, 0);
}
void ZoomRleCopyMirrorX(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                        int32_t dstWidth, int32_t dstHeight, const uint8_t* block) {
  ZoomRleOperation<EffectCopy, O::MirrorX>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                           block, 0, 0);
}
void ZoomRleCopyMirrorY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                        int32_t dstWidth, int32_t dstHeight, const uint8_t* block) {
  ZoomRleOperation<EffectCopy, O::MirrorY>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                           block, 0, 0);
}
void ZoomRleCopyMirrorXY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                         int32_t dstWidth, int32_t dstHeight, const uint8_t* block) {
  ZoomRleOperation<EffectCopy, O::MirrorXY>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                            block, 0, 0);
}
void ZoomRleBlend(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                  int32_t dstWidth, int32_t dstHeight, const uint8_t* block, int32_t alphaLevel) {
  ZoomRleOperation<EffectBlend, O::AsIs>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight, block,
                                         0, alphaLevel);
}
void ZoomRleBlendMirrorX(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                         int32_t dstWidth, int32_t dstHeight, const uint8_t* block, int32_t alphaLevel) {
  ZoomRleOperation<EffectBlend, O::MirrorX>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                            block, 0, alphaLevel);
}
void ZoomRleBlendMirrorY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                         int32_t dstWidth, int32_t dstHeight, const uint8_t* block, int32_t alphaLevel) {
  ZoomRleOperation<EffectBlend, O::MirrorY>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                            block, 0, alphaLevel);
}
void ZoomRleBlendMirrorXY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                          int32_t dstWidth, int32_t dstHeight, const uint8_t* block, int32_t alphaLevel) {
  ZoomRleOperation<EffectBlend, O::MirrorXY>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                             block, 0, alphaLevel);
}
void ZoomRleSolid(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                  int32_t dstWidth, int32_t dstHeight, const uint8_t* block, int32_t colour) {
  ZoomRleOperation<EffectSolid, O::AsIs>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight, block,
                                         colour, 0);
}
void ZoomRleSolidMirrorX(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                         int32_t dstWidth, int32_t dstHeight, const uint8_t* block, int32_t colour) {
  ZoomRleOperation<EffectSolid, O::MirrorX>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                            block, colour, 0);
}
void ZoomRleSolidMirrorY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                         int32_t dstWidth, int32_t dstHeight, const uint8_t* block, int32_t colour) {
  ZoomRleOperation<EffectSolid, O::MirrorY>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                            block, colour, 0);
}
void ZoomRleSolidMirrorXY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                          int32_t dstWidth, int32_t dstHeight, const uint8_t* block, int32_t colour) {
  ZoomRleOperation<EffectSolid, O::MirrorXY>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                             block, colour, 0);
}
void ZoomRleSolidBlend(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                       int32_t dstWidth, int32_t dstHeight, const uint8_t* block, int32_t colour,
                       int32_t alphaLevel) {
  ZoomRleOperation<EffectSolidBlend, O::AsIs>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                              block, colour, alphaLevel);
}
void ZoomRleSolidBlendMirrorX(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight,
                              uint8_t* surface, int32_t dstWidth, int32_t dstHeight, const uint8_t* block,
                              int32_t colour, int32_t alphaLevel) {
  ZoomRleOperation<EffectSolidBlend, O::MirrorX>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                                 block, colour, alphaLevel);
}
void ZoomRleSolidBlendMirrorY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight,
                              uint8_t* surface, int32_t dstWidth, int32_t dstHeight, const uint8_t* block,
                              int32_t colour, int32_t alphaLevel) {
  ZoomRleOperation<EffectSolidBlend, O::MirrorY>(left, top, srcWidth, srcHeight, surface, dstWidth, dstHeight,
                                                 block, colour, alphaLevel);
}
void ZoomRleSolidBlendMirrorXY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight,
                               uint8_t* surface, int32_t dstWidth, int32_t dstHeight, const uint8_t* block,
                               int32_t colour, int32_t alphaLevel) {
  ZoomRleOperation<EffectSolidBlend, O::MirrorXY>(left, top, srcWidth, srcHeight, surface, dstWidth,
                                                  dstHeight, block, colour, alphaLevel);
}
