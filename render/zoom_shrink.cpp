// The shrunk run-length copy (render/zoom_rle.cpp) with AVX2's byte
// shuffles, for frames whose runs are long, where the wide kernels do not
// take the frame. As in render/blit_wide.cpp, everything the portable code
// shares is included before the target switch; only the run walks
// (render/zoom_runs.h, with internal linkage) and this file's kernel are
// compiled for AVX2.
#include <climits>
#include <cstddef>
#include <cstdint>

#include "formats/rle.h"
#include "render/blit_wide.h"
#include "render/zoom_internal.h"

bool ZoomShrunkGoesAvx2(const uint8_t* block, const ZoomBlock& clip, const ZoomStep& rows) {
  if (Kernels() == KernelSet::Plain || clip.dstWidth < 8 || clip.srcWidth > 2 * clip.dstWidth) return false;
  // Where most runs are short, the plain walk is faster: it keeps more in
  // registers. One row's run count is the guess.
  const uint8_t* record = block + RleRowOffset(block, clip.firstRow + static_cast<int32_t>(rows.index));
  const int32_t runs = record[0] | record[1] << 8;
  return runs * 16 <= clip.srcWidth;
}

#if VANTOR_WIDE_BLITS
#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("avx2")

#include "render/zoom_runs.h"

namespace {

// What one run draws into the destination row whose leftmost place is
// `dst`, as a run walk's callback (render/zoom_runs.h): the places from its
// first window column's start to its end's, place b showing window column
// column[b], whose byte is pixels[column[b] - offset]. A run that covers
// eight places or more is written eight places at a time: one 16-byte
// load of its bytes from the group's first column, one byte shuffle by the
// eight places' columns' distances from it (their low bytes' differences),
// one 8-byte store. The last group overlaps the one before it and writes
// the same bytes again. Nothing past the run's places is written, and
// nothing is read from the destination (a read of what the previous run
// has just written would wait for the write). The 16 bytes loaded must lie
// before `readable` (the block's last row record, the only one that may end
// at the block's end). Shorter runs, and the others, go place by place.
template <bool flipX>
struct ShrunkRun {
  uint8_t* dst;
  const int32_t* start;
  const int32_t* column;
  const uint8_t* columnByte;
  const uint8_t* readable;
  int32_t width;
  int32_t fewest;  // the fewest places a run must cover to go eight at a time

  void operator()(int32_t from, int32_t to, const uint8_t* pixels, int32_t offset) const {
    const int32_t b0 = start[from], b1 = start[to];
    if (b1 - b0 >= fewest && pixels + (column[b1 - 1] - offset) + 16 <= readable) {
      auto group = [&](int32_t b) {
        const int32_t first = column[b];
        const __m128i distance =
            _mm_sub_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(columnByte + b)),
                         _mm_set1_epi8(static_cast<char>(first)));
        __m128i bytes = _mm_shuffle_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + (first - offset))), distance);
        uint8_t* at = dst + b;
        if constexpr (flipX) {
          bytes =
              _mm_shuffle_epi8(bytes, _mm_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 8, 9, 10, 11, 12, 13, 14, 15));
          at = dst + (width - 8 - b);
        }
        _mm_storel_epi64(reinterpret_cast<__m128i*>(at), bytes);
      };
      for (int32_t b = b0; b + 8 < b1; b += 8) group(b);
      group(b1 - 8);
      return;
    }
    for (int32_t b = b0; b < b1; ++b) (flipX ? dst[width - 1 - b] : dst[b]) = pixels[column[b] - offset];
  }
};

}  // namespace

template <bool flipX>
void ZoomShrunkRleCopyAvx2(uint8_t* row, ptrdiff_t step, const uint8_t* block, const ZoomBlock& clip,
                           int32_t frameWidth, int32_t frameHeight, ZoomStep rows) {
  const int32_t width = clip.dstWidth;
  const ZoomColumns& columns = ZoomColumnsFor(clip.srcWidth, width);
  const uint8_t* readable = block + RleRowOffset(block, frameHeight - 1);
  // Columns only increase with the place, and every eight places are a
  // stretch of the same length, give or take the rounding of one step: the
  // first eight's span, plus one, bounds them all, and a shuffle reaches 16
  // bytes.
  const int32_t fewest = width >= 8 && columns.column[7] - columns.column[0] + 1 < 16 ? 8 : INT32_MAX;
  RowsOfRuns(row, step, block, clip, frameWidth, rows, [&](uint8_t* dst) {
    return ShrunkRun<flipX>{dst, columns.start, columns.column, columns.columnByte, readable, width, fewest};
  });
}

template void ZoomShrunkRleCopyAvx2<false>(uint8_t*, ptrdiff_t, const uint8_t*, const ZoomBlock&, int32_t,
                                           int32_t, ZoomStep);
template void ZoomShrunkRleCopyAvx2<true>(uint8_t*, ptrdiff_t, const uint8_t*, const ZoomBlock&, int32_t,
                                          int32_t, ZoomStep);

#pragma GCC pop_options

#endif
