#include "render/surface_blit.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "canvas.h"
#include "formats/surface.h"
#include "support/headless.h"

namespace {

using namespace render_test;

// Records the blits asked of it, so that the rectangles and flags can be
// checked exactly as they reach the platform.
struct RecordingSurface : IDirectDrawSurface {
  struct Request {
    bool fast = false;
    bool hasDest = false;
    RECT dest = {};
    bool hasSource = false;
    RECT source = {};
    LPDIRECTDRAWSURFACE from = nullptr;
    DWORD flags = 0;
    bool hasEffects = false;
    DWORD x = 0, y = 0;
  };
  std::vector<Request> requests;
  HRESULT answer = DD_OK;

  HRESULT QueryInterface(REFIID, void**) override { return E_NOTIMPL; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 0; }
  HRESULT Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags,
              LPDDBLTFX effects) override {
    Request request;
    request.hasDest = destRect != nullptr;
    if (destRect != nullptr) request.dest = *destRect;
    request.hasSource = sourceRect != nullptr;
    if (sourceRect != nullptr) request.source = *sourceRect;
    request.from = source;
    request.flags = flags;
    request.hasEffects = effects != nullptr;
    requests.push_back(request);
    return answer;
  }
  HRESULT BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD trans) override {
    Request request;
    request.fast = true;
    request.x = x;
    request.y = y;
    request.from = source;
    request.hasSource = sourceRect != nullptr;
    request.flags = trans;
    requests.push_back(request);
    return answer;
  }
  HRESULT Flip(LPDIRECTDRAWSURFACE, DWORD) override { return E_NOTIMPL; }
  HRESULT GetAttachedSurface(LPDDSCAPS, LPDIRECTDRAWSURFACE*) override { return E_NOTIMPL; }
  HRESULT GetDC(HDC*) override { return E_NOTIMPL; }
  HRESULT GetPalette(LPDIRECTDRAWPALETTE*) override { return E_NOTIMPL; }
  HRESULT GetSurfaceDesc(LPDDSURFACEDESC) override { return E_NOTIMPL; }
  HRESULT IsLost() override { return DD_OK; }
  HRESULT Lock(LPRECT, LPDDSURFACEDESC, DWORD, HANDLE) override { return E_NOTIMPL; }
  HRESULT ReleaseDC(HDC) override { return E_NOTIMPL; }
  HRESULT Restore() override { return DD_OK; }
  HRESULT SetColorKey(DWORD, LPDDCOLORKEY) override { return E_NOTIMPL; }
  HRESULT SetPalette(LPDIRECTDRAWPALETTE) override { return E_NOTIMPL; }
  HRESULT Unlock(LPVOID) override { return E_NOTIMPL; }
};

using Corners = std::array<LONG, 4>;
Corners Of(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

class SurfaceBlitRectangles : public ::testing::Test {
 protected:
  void SetUp() override {
    drawTarget = {};
    SetClipRect(0, 0, 319, 199);
    sprite.width = 32;
    sprite.height = 32;
    sprite.surface = &image;
  }
  RecordingSurface destination, image;
  SurfaceSprite sprite = {};
};

TEST_F(SurfaceBlitRectangles, ClippedOnTheLeft) {
  BltFrameSurface(-8, 0, &destination, sprite);
  ASSERT_EQ(destination.requests.size(), 1u);
  const auto& request = destination.requests[0];
  EXPECT_TRUE(request.hasDest && request.hasSource && !request.fast && !request.hasEffects);
  EXPECT_EQ(Of(request.dest), (Corners{0, 0, 24, 32}));
  EXPECT_EQ(Of(request.source), (Corners{8, 0, 32, 32}));
  EXPECT_EQ(request.from, &image);
  EXPECT_EQ(request.flags, DWORD{DDBLT_WAIT});
}

TEST_F(SurfaceBlitRectangles, WholeSpriteHasNoSourceRectangle) {
  BltFrameSurfaceKeyed(10, 20, &destination, sprite);
  ASSERT_EQ(destination.requests.size(), 1u);
  EXPECT_EQ(Of(destination.requests[0].dest), (Corners{10, 20, 42, 52}));
  EXPECT_FALSE(destination.requests[0].hasSource);
  EXPECT_EQ(destination.requests[0].flags, DWORD{DDBLT_WAIT | DDBLT_KEYSRC});
}

TEST_F(SurfaceBlitRectangles, ClippedOnEverySideAndRejected) {
  SetClipRect(10, 20, 29, 39);  // 20 x 20, smaller than the sprite
  BltFrameSurface(5, 15, &destination, sprite);
  ASSERT_EQ(destination.requests.size(), 1u);
  EXPECT_EQ(Of(destination.requests[0].dest), (Corners{10, 20, 30, 40}));
  EXPECT_EQ(Of(destination.requests[0].source), (Corners{5, 5, 25, 25}));
  // Touching the clip rectangle from outside, far away, or without a size:
  // nothing is asked of the platform.
  for (auto [x, y] : {std::pair{30, 20},
                      {10, 40},
                      {10 - 32, 20},
                      {10, 20 - 32},
                      {INT32_MIN, INT32_MIN},
                      {INT32_MAX, 20},
                      {INT32_MAX - 31, INT32_MAX}})
    BltFrameSurfaceKeyed(x, y, &destination, sprite);
  sprite.width = 0;
  BltFrameSurface(10, 20, &destination, sprite);
  sprite.width = 32;
  sprite.height = -5;
  BltFrameSurface(10, 20, &destination, sprite);
  EXPECT_EQ(destination.requests.size(), 1u);
}

TEST_F(SurfaceBlitRectangles, FastBlitIsUnclippedAndPassesTheResultBack) {
  destination.answer = DDERR_SURFACELOST;
  EXPECT_EQ(BltFastFrameSurface(-8, 300, &destination, sprite), DDERR_SURFACELOST);
  ASSERT_EQ(destination.requests.size(), 1u);
  const auto& request = destination.requests[0];
  EXPECT_TRUE(request.fast);
  EXPECT_EQ(request.x, static_cast<DWORD>(-8));
  EXPECT_EQ(request.y, 300u);
  EXPECT_FALSE(request.hasSource);
  EXPECT_EQ(request.from, &image);
  EXPECT_EQ(request.flags, DWORD{DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT});
}

// Through the platform's own surfaces: the pixels that arrive are exactly
// the visible part of the sprite, keyed or not.
class SurfaceBlitPixels : public vantor_test::Headless {
 protected:
  static constexpr int WIDTH = 64, HEIGHT = 48;
  void SetUp() override {
    Headless::SetUp();
    ASSERT_EQ(DirectDrawCreate(nullptr, &directDraw, nullptr), DD_OK);
    ASSERT_EQ(CreatePlainSurface(directDraw, &destination, WIDTH, HEIGHT, MEMORY_SYSTEM), DD_OK);
  }
  void TearDown() override {
    if (destination != nullptr) destination->Release();
    if (directDraw != nullptr) directDraw->Release();
    Headless::TearDown();
  }
  std::vector<uint8_t> Read() {
    int32_t pitch = 0;
    uint8_t* memory = LockSurfaceMemory(destination, nullptr, &pitch, true);
    std::vector<uint8_t> pixels;
    for (int y = 0; memory != nullptr && y < HEIGHT; ++y)
      pixels.insert(pixels.end(), memory + y * pitch, memory + y * pitch + WIDTH);
    UnlockSurfaceMemory(destination);
    return pixels;
  }
  void Write(const std::vector<uint8_t>& pixels) {
    int32_t pitch = 0;
    uint8_t* memory = LockSurfaceMemory(destination, nullptr, &pitch, true);
    ASSERT_NE(memory, nullptr);
    for (int y = 0; y < HEIGHT; ++y)
      std::copy(pixels.begin() + y * WIDTH, pixels.begin() + (y + 1) * WIDTH, memory + y * pitch);
    UnlockSurfaceMemory(destination);
  }
  LPDIRECTDRAW directDraw = nullptr;
  LPDIRECTDRAWSURFACE destination = nullptr;
};

TEST_F(SurfaceBlitPixels, VisiblePartArrivesWhereItBelongs) {
  std::mt19937 random(31);
  const int cases = Cases(60);
  for (int i = 0; i < cases; ++i) {
    const int32_t width = 1 + static_cast<int32_t>(random() % 24),
                  height = 1 + static_cast<int32_t>(random() % 24);
    std::vector<uint8_t> pixels = RandomPixels(random, int64_t{width} * height);
    SurfaceSprite sprite = {};
    ASSERT_EQ(MakeSurfaceSprite(directDraw, nullptr, pixels.data(), width, height, &sprite, MEMORY_SYSTEM),
              1);
    const int left = static_cast<int>(random() % WIDTH), top = static_cast<int>(random() % HEIGHT);
    drawTarget = {};
    SetClipRect(left, top, left + static_cast<int>(random() % (WIDTH - left)),
                top + static_cast<int>(random() % (HEIGHT - top)));
    const int32_t x = RandomPosition(random, drawTarget.clipLeft, drawTarget.clipRight, width);
    const int32_t y = RandomPosition(random, drawTarget.clipTop, drawTarget.clipBottom, height);
    const bool keyed = i % 2 == 1;

    std::vector<uint8_t> expected(WIDTH * HEIGHT);
    for (uint8_t& pixel : expected) pixel = static_cast<uint8_t>(random());
    Write(expected);
    for (int64_t r = 0; r < height; ++r) {
      for (int64_t c = 0; c < width; ++c) {
        const uint8_t source = pixels[static_cast<size_t>(r * width + c)];
        if ((keyed && source == 0) || !InClip(x + c, y + r)) continue;
        expected[static_cast<size_t>((y + r) * WIDTH + x + c)] = source;
      }
    }
    if (keyed) {
      BltFrameSurfaceKeyed(x, y, destination, sprite);
    } else {
      BltFrameSurface(x, y, destination, sprite);
    }
    ASSERT_EQ(Read(), expected) << width << " x " << height << " at (" << x << ", " << y << ")"
                                << (keyed ? " keyed" : "");
    ReleaseSurfaceSprites(&sprite, 1);
  }
}

}  // namespace
