// Helpers for the display side of the platform layer: a headless window in
// exclusive mode, flip chains, offscreen surfaces and their pixels.
#pragma once

#include <ddraw.h>
#include <gtest/gtest.h>
#include <vantor/platform_test.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "support/cases.h"
#include "support/headless.h"

namespace vantor_test {

class DisplayTest : public Headless {
 protected:
  struct Chain {
    LPDIRECTDRAW dd = nullptr;
    LPDIRECTDRAWSURFACE primary = nullptr;
    LPDIRECTDRAWSURFACE back = nullptr;
  };

  LPDIRECTDRAW OpenExclusive() {
    LPDIRECTDRAW dd = nullptr;
    EXPECT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    if (dd == nullptr) return nullptr;
    HWND window = MakeWindow();
    EXPECT_EQ(dd->SetCooperativeLevel(
                  window, DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX),
              DD_OK);
    return dd;
  }

  Chain OpenChain(int width, int height) {
    Chain chain;
    chain.dd = OpenExclusive();
    if (chain.dd == nullptr) return chain;
    EXPECT_EQ(chain.dd->SetDisplayMode(width, height, 8), DD_OK);
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    EXPECT_EQ(chain.dd->CreateSurface(&desc, &chain.primary, nullptr), DD_OK);
    if (chain.primary == nullptr) return chain;
    DDSCAPS caps = {DDSCAPS_BACKBUFFER};
    EXPECT_EQ(chain.primary->GetAttachedSurface(&caps, &chain.back), DD_OK);
    return chain;
  }

  static HRESULT TryOffscreen(LPDIRECTDRAW dd, int width, int height, LPDIRECTDRAWSURFACE* surface,
                              DWORD memory = 0) {
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | memory;
    return dd->CreateSurface(&desc, surface, nullptr);
  }

  static LPDIRECTDRAWSURFACE MakeOffscreen(LPDIRECTDRAW dd, int width, int height, DWORD memory) {
    LPDIRECTDRAWSURFACE surface = nullptr;
    EXPECT_EQ(TryOffscreen(dd, width, height, &surface, memory), DD_OK);
    return surface;
  }

  static DDSURFACEDESC LockDesc(LPDIRECTDRAWSURFACE surface) {
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    EXPECT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    return desc;
  }

  // The surface's pixels, row after row without the pitch padding.
  static std::vector<uint8_t> Pixels(LPDIRECTDRAWSURFACE surface) {
    DDSURFACEDESC desc = LockDesc(surface);
    std::vector<uint8_t> pixels;
    for (DWORD y = 0; y < desc.dwHeight; ++y) {
      const auto* row = static_cast<const uint8_t*>(desc.lpSurface) + y * desc.lPitch;
      pixels.insert(pixels.end(), row, row + desc.dwWidth);
    }
    surface->Unlock(nullptr);
    return pixels;
  }

  // A pattern that differs from pixel to pixel and from seed to seed.
  static void FillPattern(LPDIRECTDRAWSURFACE surface, int seed) {
    DDSURFACEDESC desc = LockDesc(surface);
    for (DWORD y = 0; y < desc.dwHeight; ++y) {
      auto* row = static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch;
      for (DWORD x = 0; x < desc.dwWidth; ++x)
        row[x] = static_cast<uint8_t>(seed * 31 + x * 5 + y * 11 + x * y);
    }
    surface->Unlock(nullptr);
  }

  static void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
};

}  // namespace vantor_test
