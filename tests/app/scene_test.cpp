// The nine test scenes through the whole program, headless: keys injected,
// the clock driven, the picture read back and checked against what the
// scenes must show, worked out here from the files themselves.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define VANTOR_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANTOR_ASAN 1
#endif
#endif
#if VANTOR_ASAN
// The sanitizer runtime's count of live heap bytes (gcc ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

#include "app/scenes.h"
#include "formats/alpha.h"
#include "formats/sprite.h"
#include "render/drawtarget.h"
#include "program_fixture.h"

namespace {

using platform_test::Screen;

constexpr int IMAGE_WIDTH = 320;
constexpr int IMAGE_HEIGHT = 200;

// Where the overlay prints (rate and switches): left out of comparisons,
// since the rate it shows follows the clock.
bool InOverlay(int x, int y) { return x < 220 && y < 52; }

class Scenes : public vantor_test::ProgramFixture {
 protected:
  std::vector<const char*> RunFiles() const override {
    return {"font.rsf", "game.rsf", "test.bmp", "test2.spr", "test2.csp", "boss.csp", "test.alp"};
  }
  void SetUp() override {
    ProgramFixture::SetUp();
    // test.bmp read here byte by byte: 1,078 bytes of header and palette,
    // then the rows bottom-up.
    std::ifstream file("test.bmp", std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 1078u + IMAGE_WIDTH * IMAGE_HEIGHT);
    image.assign(bytes.begin() + 1078, bytes.end());
  }
  // The background pixel at work-area (x, y) drawn with scroll `scroll`.
  uint8_t Background(int x, int y, int scroll) const {
    int column = ((x - scroll) % IMAGE_WIDTH + IMAGE_WIDTH) % IMAGE_WIDTH;
    int row = y % IMAGE_HEIGHT;
    return image[(IMAGE_HEIGHT - 1 - row) * IMAGE_WIDTH + column];
  }
  // The scroll the frame just shown was drawn with (the state has moved on).
  static int DrawnScroll() {
    return sceneState.backgroundScroll == 0 ? -(IMAGE_WIDTH - 1) : sceneState.backgroundScroll + 1;
  }
  // Runs the program; `atFrame` gets the frame number, the scene that frame
  // drew and its picture. Keys injected there act in the next frame, and a
  // scene change shows from the frame after that.
  int RunScenes(uint32_t frames, std::function<void(uint32_t, int32_t, const Screen&)> atFrame) {
    int32_t drawing = 1;
    return Run(frames, [&](uint32_t frame, const Screen& screen) {
      atFrame(frame, drawing, screen);
      drawing = gameState.currentScene;
    });
  }
  // The frames to press ENTER at so that each scene shows for `span` frames.
  static bool EnterAt(uint32_t frame, uint32_t span) { return frame % span == span - 1; }

  static uint64_t Hash(const Screen& screen) {
    uint64_t hash = 1469598103934665603ull;
    for (int y = 0; y < screen.height; ++y)
      for (int x = 0; x < screen.width; ++x)
        if (!InOverlay(x, y)) hash = (hash ^ screen.pixels[size_t(y) * screen.width + x]) * 1099511628211ull;
    return hash;
  }

  std::vector<uint8_t> image;
};

TEST_F(Scenes, EveryModeShowsAllNineScenesAndTheSamePicturesFromWorkSurfaceAndBackBuffer) {
  constexpr uint32_t SPAN = 6;
  for (int32_t mode = 1; mode <= 4; ++mode) {
    std::map<int32_t, uint64_t> pictures[2];
    for (int32_t backBuffer = 0; backBuffer <= 1; ++backBuffer) {
      SCOPED_TRACE("mode " + std::to_string(mode) + " back buffer " + std::to_string(backBuffer));
      ResetGameState();
      WriteConfig({mode, backBuffer, 0, 0, 0});
      std::vector<int32_t> shown;
      EXPECT_EQ(RunScenes(SPAN * 10,
                          [&](uint32_t frame, int32_t scene, const Screen& screen) {
                            if (shown.empty() || shown.back() != scene) shown.push_back(scene);
                            // Each scene's picture in its fourth frame.
                            if (frame % SPAN == 4) pictures[backBuffer][scene] = Hash(screen);
                            if (EnterAt(frame, SPAN)) platform_test::InjectKeyPress(VK_RETURN);
                          }),
                0);
      EXPECT_EQ(shown, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 1}));
      platform_test::TakeMessageBoxes();
      platform_test::ResetPlatform();
    }
    // Drawing into the work surface or straight into the back buffer gives
    // the same pictures (mode 3's back buffer is the whole screen instead).
    if (mode != 3) {
      EXPECT_EQ(pictures[0], pictures[1]);
    }
    // Nine different pictures.
    std::map<uint64_t, int> distinct;
    for (auto& [scene, hash] : pictures[0]) ++distinct[hash];
    EXPECT_EQ(distinct.size(), 9u);
  }
}

TEST_F(Scenes, EachScenesPictureMatchesItsReference) {
  // The picture of each scene in its tenth frame, 640 x 480 from the work
  // surface, overlay left out. A change here means the scenes draw
  // something else: look at the pictures before taking new values.
  const std::map<int32_t, uint64_t> REFERENCE = {
      {1, 0x68525b4aa4da18b4ull}, {2, 0xdffb681151dc3902ull}, {3, 0x97fc76576d67b21eull},
      {4, 0x4404f36f2cfa217cull}, {5, 0xab78f1910ff65612ull}, {6, 0xa3b329762e9189b1ull},
      {7, 0xbf69f8cc7b392470ull}, {8, 0x9cd9bc53f1144d35ull}, {9, 0x4edb255157fded4bull},
  };
  constexpr uint32_t SPAN = 12;
  std::map<int32_t, uint64_t> pictures;
  RunScenes(SPAN * 9, [&](uint32_t frame, int32_t scene, const Screen& screen) {
    if (frame % SPAN == 10) pictures[scene] = Hash(screen);
    if (EnterAt(frame, SPAN)) platform_test::InjectKeyPress(VK_RETURN);
  });
  if (std::getenv("VANTOR_PRINT_REFERENCE") != nullptr)
    for (auto& [scene, hash] : pictures) std::printf("      {%d, 0x%016llxull},\n", scene, (unsigned long long)hash);
  EXPECT_EQ(pictures, REFERENCE);
}

TEST_F(Scenes, TheBackgroundScrollsOnePixelAFrameAndRepeatsAfterAWholeTile) {
  int32_t scrollAfter319 = 1, scrollAfter320 = 1;
  int rowsChecked = 0;
  Run(322, [&](uint32_t frame, const Screen& screen) {
    if (frame == 319) scrollAfter319 = sceneState.backgroundScroll;
    if (frame == 320) scrollAfter320 = sceneState.backgroundScroll;
    if (frame != 1 && frame != 2 && frame != 320 && frame != 321) return;
    // Frame n is drawn n - 1 pixels left, the 321st back at the start.
    int scroll = -int((frame - 1) % IMAGE_WIDTH);
    // Rows scene 1 leaves to the background.
    for (int y = 60; y < 190; y += 13, ++rowsChecked)
      for (int x = 0; x < screen.width; ++x)
        ASSERT_EQ(screen.pixels[size_t(y) * screen.width + x], Background(x, y, scroll))
            << "frame " << frame << " at " << x << "," << y;
  });
  EXPECT_EQ(scrollAfter319, -319);
  EXPECT_EQ(scrollAfter320, 0);
  EXPECT_EQ(rowsChecked, 40);
}

TEST_F(Scenes, TheGridOfSceneTwoDrawsTheSpriteAtItsSixtyThreePlacesAndBackspaceStepsTheFrames) {
  SpriteFrame raw[6] = {};
  ASSERT_EQ(LoadSprite("test2.spr", raw, nullptr), 1);
  int checkedFrames = 0;
  int32_t frameAfterSix = -1;
  // Scene 2 from frame 3; BACKSPACE at frame 5 shows sprite frame 1 from
  // frame 7; five more presses wrap back to frame 0.
  RunScenes(16, [&](uint32_t frame, int32_t scene, const Screen& screen) {
    if (frame == 1) platform_test::InjectKeyPress(VK_RETURN);
    if (frame == 5 || (frame >= 8 && frame <= 12)) platform_test::InjectKeyPress(VK_BACK);
    if (frame == 14) frameAfterSix = gameState.currentFrame;
    if (scene != 2 || (frame != 4 && frame != 7)) return;
    const SpriteFrame& sprite = raw[frame == 4 ? 0 : 1];
    int places = 0;
    for (int y = 1; y < 323; y += 46)
      for (int x = 1; x < 613; x += 68, ++places)
        for (int r = 0; r < sprite.height; ++r)
          for (int c = 0; c < sprite.width; ++c) {
            uint8_t pixel = sprite.pixels[r * sprite.width + c];
            int sx = x + c, sy = y + r;
            if (pixel == 0 || sx >= screen.width || InOverlay(sx, sy)) continue;
            ASSERT_EQ(screen.pixels[size_t(sy) * screen.width + sx], pixel) << "place " << x << "," << y;
          }
    EXPECT_EQ(places, 63);
    ++checkedFrames;
  });
  EXPECT_EQ(checkedFrames, 2);
  EXPECT_EQ(frameAfterSix, 0);
  FreeSprite(raw);
}

TEST_F(Scenes, SceneSixsFirstColumnStepsThroughThePaletteOneIndexAFrame) {
  // The level-1 box of the first column, a pixel inside it, for 260 frames
  // of the scene: the colour counter runs 0, 1, ..., 255 and wraps.
  constexpr int X = 100, Y = 95;
  int shown = 0;
  RunScenes(6 + 262, [&](uint32_t frame, int32_t scene, const Screen& screen) {
    if (frame <= 5) platform_test::InjectKeyPress(VK_RETURN);
    if (scene != 6) return;
    uint8_t colour = uint8_t(shown);
    uint8_t background = Background(X, Y, DrawnScroll());
    ASSERT_EQ(screen.pixels[size_t(Y) * screen.width + X], alphaTable[1 * 65536 + background * 256 + colour])
        << "frame " << shown << " of the scene";
    // The level-7 box below it leaves the background as it is.
    ASSERT_EQ(screen.pixels[size_t(Y + 240) * screen.width + X], Background(X, Y + 240, DrawnScroll()));
    ++shown;
  });
  EXPECT_GE(shown, 258);
}

TEST_F(Scenes, SceneEightsLevelFollowsItsWidth) {
  // The width swings 105, 110, ..., 250, 250, 245, ..., 0, 0, 5, ... and the
  // level is width * 7 / 260. Where the width comes back to 100 % the middle
  // copy is the frame at its own size, centred: its pixels are the table's
  // blend at that level of the sprite over the background.
  SpriteFrame raw[6] = {};
  ASSERT_EQ(LoadSprite("test2.spr", raw, nullptr), 1);
  const SpriteFrame& sprite = raw[0];
  std::vector<int32_t> levels, expected;
  int32_t width = 100, shrinking = 0;
  int ownSizeFrames = 0;
  RunScenes(7 + 120, [&](uint32_t frame, int32_t scene, const Screen& screen) {
    if (frame <= 7) platform_test::InjectKeyPress(VK_RETURN);
    if (scene != 8) return;
    if (shrinking) {
      if (width > 1) width -= 5; else shrinking = 0;
    } else {
      if (width < 250) width += 5; else shrinking = 1;
    }
    const int32_t level = width * 7 / 260;
    expected.push_back(level);
    levels.push_back(sceneState.effectLevel);
    if (width != 100) return;
    ++ownSizeFrames;
    const int left = 320 - (sprite.width >> 1), top = 240 - (sprite.height >> 1);
    for (int r = 0; r < sprite.height; ++r)
      for (int c = 0; c < sprite.width; ++c) {
        const uint8_t fg = sprite.pixels[r * sprite.width + c];
        if (fg == 0) continue;
        const uint8_t bg = Background(left + c, top + r, DrawnScroll());
        ASSERT_EQ(screen.pixels[size_t(top + r) * screen.width + left + c], alphaTable[level * 65536 + bg * 256 + fg])
            << c << "," << r;
      }
  });
  ASSERT_GE(levels.size(), 100u);
  EXPECT_EQ(levels, expected);
  EXPECT_EQ(*std::max_element(levels.begin(), levels.end()), 6);
  EXPECT_EQ(ownSizeFrames, 2);  // on the way down and on the way up
  FreeSprite(raw);
}

TEST_F(Scenes, TitlesSitTwentyFivePixelsAboveTheBottom) {
  for (int32_t mode : {1, 4}) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    ResetGameState();
    WriteConfig({mode, 0, 0, 0, 0});
    const int clipHeight = mode == 1 ? 200 : 480;
    int top = -1, left = -1, bottom = -1;
    Run(3, [&](uint32_t frame, const Screen& screen) {
      if (frame != 2) return;
      // Scene 1 draws nothing near the bottom: what differs from the
      // background there is the title and its shadow.
      int scroll = DrawnScroll();
      for (int y = screen.height - 60; y < screen.height; ++y)
        for (int x = 0; x < 300; ++x)
          if (screen.pixels[size_t(y) * screen.width + x] != Background(x, y, scroll)) {
            if (top < 0) top = y;
            bottom = y;
            if (left < 0 || x < left) left = x;
          }
    });
    EXPECT_GE(top, clipHeight - 25);
    EXPECT_LE(top, clipHeight - 23);
    EXPECT_GE(left, 20);
    EXPECT_LE(left, 22);
    EXPECT_LT(bottom, clipHeight - 25 + 17);
    platform_test::TakeMessageBoxes();
    platform_test::ResetPlatform();
  }
}

TEST_F(Scenes, TheKeypadMovesSceneFoursSprite) {
  SpriteFrame raw[6] = {};
  ASSERT_EQ(LoadSprite("test2.spr", raw, nullptr), 1);
  bool checked = false;
  RunScenes(30, [&](uint32_t frame, int32_t scene, const Screen& screen) {
    if (frame <= 3) platform_test::InjectKeyPress(VK_RETURN);
    if (frame == 8) platform_test::InjectKeyDown(VK_NUMPAD6);
    if (frame == 18) platform_test::InjectKeyUp(VK_NUMPAD6);
    if (frame != 25 || scene != 4) return;
    EXPECT_EQ(gameState.spriteX, 250 + 40);
    EXPECT_EQ(gameState.spriteY, 150);
    // Its top rows lie clear of the zoomed sprites drawn after it.
    const SpriteFrame& sprite = raw[0];
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < sprite.width; ++c) {
        uint8_t pixel = sprite.pixels[r * sprite.width + c];
        if (pixel == 0) continue;
        ASSERT_EQ(screen.pixels[size_t(150 + r) * screen.width + 290 + c], pixel) << c << "," << r;
      }
    checked = true;
  });
  EXPECT_TRUE(checked);
  FreeSprite(raw);
}

TEST_F(Scenes, KeyOneFadesThePaletteToBlackAndBackAndKeyTwoToGrey) {
  Screen first;
  bool black = false, restored = false, grey = false;
  Run(340, [&](uint32_t frame, const Screen& screen) {
    if (frame == 1) first = screen;
    if (frame == 2 || frame == 110) platform_test::InjectKeyPress('1');
    if (frame == 220) platform_test::InjectKeyPress('2');
    auto all = [&](auto test) {
      for (const PALETTEENTRY& entry : screen.palette)
        if (!test(entry)) return false;
      return true;
    };
    if (frame == 105) black = all([](const PALETTEENTRY& e) { return e.peRed == 0 && e.peGreen == 0 && e.peBlue == 0; });
    if (frame == 215)
      restored = std::equal(screen.palette.begin(), screen.palette.end(), first.palette.begin(),
                            [](const PALETTEENTRY& a, const PALETTEENTRY& b) {
                              return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue;
                            });
    if (frame == 330)
      grey = all([](const PALETTEENTRY& e) { return e.peRed == e.peGreen && e.peGreen == e.peBlue; });
  });
  EXPECT_TRUE(black);
  EXPECT_TRUE(restored);
  EXPECT_TRUE(grey);
}

TEST_F(Scenes, EscapeEndsTheProgramCleanlyFromEveryScene) {
  for (int32_t scene = 1; scene <= 9; ++scene) {
    SCOPED_TRACE("scene " + std::to_string(scene));
    ResetGameState();
    int32_t shown = 0;
    EXPECT_EQ(RunScenes(uint32_t(scene) + 2,
                        [&](uint32_t frame, int32_t drawn, const Screen&) {
                          shown = drawn;
                          if (frame < uint32_t(scene)) platform_test::InjectKeyPress(VK_RETURN);
                        }),
              0);
    EXPECT_EQ(shown, scene);
    EXPECT_EQ(displayDevice.ready, 0);
    EXPECT_EQ(displayDevice.directDraw, nullptr);
    platform_test::TakeMessageBoxes();
    platform_test::ResetPlatform();
  }
}

// Bytes the heap holds for the program now: what has been allocated and not
// freed (under AddressSanitizer, freed blocks wait in its quarantine, so
// the resident size would grow with any short-lived allocation).
size_t HeapInUse() {
#if VANTOR_ASAN
  return __sanitizer_get_current_allocated_bytes();
#else
  struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

TEST_F(Scenes, TenThousandFramesThroughEverySceneLeaveTheHeapAsItWas) {
  WriteConfig({1, 0, 0, 0, 0});
  size_t early = 0, late = 0;
  std::array<int, 10> framesPerScene = {};
  RunScenes(10000, [&](uint32_t frame, int32_t scene, const Screen&) {
    ++framesPerScene[size_t(scene)];
    if (frame % 97 == 0) platform_test::InjectKeyPress(VK_RETURN);
    if (frame % 331 == 0) platform_test::InjectKeyPress(VK_BACK);
    if (frame == 2000) early = HeapInUse();
    if (frame == 9999) late = HeapInUse();
  });
  for (int scene = 1; scene <= 9; ++scene) EXPECT_GT(framesPerScene[size_t(scene)], 900) << scene;
  EXPECT_GT(early, 0);
  EXPECT_LE(late, early + 4096) << "bytes still allocated grew from " << early;
}

}  // namespace
