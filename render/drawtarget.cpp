#include "render/drawtarget.h"

DrawTarget drawTarget = {};

void SetClipRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  drawTarget.clipLeft = left;
  drawTarget.clipTop = top;
  drawTarget.clipRight = right;
  drawTarget.clipBottom = bottom;
  // Wide arithmetic: a caller may pass any int32 bounds, and the widths are
  // only for placing things, so they saturate rather than overflow.
  auto span = [](int32_t low, int32_t high) {
    int64_t value = int64_t{high} - low + 1;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
  };
  drawTarget.clipWidth = span(left, right);
  drawTarget.clipHeight = span(top, bottom);
}

int InitDrawTarget(void* /*window*/, int32_t width, int32_t height, void* /*surface*/, int32_t pitch,
                   bool displayReady) {
  if (!displayReady) return 0;
  drawTarget.pitch = pitch;
  drawTarget.screenWidth = width;
  drawTarget.screenHeight = height;
  SetClipRect(0, 0, width - 1, height - 1);
  return 1;
}

void CloseDrawTarget() {}
