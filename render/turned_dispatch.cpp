// The turned entry points that hand turn counts 0 and 2 to the raw blits.
// Kept apart from the turned family so that code using only the turned and
// opaque routines does not pull in the raw blits.
#include "render/blit.h"
#include "render/turned.h"

void DrawSpriteTurned(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                      const uint8_t* pixels, int32_t turns) {
  const auto w = static_cast<int16_t>(width), h = static_cast<int16_t>(height);
  switch (turns) {
    case 0:
      BlitCopy(x, y, width, height, surface, pixels);
      break;
    case 1:
      BlitCopyTurnLeft(x, y, w, h, surface, pixels);
      break;
    case 2:
      BlitCopyMirrorXY(x, y, width, height, surface, pixels);
      break;
    case 3:
      BlitCopyTurnRight(x, y, w, h, surface, pixels);
      break;
    default:
      break;  // not a quarter-turn count
  }
}

void DrawSolidTurned(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                     const uint8_t* pixels, int32_t colour, int32_t turns) {
  const auto w = static_cast<int16_t>(width), h = static_cast<int16_t>(height);
  switch (turns) {
    case 0:
      BlitSolid(x, y, w, h, surface, pixels, colour);
      break;
    case 1:
      BlitSolidTurnLeft(x, y, w, h, surface, pixels, colour);
      break;
    case 2:
      BlitSolidMirrorXY(x, y, w, h, surface, pixels, colour);
      break;
    case 3:
      BlitSolidTurnRight(x, y, w, h, surface, pixels, colour);
      break;
    default:
      break;  // not a quarter-turn count
  }
}
