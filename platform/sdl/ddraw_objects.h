// The display side of the platform layer: our DirectDraw objects (ddraw.cpp),
// the screen that shows the primary surface (screen.cpp) and GDI text on
// surfaces (gdi.cpp).
//
// Surfaces are plain memory, 8 bits per pixel, each row `pitch` bytes: the
// width rounded up to a multiple of 4, as display drivers align rows. Locks are
// counted but not enforced: the program fetches a surface's address with a
// lock, unlocks at once and keeps drawing there until the next present, with
// blits into the same surface in between, so the memory behind a surface never
// moves while the surface exists (a flip swaps the two buffers of the chain,
// both stay alive).
#pragma once

#include <ddraw.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "internal.h"

namespace vt {

class DirectDrawObject;

class PaletteObject final : public IDirectDrawPalette {
 public:
  explicit PaletteObject(const PALETTEENTRY* colors);
  ~PaletteObject();
  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetEntries(DWORD flags, DWORD base, DWORD count, LPPALETTEENTRY entries) override;
  HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, LPPALETTEENTRY entries) override;

  std::array<PALETTEENTRY, 256> colors;

 private:
  ULONG refCount = 1;
};

struct DeviceContext;

class SurfaceObject final : public IDirectDrawSurface {
 public:
  SurfaceObject(DirectDrawObject* owner, int width, int height, DWORD caps,
                std::unique_ptr<uint8_t[]> memory);
  ~SurfaceObject();
  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags,
              LPDDBLTFX effects) override;
  HRESULT BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD trans) override;
  HRESULT Flip(LPDIRECTDRAWSURFACE targetOverride, DWORD flags) override;
  HRESULT GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* attached) override;
  HRESULT GetDC(HDC* dc) override;
  HRESULT GetPalette(LPDIRECTDRAWPALETTE* palette) override;
  HRESULT GetSurfaceDesc(LPDDSURFACEDESC desc) override;
  HRESULT IsLost() override;
  HRESULT Lock(LPRECT destRect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) override;
  HRESULT ReleaseDC(HDC dc) override;
  HRESULT Restore() override;
  HRESULT SetColorKey(DWORD flags, LPDDCOLORKEY colorKey) override;
  HRESULT SetPalette(LPDIRECTDRAWPALETTE palette) override;
  HRESULT Unlock(LPVOID surfaceData) override;

  bool IsPrimary() const { return (caps & DDSCAPS_PRIMARYSURFACE) != 0; }
  // Contents gone, every operation answers DDERR_SURFACELOST until Restore; a
  // flip chain is lost as a whole.
  void MakeLost();
  // Its DirectDraw object is gone: the memory stays until the last Release,
  // every operation answers DDERR_SURFACELOST.
  void Orphan() { owner = nullptr; }
  uint8_t* Pixels() { return memory.get(); }
  const uint8_t* Pixels() const { return memory.get(); }

  const int width;
  const int height;
  const int pitch;
  const DWORD caps;
  DirectDrawObject* owner;
  bool lost = false;
  int lockCount = 0;
  bool hasSourceKey = false;
  uint8_t sourceKeyLow = 0;
  uint8_t sourceKeyHigh = 0;
  PaletteObject* palette = nullptr;      // own reference
  SurfaceObject* backBuffer = nullptr;   // the primary's attached back buffer, own reference
  SurfaceObject* frontBuffer = nullptr;  // the back buffer's primary, no reference
  DeviceContext* dc = nullptr;

 private:
  HRESULT Usable() const;

  std::unique_ptr<uint8_t[]> memory;
  ULONG refCount = 1;
};

class DirectDrawObject final : public IDirectDraw {
 public:
  DirectDrawObject();
  ~DirectDrawObject();
  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT CreatePalette(DWORD flags, LPPALETTEENTRY colorTable, LPDIRECTDRAWPALETTE* palette,
                        IUnknown* outer) override;
  HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface, IUnknown* outer) override;
  HRESULT RestoreDisplayMode() override;
  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
  HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) override;
  HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) override;

  // Forget this object's surfaces and the screen (platform reset).
  void Orphan();

  std::vector<SurfaceObject*> surfaces;  // no references
  bool orphaned = false;

 private:
  HRESULT CreatePrimary(const DDSURFACEDESC& desc, SurfaceObject** surface);
  HRESULT CreateOffscreen(const DDSURFACEDESC& desc, SurfaceObject** surface);

  ULONG refCount = 1;
  HWND window = nullptr;
  DWORD level = 0;
  int modeWidth = 0;
  int modeHeight = 0;
};

// Largest display mode and surface side we accept.
inline constexpr int DISPLAY_MODE_MAX = 4096;
inline constexpr int SURFACE_SIDE_MAX = 8192;

// Row length in bytes of a surface `width` pixels wide.
inline int SurfacePitch(int width) { return (width + 3) & ~3; }

// Every DirectDraw object alive, for the platform reset.
void OrphanAllDirectDrawObjects();

// ---- screen.cpp

// The DirectDraw object in exclusive mode owns the screen; its window goes
// full screen (at the desktop's own resolution: the picture is scaled).
bool ScreenTakeOwner(DirectDrawObject* owner, HWND window);
void ScreenReleaseOwner(DirectDrawObject* owner);
DirectDrawObject* ScreenOwner();
void ScreenSetFullScreen(bool fullScreen);
void ScreenSetMode(int width, int height);
// The window the screen shows in (null: none), its client size in pixels.
bool ScreenWindowSize(int* width, int* height);

void ScreenSetPrimary(SurfaceObject* primary);
SurfaceObject* ScreenPrimary();
// The primary or its palette changed outside a present.
void ScreenMarkDirty();
// Show the primary now; `flip` waits for the vertical retrace.
void ScreenPresent(bool flip);
void ScreenWaitForVerticalBlank();

// Test controls kept with the screen.
bool TakeSurfaceCreationFailure();

// Where a picture with the 4:3 shape of the screens it was made for lands in
// an output of the given size: as large as fits, centred; the rest is black.
struct ScreenRect {
  int x;
  int y;
  int width;
  int height;
};
ScreenRect ScreenDestination(int outputWidth, int outputHeight);
// Palette indices to 0xAARRGGBB pixels.
void ConvertToRgb(const uint8_t* pixels, int pitch, int width, int height, const PALETTEENTRY* palette,
                  uint32_t* out, int outPitchPixels);
// The colours shown where the primary has no palette: a grey ramp.
const std::array<PALETTEENTRY, 256>& DefaultPalette();

// ---- gdi.cpp

DeviceContext* CreateDeviceContext(SurfaceObject* surface);
void DestroyDeviceContext(DeviceContext* dc);
HDC DeviceContextHandle(DeviceContext* dc);
// The palette entry nearest to a colour: smallest squared RGB distance, the
// lowest index on ties.
int NearestPaletteIndex(const PALETTEENTRY* palette, COLORREF color);

}  // namespace vt
