// The draw target: where software drawing may write. One process-wide record
// shared by every drawing routine; the destination memory itself is never
// stored, each call receives it.
#pragma once

#include <cstdint>

struct DrawTarget {
  int32_t clipLeft;     // inclusive bounds of the writable rectangle
  int32_t clipRight;
  int32_t clipTop;
  int32_t clipBottom;
  int32_t pitch;        // bytes from one destination row to the next
  int32_t clipWidth;    // clipRight - clipLeft + 1, for callers placing things
  int32_t clipHeight;   // clipBottom - clipTop + 1
  int32_t screenWidth;  // the work area
  int32_t screenHeight;
};

extern DrawTarget drawTarget;

// Stores the bounds as given; callers keep left <= right, top <= bottom and
// the rectangle inside the surface they draw into.
void SetClipRect(int32_t left, int32_t top, int32_t right, int32_t bottom);

// Called once by display initialisation once the work surface exists. The
// display hands in whether it is ready (the draw target sits below it and
// cannot ask); when it is not, nothing changes and 0 comes back. `window` and
// `surface` are accepted for the callers' sake and not used.
int InitDrawTarget(void* window, int32_t width, int32_t height, void* surface, int32_t pitch,
                   bool displayReady);

// Display shutdown; there is nothing to release.
void CloseDrawTarget();
