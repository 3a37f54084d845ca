// The two low-level surface operations the formats need: creating an
// offscreen plain surface of a memory kind, and locking a surface for its
// memory address with a bounded restore of lost surfaces.
//
// They sit here, below the display device, so that the surface sprites can
// build their surfaces without reaching up into display/. The caller hands in
// the DirectDraw object and the primary surface (the app passes
// displayDevice.directDraw and displayDevice.primary); the display device's
// own CreateOffscreenSurface and locks are thin calls of these.
#pragma once

#include <ddraw.h>

#include <cstdint>

// Memory kinds of offscreen surfaces.
enum : int32_t {
  MEMORY_ANY = 1,     // offscreen plain; the driver places it
  MEMORY_SYSTEM = 2,  // offscreen plain in system memory
};

// A lost surface that is still lost after this many restores is given up on
// for this call; the caller gets no address and may try again later.
constexpr int SURFACE_RESTORE_ATTEMPTS = 4;

// Creates an offscreen plain surface of width x height into *surface:
// DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH, DDSCAPS_OFFSCREENPLAIN, plus
// DDSCAPS_SYSTEMMEMORY for MEMORY_SYSTEM (any other kind gets the plain
// caps). Returns the DirectDraw result; DDERR_GENERIC without a DirectDraw
// object, DDERR_INVALIDPARAMS without an out pointer.
HRESULT CreatePlainSurface(LPDIRECTDRAW directDraw, LPDIRECTDRAWSURFACE* surface, int32_t width,
                           int32_t height, int32_t memoryKind);

// Locks the whole surface with DDLOCK_WAIT and returns the address of row 0,
// column 0, with the pitch in *pitch (may be null). While the lock answers
// DDERR_SURFACELOST, the primary (may be null) is restored, then the surface
// itself when `restoreSurface` is set, and the lock is tried again, at most
// SURFACE_RESTORE_ATTEMPTS times. Null when no address came back.
uint8_t* LockSurfaceMemory(LPDIRECTDRAWSURFACE surface, LPDIRECTDRAWSURFACE primary, int32_t* pitch,
                           bool restoreSurface);

// Ends a lock; 1 on success, 0 on failure or without a surface.
int UnlockSurfaceMemory(LPDIRECTDRAWSURFACE surface);
