#include "text/font.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

int32_t GlyphCount(const FontFile& font) { return font.hangul ? FONT_HANGUL_GLYPHS : FONT_ENGLISH_GLYPHS; }

// Every byte of every test font differs from its neighbours and from the
// same place in the other fonts, so a wrong stride or source shows.
std::string FontContents(int fontIndex, size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + fontIndex * 31 + i / 251) & 0xFF);
  return bytes;
}

class FontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) / ("font_test_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    FreeFonts();
  }
  void TearDown() override {
    FreeFonts();
    DestroyResourcePack(pack);
    fs::remove_all(dir);
  }

  // Packs the twelve fonts; `skip` leaves one out, `shortBy` cuts one short
  // by that many bytes.
  void MakePack(int skip = -1, int cut = -1, size_t shortBy = 0) {
    DestroyResourcePack(pack);
    pack = nullptr;
    for (int i = 0; i < FONT_FILE_COUNT; ++i) {
      size_t size = static_cast<size_t>(GlyphCount(FONT_FILES[i])) *
                    GlyphBytes(FONT_FILES[i].width, FONT_FILES[i].height);
      contents[i] = FontContents(i, i == cut ? size - shortBy : size);
    }
    std::vector<PackSource> sources;
    for (int i = 0; i < FONT_FILE_COUNT; ++i) {
      if (i == skip) continue;
      sources.push_back(
          {FONT_FILES[i].fileName, contents[i].data(), static_cast<uint32_t>(contents[i].size())});
    }
    std::string path = (dir / "font.rsf").string();
    ASSERT_EQ(WriteResourcePack(path.c_str(), sources.data(), static_cast<int32_t>(sources.size())),
              PACK_WRITE_OK);
    ASSERT_EQ(OpenResourcePack(path.c_str(), &pack), PACK_OK);
  }

  static bool SlotEmpty(const BitmapFont& font, int32_t glyphCount) {
    for (int32_t i = 0; i < glyphCount; ++i) {
      if (font.glyphs[i] != nullptr) return false;
    }
    return true;
  }
  std::string WriteFile(const char* name, const std::string& bytes) {
    std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  fs::path dir;
  ResourcePack* pack = nullptr;
  std::string contents[FONT_FILE_COUNT];
};

TEST_F(FontTest, AllTwelveLoadWithTheirOwnBytes) {
  MakePack();
  ASSERT_EQ(InitFonts(320, 200, 336, pack), 1);
  // Loading again frees what the first load held (the leak check sees it).
  ASSERT_EQ(InitFonts(320, 200, 336, pack), 1);
  EXPECT_EQ(textWidth, 320);
  EXPECT_EQ(textHeight, 200);
  EXPECT_EQ(textPitch, 336);
  for (int i = 0; i < FONT_FILE_COUNT; ++i) {
    const FontFile& file = FONT_FILES[i];
    const BitmapFont& font = file.hangul ? hangulFonts[file.slot] : englishFonts[file.slot];
    EXPECT_EQ(font.width, file.width);
    ASSERT_EQ(font.glyphBytes, GlyphBytes(file.width, file.height));
    // Glyph n holds bytes n x glyphBytes onwards of its file.
    for (int32_t n : {0, 1, GlyphCount(file) - 1}) {
      ASSERT_NE(font.glyphs[n], nullptr) << file.fileName;
      EXPECT_EQ(
          std::memcmp(font.glyphs[n], contents[i].data() + size_t(n) * font.glyphBytes, font.glyphBytes), 0)
          << file.fileName << " glyph " << n;
    }
  }
  for (int slot = 6; slot < FONT_SLOTS; ++slot) {
    EXPECT_TRUE(SlotEmpty(hangulFonts[slot], FONT_HANGUL_GLYPHS) && SlotEmpty(englishFonts[slot], 128));
  }
  FreeFonts();
  FreeFonts();
  EXPECT_TRUE(SlotEmpty(hangulFonts[1], FONT_HANGUL_GLYPHS) && SlotEmpty(englishFonts[5], 128));
}

TEST_F(FontTest, MissingOrShortFontsFailOnlyTheirSlots) {
  MakePack(/*skip=*/3);
  EXPECT_EQ(InitFonts(640, 480, 640, pack), -2);
  EXPECT_TRUE(SlotEmpty(hangulFonts[3], FONT_HANGUL_GLYPHS));
  EXPECT_NE(hangulFonts[4].glyphs[0], nullptr);

  // A pack that is not open loads nothing and changes no slot.
  DestroyResourcePack(pack);
  ASSERT_EQ(OpenResourcePack((dir / "missing.rsf").string().c_str(), &pack), PACK_NO_FILE);
  EXPECT_EQ(InitFonts(512, 384, 512, pack), -3);
  EXPECT_EQ(textPitch, 512);
  EXPECT_NE(hangulFonts[4].glyphs[0], nullptr);

  // One byte short in the middle of the pack: without the recorded length
  // the reads would quietly run on into the next font.
  MakePack(/*skip=*/-1, /*cut=*/1, /*shortBy=*/1);
  EXPECT_EQ(InitFonts(320, 200, 320, pack), -2);
  EXPECT_TRUE(SlotEmpty(hangulFonts[1], FONT_HANGUL_GLYPHS));
  EXPECT_NE(hangulFonts[2].glyphs[0], nullptr);
  // The last font short: the file ends before its glyphs do.
  MakePack(-1, FONT_FILE_COUNT - 1, 5);
  EXPECT_EQ(InitFonts(320, 200, 320, pack), -2);
  EXPECT_TRUE(SlotEmpty(englishFonts[5], FONT_ENGLISH_GLYPHS));
}

TEST_F(FontTest, PlainFilesMustHoldEveryGlyph) {
  // 5 pixels wide: one byte per row, its three low bits unused.
  size_t size = FONT_ENGLISH_GLYPHS * 9;
  std::string exact = WriteFile("exact.fnt", FontContents(0, size));
  std::string cut = WriteFile("cut.fnt", FontContents(0, size - 1));
  EXPECT_EQ(LoadEnglishFont(1, cut.c_str(), 5, 9, nullptr), 0);
  EXPECT_TRUE(SlotEmpty(englishFonts[1], FONT_ENGLISH_GLYPHS));
  ASSERT_EQ(LoadEnglishFont(1, exact.c_str(), 5, 9, nullptr), 1);
  EXPECT_EQ(englishFonts[1].glyphBytes, 9);
  EXPECT_EQ(englishFonts[1].glyphs[127][8], static_cast<uint8_t>(FontContents(0, size)[size - 1]));
  EXPECT_EQ(GlyphBytes(6, 6), 6);
  EXPECT_EQ(GlyphBytes(9, 3), 6);
  EXPECT_EQ(GlyphBytes(16, 16), 32);

  // A failed reload keeps the font that was there.
  EXPECT_EQ(LoadEnglishFont(1, cut.c_str(), 5, 9, nullptr), 0);
  EXPECT_NE(englishFonts[1].glyphs[0], nullptr);

  // Slots and cell sizes out of range.
  std::string big = WriteFile("big.fnt", std::string(FONT_HANGUL_GLYPHS * 64 * 8, '\x55'));
  EXPECT_EQ(LoadHangulFont(-1, big.c_str(), 16, 16, nullptr), 0);
  EXPECT_EQ(LoadHangulFont(FONT_SLOTS, big.c_str(), 16, 16, nullptr), 0);
  EXPECT_EQ(LoadEnglishFont(0, big.c_str(), 0, 16, nullptr), 0);
  EXPECT_EQ(LoadEnglishFont(0, big.c_str(), FONT_MAX_CELL + 1, 8, nullptr), 0);
  EXPECT_TRUE(SlotEmpty(englishFonts[0], FONT_ENGLISH_GLYPHS));
  EXPECT_EQ(LoadHangulFont(9, big.c_str(), FONT_MAX_CELL, FONT_MAX_CELL, nullptr), 1);
}

}  // namespace
