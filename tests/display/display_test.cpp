#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "display/display.h"
#include "input/keyboard.h"
#include "render/drawtarget.h"
#include "support/headless.h"
#include "text/font.h"

namespace {

std::vector<uint8_t> Table(uint8_t blue, uint8_t green, uint8_t red) {
  std::vector<uint8_t> table(1024, 0);
  for (int i = 0; i < 256; ++i) {
    table[i * 4 + 0] = blue;
    table[i * 4 + 1] = green;
    table[i * 4 + 2] = red;
    table[i * 4 + 3] = 0xEE;  // ignored
  }
  return table;
}

TEST(PaletteFormulas, BrightnessScalesWithTruncation) {
  PALETTEENTRY entries[256];
  auto white = Table(255, 255, 255);
  BrightnessEntries(white.data(), 0, entries);
  EXPECT_EQ(entries[0].peRed + entries[0].peGreen + entries[0].peBlue, 0);
  BrightnessEntries(white.data(), 50, entries);
  EXPECT_EQ(entries[7].peRed, 127);
  EXPECT_EQ(entries[7].peGreen, 127);
  EXPECT_EQ(entries[7].peBlue, 127);
  EXPECT_EQ(entries[7].peFlags, 0);
  auto mixed = Table(30, 20, 10);  // blue, green, red
  BrightnessEntries(mixed.data(), 100, entries);
  EXPECT_EQ(entries[255].peRed, 10);
  EXPECT_EQ(entries[255].peGreen, 20);
  EXPECT_EQ(entries[255].peBlue, 30);
  BrightnessEntries(mixed.data(), 99, entries);
  EXPECT_EQ(entries[1].peRed, 9);  // 990 / 100 truncates
}

TEST(PaletteFormulas, SaturationBlendsTowardsWeightedGrey) {
  PALETTEENTRY entries[256];
  auto red = Table(0, 0, 255);
  SaturationEntries(red.data(), 0, entries);
  EXPECT_EQ(entries[3].peRed, 76);
  EXPECT_EQ(entries[3].peGreen, 76);
  EXPECT_EQ(entries[3].peBlue, 76);
  auto white = Table(255, 255, 255);
  SaturationEntries(white.data(), 0, entries);  // the weights sum to 99
  EXPECT_EQ(entries[3].peRed, 252);
  EXPECT_EQ(entries[3].peBlue, 252);
  auto mixed = Table(200, 100, 50);
  SaturationEntries(mixed.data(), 100, entries);
  EXPECT_EQ(entries[9].peRed, 50);
  EXPECT_EQ(entries[9].peGreen, 100);
  EXPECT_EQ(entries[9].peBlue, 200);
  // Halfway: grey = (1500 + 5900 + 2000 + 1) / 100 = 94.
  SaturationEntries(mixed.data(), 50, entries);
  EXPECT_EQ(entries[9].peRed, (50 * 50 + 50 * 94) / 100);
  EXPECT_EQ(entries[9].peBlue, (50 * 200 + 50 * 94) / 100);
}

TEST(DrawTargetInit, RefusedWhileDisplayIsNotReady) {
  drawTarget = {};
  EXPECT_EQ(InitDrawTarget(nullptr, 320, 200, nullptr, 320, false), 0);
  EXPECT_EQ(drawTarget.screenWidth, 0);
  EXPECT_EQ(InitDrawTarget(nullptr, 320, 200, nullptr, 336, true), 1);
  EXPECT_EQ(drawTarget.pitch, 336);
  EXPECT_EQ(drawTarget.clipRight, 319);
  EXPECT_EQ(drawTarget.clipBottom, 199);
  EXPECT_EQ(drawTarget.clipWidth, 320);
  EXPECT_EQ(drawTarget.clipHeight, 200);
  SetClipRect(INT32_MIN, 0, INT32_MAX, 0);  // widths saturate instead of overflowing
  EXPECT_EQ(drawTarget.clipWidth, INT32_MAX);
}

class Display : public vantor_test::Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    window = MakeWindow();
    std::string path = vantor_test::RunDir() + "/font.rsf";
    ASSERT_EQ(OpenResourcePack(path.c_str(), &fonts), 1) << path;
  }
  void TearDown() override {
    if (displayDevice.ready) ShutdownDisplay();
    displayDevice = {};
    DestroyResourcePack(fonts);
    Headless::TearDown();
  }
  DisplayConfig Config(int32_t flags, int32_t width, int32_t height, int32_t workWidth, int32_t workHeight) {
    DisplayConfig config = {};
    config.flags = flags;
    config.fontPack = fonts;
    config.displayWidth = width;
    config.displayHeight = height;
    config.workWidth = workWidth;
    config.workHeight = workHeight;
    return config;
  }
  // Fills the work area through the frame's own path: lock, unlock, draw.
  void FillWork(uint8_t colour) {
    int32_t pitch = 0;
    uint8_t* memory = LockSurface(displayDevice.workSurface, &pitch);
    ASSERT_NE(memory, nullptr);
    UnlockSurface(displayDevice.workSurface);
    for (int y = 0; y < displayDevice.workHeight; ++y) std::memset(memory + y * pitch, colour, displayDevice.workWidth);
  }
  HWND window = nullptr;
  ResourcePack* fonts = nullptr;
};

TEST_F(Display, CentredModeWithWorkSurfaceShowsPictureInTheMiddle) {
  ASSERT_EQ(InitDisplay(window, Config(DISPLAY_WORKSURFACE, 640, 480, 512, 384)), 1);
  EXPECT_EQ(displayDevice.workWidth, 512);
  EXPECT_EQ(displayDevice.workHeight, 384);
  EXPECT_EQ(displayDevice.workOffsetX, 64);
  EXPECT_EQ(displayDevice.workOffsetY, 48);
  EXPECT_NE(displayDevice.workSurface, displayDevice.backBuffer);
  EXPECT_EQ(drawTarget.screenWidth, 512);
  EXPECT_EQ(textWidth, 512);

  FillWork(9);
  platform_test::Screen before;
  ASSERT_TRUE(platform_test::ReadScreen(before));
  PresentFrame(PRESENT_COPY);
  platform_test::Screen screen;
  ASSERT_TRUE(platform_test::ReadScreen(screen));
  ASSERT_EQ(screen.width, 640);
  ASSERT_EQ(screen.height, 480);
  EXPECT_GT(screen.presentCount, before.presentCount);
  EXPECT_EQ(screen.flipCount, before.flipCount);  // a copy never flips
  auto at = [&](int x, int y) { return screen.pixels[y * 640 + x]; };
  EXPECT_EQ(at(64, 48), 9);
  EXPECT_EQ(at(575, 431), 9);
  EXPECT_EQ(at(63, 48), 0);
  EXPECT_EQ(at(576, 431), 0);
  EXPECT_EQ(at(64, 47), 0);
  EXPECT_EQ(at(575, 432), 0);

  // Presenting by flip copies into the back buffer and flips it to the front.
  FillWork(12);
  PresentFrame(PRESENT_FLIP);
  ASSERT_TRUE(platform_test::ReadScreen(screen));
  EXPECT_EQ(screen.flipCount, before.flipCount + 1);
  EXPECT_EQ(screen.pixels[200 * 640 + 300], 12);
}

TEST_F(Display, CentredModeWithBackBufferDrawsTheWholeScreen) {
  ASSERT_EQ(InitDisplay(window, Config(DISPLAY_BACKBUFFER, 640, 480, 512, 384)), 1);
  EXPECT_EQ(displayDevice.workWidth, 640);
  EXPECT_EQ(displayDevice.workHeight, 480);
  EXPECT_EQ(displayDevice.workOffsetX, 0);
  EXPECT_EQ(displayDevice.workOffsetY, 0);
  EXPECT_EQ(displayDevice.workSurface, displayDevice.backBuffer);

  FillWork(5);
  platform_test::Screen screen;
  PresentFrame(PRESENT_FLIP);
  ASSERT_TRUE(platform_test::ReadScreen(screen));
  EXPECT_EQ(screen.pixels[0], 5);
  EXPECT_EQ(screen.pixels[479 * 640 + 639], 5);
  uint32_t flips = screen.flipCount;

  // After the flip the work surface is the other page; copy mode puts it on
  // the front as it is, without a flip.
  FillWork(6);
  PresentFrame(PRESENT_COPY);
  ASSERT_TRUE(platform_test::ReadScreen(screen));
  EXPECT_EQ(screen.flipCount, flips);
  EXPECT_EQ(screen.pixels[240 * 640 + 320], 6);

  PresentFrame(3);  // unknown modes do nothing
  platform_test::Screen after;
  ASSERT_TRUE(platform_test::ReadScreen(after));
  EXPECT_EQ(after.presentCount, screen.presentCount);
}

TEST_F(Display, InitialisationResultCodes) {
  EXPECT_EQ(InitDisplay(window, Config(DISPLAY_WORKSURFACE, 320, 200, 512, 384)), -1);
  EXPECT_EQ(InitDisplay(window, Config(0, 320, 200, 320, 200)), -2);
  CloseDirectDraw();
  // Work size 0 x 0 means the display size.
  ASSERT_EQ(InitDisplay(window, Config(DISPLAY_WORKSURFACE, 320, 200, 0, 0)), 1);
  EXPECT_EQ(displayDevice.workWidth, 320);
  EXPECT_EQ(displayDevice.workOffsetX, 0);
  ShutdownDisplay();
  EXPECT_EQ(displayDevice.ready, 0);
  EXPECT_EQ(displayDevice.workSurface, nullptr);

  // A video mode of no size cannot be set: DirectDraw fails, with its box.
  platform_test::TakeMessageBoxes();
  EXPECT_EQ(InitDisplay(window, Config(DISPLAY_WORKSURFACE, 0, 0, 0, 0)), -3);
  auto boxes = platform_test::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Direct-X Error|Can't initialize Direct-X!");
  CloseDirectDraw();

  // The flip chain is made, the work surface is not.
  platform_test::FailNextSurfaceCreations(1, 1);
  EXPECT_EQ(InitDisplay(window, Config(DISPLAY_WORKSURFACE, 320, 200, 320, 200)), -4);
  EXPECT_EQ(displayDevice.workSurface, nullptr);
  platform_test::FailNextSurfaceCreations(0);
  CloseDirectDraw();

  // A font pack that did not open: fonts fail.
  ResourcePack* closed = nullptr;
  OpenResourcePack("no-such-pack.rsf", &closed);
  DisplayConfig config = Config(DISPLAY_BACKBUFFER, 320, 200, 320, 200);
  config.fontPack = closed;
  EXPECT_EQ(InitDisplay(window, config), -6);
  ShutdownDisplay();
  DestroyResourcePack(closed);
}

TEST_F(Display, NoDisplayAtAllFailsDirectDraw) {
  platform_test::SetNoDisplay(true);
  EXPECT_EQ(InitDisplay(window, Config(DISPLAY_BACKBUFFER, 640, 480, 640, 480)), -3);
  EXPECT_EQ(displayDevice.ready, 0);
  platform_test::SetNoDisplay(false);
}

TEST_F(Display, LostWorkSurfaceIsRestoredEmptyByTheLock) {
  ASSERT_EQ(InitDisplay(window, Config(DISPLAY_WORKSURFACE, 320, 200, 320, 200)), 1);
  FillWork(7);
  platform_test::ForceSurfaceLost(displayDevice.workSurface);
  platform_test::ForceSurfaceLost(displayDevice.primary);
  int32_t pitch = 0;
  uint8_t* memory = LockSurface(displayDevice.workSurface, &pitch);
  ASSERT_NE(memory, nullptr);
  UnlockSurface(displayDevice.workSurface);
  EXPECT_GE(pitch, 320);
  EXPECT_EQ(memory[0], 0);  // what was drawn before the loss is gone
  // The primary was restored on the way, so presenting works again.
  FillWork(3);
  PresentFrame(PRESENT_FLIP);
  platform_test::Screen screen;
  ASSERT_TRUE(platform_test::ReadScreen(screen));
  EXPECT_EQ(screen.pixels[100 * 320 + 100], 3);
}

TEST_F(Display, PaletteStepsShowOnScreenAndGdiTextDraws) {
  ASSERT_EQ(InitDisplay(window, Config(DISPLAY_BACKBUFFER, 320, 200, 320, 200)), 1);
  std::vector<uint8_t> table(1024, 0);
  for (int i = 0; i < 256; ++i) {
    table[i * 4 + 0] = static_cast<uint8_t>(i / 4);  // blue
    table[i * 4 + 1] = static_cast<uint8_t>(i / 2);  // green
    table[i * 4 + 2] = static_cast<uint8_t>(i);      // red
  }
  LPDIRECTDRAWPALETTE palette = CreateDevicePalette(window, table.data());
  ASSERT_NE(palette, nullptr);
  EXPECT_EQ(SetPrimaryPalette(palette), 1);
  palette->Release();
  EXPECT_EQ(SetPaletteBrightness(table.data(), 50), 1);
  PresentFrame(PRESENT_FLIP);
  platform_test::Screen screen;
  ASSERT_TRUE(platform_test::ReadScreen(screen));
  EXPECT_EQ(screen.palette[200].peRed, 100);
  EXPECT_EQ(screen.palette[200].peGreen, 50);
  EXPECT_EQ(screen.palette[200].peBlue, 25);
  EXPECT_EQ(SetPaletteSaturation(table.data(), 0), 1);
  PresentFrame(PRESENT_FLIP);
  ASSERT_TRUE(platform_test::ReadScreen(screen));
  int grey = (30 * 200 + 59 * 100 + 10 * 50 + 1) / 100;
  EXPECT_EQ(screen.palette[200].peRed, grey);
  EXPECT_EQ(screen.palette[200].peBlue, grey);

  // GDI text on the primary shows when messages are pumped.
  DrawGdiText(displayDevice.primary, 10, 20, "Hi");
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  ASSERT_TRUE(platform_test::ReadScreen(screen));
  int cellPixels = 0;
  for (int y = 20; y < 36; ++y)
    for (int x = 10; x < 26; ++x) cellPixels += screen.pixels[y * 320 + x] != screen.pixels[0];
  EXPECT_GT(cellPixels, 0);
}

}  // namespace
