// The run walks of the scaled run-length blits: a row's runs in a window of
// source columns, two whole rows side by side, and a block's destination
// rows over them. Shared by render/zoom_rle.cpp and the AVX2 kernel of
// render/zoom_shrink.cpp, each of which compiles them for its own
// instructions: internal linkage on purpose, so that neither copy stands in
// for the other. Internal to render/.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "formats/rle.h"
#include "render/zoom_internal.h"

namespace {

// One run of a row walked whole: span(from, to, pixels, offset) as below,
// then `run` and `p` (the source column reached) past it.
template <class Span>
inline void WholeRun(const uint8_t*& run, int32_t& p, Span& span) {
  p += run[0];
  const int32_t n = run[1];
  span(p, p + n, run + 2, p);
  run += 2 + n;
  p += n;
}

// Walks the runs of one row that lie in the window of source columns
// [first, first + count) of a row `rowWidth` wide, calling
// span(from, to, pixels, offset) for each run's part in the window: window
// columns [from, to), whose bytes are pixels[column - offset]. Skips,
// however long, cost one addition. A window that is the whole row (the
// image is not cut at its sides) needs no cutting of runs at all.
template <class Span>
inline void WalkRuns(const uint8_t* block, int32_t row, int32_t first, int32_t count, int32_t rowWidth,
                     Span&& span) {
  const uint8_t* run = block + RleRowOffset(block, row);
  int32_t runs = run[0] | run[1] << 8;
  run += 2;
  int32_t p = 0;  // source column reached
  if (first == 0 && count == rowWidth) {
    for (; runs > 0; --runs) WholeRun(run, p, span);
    return;
  }
  const int32_t end = first + count;
  for (; runs > 0; --runs) {
    p += run[0];
    const int32_t n = run[1];
    const uint8_t* pixels = run + 2;
    run = pixels + n;
    if (p >= end) break;
    const int32_t from = std::max(p, first) - first, to = std::min(p + n, end) - first;
    if (from < to) span(from, to, pixels, p - first);
    p += n;
    if (p >= end) break;  // the rest of the row is past the window
  }
}

// The runs of two whole rows (an image not cut at its sides), each with its
// own span callback as in WalkRuns, walked side by side: each run's place
// depends on the one before it, a chain of loads as long as the row, and
// two rows' chains overlap. The callbacks must not touch the same bytes.
// Left to itself GCC keeps some instances out of line (the mirrored shrunk
// blends, the single-colour blends), and their callbacks' state then goes
// through memory on every run: 1.08 to 1.2x slower.
template <class SpanA, class SpanB>
[[gnu::always_inline]] inline void WalkWholeRowPair(const uint8_t* block, int32_t rowA, int32_t rowB,
                                                    SpanA&& spanA, SpanB&& spanB) {
  const uint8_t* runA = block + RleRowOffset(block, rowA);
  const uint8_t* runB = block + RleRowOffset(block, rowB);
  int32_t runsA = runA[0] | runA[1] << 8, runsB = runB[0] | runB[1] << 8;
  runA += 2;
  runB += 2;
  int32_t pA = 0, pB = 0;  // source columns reached
  for (; runsA > 0 && runsB > 0; --runsA, --runsB) {
    WholeRun(runA, pA, spanA);
    WholeRun(runB, pB, spanB);
  }
  for (; runsA > 0; --runsA) WholeRun(runA, pA, spanA);
  for (; runsB > 0; --runsB) WholeRun(runB, pB, spanB);
}

// The destination rows of a block, each showing the source row rows.index
// (stepped once per row), drawn by `span(dst)`'s callbacks: two rows at a
// time, their runs walked side by side, where the image is not cut at its
// sides and the rows share no byte; else row by row.
template <class MakeSpan>
inline void RowsOfRuns(uint8_t* row, ptrdiff_t step, const uint8_t* block, const ZoomBlock& clip,
                       int32_t frameWidth, ZoomStep rows, MakeSpan&& span) {
  int32_t j = 0;
  if (clip.firstColumn == 0 && clip.srcWidth == frameWidth && (step < 0 ? -step : step) >= clip.dstWidth) {
    for (; j + 2 <= clip.dstHeight; j += 2, row += 2 * step) {
      const int32_t rowA = clip.firstRow + static_cast<int32_t>(rows.index);
      rows.Next();
      const int32_t rowB = clip.firstRow + static_cast<int32_t>(rows.index);
      rows.Next();
      WalkWholeRowPair(block, rowA, rowB, span(row), span(row + step));
    }
  }
  for (; j < clip.dstHeight; ++j, row += step, rows.Next()) {
    WalkRuns(block, clip.firstRow + static_cast<int32_t>(rows.index), clip.firstColumn, clip.srcWidth,
             frameWidth, span(row));
  }
}

}  // namespace
