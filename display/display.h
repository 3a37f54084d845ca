// The display device: exclusive full-screen 8-bit mode, the flip chain, the
// work surface frames are drawn into, offscreen surfaces, locks, presentation,
// the hardware palette with its fade and greyscale variants, and GDI text.
// Its initialisation also brings up the sound device, the draw target, the
// fonts and the keyboard hook, which all need the window or the geometry.
#pragma once

#include <ddraw.h>
#include <windows.h>

#include <cstdint>

#include "formats/pack.h"
#include "formats/surface.h"  // MEMORY_ANY, MEMORY_SYSTEM

enum : int32_t {
  DISPLAY_BACKBUFFER = 1,   // draw straight into the flip chain's back buffer
  DISPLAY_WORKSURFACE = 2,  // draw into a system-memory surface, copy to present
};

enum : int32_t {
  PRESENT_FLIP = 1,
  PRESENT_COPY = 2,
};

// What start-up hands to display initialisation.
struct DisplayConfig {
  int32_t flags;
  ResourcePack* fontPack;
  int32_t reserved;
  int32_t displayWidth;
  int32_t displayHeight;
  int32_t workWidth;
  int32_t workHeight;
};

struct DisplayDevice {
  HWND window;
  int32_t flags;
  ResourcePack* fontPack;
  int32_t reserved;
  int32_t displayWidth;
  int32_t displayHeight;
  int32_t workWidth;
  int32_t workHeight;
  int32_t workOffsetX;
  int32_t workOffsetY;
  LPDIRECTDRAW directDraw;
  LPDIRECTDRAWSURFACE primary;
  LPDIRECTDRAWSURFACE backBuffer;
  uint8_t ready;
  LPDIRECTDRAWSURFACE workSurface;
};

extern DisplayDevice displayDevice;

// 1, or -1 display smaller than the work area, -2 no surface flag, -3
// DirectDraw failed, -4 work surface failed, -5 draw target refused, -6 fonts
// failed, -8 keyboard hook failed.
int InitDisplay(HWND window, const DisplayConfig& config);
void ShutdownDisplay();

int OpenDirectDraw(HWND window, int32_t width, int32_t height, int32_t bitsPerPixel);
void CloseDirectDraw();
HRESULT CreateOffscreenSurface(LPDIRECTDRAWSURFACE* surface, int32_t width, int32_t height,
                               int32_t memoryKind);

// The memory address of row 0, column 0 and the pitch, or null when no lock
// could be had (a surface that stays lost, or any other failure). The address
// stays valid until the next present.
uint8_t* LockSurface(LPDIRECTDRAWSURFACE surface, int32_t* pitch);
int UnlockSurface(LPDIRECTDRAWSURFACE surface);
uint8_t* LockPrimary(int32_t* pitch);
HRESULT UnlockPrimary();
uint8_t* LockBackBuffer(int32_t* pitch);
HRESULT UnlockBackBuffer();

void FlipPages();
void CopyToScreen(int32_t x, int32_t y, LPDIRECTDRAWSURFACE source, int32_t mode);
void PresentFrame(int32_t mode);

// Palette tables are 256 entries of blue, green, red, ignored.
LPDIRECTDRAWPALETTE CreateDevicePalette(HWND window, const uint8_t* paletteTable);
int SetPrimaryPalette(LPDIRECTDRAWPALETTE palette);
int SetPaletteBrightness(const uint8_t* paletteTable, int32_t level);
int SetPaletteSaturation(const uint8_t* paletteTable, int32_t level);
// The palette entries the two above compute, red, green, blue, flags 0.
void BrightnessEntries(const uint8_t* paletteTable, int32_t level, PALETTEENTRY* entries);
void SaturationEntries(const uint8_t* paletteTable, int32_t level, PALETTEENTRY* entries);

void DrawGdiText(LPDIRECTDRAWSURFACE surface, int32_t x, int32_t y, const char* text);

int FillSurface(LPDIRECTDRAWSURFACE surface, int32_t colour);
int FillSurfaceRect(LPDIRECTDRAWSURFACE surface, const RECT& rect, int32_t colour);
HRESULT BltFastKeyed(int32_t x, int32_t y, LPDIRECTDRAWSURFACE destination, LPDIRECTDRAWSURFACE source);
