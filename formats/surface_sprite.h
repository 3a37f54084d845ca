// Surface sprites: images kept in offscreen DirectDraw surfaces, for
// hardware blits, each with the colour key 0..0 so that index 0 stays
// transparent in keyed blits.
//
// formats/ sits below the display device, so these builders do not reach for
// it: the caller hands in the DirectDraw object that creates the surfaces and
// the primary surface that is restored when a lock finds a surface lost (the
// app passes displayDevice.directDraw and displayDevice.primary; the primary
// may be null).
#pragma once

#include <ddraw.h>

#include <cstddef>
#include <cstdint>

#include "formats/sprite.h"
#include "formats/surface.h"

struct SurfaceSprite {
  int32_t frameCount;
  int32_t compressed;  // left as it was by the builders
  int32_t offsetX;
  int32_t offsetY;
  int32_t width;
  int32_t height;
  int32_t centerX;
  int32_t centerY;
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
  int32_t pitch;  // the surface's row pitch when the pixels were copied in
  int32_t dataSize;
  LPDIRECTDRAWSURFACE surface;  // owned; released by ReleaseSurfaceSprites
};

// Builds sprites[0 .. frameCount - 1] from a raw sprite file on the disk
// (never from a pack), one offscreen surface of `memoryKind` per frame, each
// frame's rows copied in at the surface's pitch. Returns 1, or:
//   0 (SPRITE_NOT_LOADED): memory kind other than MEMORY_ANY / MEMORY_SYSTEM
//     (the file is not opened), no file, wrong magic, or a surface that could
//     not be made or locked;
//   SPRITE_DAMAGED: a run-length file, a record with impossible sizes, or
//     data cut short;
//   SPRITE_TOO_MANY_FRAMES: more frames than `capacity`;
//   SPRITE_NO_MEMORY.
// A frame's dataSize may exceed width x height; the surplus is passed over.
// On any failure the surfaces this call made are released and the array is
// as it was before the call.
int LoadSpriteSurfaces(LPDIRECTDRAW directDraw, LPDIRECTDRAWSURFACE primary, const char* fileName,
                       SurfaceSprite* sprites, int32_t capacity, int32_t memoryKind);

// Builds one sprite from `height` rows of `width` bytes (rows `width` bytes
// apart, copied in their stored order): frameCount 1, centre width / 2 and
// height / 2, box 0, 0 to width - 1, height - 1, dataSize width x height.
// Returns 1, or 0 with `sprite` untouched (bad kind, sizes outside
// 1..SPRITE_SIDE_MAX, no pixels, or no surface).
int MakeSurfaceSprite(LPDIRECTDRAW directDraw, LPDIRECTDRAWSURFACE primary, const uint8_t* pixels,
                      int32_t width, int32_t height, SurfaceSprite* sprite, int32_t memoryKind);

// Releases the surfaces of sprites i for i below element 0's frameCount and
// below `capacity`, clearing the pointers. Harmless when called twice.
void ReleaseSurfaceSprites(SurfaceSprite* sprites, int32_t capacity);

// The same for an array whose type gives its capacity.
template <size_t N>
void ReleaseSurfaceSprites(SurfaceSprite (&sprites)[N]) {
  ReleaseSurfaceSprites(sprites, static_cast<int32_t>(N));
}
