#include "formats/surface_sprite.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "format_files.h"
#include "support/headless.h"

namespace {

using namespace format_files;

class SurfaceSprites : public vantor_test::Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    ASSERT_EQ(DirectDrawCreate(nullptr, &directDraw, nullptr), DD_OK);
    for (SurfaceSprite& sprite : sprites) {
      sprite = {};
      sprite.compressed = 77;  // the builders keep it
      sprite.width = -1;
    }
  }
  void TearDown() override {
    ReleaseSurfaceSprites(sprites, 3);
    for (SurfaceSprite& sprite : sprites) ReleaseSurfaceSprites(&sprite, 1);  // the ones made one by one
    if (directDraw != nullptr) directDraw->Release();
    fs::remove_all(dir);
    Headless::TearDown();
  }
  // The surface's rows, `width` bytes of each, and its colour key and caps.
  Bytes Pixels(const SurfaceSprite& sprite) {
    int32_t pitch = 0;
    uint8_t* memory = LockSurfaceMemory(sprite.surface, nullptr, &pitch, true);
    EXPECT_EQ(pitch, sprite.pitch);
    Bytes pixels;
    for (int32_t y = 0; memory != nullptr && y < sprite.height; ++y)
      pixels.insert(pixels.end(), memory + y * pitch, memory + y * pitch + sprite.width);
    UnlockSurfaceMemory(sprite.surface);
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    EXPECT_EQ(sprite.surface->GetSurfaceDesc(&desc), DD_OK);
    EXPECT_TRUE((desc.dwFlags & DDSD_CKSRCBLT) && desc.ddckCKSrcBlt.dwColorSpaceLowValue == 0 &&
                desc.ddckCKSrcBlt.dwColorSpaceHighValue == 0);
    caps = desc.ddsCaps.dwCaps;
    return pixels;
  }
  int Load(const Bytes& file, int32_t kind = MEMORY_SYSTEM) {
    WriteFile(dir / "test2.spr", file);
    return LoadSpriteSurfaces(directDraw, nullptr, (dir / "test2.spr").c_str(), sprites, 3, kind);
  }
  fs::path dir = TestDir();
  LPDIRECTDRAW directDraw = nullptr;
  SurfaceSprite sprites[4];  // the last one guards the capacity of 3
  DWORD caps = 0;
};

TEST_F(SurfaceSprites, MadeFromPixels) {
  std::mt19937 random(5);
  Bytes picture(320 * 200);
  for (uint8_t& p : picture) p = uint8_t(random());
  ASSERT_EQ(MakeSurfaceSprite(directDraw, nullptr, picture.data(), 320, 200, &sprites[0], MEMORY_SYSTEM), 1);
  const SurfaceSprite& big = sprites[0];
  EXPECT_EQ(Pixels(big), picture);
  EXPECT_TRUE(caps & DDSCAPS_SYSTEMMEMORY);
  EXPECT_EQ((std::vector<int32_t>{big.frameCount, big.compressed, big.centerX, big.centerY, big.left, big.top,
                                  big.right, big.bottom, big.dataSize}),
            (std::vector<int32_t>{1, 77, 160, 100, 0, 0, 319, 199, 64000}));

  const Bytes small = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  ASSERT_EQ(MakeSurfaceSprite(directDraw, nullptr, small.data(), 5, 3, &sprites[1], MEMORY_ANY), 1);
  EXPECT_EQ(Pixels(sprites[1]), small);
  EXPECT_FALSE(caps & DDSCAPS_SYSTEMMEMORY);
  EXPECT_EQ(sprites[1].centerX, 2);
  EXPECT_EQ(sprites[1].centerY, 1);

  EXPECT_EQ(MakeSurfaceSprite(directDraw, nullptr, small.data(), 5, 3, &sprites[2], 3), 0);
  EXPECT_EQ(MakeSurfaceSprite(directDraw, nullptr, small.data(), 0, 3, &sprites[2], MEMORY_ANY), 0);
  EXPECT_EQ(MakeSurfaceSprite(nullptr, nullptr, small.data(), 5, 3, &sprites[2], MEMORY_ANY), 0);
  EXPECT_EQ(sprites[2].width, -1);
}

TEST_F(SurfaceSprites, LoadedRowsLandAtThePitch) {
  FrameSpec first = Frame(5, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0xEE, 0xEE});  // 2 extra
  first.fields[0] = -4;
  ASSERT_EQ(Load(SpriteFile(false, {first, Frame(2, 2, {0, 21, 22, 0})})), SPRITE_OK);
  EXPECT_EQ(sprites[1].frameCount, 2);
  EXPECT_EQ(sprites[0].compressed, 77);
  EXPECT_EQ(sprites[0].offsetX, -4);
  EXPECT_EQ(sprites[0].dataSize, 17);
  EXPECT_GT(sprites[0].pitch, 5);
  EXPECT_EQ(Pixels(sprites[0]), Bytes(first.data.begin(), first.data.begin() + 15));
  EXPECT_EQ(Pixels(sprites[1]), (Bytes{0, 21, 22, 0}));  // read after the extra bytes
  EXPECT_EQ(sprites[2].surface, nullptr);
  ReleaseSurfaceSprites(sprites, 3);
  EXPECT_TRUE(sprites[0].surface == nullptr && sprites[1].surface == nullptr);
}

TEST_F(SurfaceSprites, FailuresLeaveNoSurfaceBehind) {
  const Bytes file = SpriteFile(false, {Frame(2, 1, {1, 2}), Frame(1, 1, {3})});
  EXPECT_EQ(Load(file, 3), SPRITE_NOT_LOADED);
  EXPECT_EQ(Load(Bytes(file.begin(), file.end() - 1)), SPRITE_DAMAGED);
  EXPECT_EQ(Load(SpriteFile(false, {Frame(2, 1, {1, 2}), Frame(-1, 1, {3})})), SPRITE_DAMAGED);
  EXPECT_EQ(Load(SpriteFile(true, {Frame(8, 2, ExampleBlock())})), SPRITE_DAMAGED);
  EXPECT_EQ(Load(SpriteFile(false, std::vector<FrameSpec>(4, Frame(1, 1, {3})))), SPRITE_TOO_MANY_FRAMES);
  platform_test::FailNextSurfaceCreations(1, 1);  // the second frame's surface
  EXPECT_EQ(Load(file), SPRITE_NOT_LOADED);
  for (const SurfaceSprite& sprite : sprites) EXPECT_TRUE(sprite.surface == nullptr && sprite.width == -1);
  EXPECT_EQ(Load(file), SPRITE_OK);
}

TEST_F(SurfaceSprites, LockRestoresALostSurface) {
  LPDIRECTDRAWSURFACE surface = nullptr;
  ASSERT_EQ(CreatePlainSurface(directDraw, &surface, 6, 2, MEMORY_ANY), DD_OK);
  platform_test::ForceSurfaceLost(surface);
  int32_t pitch = 0;
  EXPECT_EQ(LockSurfaceMemory(surface, nullptr, &pitch, false), nullptr);  // nothing restores it
  EXPECT_NE(LockSurfaceMemory(surface, nullptr, &pitch, true), nullptr);
  EXPECT_EQ(UnlockSurfaceMemory(surface), 1);
  surface->Release();
}

}  // namespace
