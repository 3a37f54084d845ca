// Scaled blits of run-length frames: one template over effect and
// orientation. Each source row that shows is found through its own row
// offset; the runs inside the row's visible window are scaled straight into
// destination order: each run covers the places its first and last column
// start at, and its pixels are picked through the call's column map. A
// `skip` stretch costs one addition, however long, and decoding stops at the
// run that crosses the window's end. Rows that no destination row shows, and rows
// cut off by the clip rectangle, are never read.
#include <algorithm>

#include "formats/rle.h"
#include "render/blit.h"
#include "render/zoom.h"
#include "render/zoom_internal.h"

namespace {

// Scales one source row into destination order: opaque[j] is 0xFF where
// place j of the block shows a run pixel, value[j] that pixel (the solid
// effects need no values). Only the window of source columns
// [first, first + count) is looked at; `map` gives each place's source column
// in it, `start` the first place (in walk order) of each column.
template <bool values, bool flipX>
void ScaleRow(const uint8_t* block, int32_t row, int32_t first, int32_t count, const int32_t* map,
              const int32_t* start, int32_t width, uint8_t* value, uint8_t* opaque) {
  std::memset(opaque, 0, static_cast<size_t>(width));
  const uint8_t* run = block + RleRowOffset(block, row);
  int32_t runs = run[0] | run[1] << 8;
  run += 2;
  const int32_t end = first + count;
  int32_t p = 0;  // source column reached
  for (; runs > 0; --runs) {
    p += run[0];  // a skip, however long, is one addition
    const int32_t n = run[1];
    const uint8_t* pixels = run + 2;
    run = pixels + n;
    if (p >= end) break;
    const int32_t from = std::max(p, first) - first, to = std::min(p + n, end) - first;
    if (from < to) {
      const int32_t b0 = flipX ? width - start[to] : start[from],
                    b1 = flipX ? width - start[from] : start[to];
      if (b0 < b1) {
        FillRun(opaque + b0, 0xFF, b1 - b0);
        if constexpr (values) {
          const int32_t shift = first - p;  // window column k is pixels[k + shift]
          for (int32_t j = b0; j < b1; ++j) value[j] = pixels[map[j] + shift];
        }
      }
    }
    p += n;
    if (p >= end) break;  // the rest of the row is past the window
  }
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

  if (width <= ZOOM_ROW_MAX && clip.srcWidth <= ZOOM_ROW_MAX) {
    constexpr bool values = UsesSource<Effect>();
    int32_t map[ZOOM_ROW_MAX], start[ZOOM_ROW_MAX + 1];
    alignas(16) uint8_t value[ZOOM_ROW_MAX], opaque[ZOOM_ROW_MAX];
    ZoomColumnMap(map, clip.srcWidth, width, FlipsX(O));
    ZoomColumnStarts(start, clip.srcWidth, width);
    int64_t scaled = -1;
    for (int32_t j = 0; j < clip.dstHeight; ++j, row += step, rows.Next()) {
      if (rows.index != scaled) {
        ScaleRow<values, FlipsX(O)>(block, clip.firstRow + static_cast<int32_t>(rows.index), clip.firstColumn,
                                    clip.srcWidth, map, start, width, value, opaque);
        scaled = rows.index;
      }
      ZoomApplyRow<Effect, true>(row, value, opaque, width, args);
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
