// The opaque block copies: no transparent colour, every byte copied, each
// visible row span moved as one block.
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "render/block_clip.h"
#include "render/effects.h"
#include "render/turned.h"

namespace {

// dest[i] = source[count - 1 - i] for i below count.
inline void CopyReversed(uint8_t* dest, const uint8_t* source, size_t count) {
  size_t done = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time from the end of the source: reverse the four
  // dwords, then the two words in each, then the two bytes in each word.
  for (; done + 16 <= count; done += 16) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + count - done - 16));
    bytes = _mm_shuffle_epi32(bytes, _MM_SHUFFLE(0, 1, 2, 3));
    bytes = _mm_shufflelo_epi16(bytes, _MM_SHUFFLE(2, 3, 0, 1));
    bytes = _mm_shufflehi_epi16(bytes, _MM_SHUFFLE(2, 3, 0, 1));
    bytes = _mm_or_si128(_mm_slli_epi16(bytes, 8), _mm_srli_epi16(bytes, 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + done), bytes);
  }
#endif
  for (; done < count; ++done) dest[done] = source[count - 1 - done];
}

template <Orientation orientation>
void BlitOpaqueBlock(int32_t x, int32_t y, int64_t width, int64_t height, uint8_t* surface,
                     const uint8_t* pixels) {
  BlockOverflow overflow;
  if (!ClipBlock(x, y, width, height, overflow)) return;
  const ptrdiff_t pitch = drawTarget.pitch;
  const auto span = static_cast<size_t>(width - overflow.left - overflow.right);
  const int64_t rows = height - overflow.top - overflow.bottom;
  uint8_t* dest = TargetPixel(surface, x + overflow.left, y + overflow.top);

  // The visible source span of a row starts after the dropped columns: those
  // cut on the left of the destination when drawn as is, those cut on the
  // right when mirrored (the span is then copied reversed).
  const int64_t firstColumn = FlipsX(orientation) ? overflow.right : overflow.left;
  const int64_t firstRow = FlipsY(orientation) ? height - 1 - overflow.top : overflow.top;
  const ptrdiff_t rowStep = static_cast<ptrdiff_t>(FlipsY(orientation) ? -width : width);
  const uint8_t* source = pixels + static_cast<ptrdiff_t>(firstRow * width + firstColumn);

  if constexpr (orientation == Orientation::AsIs) {
    // Rows back to back on both sides: one move for the whole block.
    if (overflow.None() && pitch == width) {
      std::memcpy(dest, source, span * static_cast<size_t>(rows));
      return;
    }
  }
  for (int64_t row = 0; row < rows; ++row, source += rowStep, dest += pitch) {
    if constexpr (FlipsX(orientation)) {
      CopyReversed(dest, source, span);
    } else {
      std::memcpy(dest, source, span);
    }
  }
}

}  // namespace

void BlitOpaque(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                const uint8_t* pixels) {
  BlitOpaqueBlock<Orientation::AsIs>(x, y, width, height, surface, pixels);
}
void BlitOpaqueMirrorX(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                       const uint8_t* pixels) {
  BlitOpaqueBlock<Orientation::MirrorX>(x, y, width, height, surface, pixels);
}
void BlitOpaqueMirrorY(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                       const uint8_t* pixels) {
  BlitOpaqueBlock<Orientation::MirrorY>(x, y, width, height, surface, pixels);
}
void BlitOpaqueMirrorXY(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                        const uint8_t* pixels) {
  BlitOpaqueBlock<Orientation::MirrorXY>(x, y, width, height, surface, pixels);
}
