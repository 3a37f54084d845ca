// Our DirectDraw: modes, the flip chain, blits, palettes, lost surfaces and
// object lifetimes, read back through the picture on screen.
#include <ddraw.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "display_fixture.h"

namespace {

using vantor_test::Cases;
using vantor_test::DisplayTest;

TEST_F(DisplayTest, DisplayModesAcceptTheProgramsSizesAndRefuseTheRest) {
  LPDIRECTDRAW dd = OpenExclusive();
  ASSERT_NE(dd, nullptr);
  EXPECT_EQ(dd->SetDisplayMode(320, 200, 8), DD_OK);
  EXPECT_EQ(dd->SetDisplayMode(512, 384, 8), DD_OK);
  EXPECT_EQ(dd->SetDisplayMode(640, 480, 8), DD_OK);
  EXPECT_EQ(dd->SetDisplayMode(1, 1, 8), DD_OK);
  // What an unknown video mode turns into.
  EXPECT_EQ(dd->SetDisplayMode(0, 0, 8), DDERR_INVALIDMODE);
  EXPECT_EQ(dd->SetDisplayMode(640, 0, 8), DDERR_INVALIDMODE);
  EXPECT_EQ(dd->SetDisplayMode(0xFFFFFFFFu, 480, 8), DDERR_INVALIDMODE);
  EXPECT_NE(dd->SetDisplayMode(640, 480, 16), DD_OK);
  EXPECT_NE(dd->SetDisplayMode(640, 480, 32), DD_OK);
  dd->Release();

  LPDIRECTDRAW plain = nullptr;
  ASSERT_EQ(DirectDrawCreate(nullptr, &plain, nullptr), DD_OK);
  EXPECT_EQ(plain->SetDisplayMode(640, 480, 8), DDERR_NOCOOPERATIVELEVELSET);
  plain->Release();
}

TEST_F(DisplayTest, NoDisplayMeansNoDirectDraw) {
  platform_test::SetNoDisplay(true);
  LPDIRECTDRAW dd = reinterpret_cast<LPDIRECTDRAW>(&dd);  // must be overwritten
  EXPECT_TRUE(FAILED(DirectDrawCreate(nullptr, &dd, nullptr)));
  EXPECT_EQ(dd, nullptr);
}

TEST_F(DisplayTest, FlipShowsTheBackBufferAndHandsBackTheOldFront) {
  Chain chain = OpenChain(320, 200);
  ASSERT_NE(chain.back, nullptr);

  DDSURFACEDESC desc = LockDesc(chain.back);
  EXPECT_EQ(desc.dwWidth, 320u);
  EXPECT_EQ(desc.dwHeight, 200u);
  EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 8u);
  EXPECT_NE(desc.ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED8, 0u);
  ASSERT_GE(desc.lPitch, 320);
  auto* back = static_cast<uint8_t*>(desc.lpSurface);
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 320; ++x) back[y * desc.lPitch + x] = static_cast<uint8_t>(x * 7 + y * 3);
  }
  EXPECT_EQ(chain.back->Unlock(nullptr), DD_OK);

  platform_test::Screen before;
  ASSERT_TRUE(platform_test::ReadScreen(before));
  ASSERT_EQ(chain.primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  platform_test::Screen after;
  ASSERT_TRUE(platform_test::ReadScreen(after));
  ASSERT_EQ(after.width, 320);
  ASSERT_EQ(after.height, 200);
  EXPECT_EQ(after.flipCount, before.flipCount + 1);
  EXPECT_EQ(after.presentCount, before.presentCount + 1);
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 320; ++x) {
      ASSERT_EQ(after.pixels[y * 320 + x], static_cast<uint8_t>(x * 7 + y * 3)) << x << "," << y;
    }
  }

  // The back buffer now holds what was on screen before: nothing yet.
  DDSURFACEDESC again = LockDesc(chain.back);
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 320; ++x) ASSERT_EQ(static_cast<uint8_t*>(again.lpSurface)[y * again.lPitch + x], 0);
  }
  chain.back->Unlock(nullptr);
  // The address fetched before the flip stays usable memory (now the front).
  back[0] = 99;
  DDSURFACEDESC front = LockDesc(chain.primary);
  EXPECT_EQ(static_cast<uint8_t*>(front.lpSurface)[0], 99);
  chain.primary->Unlock(nullptr);
}

TEST_F(DisplayTest, CopyOntoThePrimaryShowsAtOnceWithoutAFlip) {
  Chain chain = OpenChain(640, 480);
  LPDIRECTDRAWSURFACE work = MakeOffscreen(chain.dd, 30, 20, DDSCAPS_SYSTEMMEMORY);
  ASSERT_NE(work, nullptr);
  FillPattern(work, 5);
  platform_test::Screen before;
  ASSERT_TRUE(platform_test::ReadScreen(before));
  ASSERT_EQ(chain.primary->BltFast(64, 48, work, nullptr, DDBLTFAST_WAIT), DD_OK);
  platform_test::Screen after;
  ASSERT_TRUE(platform_test::ReadScreen(after));
  EXPECT_EQ(after.presentCount, before.presentCount + 1);
  EXPECT_EQ(after.flipCount, before.flipCount);
  std::vector<uint8_t> expected = Pixels(work);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      bool inside = x >= 64 && x < 94 && y >= 48 && y < 68;
      uint8_t want = inside ? expected[(y - 48) * 30 + (x - 64)] : 0;
      ASSERT_EQ(after.pixels[y * 640 + x], want) << x << "," << y;
    }
  }
  // A copy into the back buffer is not shown.
  ASSERT_EQ(chain.back->BltFast(0, 0, work, nullptr, DDBLTFAST_WAIT), DD_OK);
  platform_test::Screen unchanged;
  ASSERT_TRUE(platform_test::ReadScreen(unchanged));
  EXPECT_EQ(unchanged.presentCount, after.presentCount);
  work->Release();
}

TEST_F(DisplayTest, DrawingIntoThePrimaryShowsWhenMessagesArePumped) {
  Chain chain = OpenChain(320, 200);
  PumpMessages();
  platform_test::Screen before;
  ASSERT_TRUE(platform_test::ReadScreen(before));
  DDSURFACEDESC desc = LockDesc(chain.primary);
  chain.primary->Unlock(nullptr);
  static_cast<uint8_t*>(desc.lpSurface)[10 * desc.lPitch + 20] = 42;  // after the unlock, as the program does
  PumpMessages();
  platform_test::Screen after;
  ASSERT_TRUE(platform_test::ReadScreen(after));
  EXPECT_EQ(after.presentCount, before.presentCount + 1);
  EXPECT_EQ(after.flipCount, before.flipCount);
  EXPECT_EQ(after.pixels[10 * 320 + 20], 42);
  // Nothing new drawn: nothing new shown.
  PumpMessages();
  platform_test::Screen idle;
  ASSERT_TRUE(platform_test::ReadScreen(idle));
  EXPECT_EQ(idle.presentCount, after.presentCount);
}

TEST_F(DisplayTest, ColorFillAndRectanglesStayInsideTheSurface) {
  LPDIRECTDRAW dd = OpenExclusive();
  LPDIRECTDRAWSURFACE surface = MakeOffscreen(dd, 13, 9, 0);  // pitch 16: padding after each row
  ASSERT_NE(surface, nullptr);
  DDBLTFX fx;
  std::memset(&fx, 0, sizeof fx);
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0x1234;  // only the low byte is a palette index
  RECT area = {2, 3, 7, 5};
  ASSERT_EQ(surface->Blt(&area, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
  std::vector<uint8_t> pixels = Pixels(surface);
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 13; ++x) {
      bool inside = x >= 2 && x < 7 && y >= 3 && y < 5;
      ASSERT_EQ(pixels[y * 13 + x], inside ? 0x34 : 0) << x << "," << y;
    }
  }

  // Rectangles reaching outside, empty or inverted are refused and draw nothing.
  fx.dwFillColor = 9;
  const RECT refused[] = {{-1, 0, 4, 4}, {10, 0, 14, 4}, {0, 5, 4, 10}, {3, 3, 3, 6}, {5, 2, 4, 6}};
  for (RECT r : refused) {
    EXPECT_EQ(surface->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DDERR_INVALIDRECT);
  }
  LPDIRECTDRAWSURFACE source = MakeOffscreen(dd, 4, 4, 0);
  FillPattern(source, 1);
  EXPECT_EQ(surface->BltFast(10, 0, source, nullptr, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
  EXPECT_EQ(surface->BltFast(0, 6, source, nullptr, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
  EXPECT_EQ(surface->BltFast(0xFFFFFFF0u, 0, source, nullptr, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
  RECT outsideSource = {2, 2, 6, 4};
  EXPECT_EQ(surface->BltFast(0, 0, source, &outsideSource, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
  EXPECT_EQ(Pixels(surface), pixels);

  // The whole surface when no rectangle is given.
  ASSERT_EQ(surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
  EXPECT_EQ(Pixels(surface), std::vector<uint8_t>(13 * 9, 9));
  source->Release();
  surface->Release();
  dd->Release();
}

// Random blits between surfaces of odd widths, with and without colour key
// and stretching, against a per-pixel model.
TEST_F(DisplayTest, BlitsMatchAPerPixelModel) {
  LPDIRECTDRAW dd = OpenExclusive();
  std::mt19937 random(1234);
  const int cases = Cases(200);
  for (int n = 0; n < cases; ++n) {
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const int dw = pick(1, 23), dh = pick(1, 17), sw = pick(1, 23), sh = pick(1, 17);
    LPDIRECTDRAWSURFACE dest = MakeOffscreen(dd, dw, dh, 0);
    LPDIRECTDRAWSURFACE source = MakeOffscreen(dd, sw, sh, 0);
    FillPattern(dest, pick(0, 255));
    FillPattern(source, pick(0, 255));
    const bool keyed = pick(0, 1) == 1;
    DDCOLORKEY key = {static_cast<DWORD>(pick(0, 255)), 0};
    key.dwColorSpaceHighValue = key.dwColorSpaceLowValue;
    ASSERT_EQ(source->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    RECT s;
    s.left = pick(0, sw - 1);
    s.top = pick(0, sh - 1);
    s.right = pick(s.left + 1, sw);
    s.bottom = pick(s.top + 1, sh);
    RECT d;
    const bool fast = pick(0, 1) == 1;
    if (fast) {
      d.left = pick(0, dw - 1);
      d.top = pick(0, dh - 1);
      d.right = d.left + (s.right - s.left);
      d.bottom = d.top + (s.bottom - s.top);
    } else {
      d.left = pick(0, dw - 1);
      d.top = pick(0, dh - 1);
      d.right = pick(d.left + 1, dw);
      d.bottom = pick(d.top + 1, dh);
    }
    const bool fits = d.right <= dw && d.bottom <= dh;
    std::vector<uint8_t> from = Pixels(source);
    std::vector<uint8_t> model = Pixels(dest);
    if (fits) {
      const int width = d.right - d.left, height = d.bottom - d.top;
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          // Nearest neighbour: the source pixel whose span covers this one's left/top edge.
          int sx = s.left + x * (s.right - s.left) / width;
          int sy = s.top + y * (s.bottom - s.top) / height;
          uint8_t pixel = from[sy * sw + sx];
          if (keyed && pixel == key.dwColorSpaceLowValue) continue;
          model[(d.top + y) * dw + d.left + x] = pixel;
        }
      }
    }
    HRESULT result =
        fast ? dest->BltFast(d.left, d.top, source, &s,
                             DDBLTFAST_WAIT | (keyed ? DDBLTFAST_SRCCOLORKEY : DDBLTFAST_NOCOLORKEY))
             : dest->Blt(&d, source, &s, DDBLT_WAIT | (keyed ? DDBLT_KEYSRC : 0), nullptr);
    EXPECT_EQ(result, fits ? DD_OK : DDERR_INVALIDRECT) << "case " << n;
    EXPECT_EQ(Pixels(dest), model) << "case " << n << (fast ? " BltFast" : " Blt");
    source->Release();
    dest->Release();
    if (HasFailure()) break;
  }
  dd->Release();
}

TEST_F(DisplayTest, KeyedBlitsNeedAKeyAndOverlappingBlitsReadTheOldPixels) {
  LPDIRECTDRAW dd = OpenExclusive();
  LPDIRECTDRAWSURFACE source = MakeOffscreen(dd, 8, 8, 0);
  LPDIRECTDRAWSURFACE dest = MakeOffscreen(dd, 8, 8, 0);
  EXPECT_EQ(dest->BltFast(0, 0, source, nullptr, DDBLTFAST_SRCCOLORKEY), DDERR_NOCOLORKEY);
  EXPECT_EQ(dest->Blt(nullptr, source, nullptr, DDBLT_KEYSRC, nullptr), DDERR_NOCOLORKEY);

  // Moving a row one pixel to the right within the same surface.
  FillPattern(dest, 3);
  std::vector<uint8_t> before = Pixels(dest);
  RECT from = {0, 2, 7, 3};
  RECT to = {1, 2, 8, 3};
  ASSERT_EQ(dest->Blt(&to, dest, &from, DDBLT_WAIT, nullptr), DD_OK);
  std::vector<uint8_t> after = Pixels(dest);
  for (int x = 1; x < 8; ++x) EXPECT_EQ(after[2 * 8 + x], before[2 * 8 + x - 1]);
  // And a block down-left, overlapping itself.
  before = after;
  RECT up = {2, 0, 6, 4};
  ASSERT_EQ(dest->BltFast(1, 2, dest, &up, DDBLTFAST_WAIT), DD_OK);
  after = Pixels(dest);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(after[(2 + y) * 8 + 1 + x], before[y * 8 + 2 + x]);
  }
  source->Release();
  dest->Release();
  dd->Release();
}

TEST_F(DisplayTest, PaletteChangesOnThePrimaryAreShown) {
  Chain chain = OpenChain(320, 200);
  PALETTEENTRY entries[256];
  for (int i = 0; i < 256; ++i) entries[i] = {static_cast<BYTE>(i), static_cast<BYTE>(255 - i), 7, 0};
  LPDIRECTDRAWPALETTE palette = nullptr;
  ASSERT_EQ(chain.dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
  ASSERT_EQ(chain.primary->SetPalette(palette), DD_OK);
  PumpMessages();
  platform_test::Screen screen;
  ASSERT_TRUE(platform_test::ReadScreen(screen));
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(screen.palette[i].peRed, entries[i].peRed);
    ASSERT_EQ(screen.palette[i].peGreen, entries[i].peGreen);
    ASSERT_EQ(screen.palette[i].peBlue, entries[i].peBlue);
  }
  PALETTEENTRY changed[2] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
  ASSERT_EQ(palette->SetEntries(0, 100, 2, changed), DD_OK);
  EXPECT_NE(palette->SetEntries(0, 255, 2, changed), DD_OK);  // past the end
  PumpMessages();
  ASSERT_TRUE(platform_test::ReadScreen(screen));
  EXPECT_EQ(screen.palette[100].peRed, 1);
  EXPECT_EQ(screen.palette[101].peBlue, 6);
  EXPECT_EQ(screen.palette[102].peRed, 102);

  // The surface holds its own reference: the program may let go of its own.
  EXPECT_EQ(palette->Release(), 1u);
  LPDIRECTDRAWPALETTE attached = nullptr;
  ASSERT_EQ(chain.primary->GetPalette(&attached), DD_OK);
  EXPECT_EQ(attached, palette);
  PALETTEENTRY read[1];
  ASSERT_EQ(attached->GetEntries(0, 101, 1, read), DD_OK);
  EXPECT_EQ(read[0].peGreen, 5);
  attached->Release();
  // A new palette replaces the old one (which goes away with the last reference).
  LPDIRECTDRAWPALETTE next = nullptr;
  ASSERT_EQ(chain.dd->CreatePalette(DDPCAPS_8BIT, entries, &next, nullptr), DD_OK);
  ASSERT_EQ(chain.primary->SetPalette(next), DD_OK);
  next->Release();
  PumpMessages();
  ASSERT_TRUE(platform_test::ReadScreen(screen));
  EXPECT_EQ(screen.palette[100].peRed, 100);
}

TEST_F(DisplayTest, LostSurfacesRefuseEverythingUntilRestoredEmpty) {
  Chain chain = OpenChain(320, 200);
  LPDIRECTDRAWSURFACE sprite = MakeOffscreen(chain.dd, 16, 16, 0);
  FillPattern(sprite, 11);
  platform_test::ForceSurfaceLost(sprite);
  DDSURFACEDESC desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  EXPECT_EQ(sprite->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(sprite->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(chain.back->BltFast(0, 0, sprite, nullptr, DDBLTFAST_WAIT), DDERR_SURFACELOST);
  EXPECT_EQ(sprite->BltFast(0, 0, chain.back, nullptr, DDBLTFAST_WAIT), DDERR_SURFACELOST);
  HDC dc = nullptr;
  EXPECT_EQ(sprite->GetDC(&dc), DDERR_SURFACELOST);
  ASSERT_EQ(sprite->Restore(), DD_OK);
  EXPECT_EQ(sprite->IsLost(), DD_OK);
  EXPECT_EQ(Pixels(sprite), std::vector<uint8_t>(16 * 16, 0));

  // The flip chain is lost as a whole and comes back with the primary.
  FillPattern(chain.back, 4);
  platform_test::ForceSurfaceLost(chain.primary);
  EXPECT_EQ(chain.primary->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
  EXPECT_EQ(chain.back->IsLost(), DDERR_SURFACELOST);
  ASSERT_EQ(chain.primary->Restore(), DD_OK);
  EXPECT_EQ(chain.back->IsLost(), DD_OK);
  EXPECT_EQ(Pixels(chain.back), std::vector<uint8_t>(320 * 200, 0));
  EXPECT_EQ(chain.primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  sprite->Release();
}

TEST_F(DisplayTest, FailedSurfaceCreationsReportAndCountDown) {
  LPDIRECTDRAW dd = OpenExclusive();
  platform_test::FailNextSurfaceCreations(2);
  LPDIRECTDRAWSURFACE surface = reinterpret_cast<LPDIRECTDRAWSURFACE>(&surface);
  EXPECT_TRUE(FAILED(TryOffscreen(dd, 8, 8, &surface)));
  EXPECT_EQ(surface, nullptr);
  EXPECT_TRUE(FAILED(TryOffscreen(dd, 8, 8, &surface)));
  ASSERT_EQ(TryOffscreen(dd, 8, 8, &surface), DD_OK);
  surface->Release();
  // Sizes no surface can have.
  EXPECT_TRUE(FAILED(TryOffscreen(dd, 0, 8, &surface)));
  EXPECT_TRUE(FAILED(TryOffscreen(dd, 8, 0, &surface)));
  EXPECT_TRUE(FAILED(TryOffscreen(dd, 100000, 8, &surface)));
  dd->Release();
}

TEST_F(DisplayTest, LocksAndSurfaceDescriptions) {
  LPDIRECTDRAW dd = OpenExclusive();
  LPDIRECTDRAWSURFACE surface = MakeOffscreen(dd, 13, 5, DDSCAPS_SYSTEMMEMORY);
  DDSURFACEDESC desc;
  std::memset(&desc, 0, sizeof desc);
  EXPECT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);  // size field unset
  EXPECT_EQ(surface->Unlock(nullptr), DDERR_NOTLOCKED);
  desc.dwSize = sizeof desc;
  ASSERT_EQ(surface->GetSurfaceDesc(&desc), DD_OK);
  EXPECT_EQ(desc.dwWidth, 13u);
  EXPECT_EQ(desc.lPitch % 4, 0);
  EXPECT_GE(desc.lPitch, 13);
  EXPECT_NE(desc.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY, 0u);
  // A locked rectangle starts at its corner.
  DDSURFACEDESC whole = LockDesc(surface);
  surface->Unlock(nullptr);
  RECT part = {3, 2, 5, 4};
  desc.dwSize = sizeof desc;
  ASSERT_EQ(surface->Lock(&part, &desc, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(desc.lpSurface, static_cast<uint8_t*>(whole.lpSurface) + 2 * whole.lPitch + 3);
  surface->Unlock(nullptr);
  RECT outside = {10, 0, 14, 2};
  EXPECT_EQ(surface->Lock(&outside, &desc, DDLOCK_WAIT, nullptr), DDERR_INVALIDRECT);
  surface->Release();
  dd->Release();
}

// Ref-counting mistakes show up as leaks or use after free under the sanitizers.
TEST_F(DisplayTest, ReleasesInAnyOrderAreSafe) {
  {
    Chain chain = OpenChain(320, 200);
    LPDIRECTDRAWSURFACE second = nullptr;
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    EXPECT_EQ(chain.dd->CreateSurface(&desc, &second, nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS);
    // The primary first: the back buffer lives on while the program holds it.
    EXPECT_EQ(chain.primary->Release(), 0u);
    FillPattern(chain.back, 2);
    EXPECT_EQ(chain.back->Release(), 0u);
    // With the primary gone, a new one can be made.
    ASSERT_EQ(chain.dd->CreateSurface(&desc, &second, nullptr), DD_OK);
    second->Release();
    chain.dd->Release();
  }
  {
    // The DirectDraw object first: its surfaces are orphaned, not freed.
    Chain chain = OpenChain(320, 200);
    LPDIRECTDRAWSURFACE sprite = MakeOffscreen(chain.dd, 8, 8, 0);
    HDC dc = nullptr;
    ASSERT_EQ(sprite->GetDC(&dc), DD_OK);
    EXPECT_EQ(chain.dd->Release(), 0u);
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    EXPECT_EQ(chain.back->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(chain.primary->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
    EXPECT_FALSE(TextOutA(dc, 0, 0, "A", 1));
    chain.back->Release();
    chain.primary->Release();
    sprite->Release();  // its device context goes with it
    EXPECT_FALSE(SetBkMode(dc, TRANSPARENT));
  }
  {
    // A platform reset while the program still holds everything.
    Chain chain = OpenChain(320, 200);
    LPDIRECTDRAWPALETTE palette = nullptr;
    PALETTEENTRY entries[256] = {};
    ASSERT_EQ(chain.dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &palette, nullptr), DD_OK);
    chain.primary->SetPalette(palette);
    platform_test::ResetPlatform();
    platform_test::Screen screen;
    EXPECT_FALSE(platform_test::ReadScreen(screen));
    EXPECT_EQ(chain.primary->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
    chain.back->Release();
    chain.primary->Release();
    palette->Release();
    chain.dd->Release();
  }
}

}  // namespace
