// The whole program, headless, through the real platform layer: keys are
// injected and the picture is read back as the user would see it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/assets.h"
#include "app/game.h"
#include "app/options.h"
#include "display/display.h"
#include "display/timing.h"
#include "input/keyboard.h"
#include "program_fixture.h"

namespace fs = std::filesystem;

namespace {

class Program : public vantor_test::ProgramFixture {};

TEST_F(Program, StartsInFullSizeModeRunsFramesAndEndsOnEscape) {
  int width = 0, height = 0;
  EXPECT_EQ(Run(20, [&](uint32_t, const platform_test::Screen& screen) {
              width = screen.width;
              height = screen.height;
            }),
            0);
  EXPECT_GE(updates, 20u);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  // The first start of all builds the alpha table, with its message.
  auto boxes = platform_test::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Message|ERROR! Alpha table load falut.\n 알파테이블 읽기 실패");
  EXPECT_EQ(displayDevice.ready, 0);  // shut down on the way out
  EXPECT_EQ(displayDevice.directDraw, nullptr);
}

TEST_F(Program, StartsInTheModeTheOptionsFileHolds) {
  WriteConfig({1, 1, 0, 0, 0});
  int width = 0, height = 0;
  EXPECT_EQ(Run(5, [&](uint32_t, const platform_test::Screen& screen) {
              width = screen.width;
              height = screen.height;
            }),
            0);
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 200);
  EXPECT_EQ(displayDevice.flags, DISPLAY_BACKBUFFER);
}

TEST_F(Program, OptionsChosenInTheDialogReachTheDisplayAndTheLoaders) {
  struct Case {
    std::vector<int> clicks;
    int width, height, workWidth;
    int32_t flags;
    DWORD spriteMemory;
  };
  for (const Case& c : {Case{{1000, 1004, 1005}, 320, 200, 320, DISPLAY_BACKBUFFER, DDSCAPS_VIDEOMEMORY},
                        Case{{1002}, 640, 480, 512, DISPLAY_WORKSURFACE, DDSCAPS_SYSTEMMEMORY}}) {
    platform_test::OnDialogIdle([&](HWND dialog, int idle) {
      if (idle != 0) return;
      for (int id : c.clicks) platform_test::ClickDialogItem(dialog, id);
      platform_test::InjectKeyPress(VK_RETURN);
      platform_test::InjectKeyPress('A');
    });
    int width = 0, height = 0;
    DWORD spriteCaps = 0;
    EXPECT_EQ(Run(
                  3,
                  [&](uint32_t, const platform_test::Screen& screen) {
                    width = screen.width, height = screen.height;
                    DDSURFACEDESC desc = {};
                    desc.dwSize = sizeof desc;
                    if (imageSprite.surface != nullptr && imageSprite.surface->GetSurfaceDesc(&desc) == DD_OK)
                      spriteCaps = desc.ddsCaps.dwCaps;
                  },
                  false),
              0);
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(height, c.height);
    EXPECT_EQ(displayDevice.workWidth, c.workWidth);
    EXPECT_EQ(displayDevice.flags, c.flags);
    EXPECT_NE(spriteCaps & c.spriteMemory, 0u);
    platform_test::ResetPlatform();
    platform_test::UseHeadless();
    ResetGameState();
    gameConfig = {};
  }
}

TEST_F(Program, CancelledOptionsEndTheProgramBeforeTheDisplay) {
  WriteConfig({2, 1, 1, 1, 1});
  platform_test::OnDialogIdle([](HWND dialog, int idle) {
    if (idle != 0) return;
    platform_test::ClickDialogItem(dialog, 1003);  // a mode chosen, then cancelled
    platform_test::InjectKeyPress(VK_ESCAPE);
  });
  platform_test::OnScreenUpdate([this](uint32_t) { ++updates; });
  EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWDEFAULT), 0);
  EXPECT_EQ(gameConfig.videoMode, 0);
  EXPECT_EQ(updates, 0u);
  EXPECT_EQ(displayDevice.directDraw, nullptr);
  EXPECT_TRUE(platform_test::TakeMessageBoxes().empty());
}

TEST_F(Program, VAndFToggleAndPresentationFollowsVsync) {
  WriteConfig({3, 0, 0, 0, 0});
  uint32_t flipsAfterV = 0, flipsLater = 0;
  int32_t frameSync = -1;
  Run(40, [&](uint32_t frame, const platform_test::Screen& screen) {
    if (frame == 5) {
      platform_test::InjectKeyPress('V');
      platform_test::InjectKeyPress('F');
    }
    if (frame == 10) flipsAfterV = screen.flipCount, frameSync = gameState.frameSyncOn;
    if (frame == 30) flipsLater = screen.flipCount;
  });
  EXPECT_EQ(gameState.vsyncOn, 0);
  EXPECT_EQ(frameSync, 1);
  EXPECT_GT(flipsAfterV, 0u);
  EXPECT_EQ(flipsLater, flipsAfterV);  // copies only while vsync is off
}

TEST_F(Program, EnterStepsTheScenesAndWrapsAfterNine) {
  Run(30, [&](uint32_t frame, const platform_test::Screen&) {
    if (frame >= 2 && frame < 11) platform_test::InjectKeyPress(VK_RETURN);
  });
  EXPECT_EQ(gameState.currentScene, 1);  // nine presses: 2, 3, ..., 9, 1
}

TEST_F(Program, KeypadMovesTheSpriteWhileHeld) {
  Run(30, [&](uint32_t frame, const platform_test::Screen&) {
    if (frame == 2) platform_test::InjectKeyDown(VK_NUMPAD4);
    if (frame == 12) platform_test::InjectKeyUp(VK_NUMPAD4);
    if (frame == 14) platform_test::InjectKeyDown(VK_NUMPAD2), platform_test::InjectKeyDown(VK_NUMPAD8);
  });
  EXPECT_EQ(gameState.spriteX, 250 - 40);
  EXPECT_EQ(gameState.spriteY, 150);  // up and down together cancel
}

TEST_F(Program, BuildsTheAlphaTableOnceWithItsNoticesAndShowsTheImagePalette) {
  // The notices show on the primary during start-up.
  PALETTEENTRY shown[256] = {};
  Run(3, [&](uint32_t, const platform_test::Screen& screen) {
    std::copy(screen.palette.begin(), screen.palette.end(), shown);
  });
  int noticeInk = 0;
  for (const auto& screen : startupScreens) {
    int ink = 0;
    for (int y = 160; y < 196; ++y)
      for (int x = 100; x < 300; ++x) ink += screen.pixels[y * screen.width + x] != 0;
    noticeInk = std::max(noticeInk, ink);
  }
  EXPECT_GT(noticeInk, 1000);
  EXPECT_EQ(fs::file_size("test.alp"), 28u + 7u * 65536u);
  ASSERT_EQ(platform_test::TakeMessageBoxes().size(), 1u);

  // The palette on screen is the image's own.
  std::FILE* file = std::fopen("test.bmp", "rb");
  ASSERT_NE(file, nullptr);
  uint8_t table[1024];
  std::fseek(file, 54, SEEK_SET);
  ASSERT_EQ(std::fread(table, 1, sizeof table, file), sizeof table);
  std::fclose(file);
  for (int i : {1, 9, 30, 100, 254}) {
    EXPECT_EQ(shown[i].peRed, table[i * 4 + 2]) << i;
    EXPECT_EQ(shown[i].peGreen, table[i * 4 + 1]) << i;
    EXPECT_EQ(shown[i].peBlue, table[i * 4 + 0]) << i;
  }

  // The next start finds the saved table and says nothing.
  platform_test::ResetPlatform();
  platform_test::UseHeadless();
  ResetGameState();
  EXPECT_EQ(Run(3), 0);
  EXPECT_TRUE(platform_test::TakeMessageBoxes().empty());
}

TEST_F(Program, MissingImageEndsWithTheLoadersMessage) {
  fs::remove("test.bmp");
  AnswerOptions(4);
  EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWDEFAULT), 0);
  auto boxes = platform_test::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], "Error!|Can't load BMP file!");
  EXPECT_EQ(boxes[1], "Message|ERROR : Game initializing error!!");
}

TEST_F(Program, EscapeOnTheHelpScreenEndsAtOnce) {
  AnswerOptions(4, {VK_ESCAPE});
  updates = 0;
  platform_test::OnScreenUpdate([this](uint32_t) { ++updates; });
  EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWDEFAULT), 0);
  EXPECT_EQ(displayDevice.ready, 0);
  EXPECT_EQ(gameState.spriteX, 250);
  EXPECT_EQ(platform_test::TakeMessageBoxes().size(), 1u);  // the alpha table's
}

TEST_F(Program, MissingFontPackEndsWithTheMessage) {
  fs::remove("font.rsf");
  AnswerOptions(4);
  EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWDEFAULT), 0);
  auto boxes = platform_test::TakeMessageBoxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back(), "Message|ERROR : Game initializing error!!");
}

TEST_F(Program, DamagedFontPackEndsWithTheMessage) {
  {
    std::FILE* file = std::fopen("font.rsf", "r+b");
    ASSERT_NE(file, nullptr);
    std::fseek(file, 0, SEEK_END);
    long size = std::ftell(file);
    ASSERT_EQ(ftruncate(fileno(file), size / 3), 0);
    std::fclose(file);
  }
  AnswerOptions(4);
  EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWDEFAULT), 0);
  auto boxes = platform_test::TakeMessageBoxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back(), "Message|ERROR : Game initializing error!!");
}

TEST_F(Program, UnknownVideoModeFailsTheDisplay) {
  WriteConfig({7, 0, 0, 0, 0});
  AnswerOptions(0);  // no radio button shows 7, and OK takes it as it is
  EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWDEFAULT), 0);
  auto boxes = platform_test::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], "Direct-X Error|Can't initialize Direct-X!");
  EXPECT_EQ(boxes[1], "Message|ERROR : Game initializing error!!");
}

TEST_F(Program, NoDisplayAtAllEndsQuietly) {
  // Nothing could show the options dialog, so no mode is chosen: the program
  // ends before it touches the display.
  platform_test::SetNoDisplay(true);
  WriteConfig({4, 0, 0, 0, 0});
  EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWDEFAULT), 0);
  platform_test::SetNoDisplay(false);
  EXPECT_EQ(gameConfig.videoMode, 0);
  EXPECT_TRUE(platform_test::TakeMessageBoxes().empty());
  EXPECT_EQ(displayDevice.directDraw, nullptr);
}

// Ink of one colour in rows [top, bottom) from column `from` on: how much,
// and where it starts.
struct Ink {
  int count = 0;
  int left = 1 << 30;
};
Ink InkIn(const platform_test::Screen& screen, uint8_t colour, int top, int bottom, int from) {
  Ink ink;
  for (int y = top; y < std::min(bottom, screen.height); ++y)
    for (int x = from; x < screen.width; ++x)
      if (screen.pixels[y * screen.width + x] == colour) ++ink.count, ink.left = std::min(ink.left, x);
  return ink;
}

TEST_F(Program, HelpScreenLaysOutItsLinesByVideoMode) {
  Run(1);  // builds the alpha table, whose notices would share the screen
  struct Layout {
    int mode, x, y, step;
  };
  for (Layout layout : {Layout{1, 1, 1, 17}, {2, 100, 70, 22}, {3, 170, 90, 25}, {4, 170, 90, 30}}) {
    platform_test::ResetPlatform();
    platform_test::UseHeadless();
    ResetGameState();
    WriteConfig({layout.mode, 0, 0, 0, 0});
    startupScreens.clear();
    Run(1);
    ASSERT_FALSE(startupScreens.empty());
    const auto& screen = startupScreens.back();
    auto line = [&](int n, uint8_t colour) {
      int top = layout.y + n * layout.step;
      return InkIn(screen, colour, top, top + 16, layout.x);
    };
    // Leading blanks are 6 pixels each: the title and the last line start
    // after 13, ENTER after 3, BackSpace after 1.
    for (auto [n, colour, blanks] : {std::tuple{0, 15, 13}, {2, 4, 3}, {7, 7, 1}, {10, 12, 13}}) {
      Ink ink = line(n, uint8_t(colour));
      EXPECT_GT(ink.count, 20) << "mode " << layout.mode << " line " << n;
      EXPECT_GE(ink.left, layout.x + blanks * 6) << "mode " << layout.mode << " line " << n;
      EXPECT_LT(ink.left, layout.x + blanks * 6 + 6) << "mode " << layout.mode << " line " << n;
    }
    for (int n = 3; n <= 8; ++n) EXPECT_GT(line(n, 7).count, 20) << "mode " << layout.mode << " line " << n;
    EXPECT_EQ(line(1, 15).count + line(1, 4).count + line(9, 7).count, 0) << "mode " << layout.mode;
  }
}

TEST_F(Program, OverlayRampsTheRateAndTheSwitchesRowByRow) {
  // Glyph row r of the 5 x 9 face is drawn in the line's first colour + r:
  // each colour of the ramp shows in its own row of the line and in no other.
  // (Rows without ink in any of the line's characters show none.)
  // The background image made all colour 0, so that only the overlay inks.
  {
    std::fstream image("test.bmp", std::ios::in | std::ios::out | std::ios::binary);
    image.seekp(1078);
    std::vector<char> blank(320 * 200, 0);
    image.write(blank.data(), std::streamsize(blank.size()));
  }
  int rowsSeen = 0, misplaced = 0;
  Run(5, [&](uint32_t frame, const platform_test::Screen& screen) {
    if (frame != 4) return;
    for (auto [top, first] : {std::pair{3, 18}, {18, 48}, {33, 48}})
      for (int r = 0; r < 9; ++r) {
        int inRow = InkIn(screen, uint8_t(first + r), top + r, top + r + 1, 10).count;
        rowsSeen += inRow >= 2;
        misplaced += InkIn(screen, uint8_t(first + r), top, top + 9, 10).count - inRow;
      }
  });
  EXPECT_GE(rowsSeen, 3 * 6);
  EXPECT_EQ(misplaced, 0);
}

TEST(Options, FileReadAsTheDialogReadsIt) {
  fs::path file = fs::temp_directory_path() / ("vantor-cfg-" + std::to_string(getpid()));
  auto write = [&](std::vector<uint8_t> bytes) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
  };
  gameConfig = {9, 1, 1, 1, 1};
  write({3, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_TRUE(ReadGameConfig(file.c_str()));
  EXPECT_EQ(gameConfig.videoMode, 3);
  EXPECT_EQ(gameConfig.backBufferInVideo, 0);
  EXPECT_EQ(gameConfig.offscreenInVideo, 1);
  EXPECT_EQ(gameConfig.soundFx, 1);
  EXPECT_EQ(gameConfig.music, 0);

  gameConfig = {0, 1, 1, 1, 1};
  write({2, 0, 0, 0});  // only the mode; the rest keep their values
  ASSERT_TRUE(ReadGameConfig(file.c_str()));
  EXPECT_EQ(gameConfig.videoMode, 2);
  EXPECT_EQ(gameConfig.music, 1);

  write({1, 0, 0, 0, 2, 0, 0, 0});  // a switch of 2 is reset to 0
  ASSERT_TRUE(ReadGameConfig(file.c_str()));
  EXPECT_EQ(gameConfig.backBufferInVideo, 0);

  fs::remove(file);
  gameConfig.videoMode = 4;
  EXPECT_FALSE(ReadGameConfig(file.c_str()));
  EXPECT_EQ(gameConfig.videoMode, 0);
}

TEST(Steps, FadeAndGreyTakeAHundredStepsAndOneToReportTheEnd) {
  ResetGameState();
  using Step = int (*)(int32_t);
  for (auto [step, level] : {std::pair<Step, int32_t*>{StepFade, &gameState.fadeLevel},
                             std::pair<Step, int32_t*>{StepGrey, &gameState.greyLevel}}) {
    for (int i = 0; i < 100; ++i) ASSERT_EQ(step(0), 0) << i;
    EXPECT_EQ(*level, 0);
    EXPECT_EQ(step(0), 1);
    EXPECT_EQ(*level, 0);
    // Reversed midway it comes back from where it is.
    for (int i = 0; i < 30; ++i) step(1);
    EXPECT_EQ(*level, 30);
    for (int i = 0; i < 70; ++i) ASSERT_EQ(step(1), 0);
    EXPECT_EQ(step(1), 1);
    EXPECT_EQ(*level, 100);
  }
}

TEST(Messages, AnyLengthIsCutToTheBuffer) {
  platform_test::UseHeadless();
  platform_test::TakeMessageBoxes();
  std::string longText(1000, 'x');
  ShowMessage("%s%d", longText.c_str(), 42);
  ShowMessage("ERROR : Game initializing error!!");
  auto boxes = platform_test::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], "Message|" + std::string(255, 'x'));
  EXPECT_EQ(boxes[1], "Message|ERROR : Game initializing error!!");
}

}  // namespace
