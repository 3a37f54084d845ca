#include "formats/surface.h"

#include <cstring>

HRESULT CreatePlainSurface(LPDIRECTDRAW directDraw, LPDIRECTDRAWSURFACE* surface, int32_t width,
                           int32_t height, int32_t memoryKind) {
  if (surface == nullptr) return DDERR_INVALIDPARAMS;
  if (directDraw == nullptr) return DDERR_GENERIC;
  DDSURFACEDESC desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  // Negative sizes become huge unsigned ones, which creation refuses.
  desc.dwHeight = static_cast<DWORD>(height);
  desc.dwWidth = static_cast<DWORD>(width);
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  if (memoryKind == MEMORY_SYSTEM) desc.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
  return directDraw->CreateSurface(&desc, surface, nullptr);
}

uint8_t* LockSurfaceMemory(LPDIRECTDRAWSURFACE surface, LPDIRECTDRAWSURFACE primary, int32_t* pitch,
                           bool restoreSurface) {
  if (surface == nullptr) return nullptr;
  DDSURFACEDESC desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  HRESULT result = surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
  for (int attempt = 0; result == DDERR_SURFACELOST && attempt < SURFACE_RESTORE_ATTEMPTS; ++attempt) {
    if (primary != nullptr) primary->Restore();
    if (restoreSurface) surface->Restore();
    result = surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
  }
  if (result != DD_OK) return nullptr;
  if (desc.lpSurface == nullptr) {
    // Locked, but nothing to draw into: end the lock so none is left behind.
    surface->Unlock(nullptr);
    return nullptr;
  }
  if (pitch != nullptr) *pitch = desc.lPitch;
  return static_cast<uint8_t*>(desc.lpSurface);
}

int UnlockSurfaceMemory(LPDIRECTDRAWSURFACE surface) {
  if (surface == nullptr) return 0;
  return surface->Unlock(nullptr) == DD_OK ? 1 : 0;
}
