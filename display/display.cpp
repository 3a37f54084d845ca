#include "display/display.h"

#include <cstring>

#include "input/keyboard.h"
#include "render/drawtarget.h"
#include "sound/sound.h"
#include "text/font.h"

DisplayDevice displayDevice = {};

namespace {

void ReleaseSurface(LPDIRECTDRAWSURFACE& surface) {
  if (surface != nullptr) {
    surface->Release();
    surface = nullptr;
  }
}

int AttachPalette(const PALETTEENTRY* entries) {
  if (displayDevice.directDraw == nullptr || displayDevice.primary == nullptr) return 0;
  LPDIRECTDRAWPALETTE palette = nullptr;
  if (displayDevice.directDraw->CreatePalette(DDPCAPS_8BIT, const_cast<PALETTEENTRY*>(entries), &palette,
                                              nullptr) != DD_OK)
    return 0;
  // The surface keeps its own reference; ours goes at once.
  HRESULT result = displayDevice.primary->SetPalette(palette);
  palette->Release();
  return result == DD_OK ? 1 : 0;
}

}  // namespace

int OpenDirectDraw(HWND window, int32_t width, int32_t height, int32_t bitsPerPixel) {
  displayDevice.ready = 0;
  if (DirectDrawCreate(nullptr, &displayDevice.directDraw, nullptr) != DD_OK) {
    displayDevice.directDraw = nullptr;
    return 0;
  }
  if (displayDevice.directDraw->SetCooperativeLevel(
          window, DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX) != DD_OK)
    return 0;
  // Negative sizes become huge unsigned ones, which the mode switch refuses.
  if (displayDevice.directDraw->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height),
                                               static_cast<DWORD>(bitsPerPixel)) != DD_OK)
    return 0;
  DDSURFACEDESC desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.dwBackBufferCount = 1;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  if (displayDevice.directDraw->CreateSurface(&desc, &displayDevice.primary, nullptr) != DD_OK) {
    displayDevice.primary = nullptr;
    return 0;
  }
  DDSCAPS caps = {};
  caps.dwCaps = DDSCAPS_BACKBUFFER;
  if (displayDevice.primary->GetAttachedSurface(&caps, &displayDevice.backBuffer) != DD_OK) {
    displayDevice.backBuffer = nullptr;
    return 0;
  }
  displayDevice.ready = 1;
  return 1;
}

void CloseDirectDraw() {
  ReleaseSurface(displayDevice.backBuffer);
  ReleaseSurface(displayDevice.primary);
  if (displayDevice.directDraw != nullptr) {
    displayDevice.directDraw->Release();
    displayDevice.directDraw = nullptr;
  }
  displayDevice.ready = 0;
}

HRESULT CreateOffscreenSurface(LPDIRECTDRAWSURFACE* surface, int32_t width, int32_t height,
                               int32_t memoryKind) {
  return CreatePlainSurface(displayDevice.directDraw, surface, width, height, memoryKind);
}

int InitDisplay(HWND window, const DisplayConfig& config) {
  DisplayDevice& device = displayDevice;
  device.window = window;
  device.flags = config.flags;
  device.fontPack = config.fontPack;
  device.reserved = config.reserved;
  device.displayWidth = config.displayWidth;
  device.displayHeight = config.displayHeight;
  device.workWidth = config.workWidth;
  device.workHeight = config.workHeight;
  device.workOffsetX = device.workOffsetY = 0;

  if (device.workWidth == 0 || device.workHeight == 0) {
    device.workWidth = device.displayWidth;
    device.workHeight = device.displayHeight;
  }
  if (device.displayWidth < device.workWidth || device.displayHeight < device.workHeight) return -1;
  if (device.flags & DISPLAY_BACKBUFFER) {
    device.workWidth = device.displayWidth;
    device.workHeight = device.displayHeight;
  }
  if (device.displayWidth > device.workWidth) device.workOffsetX = (device.displayWidth - device.workWidth) / 2;
  if (device.displayHeight > device.workHeight)
    device.workOffsetY = (device.displayHeight - device.workHeight) / 2;

  OpenSound(window);

  if (!OpenDirectDraw(window, device.displayWidth, device.displayHeight, 8)) {
    MessageBoxA(window, "Can't initialize Direct-X!", "Direct-X Error", MB_OK);
    return -3;
  }
  if (device.flags & DISPLAY_BACKBUFFER) {
    device.workSurface = device.backBuffer;
  } else if (device.flags & DISPLAY_WORKSURFACE) {
    if (CreateOffscreenSurface(&device.workSurface, device.workWidth, device.workHeight, MEMORY_SYSTEM) !=
        DD_OK) {
      device.workSurface = nullptr;
      return -4;
    }
  } else {
    return -2;
  }

  int32_t pitch = 0;
  if (LockSurface(device.workSurface, &pitch) != nullptr) UnlockSurface(device.workSurface);

  if (!InitDrawTarget(window, device.workWidth, device.workHeight, device.workSurface, pitch,
                      device.ready != 0))
    return -5;
  if (InitFonts(device.workWidth, device.workHeight, pitch, device.fontPack) != 1) return -6;
  return InstallKeyboardHook(window) ? 1 : -8;
}

void ShutdownDisplay() {
  DisplayDevice& device = displayDevice;
  if (device.flags & DISPLAY_WORKSURFACE) {
    // Under DISPLAY_BACKBUFFER the work surface is the back buffer, which
    // CloseDirectDraw releases; only an own surface is released here.
    if (device.workSurface != device.backBuffer) ReleaseSurface(device.workSurface);
    device.workSurface = nullptr;
  }
  CloseSound();
  FreeFonts();
  CloseDrawTarget();
  CloseDirectDraw();
  device.workSurface = nullptr;
  RemoveKeyboardHook();
}

// A surface that stays lost is given up on after a few restores; the frame
// then draws nothing and the next frame tries again. Unbounded, a device that
// never comes back would hang the program.
uint8_t* LockSurface(LPDIRECTDRAWSURFACE surface, int32_t* pitch) {
  return LockSurfaceMemory(surface, displayDevice.primary, pitch, true);
}

int UnlockSurface(LPDIRECTDRAWSURFACE surface) { return UnlockSurfaceMemory(surface); }

uint8_t* LockPrimary(int32_t* pitch) {
  return LockSurfaceMemory(displayDevice.primary, displayDevice.primary, pitch, false);
}

HRESULT UnlockPrimary() {
  if (displayDevice.primary == nullptr) return DDERR_GENERIC;
  return displayDevice.primary->Unlock(nullptr);
}

// The back buffer is part of the primary's chain: restoring the primary
// restores it.
uint8_t* LockBackBuffer(int32_t* pitch) {
  return LockSurfaceMemory(displayDevice.backBuffer, displayDevice.primary, pitch, false);
}

HRESULT UnlockBackBuffer() {
  if (displayDevice.backBuffer == nullptr) return DDERR_GENERIC;
  return displayDevice.backBuffer->Unlock(nullptr);
}

void FlipPages() {
  LPDIRECTDRAWSURFACE primary = displayDevice.primary;
  if (primary == nullptr) return;
  HRESULT result = primary->Flip(nullptr, DDFLIP_WAIT);
  for (int attempt = 0; result == DDERR_SURFACELOST && attempt < SURFACE_RESTORE_ATTEMPTS; ++attempt) {
    primary->Restore();
    result = primary->Flip(nullptr, DDFLIP_WAIT);
  }
}

void CopyToScreen(int32_t x, int32_t y, LPDIRECTDRAWSURFACE source, int32_t mode) {
  if (source == nullptr) return;
  if (mode & 1) {
    if (displayDevice.backBuffer == nullptr) return;
    displayDevice.backBuffer->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), source, nullptr,
                                      DDBLTFAST_WAIT);
    FlipPages();
  } else if (mode & 2) {
    if (displayDevice.primary == nullptr) return;
    displayDevice.primary->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), source, nullptr,
                                   DDBLTFAST_WAIT);
  }
}

void PresentFrame(int32_t mode) {
  DisplayDevice& device = displayDevice;
  if (mode != PRESENT_FLIP && mode != PRESENT_COPY) return;
  if (device.flags & DISPLAY_WORKSURFACE) {
    CopyToScreen(device.workOffsetX, device.workOffsetY, device.workSurface, mode);
  } else if (device.flags & DISPLAY_BACKBUFFER) {
    if (mode == PRESENT_FLIP)
      FlipPages();
    else
      CopyToScreen(device.workOffsetX, device.workOffsetY, device.backBuffer, PRESENT_COPY);
  }
}

LPDIRECTDRAWPALETTE CreateDevicePalette(HWND /*window*/, const uint8_t* paletteTable) {
  if (displayDevice.directDraw == nullptr || paletteTable == nullptr) return nullptr;
  PALETTEENTRY entries[256];
  for (int i = 0; i < 256; ++i) {
    entries[i].peRed = paletteTable[i * 4 + 2];
    entries[i].peGreen = paletteTable[i * 4 + 1];
    entries[i].peBlue = paletteTable[i * 4 + 0];
    entries[i].peFlags = 0;
  }
  LPDIRECTDRAWPALETTE palette = nullptr;
  if (displayDevice.directDraw->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr) != DD_OK) return nullptr;
  return palette;
}

int SetPrimaryPalette(LPDIRECTDRAWPALETTE palette) {
  if (displayDevice.primary == nullptr) return 0;
  return displayDevice.primary->SetPalette(palette) == DD_OK ? 1 : 0;
}

void BrightnessEntries(const uint8_t* table, int32_t level, PALETTEENTRY* entries) {
  for (int i = 0; i < 256; ++i) {
    entries[i].peRed = static_cast<BYTE>(level * table[i * 4 + 2] / 100);
    entries[i].peGreen = static_cast<BYTE>(level * table[i * 4 + 1] / 100);
    entries[i].peBlue = static_cast<BYTE>(level * table[i * 4 + 0] / 100);
    entries[i].peFlags = 0;
  }
}

void SaturationEntries(const uint8_t* table, int32_t level, PALETTEENTRY* entries) {
  for (int i = 0; i < 256; ++i) {
    int red = table[i * 4 + 2], green = table[i * 4 + 1], blue = table[i * 4 + 0];
    int grey = (30 * red + 59 * green + 10 * blue + 1) / 100;
    entries[i].peRed = static_cast<BYTE>((level * red + (100 - level) * grey) / 100);
    entries[i].peGreen = static_cast<BYTE>((level * green + (100 - level) * grey) / 100);
    entries[i].peBlue = static_cast<BYTE>((level * blue + (100 - level) * grey) / 100);
    entries[i].peFlags = 0;
  }
}

int SetPaletteBrightness(const uint8_t* paletteTable, int32_t level) {
  if (paletteTable == nullptr) return 0;
  PALETTEENTRY entries[256];
  BrightnessEntries(paletteTable, level, entries);
  return AttachPalette(entries);
}

int SetPaletteSaturation(const uint8_t* paletteTable, int32_t level) {
  if (paletteTable == nullptr) return 0;
  PALETTEENTRY entries[256];
  SaturationEntries(paletteTable, level, entries);
  return AttachPalette(entries);
}

void DrawGdiText(LPDIRECTDRAWSURFACE surface, int32_t x, int32_t y, const char* text) {
  if (surface == nullptr || text == nullptr) return;
  HDC dc = nullptr;
  if (surface->GetDC(&dc) != DD_OK) return;
  TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
  surface->ReleaseDC(dc);
}

int FillSurface(LPDIRECTDRAWSURFACE surface, int32_t colour) {
  if (surface == nullptr) return 0;
  DDBLTFX fx;
  std::memset(&fx, 0, sizeof fx);
  fx.dwSize = sizeof fx;
  fx.dwFillColor = static_cast<DWORD>(colour);
  return surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx) == DD_OK ? 1 : 0;
}

int FillSurfaceRect(LPDIRECTDRAWSURFACE surface, const RECT& rect, int32_t colour) {
  if (surface == nullptr) return 0;
  DDBLTFX fx;
  std::memset(&fx, 0, sizeof fx);
  fx.dwSize = sizeof fx;
  fx.dwFillColor = static_cast<DWORD>(colour);
  RECT destination = rect;
  return surface->Blt(&destination, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx) == DD_OK ? 1 : 0;
}

HRESULT BltFastKeyed(int32_t x, int32_t y, LPDIRECTDRAWSURFACE destination, LPDIRECTDRAWSURFACE source) {
  if (destination == nullptr || source == nullptr) return DDERR_INVALIDPARAMS;
  return destination->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), source, nullptr,
                              DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
}
