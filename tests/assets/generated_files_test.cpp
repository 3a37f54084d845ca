// The sprite pack, sprite files and blend table the build generates into the
// run folder, read through the engine's own loaders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/rle_check.h"
#include "formats/alpha.h"
#include "formats/bmp.h"
#include "formats/pack.h"
#include "formats/rle_encode.h"
#include "formats/sprite.h"

namespace {

namespace fs = std::filesystem;

fs::path RunDir() {
  const char* dir = std::getenv("VANTOR_RUN_DIR");
  return dir ? fs::path(dir) : fs::path("run");
}

std::vector<uint8_t> Pixels(const SpriteFrame& frame) {
  std::vector<uint8_t> pixels;
  if (frame.compressed == 0) return std::vector<uint8_t>(frame.pixels, frame.pixels + frame.dataSize);
  EXPECT_EQ(DecodeRleFrame(frame.pixels, frame.dataSize, frame.width, frame.height, &pixels), RLE_OK);
  return pixels;
}

// Every frame's record agrees with its pixels.
void ExpectSoundFrames(const SpriteFrame* frames, int32_t count, int32_t compressed) {
  for (int32_t i = 0; i < count; ++i) {
    SCOPED_TRACE("frame " + std::to_string(i));
    const SpriteFrame& f = frames[i];
    EXPECT_EQ(f.compressed != 0, compressed != 0);
    if (compressed) {
      EXPECT_EQ(CanonicalRleFault(f.pixels, f.dataSize, f.width, f.height), "");
    }
    const std::vector<uint8_t> pixels = Pixels(f);
    ASSERT_EQ(pixels.size(), size_t(f.width) * size_t(f.height));
    int32_t left = f.width, top = f.height, right = -1, bottom = -1;
    for (int32_t y = 0; y < f.height; ++y)
      for (int32_t x = 0; x < f.width; ++x)
        if (pixels[size_t(y) * f.width + x] != 0)
          left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
          bottom = std::max(bottom, y);
    ASSERT_GE(right, 0) << "a frame of the demo's art with nothing in it";
    EXPECT_EQ(f.left, left);
    EXPECT_EQ(f.top, top);
    EXPECT_EQ(f.right, right);
    EXPECT_EQ(f.bottom, bottom);
  }
}

class GeneratedSpritesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string pack = (RunDir() / "game.rsf").string();
    ASSERT_EQ(OpenResourcePack(pack.c_str(), &gamePack), PACK_OK) << pack;
  }
  void TearDown() override {
    FreeSprite(raw);
    FreeSprite(rle);
    FreeSprite(boss);
    DestroyResourcePack(gamePack);
  }
  ResourcePack* gamePack = nullptr;
  SpriteFrame raw[6] = {};
  SpriteFrame rle[6] = {};
  SpriteFrame boss[8] = {};
};

TEST_F(GeneratedSpritesTest, GamePackHoldsBothFormsOfTheSceneSprite) {
  ASSERT_EQ(gamePack->entryCount, 2);
  PackEntryHandle* entry = OpenEntry(gamePack, "test2.spr", "rb");
  ASSERT_NE(entry, nullptr);
  EXPECT_GT(PackEntryLength(gamePack, entry), SPRITE_HEADER_SIZE);
  CloseEntry(gamePack, entry);

  ASSERT_EQ(LoadSprite("test2.spr", raw, gamePack), SPRITE_OK);
  ASSERT_EQ(LoadSprite("test2.csp", rle, gamePack), SPRITE_OK);
  EXPECT_EQ(raw[0].frameCount, 6);
  EXPECT_EQ(rle[0].frameCount, 6);
  ExpectSoundFrames(raw, 6, 0);
  ExpectSoundFrames(rle, 6, 1);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE("frame " + std::to_string(i));
    // The scenes lay the frames out in cells of 68 x 46.
    EXPECT_LE(raw[i].width, 68);
    EXPECT_LE(raw[i].height, 46);
    for (auto field : {&SpriteFrame::offsetX, &SpriteFrame::offsetY, &SpriteFrame::width,
                       &SpriteFrame::height, &SpriteFrame::centerX, &SpriteFrame::centerY})
      EXPECT_EQ(raw[i].*field, rle[i].*field);
    EXPECT_EQ(Pixels(raw[i]), Pixels(rle[i]));
  }
  // An animation: no two frames alike.
  for (int i = 1; i < 6; ++i) EXPECT_NE(Pixels(raw[i - 1]), Pixels(raw[i]));

  // The plain file beside the pack is the one the surface loader reads.
  SpriteFrame plain[6] = {};
  ASSERT_EQ(LoadSprite((RunDir() / "test2.spr").string().c_str(), plain, nullptr), SPRITE_OK);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(Pixels(plain[i]), Pixels(raw[i]));
  FreeSprite(plain);
}

TEST_F(GeneratedSpritesTest, BossLayersIntoOneFigure) {
  ASSERT_EQ(LoadSprite((RunDir() / "boss.csp").string().c_str(), boss, nullptr), SPRITE_OK);
  ASSERT_EQ(boss[0].frameCount, 8);
  ExpectSoundFrames(boss, 8, 1);
  // Each drawn layer must touch or overlap the base frame at the origin, or
  // the figure falls apart when composed.
  const SpriteFrame& base = boss[0];
  for (int i : {7, 6, 2, 4, 1, 3, 5}) {
    SCOPED_TRACE("frame " + std::to_string(i));
    const SpriteFrame& f = boss[i];
    EXPECT_LE(f.offsetX + f.left, base.right + 1);
    EXPECT_GE(f.offsetX + f.right + 1, base.left);
    EXPECT_LE(f.offsetY + f.top, base.bottom + 1);
    EXPECT_GE(f.offsetY + f.bottom + 1, base.top);
  }
}

TEST(GeneratedAlphaTableTest, MatchesAFreshBuildFromTheBackground) {
  const fs::path bmpPath = RunDir() / "test.bmp";
  std::ifstream in(bmpPath, std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  BmpImage image{};
  ASSERT_EQ(ParseBmp(bytes.data(), bytes.size(), &image), BMP_OK) << bmpPath;
  std::vector<uint8_t> palette(image.palette, image.palette + BMP_PALETTE_BYTES);
  FreeBmp(&image);

  std::memset(alphaTable, 0xEE, sizeof alphaTable);
  AlphaTableChanged();
  ASSERT_EQ(LoadAlphaTable((RunDir() / "test.alp").string().c_str()), ALPHA_OK);
  const std::vector<uint8_t> loaded(alphaTable, alphaTable + ALPHA_TABLE_SIZE);
  BuildAlphaTable(palette.data(), 1, 254);
  EXPECT_TRUE(std::equal(loaded.begin(), loaded.end(), alphaTable));
  // The start-up search range keeps the transparent and the last index out.
  for (int32_t i = 0; i < ALPHA_TABLE_SIZE; ++i)
    if (loaded[i] == 0 || loaded[i] == 255) FAIL() << "entry " << i << " is " << int(loaded[i]);
}

}  // namespace
