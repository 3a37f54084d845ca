// The screen: the primary surface's pixels through its palette, shown in the
// exclusive window through an SDL renderer and a streaming texture, scaled
// nearest-neighbour to fill the window with the 4:3 shape of the monitors the
// modes were made for (320 x 200 is stretched to 4:3 as a CRT showed it).
//
// Every update first takes a snapshot of the primary and its palette; the
// window is drawn from that snapshot, which is also what tests read back. With
// no window or no renderer (headless) the snapshot is all there is.
#include <vantor/platform_test.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "ddraw_objects.h"

namespace vt {

namespace {

struct ScreenState {
  DirectDrawObject* owner = nullptr;
  HWND window = nullptr;
  bool fullScreen = false;
  SurfaceObject* primary = nullptr;
  bool dirty = false;
  bool presenting = false;

  // The picture as of the last update.
  int width = 0;
  int height = 0;
  std::vector<uint8_t> shown;
  std::array<PALETTEENTRY, 256> shownPalette = {};
  uint32_t presentCount = 0;
  uint32_t flipCount = 0;

  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int textureWidth = 0;
  int textureHeight = 0;
  bool rendererFailed = false;
  int vsync = -1;
  int drawnOutputWidth = 0;
  int drawnOutputHeight = 0;
  bool drawAgain = false;  // the last draw was the first at a new output size

  int failSurfaceCreations = 0;
  int succeedBeforeFailing = 0;  // creations still to succeed before those fail
  SDL_Rect windowedRect = {0, 0, 0, 0};  // the window before it covered the display
  std::function<void(uint32_t)> onUpdate;
};

ScreenState screen;

SDL_Window* ScreenSdlWindow() { return screen.window != nullptr ? SdlWindow(screen.window) : nullptr; }

void DropRenderer() {
  if (screen.texture != nullptr) SDL_DestroyTexture(screen.texture);
  if (screen.renderer != nullptr) SDL_DestroyRenderer(screen.renderer);
  screen.texture = nullptr;
  screen.renderer = nullptr;
  screen.textureWidth = 0;
  screen.textureHeight = 0;
  screen.rendererFailed = false;
  screen.vsync = -1;
  screen.drawnOutputWidth = 0;
  screen.drawnOutputHeight = 0;
}

bool EnsureRenderer() {
  if (screen.renderer != nullptr) return true;
  SDL_Window* window = ScreenSdlWindow();
  if (window == nullptr || screen.rendererFailed) return false;
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
  if (IsHeadless()) {
    // Nothing to accelerate: the software renderer, on a plain framebuffer,
    // keeps the whole path testable without loading graphics drivers.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    screen.renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  } else {
    screen.renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (screen.renderer == nullptr) screen.renderer = SDL_CreateRenderer(window, -1, 0);
  }
  // Without a renderer the picture stays in memory only; no point retrying
  // every frame.
  screen.rendererFailed = screen.renderer == nullptr;
  screen.vsync = -1;
  return screen.renderer != nullptr;
}

// Draws the snapshot into the window; `flip` presents on the retrace.
void DrawSnapshot(bool flip) {
  if (screen.width == 0 || !EnsureRenderer()) return;
  if (screen.texture == nullptr || screen.textureWidth != screen.width ||
      screen.textureHeight != screen.height) {
    if (screen.texture != nullptr) SDL_DestroyTexture(screen.texture);
    screen.texture = SDL_CreateTexture(screen.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                       screen.width, screen.height);
    if (screen.texture == nullptr) return;
    screen.textureWidth = screen.width;
    screen.textureHeight = screen.height;
  }
  void* texturePixels = nullptr;
  int texturePitch = 0;
  if (SDL_LockTexture(screen.texture, nullptr, &texturePixels, &texturePitch) != 0) return;
  ConvertToRgb(screen.shown.data(), screen.width, screen.width, screen.height, screen.shownPalette.data(),
               static_cast<uint32_t*>(texturePixels), texturePitch / 4);
  SDL_UnlockTexture(screen.texture);

  // Headless there is no display to wait for: SDL would pace flips to 60 a
  // second by sleeping, which only slows the tests down.
  int vsync = flip && !IsHeadless() ? 1 : 0;
  if (vsync != screen.vsync) {
    SDL_RenderSetVSync(screen.renderer, vsync);  // not every renderer can; then it simply does not wait
    screen.vsync = vsync;
  }
  int outputWidth = 0;
  int outputHeight = 0;
  SDL_GetRendererOutputSize(screen.renderer, &outputWidth, &outputHeight);
  ScreenRect place = ScreenDestination(outputWidth, outputHeight);
  SDL_Rect destination = {place.x, place.y, place.width, place.height};
  SDL_SetRenderDrawColor(screen.renderer, 0, 0, 0, 255);
  SDL_RenderClear(screen.renderer);
  SDL_RenderCopy(screen.renderer, screen.texture, nullptr, &destination);
  SDL_RenderPresent(screen.renderer);
  // The first picture at a new size can land in buffers still of the old
  // size (without a window manager, the window reaches full screen only
  // as it is first shown): the next refresh draws it once more.
  screen.drawAgain = outputWidth != screen.drawnOutputWidth || outputHeight != screen.drawnOutputHeight;
  screen.drawnOutputWidth = outputWidth;
  screen.drawnOutputHeight = outputHeight;
}

void TakeSnapshot() {
  SurfaceObject* primary = screen.primary;
  screen.width = primary->width;
  screen.height = primary->height;
  screen.shown.resize(static_cast<size_t>(primary->width) * static_cast<size_t>(primary->height));
  for (int y = 0; y < primary->height; ++y) {
    std::memcpy(screen.shown.data() + static_cast<size_t>(y) * static_cast<size_t>(primary->width),
                primary->Pixels() + static_cast<ptrdiff_t>(y) * primary->pitch,
                static_cast<size_t>(primary->width));
  }
  screen.shownPalette = primary->palette != nullptr ? primary->palette->colors : DefaultPalette();
}

}  // namespace

ScreenRect ScreenDestination(int outputWidth, int outputHeight) {
  if (outputWidth <= 0 || outputHeight <= 0) return {0, 0, 0, 0};
  int64_t width = outputWidth;
  int64_t height = static_cast<int64_t>(outputWidth) * 3 / 4;
  if (height > outputHeight) {
    height = outputHeight;
    width = static_cast<int64_t>(outputHeight) * 4 / 3;
  }
  return {static_cast<int>((outputWidth - width) / 2), static_cast<int>((outputHeight - height) / 2),
          static_cast<int>(width), static_cast<int>(height)};
}

void ConvertToRgb(const uint8_t* pixels, int pitch, int width, int height, const PALETTEENTRY* palette,
                  uint32_t* out, int outPitchPixels) {
  uint32_t colors[256];
  for (int i = 0; i < 256; ++i) {
    colors[i] = 0xFF000000u | static_cast<uint32_t>(palette[i].peRed) << 16 |
                static_cast<uint32_t>(palette[i].peGreen) << 8 | palette[i].peBlue;
  }
  for (int y = 0; y < height; ++y) {
    const uint8_t* from = pixels + static_cast<ptrdiff_t>(y) * pitch;
    uint32_t* to = out + static_cast<ptrdiff_t>(y) * outPitchPixels;
    for (int x = 0; x < width; ++x) to[x] = colors[from[x]];
  }
}

const std::array<PALETTEENTRY, 256>& DefaultPalette() {
  static const std::array<PALETTEENTRY, 256> grey = [] {
    std::array<PALETTEENTRY, 256> entries = {};
    for (int i = 0; i < 256; ++i) {
      BYTE level = static_cast<BYTE>(i);
      entries[static_cast<size_t>(i)] = {level, level, level, 0};
    }
    return entries;
  }();
  return grey;
}

bool ScreenTakeOwner(DirectDrawObject* owner, HWND window) {
  if (screen.owner != nullptr && screen.owner != owner) return false;
  if (screen.window != window) {
    if (screen.fullScreen && ScreenSdlWindow() != nullptr) SDL_SetWindowFullscreen(ScreenSdlWindow(), 0);
    DropRenderer();
    screen.fullScreen = false;
  }
  screen.owner = owner;
  screen.window = window;
  ScreenSetFullScreen(true);
  return true;
}

void ScreenReleaseOwner(DirectDrawObject* owner) {
  if (screen.owner != owner) return;
  ScreenSetFullScreen(false);
  // The renderer belongs to the window; the program may go on using the
  // window for other things (message boxes, its own drawing).
  DropRenderer();
  screen.owner = nullptr;
  screen.window = nullptr;
}

DirectDrawObject* ScreenOwner() { return screen.owner; }

void ScreenSetFullScreen(bool fullScreen) {
  if (screen.fullScreen == fullScreen) return;
  screen.fullScreen = fullScreen;
  // Full screen at the desktop's own resolution: the real video mode is never
  // changed, so nothing needs restoring if the program ends abruptly.
  SDL_Window* window = ScreenSdlWindow();
  if (window == nullptr) return;
  if (fullScreen) {
    // The renderer first: making one may recreate the window underneath,
    // which would put it back where it was.
    EnsureRenderer();
    // Cover the display ourselves first: without a window manager (a bare X
    // server) the full-screen request is never carried out, and the window
    // would stay at its default size and place.
    SDL_GetWindowPosition(window, &screen.windowedRect.x, &screen.windowedRect.y);
    SDL_GetWindowSize(window, &screen.windowedRect.w, &screen.windowedRect.h);
    int display = SDL_GetWindowDisplayIndex(window);
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(display >= 0 ? display : 0, &bounds) == 0) {
      SDL_SetWindowPosition(window, bounds.x, bounds.y);
      SDL_SetWindowSize(window, bounds.w, bounds.h);
    }
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
  } else {
    SDL_SetWindowFullscreen(window, 0);
    if (screen.windowedRect.w > 0 && screen.windowedRect.h > 0) {
      SDL_SetWindowSize(window, screen.windowedRect.w, screen.windowedRect.h);
      SDL_SetWindowPosition(window, screen.windowedRect.x, screen.windowedRect.y);
    }
  }
}

void ScreenSetMode(int width, int height) {
  if (screen.width == width && screen.height == height) return;
  screen.width = width;
  screen.height = height;
  screen.shown.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  screen.shownPalette = DefaultPalette();
}

bool ScreenWindowSize(int* width, int* height) {
  SDL_Window* window = ScreenSdlWindow();
  if (window == nullptr) return false;
  SDL_GetWindowSize(window, width, height);
  return *width > 0 && *height > 0;
}

void ScreenSetPrimary(SurfaceObject* primary) {
  screen.primary = primary;
  screen.dirty = primary != nullptr;
}

SurfaceObject* ScreenPrimary() { return screen.primary; }

void ScreenMarkDirty() {
  if (screen.primary != nullptr) screen.dirty = true;
}

void ScreenPresent(bool flip) {
  if (screen.primary == nullptr || screen.presenting) return;
  screen.presenting = true;
  TakeSnapshot();
  screen.dirty = false;
  ++screen.presentCount;
  if (flip) ++screen.flipCount;
  DrawSnapshot(flip);
  // A copy, so that the callback may replace itself.
  if (screen.onUpdate) {
    auto callback = screen.onUpdate;
    callback(screen.presentCount);
  }
  screen.presenting = false;
}

void ScreenWaitForVerticalBlank() {
  SDL_Window* window = ScreenSdlWindow();
  if (window == nullptr || IsHeadless()) return;
  // No access to the real retrace: wait for the next refresh period of the
  // window's display, counted from the performance counter.
  SDL_DisplayMode mode;
  int rate = SDL_GetWindowDisplayMode(window, &mode) == 0 && mode.refresh_rate > 0 ? mode.refresh_rate : 60;
  uint64_t frequency = SDL_GetPerformanceFrequency();
  uint64_t period = frequency / static_cast<uint64_t>(rate);
  uint64_t now = SDL_GetPerformanceCounter();
  uint64_t wait = period - now % period;
  SDL_Delay(static_cast<uint32_t>(wait * 1000 / frequency));
}

bool TakeSurfaceCreationFailure() {
  if (screen.failSurfaceCreations <= 0) return false;
  if (screen.succeedBeforeFailing > 0) {
    --screen.succeedBeforeFailing;
    return false;
  }
  --screen.failSurfaceCreations;
  return true;
}

void ScreenRefreshIfDirty() {
  if (screen.dirty && screen.primary != nullptr) {
    ScreenPresent(false);
    return;
  }
  // The window changed size (or went full screen) since it was drawn: draw the
  // same picture again. Not a new picture, so not counted.
  if (screen.renderer != nullptr) {
    int outputWidth = 0;
    int outputHeight = 0;
    SDL_GetRendererOutputSize(screen.renderer, &outputWidth, &outputHeight);
    bool resized = outputWidth != screen.drawnOutputWidth || outputHeight != screen.drawnOutputHeight;
    if (resized || screen.drawAgain) DrawSnapshot(false);
  }
}

void ScreenWindowDestroyed(HWND window) {
  if (window == nullptr || screen.window != window) return;
  DropRenderer();
  screen.window = nullptr;
  screen.fullScreen = false;
}

void ScreenReset() {
  OrphanAllDirectDrawObjects();
  DropRenderer();
  screen = ScreenState();
}

}  // namespace vt

namespace platform_test {

bool ReadScreen(Screen& result) {
  const vt::ScreenState& screen = vt::screen;
  if (screen.width == 0) return false;
  result.width = screen.width;
  result.height = screen.height;
  result.pixels = screen.shown;
  result.palette = screen.shownPalette;
  result.presentCount = screen.presentCount;
  result.flipCount = screen.flipCount;
  return true;
}

void OnScreenUpdate(std::function<void(uint32_t presentCount)> callback) {
  vt::screen.onUpdate = std::move(callback);
}

void FailNextSurfaceCreations(int count, int after) {
  vt::screen.failSurfaceCreations = std::max(count, 0);
  vt::screen.succeedBeforeFailing = std::max(after, 0);
}

}  // namespace platform_test
