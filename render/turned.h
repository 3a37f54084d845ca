// Quarter-turned drawing of raw pixel blocks (width * height bytes, rows back
// to back) and the opaque block copies, clipped to the draw target.
//
// Turn counts are counter-clockwise quarter turns as seen on the screen: 1
// brings the image's top edge to the left side, 3 to the right side. A turned
// block covers `height` columns and `width` rows at (x, y):
//   TurnLeft:  source pixel (c, r) lands on (x + r, y + width - 1 - c)
//   TurnRight: source pixel (c, r) lands on (x + height - 1 - r, y + c)
// Exactly the source pixels whose destination lies inside the clip rectangle
// are drawn; sizes of 0 or less draw nothing.
#pragma once

#include <cstdint>

// Transparent: byte 0 is skipped, the others copied.
void BlitCopyTurnLeft(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                      const uint8_t* pixels);
void BlitCopyTurnRight(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                       const uint8_t* pixels);
// Single colour: byte 0 is skipped, the others drawn as the low byte of `colour`.
void BlitSolidTurnLeft(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                       const uint8_t* pixels, int32_t colour);
void BlitSolidTurnRight(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                        const uint8_t* pixels, int32_t colour);
// Opaque: every byte copied.
void BlitOpaqueTurnLeft(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                        const uint8_t* pixels);
void BlitOpaqueTurnRight(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                         const uint8_t* pixels);

// Opaque block copies, every byte copied, each visible row span moved as one
// block. Source pixel (c, r) lands on
//   BlitOpaque:         (x + c, y + r)
//   BlitOpaqueMirrorX:  (x + width - 1 - c, y + r)
//   BlitOpaqueMirrorY:  (x + c, y + height - 1 - r)   (draws bottom-up images upright)
//   BlitOpaqueMirrorXY: (x + width - 1 - c, y + height - 1 - r)
void BlitOpaque(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* pixels);
void BlitOpaqueMirrorX(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                       const uint8_t* pixels);
void BlitOpaqueMirrorY(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                       const uint8_t* pixels);
void BlitOpaqueMirrorXY(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                        const uint8_t* pixels);

// Choose by turn count: 0 as is, 1 left, 2 half turn (mirrored both ways),
// 3 right; any other count draws nothing. Width and height reach the turned
// routines as signed 16-bit values.
void DrawSpriteTurned(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                      const uint8_t* pixels, int32_t turns);
void DrawSolidTurned(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                     const uint8_t* pixels, int32_t colour, int32_t turns);
void BlitOpaqueTurned(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                      const uint8_t* pixels, int32_t turns);
