// The wide scaled kernels: frames at most 64 pixels wide, raw or run-length,
// scaled with AVX-512 byte permutes (the same instructions as the wide blit
// kernels, render/blit_wide.h, and only while WideBlits() is true). A whole
// source row fits one register, so a row that shows is loaded (raw) or
// decoded (run-length: its runs walked once, each run's bytes one masked
// load into its columns) into a register, and every 64 destination places
// are one permute through the call's column map. Internal to render/.
#pragma once

#include <cstddef>
#include <cstdint>

#include "render/blit_wide.h"
#include "render/zoom_internal.h"

// Frames no wider than this go the wide way.
constexpr int32_t ZOOM_WIDE_COLUMNS = 64;

// Whether the wide kernels draw this block: a frame narrow enough and a row
// that fits the row buffers. (Shrunk run-length blends once went the
// portable way, each run blended straight into the destination; with the
// decode's shorter chain the wide way measured 1.11x faster on a frame of
// many short runs, 0.96x on the demo's frames.)
inline bool ZoomGoesWide(const ZoomBlock& clip, int32_t frameWidth) {
  return frameWidth <= ZOOM_WIDE_COLUMNS && clip.dstWidth <= ZOOM_ROW_MAX && WideBlits();
}

#if VANTOR_WIDE_BLITS
// Draws the clipped block `clip` whose first destination row walked starts
// at `row` (ZoomFirstRow), rows `step` bytes apart, from a frame
// `frameWidth` <= ZOOM_WIDE_COLUMNS wide: raw pixels, or a run-length block
// when `rle`. clip.dstWidth must be at most ZOOM_ROW_MAX.
template <class Effect, bool flipX, bool rle>
void WideZoom(const ZoomBlock& clip, uint8_t* row, ptrdiff_t step, const uint8_t* data, int32_t frameWidth,
              const EffectArgs& args);
#endif
