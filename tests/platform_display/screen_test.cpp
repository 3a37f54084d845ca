// Where the picture lands in the window, and how its pixels become colours.
#include <random>

#include "ddraw_objects.h"
#include "display_fixture.h"

namespace {

using vantor_test::Cases;
using vantor_test::DisplayTest;

// Inside the output, centred, touching two opposite edges, and 4:3 within
// the rounding of one pixel.
void ExpectFourByThree(int outputWidth, int outputHeight) {
  vt::ScreenRect r = vt::ScreenDestination(outputWidth, outputHeight);
  SCOPED_TRACE(testing::Message() << outputWidth << "x" << outputHeight);
  ASSERT_GE(r.x, 0);
  ASSERT_GE(r.y, 0);
  ASSERT_LE(r.x + r.width, outputWidth);
  ASSERT_LE(r.y + r.height, outputHeight);
  EXPECT_LE(std::abs((outputWidth - r.width - r.x) - r.x), 1);
  EXPECT_LE(std::abs((outputHeight - r.height - r.y) - r.y), 1);
  EXPECT_TRUE(r.width == outputWidth || r.height == outputHeight);
  EXPECT_LE(std::abs(r.width * 3 - r.height * 4), 4);
}

TEST(ScreenDestination, KeepsTheFourByThreeShape) {
  // A wide screen gets bars left and right, a 5:4 one above and below.
  vt::ScreenRect wide = vt::ScreenDestination(1920, 1080);
  EXPECT_EQ(wide.height, 1080);
  EXPECT_EQ(wide.width, 1080 * 4 / 3);
  EXPECT_EQ(wide.x, (1920 - 1080 * 4 / 3) / 2);
  EXPECT_EQ(wide.y, 0);
  vt::ScreenRect tall = vt::ScreenDestination(1280, 1024);
  EXPECT_EQ(tall.width, 1280);
  EXPECT_EQ(tall.height, 1280 * 3 / 4);
  EXPECT_EQ(tall.x, 0);
  EXPECT_EQ(tall.y, (1024 - 1280 * 3 / 4) / 2);
  vt::ScreenRect exact = vt::ScreenDestination(640, 480);
  EXPECT_EQ(exact.width, 640);
  EXPECT_EQ(exact.height, 480);

  std::mt19937 random(77);
  std::uniform_int_distribution<int> size(1, 5000);
  for (int n = 0; n < Cases(500) && !testing::Test::HasFailure(); ++n)
    ExpectFourByThree(size(random), size(random));
  vt::ScreenRect none = vt::ScreenDestination(0, 0);
  EXPECT_EQ(none.width * none.height, 0);
}

TEST(ConvertToRgb, UsesThePaletteAndSkipsThePitchPadding) {
  PALETTEENTRY palette[256];
  for (int i = 0; i < 256; ++i)
    palette[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i / 2), static_cast<BYTE>(255 - i), 0};
  const uint8_t pixels[2 * 4] = {1, 2, 3, 77, 250, 0, 9, 77};  // width 3, pitch 4
  uint32_t out[2 * 5];
  std::fill(std::begin(out), std::end(out), 0x12345678u);
  vt::ConvertToRgb(pixels, 4, 3, 2, palette, out, 5);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      const PALETTEENTRY& e = palette[pixels[y * 4 + x]];
      uint32_t want = 0xFF000000u | static_cast<uint32_t>(e.peRed) << 16 |
                      static_cast<uint32_t>(e.peGreen) << 8 | e.peBlue;
      EXPECT_EQ(out[y * 5 + x], want);
    }
    EXPECT_EQ(out[y * 5 + 3], 0x12345678u);  // beyond the width: untouched
  }
}

TEST_F(DisplayTest, TheScreenHasTheModesSizeFromTheStart) {
  platform_test::Screen screen;
  EXPECT_FALSE(platform_test::ReadScreen(screen));
  Chain chain = OpenChain(512, 384);
  ASSERT_TRUE(platform_test::ReadScreen(screen));
  EXPECT_EQ(screen.width, 512);
  EXPECT_EQ(screen.height, 384);
  EXPECT_EQ(screen.pixels.size(), 512u * 384u);
  // A lone primary, no flip chain: flipping is refused.
  chain.back->Release();
  chain.primary->Release();
  DDSURFACEDESC desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  LPDIRECTDRAWSURFACE primary = nullptr;
  ASSERT_EQ(chain.dd->CreateSurface(&desc, &primary, nullptr), DD_OK);
  EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
  DDSCAPS caps = {DDSCAPS_BACKBUFFER};
  LPDIRECTDRAWSURFACE back = nullptr;
  EXPECT_EQ(primary->GetAttachedSurface(&caps, &back), DDERR_NOTFOUND);
  EXPECT_EQ(chain.dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
  EXPECT_EQ(chain.dd->RestoreDisplayMode(), DD_OK);
  primary->Release();
  chain.dd->Release();
}

}  // namespace
