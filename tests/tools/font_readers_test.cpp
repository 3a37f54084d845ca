// The face readers fontgen uses, on small files made here.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tools/fonts/sources.h"

namespace {

namespace fs = std::filesystem;

class FontReaders : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) / ("font_readers_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string Make(const std::string& name, const std::string& bytes) {
    fs::path path = dir / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }
  fs::path dir;
  fonts::Face face;
  std::string error;
};

std::string Le32(uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>(value >> (8 * i));
  return bytes;
}

// Three 4-pixel-wide, 2-row glyphs: glyph g has only pixel (g, 0) set.
std::string Psf2(const std::string& table) {
  std::string bytes = Le32(0x864AB572) + Le32(0) + Le32(32) + Le32(table.empty() ? 0 : 1) + Le32(3) +
                      Le32(2) + Le32(2) + Le32(4);
  for (int g = 0; g < 3; ++g) bytes += std::string{static_cast<char>(0x80 >> g), 0};
  return bytes + table;
}

TEST_F(FontReaders, PsfGlyphsAreFoundThroughTheUnicodeTable) {
  // Glyph 0: U+0041 then the sequence U+0042 U+0301 (not a lookup of B);
  // glyph 1: U+00E9 (two UTF-8 bytes) and U+0042; glyph 2: U+0041 again.
  std::string table = std::string(
                          "A\xFE"
                          "B\xCC\x81\xFF",
                          6) +
                      "\xC3\xA9"
                      "B\xFF" +
                      "A\xFF";
  std::string path = Make("v2.psf", Psf2(table));
  ASSERT_TRUE(fonts::ReadPsf(path, face, error)) << error;
  EXPECT_EQ(face.width, 4);
  EXPECT_EQ(face.height, 2);
  ASSERT_EQ(face.glyphs.count('A'), 1u);
  EXPECT_TRUE(face.glyphs['A'].At(0, 0));  // the first glyph that claims it
  ASSERT_EQ(face.glyphs.count('B'), 1u);
  EXPECT_TRUE(face.glyphs['B'].At(1, 0));
  EXPECT_FALSE(face.glyphs['B'].At(0, 0));
  EXPECT_TRUE(face.glyphs[0xE9].At(1, 0));
  EXPECT_EQ(face.glyphs.count(0x301), 0u);

  // Compressed, the same font reads the same.
  std::string gzPath = (dir / "v2.psf.gz").string();
  gzFile out = gzopen(gzPath.c_str(), "wb");
  std::string plain = Psf2(table);
  gzwrite(out, plain.data(), static_cast<unsigned>(plain.size()));
  gzclose(out);
  fonts::Face unpacked;
  ASSERT_TRUE(fonts::ReadPsf(gzPath, unpacked, error)) << error;
  EXPECT_EQ(unpacked.glyphs['B'].ink, face.glyphs['B'].ink);
}

TEST_F(FontReaders, PsfVersion1AndBrokenFiles) {
  std::string v1 = std::string("\x36\x04\x02\x01", 4) + std::string(256, '\0');
  v1[4 + 7] = '\x81';  // glyph 7 shows 'x'
  std::string table;
  for (int g = 0; g < 256; ++g) table += g == 7 ? std::string("x\0\xFF\xFF", 4) : std::string("\xFF\xFF", 2);
  ASSERT_TRUE(fonts::ReadPsf(Make("v1.psf", v1 + table), face, error)) << error;
  EXPECT_EQ(face.width, 8);
  EXPECT_TRUE(face.glyphs['x'].At(0, 0));
  EXPECT_TRUE(face.glyphs['x'].At(7, 0));

  const std::string broken[] = {
      "",
      "\x36\x04",
      Psf2("").substr(0, 36),                  // glyphs cut short
      Psf2("").replace(20, 4, Le32(9)),        // glyph size not width x height
      Psf2("A\xC3"),                           // UTF-8 cut in the middle
      Psf2("").replace(8, 4, Le32(1u << 30)),  // header past the end
  };
  for (const std::string& bytes : broken)
    EXPECT_FALSE(fonts::ReadPsf(Make("bad.psf", bytes), face, error)) << error;
}

TEST_F(FontReaders, BdfGlyphsSitOnTheBaseline) {
  std::string bdf =
      "STARTFONT 2.1\nFONTBOUNDINGBOX 6 8 -1 -2\nCHARS 2\n"
      "STARTCHAR dot\nENCODING 46\nBBX 1 1 0 0\nBITMAP\n80\nENDCHAR\n"
      "STARTCHAR bar\nENCODING 124\nBBX 1 8 4 -2\nBITMAP\n80\n80\n80\n80\n80\n80\n80\n80\nENDCHAR\nENDFONT\n";
  ASSERT_TRUE(fonts::ReadBdf(Make("a.bdf", bdf), face, error)) << error;
  EXPECT_EQ(face.ascent, 6);
  // Origin one column in from the box's left edge; baseline row 6 is the
  // first below it.
  EXPECT_TRUE(face.glyphs['.'].At(1, 5));
  int inked = 0;
  for (int y = 0; y < 8; ++y) inked += face.glyphs['|'].At(5, y);
  EXPECT_EQ(inked, 8);

  const std::string broken[] = {
      "STARTFONT 2.1\nCHARS 0\n",
      "STARTFONT 2.1\nFONTBOUNDINGBOX 100000 8 0 0\n",
      "STARTFONT 2.1\nFONTBOUNDINGBOX 6 8 0 -2\nSTARTCHAR a\nENCODING 97\nBBX 1 2 0 0\nBITMAP\n80\n",
      "STARTFONT 2.1\nFONTBOUNDINGBOX 6 8 0 -2\nSTARTCHAR a\nENCODING 97\nBBX 1 1 0 0\nBITMAP\nZZ\nENDCHAR\n",
      "STARTFONT 2.1\nFONTBOUNDINGBOX 6 8 0 -2\nSTARTCHAR a\nENCODING 97\nBBX 1 1 0 7\nBITMAP\n80\nENDCHAR\n",
  };
  for (const std::string& text : broken)
    EXPECT_FALSE(fonts::ReadBdf(Make("bad.bdf", text), face, error)) << text;
}

}  // namespace
