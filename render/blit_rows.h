// The row walks of the raw and run-length blits, over a row or span kernel
// given as a policy: `Kernel::template Draw<reversed>(dst, src, n, args)`
// draws n pixels whose leftmost destination byte is dst from the source bytes
// at src, src[0] at the right end when reversed. The plain blits and the wide
// ones (render/blit_wide.cpp, compiled for other instructions) share them, so
// each gets the walk inlined around its own kernels. Internal to render/.
#pragma once

#include <algorithm>
#include <cstdint>

#include "formats/rle.h"
#include "render/blit.h"
#include "render/drawtarget.h"
#include "render/effects.h"

// The run-length walk's steps stay inline in every copy of the walk: with a
// kernel that has an out-of-line part, GCC otherwise calls some of them,
// which cost the blends 3 % here.
#if defined(__GNUC__)
#define VANTOR_WALK_INLINE __attribute__((always_inline))
#else
#define VANTOR_WALK_INLINE
#endif

// Each visible source row is a contiguous run of V bytes; it lands on a
// contiguous run of V destination bytes, forwards or (mirrored left-right)
// backwards, so a row is one kernel call and the orientation only picks the
// first source row, the row step and the kernel's direction.
template <class Kernel, Orientation O, class Args>
inline void RawRows(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                    const uint8_t* pixels, const Args& args) {
  SpriteClip clip;
  if (!ClipSprite(x, y, width, height, &clip)) return;
  // Source columns dropped at a row's start, and the first source row used:
  // the mirrored sides swap which destination overflow they come from.
  const int32_t firstColumn = FlipsX(O) ? clip.right : clip.left;
  const int32_t firstRow = FlipsY(O) ? clip.bottom : clip.top;
  const uint8_t* src = pixels + (int64_t{firstRow} * width + firstColumn);

  const int64_t pitch = drawTarget.pitch;
  const int64_t destY = FlipsY(O) ? int64_t{y} + height - 1 - clip.bottom : int64_t{y} + clip.top;
  const int64_t step = FlipsY(O) ? -pitch : pitch;
  int64_t offset = destY * pitch + (int64_t{x} + clip.left);
  for (int32_t row = 0; row < clip.visibleHeight; ++row) {
    Kernel::template Draw<FlipsX(O)>(surface + offset, src + int64_t{row} * width, clip.visibleWidth, args);
    offset += step;
  }
}

// Source rows are always read top to bottom, each found through the row
// table, so a row whose runs end before the frame's width (or that has none)
// costs nothing and cannot throw the following rows off. Runs are drawn as
// whole spans; only a row cut by the left or right clip edge trims its runs
// to the visible columns.
template <class Kernel, Orientation O, class Args>
inline void RleRows(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                    const uint8_t* block, const Args& argsIn) {
  // A copy the kernels' stores cannot alias, so that it stays in registers
  // instead of being read again after every run.
  const Args args = argsIn;
  SpriteClip clip;
  if (!ClipSprite(x, y, width, height, &clip)) return;
  constexpr bool reversed = FlipsX(O);
  const int32_t firstRow = FlipsY(O) ? clip.bottom : clip.top;
  const int64_t pitch = drawTarget.pitch;
  const int64_t destY = FlipsY(O) ? int64_t{y} + height - 1 - clip.bottom : int64_t{y} + clip.top;
  const int64_t step = FlipsY(O) ? -pitch : pitch;
  // Row offset of the visible span's left end.
  int64_t offset = destY * pitch + (int64_t{x} + clip.left);
  // Visible source columns: [dropped, end).
  const int32_t dropped = reversed ? clip.right : clip.left;
  const int32_t end = dropped + clip.visibleWidth;
  const bool wholeWidth = clip.left == 0 && clip.right == 0;

  // One run of a whole-width row: `at` is the destination just past the
  // previous run (mirrored, just before it).
  auto step1 = [&](const uint8_t*& run, uint8_t*& at) VANTOR_WALK_INLINE {
    const int32_t n = run[1];
    if constexpr (reversed) {
      at -= run[0] + n;
      Kernel::template Draw<true>(at, run + 2, n, args);
    } else {
      at += run[0];
      Kernel::template Draw<false>(at, run + 2, n, args);
      at += n;
    }
    run += 2 + n;
  };
  auto start = [&](int32_t row, const uint8_t*& run) VANTOR_WALK_INLINE {
    run = block + RleRowOffset(block, firstRow + row);
    const int32_t runs = run[0] | run[1] << 8;
    run += 2;
    return runs;
  };
  // A row that ends transparent ends with a run of no pixels: the encoding
  // writes trailing transparency so. For kernels whose call costs something
  // even then (`testsLastRun`), the whole-width walks step through all runs
  // but the last and draw the last only if it has pixels; nothing after it
  // needs its place. `walked` is the number of runs the shared loops step:
  // for those kernels one less than the row's count (-1 for a row with
  // none), for the others the count.
  constexpr bool testsLast = Kernel::testsLastRun;
  auto walked = [&](int32_t row, const uint8_t*& run)
                    VANTOR_WALK_INLINE { return start(row, run) - (testsLast ? 1 : 0); };
  // The rest of a row whose walk has `runs` runs still to step, its last
  // run included.
  auto rest = [&](const uint8_t*& run, int32_t runs, uint8_t*& at) VANTOR_WALK_INLINE {
    for (; runs > 0; --runs) step1(run, at);
    if constexpr (testsLast) {
      if (runs == 0 && run[1] != 0) step1(run, at);
    }
  };
  int32_t row = 0;
  if (Kernel::rowsTogether > 1 && wholeWidth && (pitch < 0 ? -pitch : pitch) >= width) {
    // Each run's place depends on the one before it, a chain of loads as
    // long as the row. Rows walked side by side run their chains at once;
    // their bytes are apart, so the order of their writes does not matter.
    // Four chains keep their pointers in registers; more spill them. Kernels
    // that branch on the run length lose more to the mixed branch history
    // than they gain, so a kernel chooses (`rowsTogether`: 1, 2 or 4).
    // Mirrored, a run's right end lands `width - p` bytes into the row,
    // where p is the source column just past it.
    auto pair = [&](const uint8_t*& runA, int32_t runsA, uint8_t*& atA, const uint8_t*& runB, int32_t runsB,
                    uint8_t*& atB) VANTOR_WALK_INLINE {
      for (; runsA > 0 && runsB > 0; --runsA, --runsB) {
        step1(runA, atA);
        step1(runB, atB);
      }
      rest(runA, runsA, atA);
      rest(runB, runsB, atB);
    };
    if constexpr (Kernel::rowsTogether >= 4) {
      for (; row + 4 <= clip.visibleHeight; row += 4, offset += 4 * step) {
        const uint8_t *runA, *runB, *runC, *runD;
        int32_t runsA = walked(row, runA), runsB = walked(row + 1, runB), runsC = walked(row + 2, runC),
                runsD = walked(row + 3, runD);
        uint8_t* atA = surface + offset + (reversed ? width : 0);
        uint8_t* atB = atA + step;
        uint8_t* atC = atB + step;
        uint8_t* atD = atC + step;
        // All four as long as the shortest lasts, then two and two.
        int32_t together = std::max(std::min(std::min(runsA, runsB), std::min(runsC, runsD)), 0);
        runsA -= together;
        runsB -= together;
        runsC -= together;
        runsD -= together;
        for (; together > 0; --together) {
          step1(runA, atA);
          step1(runB, atB);
          step1(runC, atC);
          step1(runD, atD);
        }
        pair(runA, runsA, atA, runB, runsB, atB);
        pair(runC, runsC, atC, runD, runsD, atD);
      }
    }
    for (; row + 2 <= clip.visibleHeight; row += 2, offset += 2 * step) {
      const uint8_t *runA, *runB;
      const int32_t runsA = walked(row, runA), runsB = walked(row + 1, runB);
      uint8_t* atA = surface + offset + (reversed ? width : 0);
      uint8_t* atB = atA + step;
      pair(runA, runsA, atA, runB, runsB, atB);
    }
  }
  // One row not cut at the sides.
  auto wholeRow = [&](int32_t row, int64_t offset) VANTOR_WALK_INLINE {
    const uint8_t* run;
    const int32_t runs = walked(row, run);
    uint8_t* at = surface + offset + (reversed ? width : 0);
    rest(run, runs, at);
  };
  if (testsLast && wholeWidth) {
    // A loop of their own for the copies and fills: the demo frames'
    // single-colour draws measured 1.06 to 1.15x faster so, the copies no
    // slower; the blends measured slower.
    for (; row < clip.visibleHeight; ++row, offset += step) wholeRow(row, offset);
    return;
  }
  for (; row < clip.visibleHeight; ++row, offset += step) {
    if (wholeWidth) {
      wholeRow(row, offset);
      continue;
    }
    const uint8_t* run;
    int32_t runs = start(row, run);
    uint8_t* line = surface + offset;
    int32_t p = 0;  // source column of the next run's first pixel, skip included
    for (; runs > 0; --runs) {
      p += run[0];
      const int32_t n = run[1];
      const uint8_t* pixels = run + 2;
      run = pixels + n;
      if (p >= end) break;  // the rest of the row is past the right edge
      const int32_t from = p > dropped ? p : dropped;
      const int32_t to = p + n < end ? p + n : end;
      if (from < to) {
        Kernel::template Draw<reversed>(reversed ? line + (end - to) : line + (from - dropped),
                                        pixels + (from - p), to - from, args);
      }
      p += n;
    }
  }
}
