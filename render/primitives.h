// Plain drawing on the locked 8-bit work surface: fills, lines, boxes, a
// whole-area clear, single pixels and a rectangle grab. Corners are
// inclusive; of `colour` the low 8 bits are stored. Pixel (x, y) is at
// surface + y * pitch + x with the draw target's pitch.
#pragma once

#include <cstdint>

// Fills the rectangle, its bounds first clamped to the clip rectangle; an
// empty result draws nothing.
void FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t* surface, int32_t colour);

// Columns x .. x + length - 1 of row y, clipped.
void DrawHLine(int32_t x, int32_t y, int32_t length, uint8_t* surface, int32_t colour);

// Rows y .. y + length - 1 of column x, clipped.
void DrawVLine(int32_t x, int32_t y, int32_t length, uint8_t* surface, int32_t colour);

// The outline of a rectangle. Bounds are clamped to the clip rectangle as in
// FillRect, and a side that had to be moved is not drawn at all: the box
// reads as running on past the clip edge. The remaining edges span the
// clamped range.
void DrawBox(int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t* surface, int32_t colour);

// The outline with no clipping at all; the caller keeps it on the surface.
void DrawBoxUnclipped(int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t* surface,
                      int32_t colour);

// Every row of the work area (screenWidth x screenHeight), no clipping.
void ClearScreen(uint8_t* surface, int32_t colour);

// One pixel, no clipping.
void PutPixel(int32_t x, int32_t y, uint8_t* surface, int32_t colour);

// Copies `height` rows of `width` bytes from (x, y) of the surface into
// `buffer`, rows back to back. No clipping; sizes of 0 or less copy nothing.
void GrabRect(int32_t x, int32_t y, int32_t width, int32_t height, const uint8_t* surface, uint8_t* buffer);
