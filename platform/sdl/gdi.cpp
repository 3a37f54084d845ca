// GDI text on surfaces: a device context per IDirectDrawSurface::GetDC, and
// TextOutA drawing code page 949 text with the embedded Unifont glyphs in the
// palette entries nearest to the context's colours.
#include <algorithm>
#include <new>
#include <utility>

#include "ddraw_objects.h"

namespace vt {

struct DeviceContext {
  SurfaceObject* surface;
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF backgroundColor = RGB(255, 255, 255);
  int backgroundMode = OPAQUE;
};

namespace {

constexpr int GLYPH_HEIGHT = 16;

// Handles the program passes back are looked up here first, so a stale or
// made-up handle is refused instead of followed.
std::vector<DeviceContext*>& liveContexts = *new std::vector<DeviceContext*>();

DeviceContext* Find(HDC handle) {
  auto* dc = reinterpret_cast<DeviceContext*>(handle);
  if (dc == nullptr || std::find(liveContexts.begin(), liveContexts.end(), dc) == liveContexts.end())
    return nullptr;
  return dc;
}

// The palette a surface's pixels mean: its own, or the screen's.
const PALETTEENTRY* SurfacePalette(const SurfaceObject& surface) {
  if (surface.palette != nullptr) return surface.palette->colors.data();
  SurfaceObject* primary = ScreenPrimary();
  if (primary != nullptr && primary->palette != nullptr) return primary->palette->colors.data();
  return nullptr;
}

void DrawGlyph(SurfaceObject& surface, int64_t left, int64_t top, const UnifontGlyph& glyph, uint8_t text,
               uint8_t background, bool opaque) {
  const int bytesPerRow = glyph.width / 8;
  for (int row = 0; row < GLYPH_HEIGHT; ++row) {
    int64_t y = top + row;
    if (y < 0 || y >= surface.height) continue;
    uint8_t* line = surface.Pixels() + static_cast<ptrdiff_t>(y) * surface.pitch;
    for (int column = 0; column < glyph.width; ++column) {
      int64_t x = left + column;
      if (x < 0 || x >= surface.width) continue;
      bool set = (glyph.bits[row * bytesPerRow + column / 8] & (0x80 >> (column % 8))) != 0;
      if (set) {
        line[x] = text;
      } else if (opaque) {
        line[x] = background;
      }
    }
  }
}

}  // namespace

int NearestPaletteIndex(const PALETTEENTRY* palette, COLORREF color) {
  const int red = color & 0xFF;
  const int green = (color >> 8) & 0xFF;
  const int blue = (color >> 16) & 0xFF;
  int best = 0;
  int bestDistance = 0x7FFFFFFF;
  for (int i = 0; i < 256; ++i) {
    int dr = palette[i].peRed - red;
    int dg = palette[i].peGreen - green;
    int db = palette[i].peBlue - blue;
    int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return best;
}

DeviceContext* CreateDeviceContext(SurfaceObject* surface) {
  auto* dc = new (std::nothrow) DeviceContext{surface};
  if (dc != nullptr) liveContexts.push_back(dc);
  return dc;
}

void DestroyDeviceContext(DeviceContext* dc) {
  std::erase(liveContexts, dc);
  delete dc;
}

HDC DeviceContextHandle(DeviceContext* dc) { return reinterpret_cast<HDC>(dc); }

}  // namespace vt

extern "C" {

BOOL WINAPI TextOutA(HDC handle, int x, int y, LPCSTR text, int length) {
  vt::DeviceContext* dc = vt::Find(handle);
  if (dc == nullptr || length < 0 || (text == nullptr && length > 0)) return FALSE;
  vt::SurfaceObject& surface = *dc->surface;
  if (surface.IsLost() != DD_OK) return FALSE;
  // With no palette anywhere the pixels are shown as a grey ramp.
  const PALETTEENTRY* palette = vt::SurfacePalette(surface);
  if (palette == nullptr) palette = vt::DefaultPalette().data();
  auto textIndex = static_cast<uint8_t>(vt::NearestPaletteIndex(palette, dc->textColor));
  auto backgroundIndex = static_cast<uint8_t>(vt::NearestPaletteIndex(palette, dc->backgroundColor));
  const bool opaque = dc->backgroundMode == OPAQUE;
  int64_t left = x;
  size_t index = 0;
  const size_t size = static_cast<size_t>(length);
  while (index < size && left < surface.width) {
    vt::UnifontGlyph glyph = vt::NextCp949Glyph(text, size, &index);
    vt::DrawGlyph(surface, left, y, glyph, textIndex, backgroundIndex, opaque);
    left += glyph.width;
  }
  return TRUE;
}

COLORREF WINAPI SetTextColor(HDC handle, COLORREF color) {
  vt::DeviceContext* dc = vt::Find(handle);
  if (dc == nullptr) return CLR_INVALID;
  return std::exchange(dc->textColor, color & 0xFFFFFF);
}

COLORREF WINAPI SetBkColor(HDC handle, COLORREF color) {
  vt::DeviceContext* dc = vt::Find(handle);
  if (dc == nullptr) return CLR_INVALID;
  return std::exchange(dc->backgroundColor, color & 0xFFFFFF);
}

int WINAPI SetBkMode(HDC handle, int mode) {
  vt::DeviceContext* dc = vt::Find(handle);
  if (dc == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  return std::exchange(dc->backgroundMode, mode);
}

}  // extern "C"
