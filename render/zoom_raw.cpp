// Scaled blits of raw frames: one template over effect and orientation. The
// column stepping is worked out once per call as a map from destination
// column to source column; each source row that shows is gathered through it
// into destination order and applied to every destination row it lands on.
#include "render/zoom.h"
#include "render/zoom_internal.h"

namespace {

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

  if (width <= ZOOM_ROW_MAX) {
    int32_t map[ZOOM_ROW_MAX];
    alignas(16) uint8_t scaled[ZOOM_ROW_MAX];
    ZoomColumnMap(map, block.srcWidth, width, FlipsX(O));
    ZoomGatherPlan plan;
    ZoomPlanGather(&plan, map, width, srcWidth - block.firstColumn);
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
