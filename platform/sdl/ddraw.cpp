// DirectDraw on plain memory: the DirectDraw object, surfaces and palettes.
// What the user sees is the screen's business (screen.cpp).
//
// Lifetimes: every object is reference-counted. A flip chain's primary holds
// a reference on its back buffer, so releasing the primary frees the back
// buffer too once the program has released its own reference. Releasing the
// DirectDraw object while surfaces are still held leaves them orphaned: their
// memory stays until their last Release, and every operation on them answers
// DDERR_SURFACELOST. The platform reset orphans everything the same way.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>

#include "ddraw_objects.h"

namespace vt {

namespace {

// Held through pointers that are never freed, so objects the program still
// holds at exit stay reachable rather than look leaked.
std::vector<DirectDrawObject*>& liveDirectDraws = *new std::vector<DirectDrawObject*>();

bool RectInside(const RECT& r, int width, int height) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= width &&
         r.bottom <= height;
}

RECT WholeRect(const SurfaceObject& surface) { return {0, 0, surface.width, surface.height}; }

void FillDescription(const SurfaceObject& surface, DDSURFACEDESC& desc) {
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
  desc.dwWidth = static_cast<DWORD>(surface.width);
  desc.dwHeight = static_cast<DWORD>(surface.height);
  desc.lPitch = surface.pitch;
  desc.ddpfPixelFormat.dwSize = sizeof desc.ddpfPixelFormat;
  desc.ddpfPixelFormat.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
  desc.ddpfPixelFormat.dwRGBBitCount = 8;
  desc.ddsCaps.dwCaps = surface.caps;
  if (surface.backBuffer != nullptr) {
    desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
  }
  if (surface.hasSourceKey) {
    desc.dwFlags |= DDSD_CKSRCBLT;
    desc.ddckCKSrcBlt.dwColorSpaceLowValue = surface.sourceKeyLow;
    desc.ddckCKSrcBlt.dwColorSpaceHighValue = surface.sourceKeyHigh;
  }
}

struct BlitKey {
  bool on = false;
  uint8_t low = 0;
  uint8_t high = 0;
};

// Copies source rectangle `s` (rows of `sourcePitch` bytes from `source`) into
// rectangle `d` of `dest`, nearest-neighbour when the sizes differ. Both
// rectangles have been checked against their surfaces.
void CopyPixels(SurfaceObject& dest, const RECT& d, const uint8_t* source, int sourcePitch, const RECT& s,
                const BlitKey& key) {
  const int destWidth = d.right - d.left;
  const int destHeight = d.bottom - d.top;
  const int sourceWidth = s.right - s.left;
  const int sourceHeight = s.bottom - s.top;
  const bool stretched = destWidth != sourceWidth || destHeight != sourceHeight;
  std::vector<int> columns;
  if (stretched) {
    columns.resize(static_cast<size_t>(destWidth));
    for (int x = 0; x < destWidth; ++x) {
      columns[static_cast<size_t>(x)] =
          s.left + static_cast<int>(static_cast<int64_t>(x) * sourceWidth / destWidth);
    }
  }
  for (int y = 0; y < destHeight; ++y) {
    int sourceY = s.top + static_cast<int>(static_cast<int64_t>(y) * sourceHeight / destHeight);
    const uint8_t* from = source + static_cast<ptrdiff_t>(sourceY) * sourcePitch;
    uint8_t* to = dest.Pixels() + static_cast<ptrdiff_t>(d.top + y) * dest.pitch + d.left;
    if (!stretched && !key.on) {
      std::memmove(to, from + s.left, static_cast<size_t>(destWidth));
      continue;
    }
    for (int x = 0; x < destWidth; ++x) {
      uint8_t pixel = stretched ? from[columns[static_cast<size_t>(x)]] : from[s.left + x];
      if (key.on && pixel >= key.low && pixel <= key.high) continue;
      to[x] = pixel;
    }
  }
}

// A blit from `source` into `dest`. Overlapping blits within one surface go
// through a copy of the source rectangle, so rows are never read after they
// were written.
void BlitSurfaces(SurfaceObject& dest, const RECT& d, SurfaceObject& source, const RECT& s,
                  const BlitKey& key) {
  bool overlapping =
      &dest == &source && d.left < s.right && s.left < d.right && d.top < s.bottom && s.top < d.bottom;
  if (!overlapping) {
    CopyPixels(dest, d, source.Pixels(), source.pitch, s, key);
    return;
  }
  const int width = s.right - s.left;
  const int height = s.bottom - s.top;
  std::vector<uint8_t> copy(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    std::memcpy(copy.data() + static_cast<size_t>(y) * static_cast<size_t>(width),
                source.Pixels() + static_cast<ptrdiff_t>(s.top + y) * source.pitch + s.left,
                static_cast<size_t>(width));
  }
  CopyPixels(dest, d, copy.data(), width, RECT{0, 0, width, height}, key);
}

BlitKey SourceKey(const SurfaceObject& source) { return {true, source.sourceKeyLow, source.sourceKeyHigh}; }

std::unique_ptr<uint8_t[]> AllocatePixels(int width, int height) {
  size_t size = static_cast<size_t>(SurfacePitch(width)) * static_cast<size_t>(height);
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size]());
}

}  // namespace

// ---------------------------------------------------------------- palette

namespace {
std::vector<PaletteObject*>& livePalettes = *new std::vector<PaletteObject*>();
}

PaletteObject::PaletteObject(const PALETTEENTRY* entries) {
  std::copy(entries, entries + colors.size(), colors.begin());
  livePalettes.push_back(this);
}

PaletteObject::~PaletteObject() { std::erase(livePalettes, this); }

HRESULT PaletteObject::QueryInterface(REFIID, void** object) {
  if (object != nullptr) *object = nullptr;
  return E_NOINTERFACE;
}

ULONG PaletteObject::AddRef() { return ++refCount; }

ULONG PaletteObject::Release() {
  ULONG count = --refCount;
  if (count == 0) delete this;
  return count;
}

HRESULT PaletteObject::GetEntries(DWORD, DWORD base, DWORD count, LPPALETTEENTRY entries) {
  if (entries == nullptr || base >= colors.size() || count > colors.size() - base) return DDERR_INVALIDPARAMS;
  std::copy(colors.begin() + base, colors.begin() + base + count, entries);
  return DD_OK;
}

HRESULT PaletteObject::SetEntries(DWORD, DWORD start, DWORD count, LPPALETTEENTRY entries) {
  if (entries == nullptr || start >= colors.size() || count > colors.size() - start)
    return DDERR_INVALIDPARAMS;
  std::copy(entries, entries + count, colors.begin() + start);
  SurfaceObject* primary = ScreenPrimary();
  if (primary != nullptr && primary->palette == this) ScreenMarkDirty();
  return DD_OK;
}

// ---------------------------------------------------------------- surface

SurfaceObject::SurfaceObject(DirectDrawObject* owner, int width, int height, DWORD caps,
                             std::unique_ptr<uint8_t[]> memory)
    : width(width),
      height(height),
      pitch(SurfacePitch(width)),
      caps(caps),
      owner(owner),
      memory(std::move(memory)) {
  owner->surfaces.push_back(this);
}

SurfaceObject::~SurfaceObject() {
  if (dc != nullptr) DestroyDeviceContext(dc);
  if (ScreenPrimary() == this) ScreenSetPrimary(nullptr);
  if (owner != nullptr) std::erase(owner->surfaces, this);
  if (palette != nullptr) palette->Release();
  if (backBuffer != nullptr) {
    backBuffer->frontBuffer = nullptr;
    backBuffer->Release();
  }
}

HRESULT SurfaceObject::QueryInterface(REFIID, void** object) {
  if (object != nullptr) *object = nullptr;
  return E_NOINTERFACE;
}

ULONG SurfaceObject::AddRef() { return ++refCount; }

ULONG SurfaceObject::Release() {
  ULONG count = --refCount;
  if (count == 0) delete this;
  return count;
}

HRESULT SurfaceObject::Usable() const { return owner == nullptr || lost ? DDERR_SURFACELOST : DD_OK; }

void SurfaceObject::MakeLost() {
  SurfaceObject* chain[2] = {frontBuffer != nullptr ? frontBuffer : this, nullptr};
  chain[1] = chain[0]->backBuffer;
  for (SurfaceObject* surface : chain) {
    if (surface == nullptr) continue;
    surface->lost = true;
    surface->lockCount = 0;
    std::memset(surface->Pixels(), 0,
                static_cast<size_t>(surface->pitch) * static_cast<size_t>(surface->height));
  }
}

HRESULT SurfaceObject::Restore() {
  if (owner == nullptr) return DDERR_GENERIC;
  SurfaceObject* chain[2] = {this, backBuffer};
  for (SurfaceObject* surface : chain) {
    if (surface == nullptr || !surface->lost) continue;
    std::memset(surface->Pixels(), 0,
                static_cast<size_t>(surface->pitch) * static_cast<size_t>(surface->height));
    surface->lost = false;
  }
  if (IsPrimary()) ScreenMarkDirty();
  return DD_OK;
}

HRESULT SurfaceObject::IsLost() { return Usable(); }

HRESULT SurfaceObject::Lock(LPRECT destRect, LPDDSURFACEDESC desc, DWORD, HANDLE) {
  if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  if (HRESULT usable = Usable(); usable != DD_OK) return usable;
  RECT area = destRect != nullptr ? *destRect : WholeRect(*this);
  if (!RectInside(area, width, height)) return DDERR_INVALIDRECT;
  FillDescription(*this, *desc);
  desc->dwFlags |= DDSD_LPSURFACE;
  desc->lpSurface = Pixels() + static_cast<ptrdiff_t>(area.top) * pitch + area.left;
  ++lockCount;
  // Whatever is drawn into the primary through this address is shown when
  // messages are pumped next, unless a present comes first.
  if (IsPrimary()) ScreenMarkDirty();
  return DD_OK;
}

HRESULT SurfaceObject::Unlock(LPVOID) {
  if (HRESULT usable = Usable(); usable != DD_OK) return usable;
  if (lockCount == 0) return DDERR_NOTLOCKED;
  --lockCount;
  if (IsPrimary()) ScreenMarkDirty();
  return DD_OK;
}

HRESULT SurfaceObject::GetSurfaceDesc(LPDDSURFACEDESC desc) {
  if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  if (owner == nullptr) return DDERR_SURFACELOST;
  FillDescription(*this, *desc);
  return DD_OK;
}

HRESULT SurfaceObject::GetAttachedSurface(LPDDSCAPS requested, LPDIRECTDRAWSURFACE* attached) {
  if (requested == nullptr || attached == nullptr) return DDERR_INVALIDPARAMS;
  *attached = nullptr;
  if (owner == nullptr) return DDERR_SURFACELOST;
  if (backBuffer == nullptr || (requested->dwCaps & ~(DDSCAPS_BACKBUFFER | DDSCAPS_FLIP)) != 0 ||
      requested->dwCaps == 0) {
    return DDERR_NOTFOUND;
  }
  backBuffer->AddRef();
  *attached = backBuffer;
  return DD_OK;
}

HRESULT SurfaceObject::SetColorKey(DWORD flags, LPDDCOLORKEY colorKey) {
  if (HRESULT usable = Usable(); usable != DD_OK) return usable;
  if ((flags & DDCKEY_SRCBLT) == 0) return DDERR_UNSUPPORTED;  // destination keys are not used
  if (colorKey == nullptr) {
    hasSourceKey = false;
    return DD_OK;
  }
  hasSourceKey = true;
  sourceKeyLow = static_cast<uint8_t>(colorKey->dwColorSpaceLowValue);
  // Without DDCKEY_COLORSPACE the key is the one low value.
  DWORD high =
      (flags & DDCKEY_COLORSPACE) != 0 ? colorKey->dwColorSpaceHighValue : colorKey->dwColorSpaceLowValue;
  sourceKeyHigh = static_cast<uint8_t>(std::max<DWORD>(std::min<DWORD>(high, 255), sourceKeyLow));
  return DD_OK;
}

HRESULT SurfaceObject::SetPalette(LPDIRECTDRAWPALETTE newPalette) {
  if (HRESULT usable = Usable(); usable != DD_OK) return usable;
  auto* object = static_cast<PaletteObject*>(newPalette);
  if (object != nullptr) object->AddRef();
  if (palette != nullptr) palette->Release();
  palette = object;
  if (IsPrimary()) ScreenMarkDirty();
  return DD_OK;
}

HRESULT SurfaceObject::GetPalette(LPDIRECTDRAWPALETTE* result) {
  if (result == nullptr) return DDERR_INVALIDPARAMS;
  *result = nullptr;
  if (HRESULT usable = Usable(); usable != DD_OK) return usable;
  if (palette == nullptr) return DDERR_NOPALETTEATTACHED;
  palette->AddRef();
  *result = palette;
  return DD_OK;
}

HRESULT SurfaceObject::Flip(LPDIRECTDRAWSURFACE targetOverride, DWORD) {
  if (owner == nullptr) return DDERR_SURFACELOST;
  if (!IsPrimary() || backBuffer == nullptr) return DDERR_NOTFLIPPABLE;
  if (targetOverride != nullptr && targetOverride != backBuffer) return DDERR_INVALIDPARAMS;
  if (lost || backBuffer->lost) return DDERR_SURFACELOST;
  // As on the real platform the buffers trade places: the back buffer now
  // holds the picture that was on screen.
  std::swap(memory, backBuffer->memory);
  ScreenPresent(true);
  return DD_OK;
}

HRESULT SurfaceObject::Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags,
                           LPDDBLTFX effects) {
  if (HRESULT usable = Usable(); usable != DD_OK) return usable;
  RECT d = destRect != nullptr ? *destRect : WholeRect(*this);
  if ((flags & DDBLT_COLORFILL) != 0) {
    if (effects == nullptr) return DDERR_INVALIDPARAMS;
    if (!RectInside(d, width, height)) return DDERR_INVALIDRECT;
    uint8_t color = static_cast<uint8_t>(effects->dwFillColor);
    for (LONG y = d.top; y < d.bottom; ++y) {
      std::memset(Pixels() + static_cast<ptrdiff_t>(y) * pitch + d.left, color,
                  static_cast<size_t>(d.right - d.left));
    }
  } else {
    auto* from = static_cast<SurfaceObject*>(source);
    if (from == nullptr) return DDERR_INVALIDPARAMS;
    if (HRESULT usable = from->Usable(); usable != DD_OK) return usable;
    RECT s = sourceRect != nullptr ? *sourceRect : WholeRect(*from);
    if (!RectInside(d, width, height) || !RectInside(s, from->width, from->height)) return DDERR_INVALIDRECT;
    BlitKey key;
    if ((flags & DDBLT_KEYSRCOVERRIDE) != 0) {
      if (effects == nullptr) return DDERR_INVALIDPARAMS;
      DWORD low = effects->ddckSrcColorkey.dwColorSpaceLowValue;
      DWORD high = effects->ddckSrcColorkey.dwColorSpaceHighValue;
      key = {true, static_cast<uint8_t>(std::min<DWORD>(low, 255)),
             static_cast<uint8_t>(std::min<DWORD>(high, 255))};
    } else if ((flags & DDBLT_KEYSRC) != 0) {
      if (!from->hasSourceKey) return DDERR_NOCOLORKEY;
      key = SourceKey(*from);
    }
    BlitSurfaces(*this, d, *from, s, key);
  }
  // A copy onto the primary is the program's way of showing a frame without
  // waiting for the retrace.
  if (IsPrimary()) ScreenPresent(false);
  return DD_OK;
}

HRESULT SurfaceObject::BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD trans) {
  if (HRESULT usable = Usable(); usable != DD_OK) return usable;
  auto* from = static_cast<SurfaceObject*>(source);
  if (from == nullptr) return DDERR_INVALIDPARAMS;
  if (HRESULT usable = from->Usable(); usable != DD_OK) return usable;
  if ((trans & DDBLTFAST_DESTCOLORKEY) != 0) return DDERR_UNSUPPORTED;
  RECT s = sourceRect != nullptr ? *sourceRect : WholeRect(*from);
  if (!RectInside(s, from->width, from->height)) return DDERR_INVALIDRECT;
  // No clipping here: a rectangle reaching outside the destination is refused
  // whole, as the platform does.
  int64_t right = static_cast<int64_t>(x) + (s.right - s.left);
  int64_t bottom = static_cast<int64_t>(y) + (s.bottom - s.top);
  if (right > width || bottom > height) return DDERR_INVALIDRECT;
  RECT d = {static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(right), static_cast<LONG>(bottom)};
  BlitKey key;
  if ((trans & DDBLTFAST_SRCCOLORKEY) != 0) {
    if (!from->hasSourceKey) return DDERR_NOCOLORKEY;
    key = SourceKey(*from);
  }
  BlitSurfaces(*this, d, *from, s, key);
  if (IsPrimary()) ScreenPresent(false);
  return DD_OK;
}

HRESULT SurfaceObject::GetDC(HDC* result) {
  if (result == nullptr) return DDERR_INVALIDPARAMS;
  *result = nullptr;
  if (HRESULT usable = Usable(); usable != DD_OK) return usable;
  if (dc != nullptr) return DDERR_DCALREADYCREATED;
  dc = CreateDeviceContext(this);
  if (dc == nullptr) return DDERR_CANTCREATEDC;
  *result = DeviceContextHandle(dc);
  return DD_OK;
}

HRESULT SurfaceObject::ReleaseDC(HDC handle) {
  if (dc == nullptr) return DDERR_NODC;
  if (handle != DeviceContextHandle(dc)) return DDERR_INVALIDPARAMS;
  DestroyDeviceContext(dc);
  dc = nullptr;
  if (IsPrimary()) ScreenMarkDirty();
  return DD_OK;
}

// ---------------------------------------------------------------- DirectDraw

DirectDrawObject::DirectDrawObject() { liveDirectDraws.push_back(this); }

DirectDrawObject::~DirectDrawObject() {
  Orphan();
  std::erase(liveDirectDraws, this);
}

void DirectDrawObject::Orphan() {
  if (ScreenOwner() == this) ScreenReleaseOwner(this);
  for (SurfaceObject* surface : surfaces) {
    if (ScreenPrimary() == surface) ScreenSetPrimary(nullptr);
    surface->Orphan();
  }
  surfaces.clear();
  orphaned = true;
}

HRESULT DirectDrawObject::QueryInterface(REFIID, void** object) {
  if (object != nullptr) *object = nullptr;
  return E_NOINTERFACE;
}

ULONG DirectDrawObject::AddRef() { return ++refCount; }

ULONG DirectDrawObject::Release() {
  ULONG count = --refCount;
  if (count == 0) delete this;
  return count;
}

HRESULT DirectDrawObject::SetCooperativeLevel(HWND newWindow, DWORD flags) {
  if (orphaned) return DDERR_GENERIC;
  const bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
  const bool fullScreen = (flags & DDSCL_FULLSCREEN) != 0;
  const bool normal = (flags & DDSCL_NORMAL) != 0;
  if (exclusive == normal || exclusive != fullScreen) return DDERR_INVALIDPARAMS;
  if (newWindow != nullptr && SdlWindow(newWindow) == nullptr) return DDERR_INVALIDPARAMS;
  if (exclusive) {
    // A window is optional here so that headless tests can run without one.
    if (!ScreenTakeOwner(this, newWindow)) return DDERR_EXCLUSIVEMODEALREADYSET;
  } else if (ScreenOwner() == this) {
    ScreenReleaseOwner(this);
  }
  window = newWindow;
  level = flags;
  return DD_OK;
}

HRESULT DirectDrawObject::SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) {
  if (orphaned) return DDERR_GENERIC;
  if (level == 0) return DDERR_NOCOOPERATIVELEVELSET;
  if ((level & DDSCL_EXCLUSIVE) == 0 || ScreenOwner() != this) return DDERR_NOEXCLUSIVEMODE;
  if (bitsPerPixel != 8) return DDERR_UNSUPPORTEDMODE;
  // Zero is what an unknown video mode turns into; refuse it rather than make
  // a screen with no pixels.
  if (width == 0 || height == 0 || width > DISPLAY_MODE_MAX || height > DISPLAY_MODE_MAX)
    return DDERR_INVALIDMODE;
  // The primary is as large as the mode; switching under a live primary
  // would leave the program drawing with the old geometry.
  SurfaceObject* primary = ScreenPrimary();
  if (primary != nullptr &&
      (primary->width != static_cast<int>(width) || primary->height != static_cast<int>(height))) {
    return DDERR_PRIMARYSURFACEALREADYEXISTS;
  }
  modeWidth = static_cast<int>(width);
  modeHeight = static_cast<int>(height);
  ScreenSetMode(modeWidth, modeHeight);
  ScreenSetFullScreen(true);
  return DD_OK;
}

HRESULT DirectDrawObject::RestoreDisplayMode() {
  if (orphaned) return DDERR_GENERIC;
  // The desktop's mode was never changed: leaving full screen is all.
  if (ScreenOwner() == this) ScreenSetFullScreen(false);
  return DD_OK;
}

HRESULT DirectDrawObject::WaitForVerticalBlank(DWORD flags, HANDLE) {
  if (orphaned) return DDERR_GENERIC;
  if ((flags & DDWAITVB_BLOCKBEGINEVENT) != 0) return DDERR_UNSUPPORTED;
  ScreenWaitForVerticalBlank();
  return DD_OK;
}

HRESULT DirectDrawObject::CreatePalette(DWORD flags, LPPALETTEENTRY colorTable, LPDIRECTDRAWPALETTE* palette,
                                        IUnknown* outer) {
  if (palette == nullptr) return DDERR_INVALIDPARAMS;
  *palette = nullptr;
  if (orphaned) return DDERR_GENERIC;
  if (outer != nullptr || colorTable == nullptr) return DDERR_INVALIDPARAMS;
  // Only 256-colour palettes exist here; in exclusive mode all their entries
  // are the program's, DDPCAPS_ALLOW256 or not.
  if ((flags & DDPCAPS_8BIT) == 0) return DDERR_UNSUPPORTED;
  auto* object = new (std::nothrow) PaletteObject(colorTable);
  if (object == nullptr) return DDERR_OUTOFMEMORY;
  *palette = object;
  return DD_OK;
}

HRESULT DirectDrawObject::CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface, IUnknown* outer) {
  if (surface == nullptr) return DDERR_INVALIDPARAMS;
  *surface = nullptr;
  if (orphaned) return DDERR_GENERIC;
  if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC) || outer != nullptr)
    return DDERR_INVALIDPARAMS;
  if (TakeSurfaceCreationFailure()) return DDERR_OUTOFMEMORY;
  SurfaceObject* created = nullptr;
  DWORD caps = (desc->dwFlags & DDSD_CAPS) != 0 ? desc->ddsCaps.dwCaps : DDSCAPS_OFFSCREENPLAIN;
  HRESULT result = (caps & DDSCAPS_PRIMARYSURFACE) != 0 ? CreatePrimary(*desc, &created)
                                                        : CreateOffscreen(*desc, &created);
  if (result != DD_OK) return result;
  if ((desc->dwFlags & DDSD_CKSRCBLT) != 0)
    created->SetColorKey(DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &desc->ddckCKSrcBlt);
  *surface = created;
  return DD_OK;
}

HRESULT DirectDrawObject::CreatePrimary(const DDSURFACEDESC& desc, SurfaceObject** surface) {
  const DWORD caps = desc.ddsCaps.dwCaps;
  if (level == 0) return DDERR_NOCOOPERATIVELEVELSET;
  if (ScreenPrimary() != nullptr) return DDERR_PRIMARYSURFACEALREADYEXISTS;
  if ((caps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY |
                DDSCAPS_SYSTEMMEMORY | DDSCAPS_PALETTE)) != 0) {
    return DDERR_INVALIDCAPS;
  }
  const bool chain = (caps & DDSCAPS_FLIP) != 0;
  if (chain) {
    if ((caps & DDSCAPS_COMPLEX) == 0 || (desc.dwFlags & DDSD_BACKBUFFERCOUNT) == 0) return DDERR_INVALIDCAPS;
    if (desc.dwBackBufferCount != 1) return DDERR_INVALIDPARAMS;
    if ((level & DDSCL_EXCLUSIVE) == 0 || ScreenOwner() != this) return DDERR_NOEXCLUSIVEMODE;
  }
  // The primary is as large as the display mode; without one set, as the window.
  int width = modeWidth;
  int height = modeHeight;
  if (width == 0 && !ScreenWindowSize(&width, &height)) {
    width = 640;
    height = 480;
  }
  auto frontMemory = AllocatePixels(width, height);
  auto backMemory = chain ? AllocatePixels(width, height) : nullptr;
  if (frontMemory == nullptr || (chain && backMemory == nullptr)) return DDERR_OUTOFMEMORY;
  DWORD frontCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY |
                    (chain ? DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_FRONTBUFFER : 0);
  auto* front = new (std::nothrow) SurfaceObject(this, width, height, frontCaps, std::move(frontMemory));
  if (front == nullptr) return DDERR_OUTOFMEMORY;
  if (chain) {
    DWORD backCaps = DDSCAPS_BACKBUFFER | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
    auto* back = new (std::nothrow) SurfaceObject(this, width, height, backCaps, std::move(backMemory));
    if (back == nullptr) {
      front->Release();
      return DDERR_OUTOFMEMORY;
    }
    front->backBuffer = back;
    back->frontBuffer = front;
  }
  ScreenSetPrimary(front);
  *surface = front;
  return DD_OK;
}

HRESULT DirectDrawObject::CreateOffscreen(const DDSURFACEDESC& desc, SurfaceObject** surface) {
  const DWORD caps = desc.ddsCaps.dwCaps;
  if ((caps & ~(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY)) != 0)
    return DDERR_INVALIDCAPS;
  if ((desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
  if (desc.dwWidth == 0 || desc.dwHeight == 0 || desc.dwWidth > SURFACE_SIDE_MAX ||
      desc.dwHeight > SURFACE_SIDE_MAX) {
    return DDERR_INVALIDPARAMS;
  }
  if ((desc.dwFlags & DDSD_PIXELFORMAT) != 0) {
    const DDPIXELFORMAT& format = desc.ddpfPixelFormat;
    if ((format.dwFlags & DDPF_PALETTEINDEXED8) == 0 || format.dwRGBBitCount != 8)
      return DDERR_INVALIDPIXELFORMAT;
  }
  int width = static_cast<int>(desc.dwWidth);
  int height = static_cast<int>(desc.dwHeight);
  auto memory = AllocatePixels(width, height);
  if (memory == nullptr) return DDERR_OUTOFMEMORY;
  // System or video memory are the same memory here; the surface reports
  // where it was asked to live.
  DWORD placed = DDSCAPS_OFFSCREENPLAIN |
                 ((caps & DDSCAPS_SYSTEMMEMORY) != 0 ? DDSCAPS_SYSTEMMEMORY : DDSCAPS_VIDEOMEMORY);
  auto* created = new (std::nothrow) SurfaceObject(this, width, height, placed, std::move(memory));
  if (created == nullptr) return DDERR_OUTOFMEMORY;
  *surface = created;
  return DD_OK;
}

void OrphanAllDirectDrawObjects() {
  // Orphaned objects stay alive (and listed) until the program releases them.
  for (DirectDrawObject* directDraw : liveDirectDraws) directDraw->Orphan();
}

}  // namespace vt

extern "C" HRESULT WINAPI DirectDrawCreate(GUID* driverGuid, LPDIRECTDRAW* directDraw, IUnknown* outer) {
  if (directDraw == nullptr) return DDERR_INVALIDPARAMS;
  *directDraw = nullptr;
  if (driverGuid != nullptr || outer != nullptr) return DDERR_INVALIDPARAMS;
  if (!vt::EnsureVideo()) return DDERR_NODIRECTDRAWHW;
  auto* object = new (std::nothrow) vt::DirectDrawObject();
  if (object == nullptr) return DDERR_OUTOFMEMORY;
  *directDraw = object;
  return DD_OK;
}

namespace platform_test {

void ForceSurfaceLost(IDirectDrawSurface* surface) {
  if (surface != nullptr) static_cast<vt::SurfaceObject*>(surface)->MakeLost();
}

}  // namespace platform_test
