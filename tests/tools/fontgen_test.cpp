// fontgen run as the build runs it, the glyphs it makes checked against the
// source faces, and the font pack the build made.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "formats/pack.h"
#include "support/cases.h"
#include "text/font.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The face list the build hands fontgen.
std::map<std::string, std::string> Sources() {
  std::map<std::string, std::string> paths;
  std::ifstream in(FONT_SOURCES_PATH);
  std::string name, path;
  while (in >> name >> path) paths[name] = path;
  return paths;
}

// A glyph as rows of '#' and '.', cut down to its ink so that glyphs placed
// differently in their cells compare equal.
using Shape = std::vector<std::string>;

Shape Crop(const Shape& rows) {
  size_t top = rows.size(), bottom = 0, left = std::string::npos, right = 0;
  for (size_t y = 0; y < rows.size(); ++y) {
    size_t first = rows[y].find('#');
    if (first == std::string::npos) continue;
    top = std::min(top, y), bottom = y;
    left = std::min(left, first), right = std::max(right, rows[y].rfind('#'));
  }
  Shape cropped;
  for (size_t y = top; y <= bottom && top < rows.size(); ++y)
    cropped.push_back(rows[y].substr(left, right - left + 1));
  return cropped;
}

Shape FontShape(const std::string& bytes, int width, int height, int index) {
  int rowBytes = (width + 7) / 8;
  Shape rows;
  for (int y = 0; y < height; ++y) {
    std::string row;
    for (int x = 0; x < width; ++x) {
      auto byte = static_cast<uint8_t>(bytes[static_cast<size_t>((index * height + y) * rowBytes + x / 8)]);
      row += (byte >> (7 - x % 8)) & 1 ? '#' : '.';
    }
    rows.push_back(row);
  }
  return rows;
}

// Every glyph of a BDF file by its encoding, from the BITMAP rows.
std::map<long, Shape> BdfShapes(const std::string& path) {
  std::map<long, Shape> shapes;
  std::ifstream in(path);
  std::string line;
  long code = -1;
  int width = 0, height = 0;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string keyword;
    words >> keyword;
    if (keyword == "ENCODING") {
      words >> code;
    } else if (keyword == "BBX") {
      words >> width >> height;
    } else if (keyword == "BITMAP") {
      Shape& rows = shapes[code];
      for (int y = 0; y < height && std::getline(in, line); ++y) {
        std::string row;
        for (int x = 0; x < width; ++x)
          row += (std::stoi(line.substr(static_cast<size_t>(x / 4), 1), nullptr, 16) >> (3 - x % 4)) & 1
                     ? '#'
                     : '.';
        rows.push_back(row);
      }
    }
  }
  return shapes;
}

std::string Join(const Shape& rows) {
  std::string text;
  for (const std::string& row : rows) text += row + "\n";
  return text;
}

class Fontgen : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) / ("fontgen_test_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  int Run(const std::vector<std::string>& args) {
    std::string command = std::string("'") + FONTGEN_PATH + "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    command += " >'" + (dir / "stdout").string() + "' 2>'" + (dir / "stderr").string() + "'";
    int status = std::system(command.c_str());
    errors = ReadAll(dir / "stderr");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  fs::path Make(const std::string& name, const std::string& bytes) {
    fs::path path = dir / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  // The build's face list with one face replaced.
  fs::path SourcesWith(const std::string& name, const std::string& path) {
    std::string text;
    for (const auto& [face, file] : Sources()) {
      if (face != name)
        text += face + " " + file + "\n";
      else if (!path.empty())
        text += face + " " + path + "\n";
    }
    return Make("sources-" + name + ".txt", text);
  }

  fs::path dir;
  std::string errors;
};

TEST_F(Fontgen, MakesEveryFontWholeAndTheSameEachTime) {
  ASSERT_EQ(Run({FONT_SOURCES_PATH, (dir / "a").string()}), 0) << errors;
  ASSERT_EQ(Run({"--sheet", (dir / "sheet.png").string(), FONT_SOURCES_PATH, (dir / "b").string()}), 0)
      << errors;
  for (const FontFile& font : FONT_FILES) {
    size_t glyphs = font.hangul ? FONT_HANGUL_GLYPHS : FONT_ENGLISH_GLYPHS;
    EXPECT_EQ(fs::file_size(dir / "a" / font.fileName), glyphs * GlyphBytes(font.width, font.height))
        << font.fileName;
    EXPECT_EQ(ReadAll(dir / "a" / font.fileName), ReadAll(dir / "b" / font.fileName)) << font.fileName;
  }
  EXPECT_EQ(ReadAll(dir / "sheet.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
}

TEST_F(Fontgen, RefusesBadFacesAndWritesNothing) {
  std::string bdfHead = "STARTFONT 2.1\nFONTBOUNDINGBOX 8 8 0 -1\nCHARS 1\n";
  std::string psf2 = std::string("\x72\xb5\x4a\x86", 4) + std::string("\0\0\0\0", 4) +
                     std::string("\x20\0\0\0", 4) + std::string("\0\0\0\0", 4) + std::string("\0\1\0\0", 4) +
                     std::string("\x10\0\0\0", 4) + std::string("\x10\0\0\0", 4) +
                     std::string("\x08\0\0\0", 4) + std::string(64, '\x18');
  const std::vector<std::pair<std::string, fs::path>> cases = {
      {"no file", dir / "absent.txt"},
      {"face missing from the list", SourcesWith("dotum16", "")},
      {"face file missing", SourcesWith("gulim16", (dir / "absent.bdf").string())},
      {"ink outside the bounding box",
       SourcesWith("8x13", Make("wide.bdf",
                                bdfHead + "STARTCHAR A\nENCODING 65\nBBX 9 1 0 0\nBITMAP\nFF80\nENDCHAR\n")
                               .string())},
      {"face without the needed glyphs", SourcesWith("batang16", Make("empty.bdf", bdfHead).string())},
      {"PSF claiming more glyphs than it holds", SourcesWith("vga16", Make("short.psf", psf2).string())},
      {"damaged gzip",
       SourcesWith("terminus16",
                   Make("bad.psf.gz", std::string("\x1f\x8b\x08\0\0\0\0\0\0\3garbage", 18)).string())},
      {"broken hex", SourcesWith("unifont", Make("broken.hex", "0041:00FF\n").string())},
  };
  for (const auto& [what, sources] : cases) {
    fs::path out = dir / "out";
    fs::remove_all(out);
    EXPECT_NE(Run({sources.string(), out.string()}), 0) << what;
    EXPECT_NE(errors, "") << what;
    EXPECT_FALSE(fs::exists(out / "k16x16g1.fnt")) << what;
  }
  EXPECT_EQ(Run({}), 2);
}

// Placement moves a glyph in its cell but must never change or clip it.
TEST_F(Fontgen, GlyphsKeepTheShapesOfTheirFaces) {
  ASSERT_EQ(Run({FONT_SOURCES_PATH, dir.string()}), 0) << errors;
  std::map<std::string, std::string> sources = Sources();
  const std::pair<const char*, const char*> hangul[] = {{"k16x16g2.fnt", "gulim16"},
                                                        {"k16x16g3.fnt", "batang16"},
                                                        {"k16x16g4.fnt", "dotum16"},
                                                        {"k16x16g5.fnt", "hline16"}};
  std::mt19937 random(7);
  std::vector<int> syllables = {0, 2349};
  for (int i = 0; i < vantor_test::Cases(24); ++i)
    syllables.push_back(static_cast<int>(random() % FONT_HANGUL_GLYPHS));
  for (const auto& [file, face] : hangul) {
    std::string bytes = ReadAll(dir / file);
    std::map<long, Shape> shapes = BdfShapes(sources[face]);
    for (int n : syllables) {
      long code = (0x30 + n / 94) << 8 | (0x21 + n % 94);
      Shape source = Crop(shapes[code]);
      ASSERT_FALSE(source.empty()) << face << " " << code;
      EXPECT_EQ(Join(Crop(FontShape(bytes, 16, 16, n))), Join(source)) << file << " syllable " << n;
    }
  }
  const std::tuple<const char*, const char*, int, int> english[] = {
      {"e6x6g0.fnt", "clR6x6", 6, 6}, {"e5x9g1.fnt", "clR5x10", 5, 9}, {"e8x16g4.fnt", "8x13", 8, 16}};
  for (const auto& [file, face, width, height] : english) {
    std::string bytes = ReadAll(dir / file);
    std::map<long, Shape> shapes = BdfShapes(sources[face]);
    for (int c = 33; c < 127; ++c) {
      EXPECT_EQ(Join(Crop(FontShape(bytes, width, height, c))), Join(Crop(shapes[c])))
          << file << " '" << static_cast<char>(c) << "'";
    }
  }
  // The 8 x 10 face merges columns only: every row keeps ink exactly where
  // the 10-pixel source has it.
  std::string small = ReadAll(dir / "k8x10g0.fnt");
  std::map<long, Shape> shapes = BdfShapes(sources["gulim10"]);
  for (int n : syllables) {
    long code = (0x30 + n / 94) << 8 | (0x21 + n % 94);
    Shape source = shapes[code], cell = FontShape(small, 8, 10, n);
    ASSERT_EQ(source.size(), cell.size());
    for (size_t y = 0; y < cell.size(); ++y)
      EXPECT_EQ(cell[y].find('#') != std::string::npos, source[y].find('#') != std::string::npos)
          << n << " row " << y;
  }
}

// The 16 x 16 glyph Unifont has for a code point, in the font file's layout.
std::string UnifontGlyph(const std::string& code) {
  std::ifstream in(Sources()["unifont"]);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(code + ":", 0) != 0) continue;
    std::string hex = line.substr(code.size() + 1), bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
      bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
  }
  return "";
}

class BuiltFontPack : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* runDir = std::getenv("VANTOR_RUN_DIR");
    ASSERT_NE(runDir, nullptr);
    ASSERT_EQ(OpenResourcePack((fs::path(runDir) / "font.rsf").string().c_str(), &pack), PACK_OK);
    ASSERT_EQ(InitFonts(640, 480, 640, pack), 1);
  }
  void TearDown() override {
    FreeFonts();
    DestroyResourcePack(pack);
  }
  static std::string Glyph(const BitmapFont& font, int index) {
    return std::string(reinterpret_cast<const char*>(font.glyphs[index]),
                       static_cast<size_t>(font.glyphBytes));
  }
  static int Syllable(const char* cp949) {
    return (static_cast<uint8_t>(cp949[0]) - 0xB0) * 94 + static_cast<uint8_t>(cp949[1]) - 0xA1;
  }
  ResourcePack* pack = nullptr;
};

TEST_F(BuiltFontPack, HoldsTheUnifontGlyphsWhereUnifontIsTheFace) {
  // Syllable 0 is U+AC00 (가), the last (0xC8 0xFE, 힝) U+D79D.
  EXPECT_EQ(Glyph(hangulFonts[1], 0), UnifontGlyph("AC00"));
  EXPECT_EQ(Glyph(hangulFonts[1], 2349), UnifontGlyph("D79D"));
  std::string a = UnifontGlyph("0041");
  ASSERT_EQ(a.size(), 16u);
  EXPECT_EQ(Glyph(englishFonts[2], 'A'), a);
  for (int slot = 6; slot < FONT_SLOTS; ++slot) {
    EXPECT_EQ(hangulFonts[slot].glyphs[0], nullptr);
    EXPECT_EQ(englishFonts[slot].glyphs['A'], nullptr);
  }
}

TEST_F(BuiltFontPack, EverySlotHasItsOwnLegibleFace) {
  for (int a = 1; a <= 5; ++a) {
    for (int b = a + 1; b <= 5; ++b) {
      EXPECT_NE(Glyph(hangulFonts[a], 0), Glyph(hangulFonts[b], 0)) << "Hangul slots " << a << ", " << b;
      EXPECT_NE(Glyph(hangulFonts[a], 1000), Glyph(hangulFonts[b], 1000))
          << "Hangul slots " << a << ", " << b;
    }
  }
  for (int a = 2; a <= 5; ++a) {
    for (int b = a + 1; b <= 5; ++b)
      EXPECT_NE(Glyph(englishFonts[a], 'A'), Glyph(englishFonts[b], 'A'))
          << "English slots " << a << ", " << b;
  }
  for (int slot = 0; slot <= 5; ++slot) {
    std::string blank(static_cast<size_t>(englishFonts[slot].glyphBytes), '\0');
    for (int c : {0, 10, 31, 32, 127})
      EXPECT_EQ(Glyph(englishFonts[slot], c), blank) << slot << " code " << c;
    for (int c = 33; c < 127; ++c) EXPECT_NE(Glyph(englishFonts[slot], c), blank) << slot << " code " << c;
    for (int c = 33; c < 127; ++c) {
      for (int d = c + 1; d < 127; ++d) {
        // Each printable character must be told apart from every other one.
        EXPECT_NE(Glyph(englishFonts[slot], c), Glyph(englishFonts[slot], d))
            << "slot " << slot << " '" << static_cast<char>(c) << "' '" << static_cast<char>(d) << "'";
      }
    }
  }
  // The 5 x 9 face keeps its ink inside its five columns.
  for (int c = 0; c < FONT_ENGLISH_GLYPHS; ++c) {
    for (int y = 0; y < 9; ++y)
      EXPECT_EQ(englishFonts[1].glyphs[c][y] & 0x07, 0) << "code " << c << " row " << y;
  }
  // Condensing must keep the vowels with one and two ticks apart.
  const char* pairs[][2] = {{"\xC7\xEF", "\xC8\xA1"}, {"\xB0\xB3", "\xB0\xC2"}, {"\xB0\xD4", "\xB0\xE8"}};
  for (const auto& pair : pairs) {
    EXPECT_NE(Glyph(hangulFonts[0], Syllable(pair[0])), Glyph(hangulFonts[0], Syllable(pair[1])))
        << Syllable(pair[0]) << " " << Syllable(pair[1]);
  }
  std::string blank(10, '\0');
  for (int n = 0; n < FONT_HANGUL_GLYPHS; ++n) EXPECT_NE(Glyph(hangulFonts[0], n), blank) << n;
}

}  // namespace
