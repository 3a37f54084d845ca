// Drawing sprite frames at any size: DrawSpriteZoom centres a frame on a
// point, scales it to zoomWidth x zoomHeight and draws it with the draw flags
// and effects of DrawSprite. FillBoxBlend tints a rectangle through the alpha
// table.
#pragma once

#include <cstdint>

#include "formats/sprite.h"
#include "render/drawtarget.h"
#include "render/effects.h"

// Draws `frame` scaled to zoomWidth x zoomHeight, its centre on
// (centreX, centreY). Only flags & 15 count (DRAW_*); `colour` (low byte) is
// used with DRAW_SOLID, `alphaLevel` (0..6) with DRAW_BLEND.
void DrawSpriteZoom(int32_t centreX, int32_t centreY, uint8_t* surface, const SpriteFrame* frame,
                    int32_t zoomWidth, int32_t zoomHeight, int32_t flags, int32_t colour, int32_t alphaLevel);

// Blends `colour` (low byte) over every pixel of the box at (x, y), clipped to
// the draw target; a level outside 0..6 or an empty box draws nothing.
void FillBoxBlend(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, int32_t colour,
                  int32_t alphaLevel);
