#include "formats/sprite.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "format_files.h"

namespace {

using namespace format_files;

constexpr int32_t SENTINEL = 0x5A5A5A5A;

class Sprites : public ::testing::Test {
 protected:
  void SetUp() override {
    for (SpriteFrame& frame : frames) {
      frame = {};
      frame.frameCount = frame.width = SENTINEL;
    }
  }
  void TearDown() override {
    FreeSprite(frames, 4);
    DestroyResourcePack(pack);
    fs::remove_all(dir);
  }
  int Load(const Bytes& bytes, int32_t capacity = 4) {
    WriteFile(dir / "test.spr", bytes);
    return LoadSprite((dir / "test.spr").c_str(), frames, capacity, nullptr);
  }
  // A refused load leaves every element as it was, the guard past the
  // capacity of 4 included.
  void ExpectUntouched() {
    for (const SpriteFrame& frame : frames)
      ASSERT_TRUE(frame.frameCount == SENTINEL && frame.width == SENTINEL && frame.pixels == nullptr);
  }
  fs::path dir = TestDir();
  SpriteFrame frames[5];
  ResourcePack* pack = nullptr;
};

TEST_F(Sprites, FramesKeepEveryFieldAndFreeClearsThem) {
  FrameSpec first = Frame(3, 2, {1, 2, 3, 4, 5, 6, 99});  // a byte more than the pixels
  const int16_t fields[10] = {-5, 7, 3, 2, 1, -1, 0, 1, 2, -32768};
  std::copy(std::begin(fields), std::end(fields), first.fields);
  const Bytes raw = SpriteFile(false, {first, Frame(2, 1, {0, 9})});
  MaybeWriteSeed("fuzz_sprite", "raw.spr", raw);
  ASSERT_EQ(Load(raw), SPRITE_OK);
  EXPECT_EQ(frames[1].frameCount, 2);
  for (int i = 0; i < 10; ++i) EXPECT_EQ((&frames[0].offsetX)[i], fields[i]) << "field " << i;
  EXPECT_EQ(Bytes(frames[0].pixels, frames[0].pixels + frames[0].dataSize), first.data);
  EXPECT_EQ(frames[1].pixels[1], 9);
  EXPECT_EQ(frames[2].frameCount, SENTINEL);
  FreeSprite(frames, 4);
  EXPECT_TRUE(frames[0].pixels == nullptr && frames[1].pixels == nullptr);
  EXPECT_EQ(frames[0].frameCount, 2);
  FreeSprite(frames, 4);  // harmless twice

  const Bytes rle = SpriteFile(true, {Frame(8, 2, ExampleBlock())});
  MaybeWriteSeed("fuzz_sprite", "rle.csp", rle);
  ASSERT_EQ(Load(rle), SPRITE_OK);
  EXPECT_EQ(frames[0].compressed, 1);
  EXPECT_EQ(Bytes(frames[0].pixels, frames[0].pixels + frames[0].dataSize), ExampleBlock());
}

TEST_F(Sprites, SameFileFromPackAndDisk) {
  std::mt19937 random(3);
  std::vector<FrameSpec> specs;
  for (int i = 0; i < 4; ++i) {
    int16_t width = int16_t(random() % 20), height = int16_t(random() % 6);
    Bytes pixels(size_t(width) * height);
    for (uint8_t& p : pixels) p = random() % 3 == 0 ? 0 : uint8_t(random());
    specs.push_back(Frame(width, height, EncodeRle(pixels, width, height)));
    specs.back().fields[0] = int16_t(random());
  }
  Bytes file = SpriteFile(true, specs), cut(file.begin(), file.end() - 1), other(100, 0xEE);
  WriteFile(dir / "test2.csp", file);
  PackSource sources[] = {{"other", other.data(), 100},
                          {"test2.csp", file.data(), uint32_t(file.size())},
                          {"cut.csp", cut.data(), uint32_t(cut.size())},
                          {"after", other.data(), 100}};
  ASSERT_EQ(WriteResourcePack((dir / "game.rsf").c_str(), sources, 4), PACK_WRITE_OK);
  ASSERT_EQ(OpenResourcePack((dir / "game.rsf").c_str(), &pack), PACK_OK);
  SpriteFrame fromPack[4] = {}, fromDisk[4] = {};
  ASSERT_EQ(LoadSprite("TEST2.CSP", fromPack, pack), SPRITE_OK);
  ASSERT_EQ(LoadSprite((dir / "test2.csp").c_str(), fromDisk, nullptr), SPRITE_OK);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(0, std::memcmp(&fromPack[i], &fromDisk[i], offsetof(SpriteFrame, pixels))) << "frame " << i;
    EXPECT_EQ(0, std::memcmp(fromPack[i].pixels, fromDisk[i].pixels, fromPack[i].dataSize)) << "frame " << i;
  }
  FreeSprite(fromPack);
  FreeSprite(fromDisk);
  // The entry's recorded length bounds it, though the pack file goes on.
  EXPECT_EQ(LoadSprite("cut.csp", frames, 4, pack), SPRITE_DAMAGED);
  EXPECT_EQ(LoadSprite("missing.csp", frames, 4, pack), SPRITE_NOT_LOADED);
  ExpectUntouched();

  // A pack that failed to open answers nothing, even with the file at hand.
  WriteFile("test2.csp", file);
  ResourcePack* closed = nullptr;
  OpenResourcePack((dir / "missing.rsf").c_str(), &closed);
  EXPECT_EQ(LoadSprite("test2.csp", frames, 4, closed), SPRITE_NOT_LOADED);
  DestroyResourcePack(closed);
  fs::remove("test2.csp");
}

TEST_F(Sprites, RefusedFilesLeaveTheArrayAsItWas) {
  const Bytes six = {1, 2, 3, 4, 5, 6};
  auto raw = [&](int16_t width, int16_t height, int64_t dataSize) {
    return SpriteFile(false, {Frame(3, 2, six), Frame(width, height, six, dataSize)});
  };
  const Bytes good = raw(3, 2, 6);
  Bytes outOfOrder = ExampleBlock();
  outOfOrder[4] = 18;
  const std::pair<int, Bytes> refused[] = {
      {SPRITE_DAMAGED, Bytes(good.begin(), good.begin() + 19)},
      {SPRITE_DAMAGED, Bytes(good.begin(), good.begin() + 60)},  // inside frame 1's record
      {SPRITE_DAMAGED, Bytes(good.begin(), good.end() - 1)},
      {SPRITE_DAMAGED, raw(3, 2, 5)},
      {SPRITE_DAMAGED, raw(-3, 2, 6)},
      {SPRITE_DAMAGED, raw(3, -2, 6)},
      {SPRITE_DAMAGED, raw(SPRITE_SIDE_MAX + 1, 0, 6)},
      {SPRITE_DAMAGED, raw(0, 0, -2)},
      {SPRITE_DAMAGED, raw(1, 1, 7)},  // more data than the file holds
      {SPRITE_DAMAGED, SpriteFile(true, {Frame(8, 2, outOfOrder)})},
      {SPRITE_DAMAGED, SpriteFile(true, {Frame(7, 2, ExampleBlock())})},
      {SPRITE_TOO_MANY_FRAMES, SpriteFile(false, std::vector<FrameSpec>(5, Frame(1, 1, {7})))},
  };
  for (const auto& [expected, bytes] : refused) EXPECT_EQ(Load(bytes), expected) << bytes.size() << " bytes";
  for (int at = 0; at < 13; ++at) {
    Bytes wrong = good;
    wrong[at] ^= at == 7 ? 0x20 : 0x01;  // 's' as 'S' at 7
    EXPECT_EQ(Load(wrong), SPRITE_NOT_LOADED) << "magic byte " << at;
  }
  EXPECT_EQ(Load(SpriteFile(false, {Frame(1, 1, {7}), Frame(1, 1, {8})}), 1), SPRITE_TOO_MANY_FRAMES);
  EXPECT_EQ(Load(SpriteFile(false, {}, 0)), SPRITE_OK);
  EXPECT_EQ(Load(SpriteFile(false, {}, 0xFFFD)), SPRITE_OK);  // a negative count holds no frames
  ExpectUntouched();
  ASSERT_EQ(Load(SpriteFile(false, std::vector<FrameSpec>(4, Frame(1, 1, {7})))), SPRITE_OK);
  EXPECT_EQ(frames[3].pixels[0], 7);
  EXPECT_EQ(frames[4].frameCount, SENTINEL);
}

}  // namespace
