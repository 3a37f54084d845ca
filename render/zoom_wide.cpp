// The wide scaled kernels (see render/zoom_wide.h). As in render/blit_wide.cpp,
// everything shared with the rest of the program is included before the
// target switch, so that only this file's own kernels are compiled for the
// wider instructions.
#include "render/zoom_wide.h"

#include <cstring>
#include <type_traits>

#include "formats/rle.h"
#include "render/drawtarget.h"
#include "render/effects.h"
#include "render/zoom_internal.h"

#if VANTOR_WIDE_BLITS
#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("popcnt,avx2,avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi,bmi2")
// GCC 12's AVX-512 intrinsics start some results from a deliberately
// undefined register, which its flow analysis reports as uninitialised.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "render/blend_batch.h"

namespace {

// One source row in registers: its pixel bytes by column, and 0xFF in the
// columns that are opaque (for run-length rows, the columns some run
// covers, whatever byte it stores there; for raw rows, those whose byte is
// not 0). The opaque columns are kept as bytes, not as a bit mask, since
// they are permuted as bytes anyway; a run's step then marks its columns
// with a vector operation instead of an integer one.
struct SourceRow {
  __m512i value;
  __m512i opaque;
};

// Row r of a run-length block whose frame is at most 64 pixels wide: its
// runs walked once, each marking the columns it covers opaque and,
// where the pixel bytes are wanted (`values`; not for the single-colour
// effects), its bytes loaded straight into those columns by one masked load
// from the address that puts the run's first byte at its first column.
// Lanes outside the run are masked off, so nothing outside its bytes is
// read: an accepted block's runs end by the frame's width (formats/rle.h),
// so a run's lanes are exactly its columns.
template <bool values>
class RunWalk {
 public:
  RunWalk(const uint8_t* block, int32_t r) {
    const uint8_t* record = block + RleRowOffset(block, r);
    runs_ = record[0] | record[1] << 8;
    at_ = record + 2;
  }
  int32_t Runs() const { return runs_; }
  // The chain from run to run is one byte load and one addition: the
  // length is loaded apart from the skip, which no later place needs.
  void Step() {
    const uint64_t n = at_[1];
    column_ += at_[0];
    // n lanes from the run's first column (a run at column 64 has none).
    const uint64_t lanes = _bzhi_u64(~uint64_t{0}, static_cast<uint32_t>(n)) << (column_ & 63);
    opaque_ = _mm512_mask_mov_epi8(opaque_, lanes, _mm512_set1_epi8(-1));
    if constexpr (values) {
      const auto* first = reinterpret_cast<const uint8_t*>(reinterpret_cast<uintptr_t>(at_ + 2) - column_);
      value_ = _mm512_mask_loadu_epi8(value_, lanes, first);
    }
    column_ += n;
    at_ += n + 2;
  }
  // The row's last run: rows that end transparent end with a run of no
  // pixels, which adds nothing to the row and needs no step.
  void StepIfPixels() {
    if (at_[1] != 0) Step();
  }
  // After Runs() steps.
  SourceRow Row() const { return SourceRow{value_, opaque_}; }

 private:
  const uint8_t* at_;  // the next run's header
  int32_t runs_;
  uint64_t column_ = 0;  // column reached
  __m512i value_ = _mm512_setzero_si512();
  __m512i opaque_ = _mm512_setzero_si512();
};

template <bool values>
[[gnu::always_inline]] inline SourceRow DecodeRow(const uint8_t* block, int32_t r) {
  RunWalk<values> walk(block, r);
  if (walk.Runs() > 0) {
    for (int32_t k = walk.Runs() - 1; k > 0; --k) walk.Step();
    walk.StepIfPixels();
  }
  return walk.Row();
}

// Two rows at once: each run's place depends on the one before it, a chain
// of loads as long as the row, and two rows walked side by side run two
// chains at once. Both decodes must be inlined, or the walks' state and the
// rows go through memory (1.5x slower).
template <bool values>
[[gnu::always_inline]] inline void DecodeRows(const uint8_t* block, int32_t r, int32_t r2, SourceRow* row,
                                              SourceRow* row2) {
  RunWalk<values> a(block, r), b(block, r2);
  int32_t k = 0;
  for (const int32_t both = (a.Runs() < b.Runs() ? a.Runs() : b.Runs()) - 1; k < both; ++k) {
    a.Step();
    b.Step();
  }
  for (int32_t i = k; i < a.Runs() - 1; ++i) a.Step();
  for (int32_t i = k; i < b.Runs() - 1; ++i) b.Step();
  if (a.Runs() > 0) a.StepIfPixels();
  if (b.Runs() > 0) b.StepIfPixels();
  *row = a.Row();
  *row2 = b.Row();
}

inline SourceRow LoadRow(const uint8_t* pixels, int32_t frameWidth, int32_t r) {
  const __m512i value = _mm512_maskz_loadu_epi8(_bzhi_u64(~uint64_t{0}, static_cast<uint32_t>(frameWidth)),
                                                pixels + int64_t{r} * frameWidth);
  return SourceRow{value, _mm512_movm_epi8(_mm512_test_epi8_mask(value, value))};
}

// The blends, in three passes over a batch of destination rows as the wide
// blits do theirs: the table index of every drawn place (old byte << 8 |
// drawn byte, the table as stored) packed together, then one tight loop of
// look-ups, then the results spread back to their places. The rows of a
// batch must not share a byte (each old byte is read before any result is
// placed): with rows closer together than the block is wide, every row is a
// batch of its own. Sixteen rows a batch rather than 32 keep more of the
// table in the first-level cache (enlarged blends 1.02 to 1.05x; eight rows
// gained a little more there but cost the 50 % blend 5 %).
class BlendBatch {
 public:
  static constexpr int32_t ROWS = 16;
  static constexpr int32_t WINDOWS = ZOOM_ROW_MAX / 64 + 1;

  // `lastLanes`: the places of the last window that lie in the block;
  // `readable`: the bytes of each row, from the block's left edge, that may
  // be read (to the clip rectangle's right edge).
  BlendBatch(const EffectArgs& args, int32_t windows, uint64_t lastLanes, int64_t readable, bool separate)
      : args_(args),
        windows_(windows),
        lastLanes_(lastLanes),
        wholeWindows_(static_cast<int32_t>(readable / 64 < windows ? readable / 64 : windows)),
        separate_(separate) {}

  // One destination row, drawn where `drawn` says, from `value` by place.
  template <class Effect>
  void Add(uint8_t* row, const uint8_t* value, const uint64_t* drawn) {
    Begin();
    for (int32_t w = 0; w < windows_; ++w)
      Window<Effect>(row, w, drawn[w],
                     Effect::solid ? _mm512_setzero_si512() : _mm512_load_si512(value + 64 * w));
    End(row);
  }

  // The same for a block of one window, its bytes by place in a register.
  template <class Effect>
  void AddOne(uint8_t* row, __mmask64 drawn, __m512i value) {
    Begin();
    Window<Effect>(row, 0, drawn, value);
    End(row);
  }

  void Flush() {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(index_ + pixels_), _mm_setzero_si128());
    const uint8_t* table = args_.blend;
    // The entries just past `pixels_` were cleared above; their results are
    // never placed.
    LookUp(table, index_, mixed_, pixels_);
    const uint8_t* next = mixed_;
    for (int32_t r = 0; r < rows_; ++r) {
      for (int32_t w = 0; w < windows_; ++w) {
        const __mmask64 lanes = masks_[r][w];
        _mm512_mask_storeu_epi8(row_[r] + 64 * w, lanes,
                                _mm512_maskz_expand_epi8(lanes, _mm512_loadu_si512(next)));
        next += _mm_popcnt_u64(lanes);
      }
    }
    rows_ = 0;
    pixels_ = 0;
  }

 private:
  void Begin() {
    if (rows_ == ROWS || pixels_ + 64 * windows_ > CAPACITY) Flush();
  }
  template <class Effect>
  void Window(uint8_t* row, int32_t w, __mmask64 lanes, __m512i source) {
    masks_[rows_][w] = lanes;
    // All 64 old bytes where they may be read (measured several times
    // faster than a masked load here), else those in the block.
    const __m512i old = w < wholeWindows_ ? _mm512_loadu_si512(row + 64 * w)
                                          : _mm512_maskz_loadu_epi8(lastLanes_, row + 64 * w);
    pixels_ += static_cast<int32_t>(
        PackIndices<false, Effect::solid>(index_ + pixels_, lanes, old, source, args_.colour));
  }
  void End(uint8_t* row) {
    row_[rows_++] = row;
    if (!separate_) Flush();
  }

  static constexpr int32_t CAPACITY = 2 * ZOOM_ROW_MAX;
  const EffectArgs args_;
  const int32_t windows_;
  const uint64_t lastLanes_;
  const int32_t wholeWindows_;  // windows that lie wholly in readable bytes
  const bool separate_;
  int32_t rows_ = 0, pixels_ = 0;
  uint8_t* row_[ROWS];
  uint64_t masks_[ROWS][WINDOWS];
  // Room past the end for a row's last compressed store and for the last
  // group of eight look-ups.
  alignas(64) uint16_t index_[CAPACITY + 64];
  alignas(64) uint8_t mixed_[CAPACITY + 64];
};

// A block's column map: the byte of the source row each place shows, and
// 64 zeros past the last place. Draws in a row often share one (sprites
// drawn at one size), so the last one made is kept, per thread, and used
// again while the block's columns and width stay the same.
struct ColumnMap {
  int32_t firstColumn = -1, srcWidth = 0, width = 0;
  bool flipX = false;
  alignas(64) uint8_t byPlace[ZOOM_ROW_MAX + 64];
};

const uint8_t* ColumnBytes(const ZoomBlock& clip, bool flipX) {
  thread_local ColumnMap last;
  if (last.firstColumn != clip.firstColumn || last.srcWidth != clip.srcWidth || last.width != clip.dstWidth ||
      last.flipX != flipX) {
    int32_t columns[ZOOM_ROW_MAX];
    ZoomColumnMap(columns, clip.srcWidth, clip.dstWidth, flipX);
    for (int32_t j = 0; j < clip.dstWidth; ++j)
      last.byPlace[j] = static_cast<uint8_t>(clip.firstColumn + columns[j]);
    std::memset(last.byPlace + clip.dstWidth, 0, 64);
    last.firstColumn = clip.firstColumn;
    last.srcWidth = clip.srcWidth;
    last.width = clip.dstWidth;
    last.flipX = flipX;
  }
  return last.byPlace;
}

}  // namespace

template <class Effect, bool flipX, bool rle>
void WideZoom(const ZoomBlock& clip, uint8_t* row, ptrdiff_t step, const uint8_t* data, int32_t frameWidth,
              const EffectArgs& args) {
  const int32_t width = clip.dstWidth;
  const int32_t windows = (width + 63) / 64;
  // The source column each place shows, and the row as scaled: bytes by
  // place and, per 64 places, which of them are drawn (a place past the
  // block's width never is).
  const uint8_t* map = ColumnBytes(clip, flipX);
  alignas(64) uint8_t value[ZOOM_ROW_MAX + 64];
  uint64_t drawn[ZOOM_ROW_MAX / 64 + 1];
  const uint64_t lastLanes = _bzhi_u64(~uint64_t{0}, static_cast<uint32_t>(width - (windows - 1) * 64));
  const int64_t pitch = step < 0 ? -int64_t{step} : int64_t{step};
  [[maybe_unused]] BlendBatch batch(args, Effect::blends ? windows : 0, lastLanes,
                                    int64_t{drawTarget.clipRight} + 1 - clip.left, pitch >= width);

  ZoomStep rows(clip.srcHeight, clip.dstHeight);
  int64_t scaled = -1;
  // Run-length rows are decoded two at a time where the next destination
  // row shows another source row; the second waits here.
  SourceRow next{};
  int64_t nextIndex = -1;

  // The source row that destination row j shows (`rows` stepped to it).
  // Inlined in both loops below, or the decodes' state goes through memory.
  auto fetch = [&](int32_t j) __attribute__((always_inline)) {
    const int32_t r = clip.firstRow + static_cast<int32_t>(rows.index);
    SourceRow source;
    if constexpr (rle) {
      if (rows.index == nextIndex) return next;
      ZoomStep ahead = rows;
      ahead.Next();
      if (j + 1 < clip.dstHeight && ahead.index != rows.index) {
        DecodeRows<UsesSource<Effect>()>(data, r, clip.firstRow + static_cast<int32_t>(ahead.index), &source,
                                         &next);
        nextIndex = ahead.index;
      } else {
        source = DecodeRow<UsesSource<Effect>()>(data, r);
      }
    } else {
      source = LoadRow(data, frameWidth, r);
    }
    return source;
  };

  if (windows == 1) {
    // A block at most 64 places wide, the usual case: the scaled row and
    // its drawn places stay in registers, with no row buffers and no loop
    // over windows (measured 1.2 to 1.5x faster at 50 %, where most of a
    // draw's time is per row).
    const __m512i columns = _mm512_load_si512(map);
    __m512i bytes = _mm512_set1_epi8(static_cast<char>(args.colour));
    __mmask64 shown = 0;
    for (int32_t j = 0; j < clip.dstHeight; ++j, row += step, rows.Next()) {
      if (rows.index != scaled) {
        const SourceRow source = fetch(j);
        if constexpr (UsesSource<Effect>()) bytes = _mm512_permutexvar_epi8(columns, source.value);
        shown = _mm512_movepi8_mask(_mm512_permutexvar_epi8(columns, source.opaque)) & lastLanes;
        scaled = rows.index;
      }
      if constexpr (Effect::blends) {
        batch.AddOne<Effect>(row, shown, bytes);
      } else {
        _mm512_mask_storeu_epi8(row, shown, bytes);
      }
    }
    if constexpr (Effect::blends) batch.Flush();
    return;
  }

  for (int32_t j = 0; j < clip.dstHeight; ++j, row += step, rows.Next()) {
    if (rows.index != scaled) {
      const SourceRow source = fetch(j);
      for (int32_t w = 0; w < windows; ++w) {
        const __m512i columns = _mm512_load_si512(map + 64 * w);
        if constexpr (UsesSource<Effect>())
          _mm512_store_si512(value + 64 * w, _mm512_permutexvar_epi8(columns, source.value));
        const __mmask64 lanes = w == windows - 1 ? lastLanes : ~uint64_t{0};
        drawn[w] = _mm512_movepi8_mask(_mm512_permutexvar_epi8(columns, source.opaque)) & lanes;
      }
      scaled = rows.index;
    }
    if constexpr (!Effect::blends) {
      for (int32_t w = 0; w < windows; ++w) {
        const __m512i bytes = UsesSource<Effect>() ? _mm512_load_si512(value + 64 * w)
                                                   : _mm512_set1_epi8(static_cast<char>(args.colour));
        _mm512_mask_storeu_epi8(row + 64 * w, drawn[w], bytes);
      }
    } else {
      batch.Add<Effect>(row, value, drawn);
    }
  }
  if constexpr (Effect::blends) batch.Flush();
}

#define VANTOR_WIDE_ZOOM(EFFECT)                                                                             \
  template void WideZoom<EFFECT, false, false>(const ZoomBlock&, uint8_t*, ptrdiff_t, const uint8_t*,        \
                                               int32_t, const EffectArgs&);                                  \
  template void WideZoom<EFFECT, true, false>(const ZoomBlock&, uint8_t*, ptrdiff_t, const uint8_t*,         \
                                              int32_t, const EffectArgs&);                                   \
  template void WideZoom<EFFECT, false, true>(const ZoomBlock&, uint8_t*, ptrdiff_t, const uint8_t*,         \
                                              int32_t, const EffectArgs&);                                   \
  template void WideZoom<EFFECT, true, true>(const ZoomBlock&, uint8_t*, ptrdiff_t, const uint8_t*, int32_t, \
                                             const EffectArgs&);
VANTOR_WIDE_ZOOM(EffectCopy)
VANTOR_WIDE_ZOOM(EffectBlend)
VANTOR_WIDE_ZOOM(EffectSolid)
VANTOR_WIDE_ZOOM(EffectSolidBlend)
#undef VANTOR_WIDE_ZOOM

#pragma GCC diagnostic pop
#pragma GCC pop_options

#endif
