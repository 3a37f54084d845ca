#include "render/turned.h"

#include <cstddef>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "render/block_clip.h"
#include "render/effects.h"

namespace {

// The store of the opaque copies: every byte, 0 included.
struct EffectOpaque {};

template <class Effect>
constexpr bool SKIPS_ZERO = true;
template <>
constexpr bool SKIPS_ZERO<EffectOpaque> = false;

enum class Turn { Left, Right };

// A visible destination rectangle of a turned block, walked row by row. A
// destination row reads one source column: one step right on the
// destination is `columnStep` (plus or minus the source width) in the
// source, one row down is `rowStep` (minus or plus one).
struct TurnedWalk {
  const uint8_t* source;  // source of the top-left pixel
  ptrdiff_t columnStep;
  ptrdiff_t rowStep;
  uint8_t* dest;
  ptrdiff_t pitch;
  int64_t columns;
  int64_t rows;

  TurnedWalk Part(int64_t column, int64_t row, int64_t partColumns, int64_t partRows) const {
    return {source + column * columnStep + row * rowStep,
            columnStep,
            rowStep,
            dest + row * pitch + column,
            pitch,
            partColumns,
            partRows};
  }
};

template <class Effect>
void DrawWalk(const TurnedWalk& walk, const EffectArgs& args) {
  const uint8_t* source = walk.source;
  uint8_t* dest = walk.dest;
  for (int64_t row = 0; row < walk.rows; ++row, source += walk.rowStep, dest += walk.pitch) {
    const uint8_t* from = source;
    for (int64_t column = 0; column < walk.columns; ++column, from += walk.columnStep) {
      if constexpr (SKIPS_ZERO<Effect>) {
        if (*from != 0) dest[column] = Effect::Apply(args, dest[column], *from);
      } else {
        dest[column] = *from;
      }
    }
  }
}

#if defined(__SSE2__)
// Stores one 8-byte destination row piece of a tile. The transparent stores
// keep the destination bytes where the source is 0.
template <class Effect>
inline void StoreTileRow(uint8_t* dest, __m128i source, __m128i colour) {
  static_assert(std::is_same_v<Effect, EffectCopy> || std::is_same_v<Effect, EffectSolid> ||
                    std::is_same_v<Effect, EffectOpaque>,
                "the tiles know only the copy, solid and opaque stores");
  if constexpr (!SKIPS_ZERO<Effect>) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dest), source);
  } else {
    const __m128i keep = _mm_cmpeq_epi8(source, _mm_setzero_si128());
    const __m128i drawn = std::is_same_v<Effect, EffectSolid> ? colour : source;
    const __m128i old = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(dest));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dest),
                     _mm_or_si128(_mm_and_si128(keep, old), _mm_andnot_si128(keep, drawn)));
  }
}

// One 8 x 8 tile of a turn as a byte transpose: the eight source row pieces
// that make the tile's eight columns are loaded, interleaved into eight
// destination rows and stored whole.
template <class Effect, Turn turn>
inline void DrawTile(const uint8_t* source, ptrdiff_t columnStep, uint8_t* dest, ptrdiff_t pitch,
                     __m128i colour) {
  // Turned left, the tile's rows read the source columns backwards, so the
  // loads start seven bytes earlier and the rows come out bottom first.
  const uint8_t* base = turn == Turn::Left ? source - 7 : source;
  __m128i in[8];
  for (int i = 0; i < 8; ++i)
    in[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(base + i * columnStep));
  const __m128i a0 = _mm_unpacklo_epi8(in[0], in[1]);
  const __m128i a1 = _mm_unpacklo_epi8(in[2], in[3]);
  const __m128i a2 = _mm_unpacklo_epi8(in[4], in[5]);
  const __m128i a3 = _mm_unpacklo_epi8(in[6], in[7]);
  const __m128i b0 = _mm_unpacklo_epi16(a0, a1);
  const __m128i b1 = _mm_unpackhi_epi16(a0, a1);
  const __m128i b2 = _mm_unpacklo_epi16(a2, a3);
  const __m128i b3 = _mm_unpackhi_epi16(a2, a3);
  // Each register now holds two finished rows: source piece bytes j and j + 1.
  const __m128i pairs[4] = {_mm_unpacklo_epi32(b0, b2), _mm_unpackhi_epi32(b0, b2),
                            _mm_unpacklo_epi32(b1, b3), _mm_unpackhi_epi32(b1, b3)};
  for (int k = 0; k < 4; ++k) {
    const int low = 2 * k, high = 2 * k + 1;
    const int lowRow = turn == Turn::Left ? 7 - low : low;
    const int highRow = turn == Turn::Left ? 7 - high : high;
    StoreTileRow<Effect>(dest + lowRow * pitch, pairs[k], colour);
    StoreTileRow<Effect>(dest + highRow * pitch, _mm_unpackhi_epi64(pairs[k], pairs[k]), colour);
  }
}
#endif

// Whole 8 x 8 tiles where the visible part is at least 8 x 8; the ragged
// right and bottom edges are covered by one more tile that overlaps the one
// before it. None of these stores reads back what it drew (a pixel takes the
// source, the colour or keeps the destination), so drawing a pixel twice
// gives the same picture, and no pixel outside the visible rectangle is
// touched.
template <class Effect, Turn turn>
void DrawTurnedWalk(const TurnedWalk& walk, const EffectArgs& args) {
#if defined(__SSE2__)
  if (walk.rows >= 8 && walk.columns >= 8) {
    const __m128i colour = _mm_set1_epi8(static_cast<char>(args.colour));
    for (int64_t row = 0;; row += 8) {
      if (row > walk.rows - 8) row = walk.rows - 8;
      for (int64_t column = 0;; column += 8) {
        if (column > walk.columns - 8) column = walk.columns - 8;
        const TurnedWalk tile = walk.Part(column, row, 8, 8);
        DrawTile<Effect, turn>(tile.source, walk.columnStep, tile.dest, walk.pitch, colour);
        if (column == walk.columns - 8) break;
      }
      if (row == walk.rows - 8) break;
    }
    return;
  }
#endif
  DrawWalk<Effect>(walk, args);
}

// The turned family: one walk, the store chosen by `Effect`.
template <class Effect, Turn turn>
void BlitTurned(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface, const uint8_t* pixels,
                const EffectArgs& args) {
  const int64_t w = width, h = height;
  BlockOverflow overflow;
  // Turned, the block is `height` columns wide and `width` rows tall.
  if (!ClipBlock(x, y, h, w, overflow)) return;
  TurnedWalk walk;
  int64_t r, c;  // source of the visible top-left destination pixel
  if constexpr (turn == Turn::Left) {
    r = overflow.left;
    c = w - 1 - overflow.top;
    walk.columnStep = static_cast<ptrdiff_t>(w);
    walk.rowStep = -1;
  } else {
    r = h - 1 - overflow.left;
    c = overflow.top;
    walk.columnStep = -static_cast<ptrdiff_t>(w);
    walk.rowStep = 1;
  }
  walk.source = pixels + static_cast<ptrdiff_t>(r * w + c);
  walk.dest = TargetPixel(surface, x + overflow.left, y + overflow.top);
  walk.pitch = drawTarget.pitch;
  walk.columns = h - overflow.left - overflow.right;
  walk.rows = w - overflow.top - overflow.bottom;
  DrawTurnedWalk<Effect, turn>(walk, args);
}

}  // namespace

void BlitCopyTurnLeft(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                      const uint8_t* pixels) {
  BlitTurned<EffectCopy, Turn::Left>(x, y, width, height, surface, pixels, {});
}
void BlitCopyTurnRight(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                       const uint8_t* pixels) {
  BlitTurned<EffectCopy, Turn::Right>(x, y, width, height, surface, pixels, {});
}
void BlitSolidTurnLeft(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                       const uint8_t* pixels, int32_t colour) {
  BlitTurned<EffectSolid, Turn::Left>(x, y, width, height, surface, pixels,
                                      {static_cast<uint8_t>(colour), nullptr});
}
void BlitSolidTurnRight(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                        const uint8_t* pixels, int32_t colour) {
  BlitTurned<EffectSolid, Turn::Right>(x, y, width, height, surface, pixels,
                                       {static_cast<uint8_t>(colour), nullptr});
}
void BlitOpaqueTurnLeft(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                        const uint8_t* pixels) {
  BlitTurned<EffectOpaque, Turn::Left>(x, y, width, height, surface, pixels, {});
}
void BlitOpaqueTurnRight(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                         const uint8_t* pixels) {
  BlitTurned<EffectOpaque, Turn::Right>(x, y, width, height, surface, pixels, {});
}

void BlitOpaqueTurned(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                      const uint8_t* pixels, int32_t turns) {
  const auto w = static_cast<int16_t>(width), h = static_cast<int16_t>(height);
  switch (turns) {
    case 0:
      BlitOpaque(x, y, width, height, surface, pixels);
      break;
    case 1:
      BlitOpaqueTurnLeft(x, y, w, h, surface, pixels);
      break;
    case 2:
      BlitOpaqueMirrorXY(x, y, w, h, surface, pixels);
      break;
    case 3:
      BlitOpaqueTurnRight(x, y, w, h, surface, pixels);
      break;
    default:
      break;  // not a quarter-turn count
  }
}
