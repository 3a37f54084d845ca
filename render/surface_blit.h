// Blits of images kept in offscreen DirectDraw surfaces (surface sprites)
// onto a destination surface, done by DirectDraw itself.
#pragma once

#include <ddraw.h>

#include <cstdint>

#include "formats/surface_sprite.h"

// Copies the sprite's surface with its top-left pixel at (x, y), clipped to
// the draw target's clip rectangle. Nothing visible, or a sprite without a
// size or a surface, blits nothing. The platform's result is not looked at.
void BltFrameSurface(int32_t x, int32_t y, LPDIRECTDRAWSURFACE destination, const SurfaceSprite& sprite);

// The same, keeping the sprite surface's source colour key (index 0)
// transparent.
void BltFrameSurfaceKeyed(int32_t x, int32_t y, LPDIRECTDRAWSURFACE destination, const SurfaceSprite& sprite);

// The whole sprite surface to (x, y) with its source colour key, no
// clipping; returns the platform's result (DDERR_INVALIDPARAMS without a
// destination).
HRESULT BltFastFrameSurface(int32_t x, int32_t y, LPDIRECTDRAWSURFACE destination,
                            const SurfaceSprite& sprite);
