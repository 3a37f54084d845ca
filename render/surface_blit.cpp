#include "render/surface_blit.h"

#include <windows.h>

#include "render/block_clip.h"

namespace {

void BltClipped(int32_t x, int32_t y, LPDIRECTDRAWSURFACE destination, const SurfaceSprite& sprite,
                DWORD flags) {
  if (destination == nullptr || sprite.surface == nullptr) return;
  BlockOverflow overflow;
  if (!ClipBlock(x, y, sprite.width, sprite.height, overflow)) return;
  const int64_t right = int64_t{x} + sprite.width, bottom = int64_t{y} + sprite.height;
  RECT destRect;
  if (overflow.None()) {
    SetRect(&destRect, x, y, static_cast<int>(right), static_cast<int>(bottom));
    destination->Blt(&destRect, sprite.surface, nullptr, flags, nullptr);
    return;
  }
  // Both rectangles are inside the clip rectangle or the sprite, so they fit
  // in an int whatever the position was.
  SetRect(&destRect, static_cast<int>(x + overflow.left), static_cast<int>(y + overflow.top),
          static_cast<int>(right - overflow.right), static_cast<int>(bottom - overflow.bottom));
  RECT sourceRect;
  SetRect(&sourceRect, static_cast<int>(overflow.left), static_cast<int>(overflow.top),
          static_cast<int>(sprite.width - overflow.right), static_cast<int>(sprite.height - overflow.bottom));
  destination->Blt(&destRect, sprite.surface, &sourceRect, flags, nullptr);
}

}  // namespace

void BltFrameSurface(int32_t x, int32_t y, LPDIRECTDRAWSURFACE destination, const SurfaceSprite& sprite) {
  BltClipped(x, y, destination, sprite, DDBLT_WAIT);
}

void BltFrameSurfaceKeyed(int32_t x, int32_t y, LPDIRECTDRAWSURFACE destination,
                          const SurfaceSprite& sprite) {
  BltClipped(x, y, destination, sprite, DDBLT_WAIT | DDBLT_KEYSRC);
}

HRESULT BltFastFrameSurface(int32_t x, int32_t y, LPDIRECTDRAWSURFACE destination,
                            const SurfaceSprite& sprite) {
  if (destination == nullptr) return DDERR_INVALIDPARAMS;
  return destination->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), sprite.surface, nullptr,
                              DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
}
