// rsftool and fontgen run as users run them, and the font pack the build made.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "formats/pack.h"
#include "text/font.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class ToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) / ("tools_test_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Runs a tool with its output captured; returns its exit code.
  int Run(const std::string& tool, const std::vector<std::string>& args) {
    std::string command = "'" + tool + "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    command += " >'" + (dir / "stdout").string() + "' 2>'" + (dir / "stderr").string() + "'";
    int status = std::system(command.c_str());
    output = ReadAll(dir / "stdout");
    errors = ReadAll(dir / "stderr");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  fs::path Make(const std::string& name, const std::string& bytes) {
    fs::path path = dir / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  fs::path dir;
  std::string output, errors;
};

TEST_F(ToolsTest, RsftoolRoundTrip) {
  std::string binary;
  for (int i = 0; i < 256; ++i) binary += static_cast<char>(i);
  fs::path a = Make("in/alpha.bin", binary);
  fs::path b = Make("in/empty", "");
  fs::path c = Make("in/Fifteen_chars_", "hello");
  fs::path pack = dir / "out.rsf";
  ASSERT_EQ(Run(RSFTOOL_PATH, {"create", pack.string(), a.string(), b.string(), c.string()}), 0) << errors;

  ASSERT_EQ(Run(RSFTOOL_PATH, {"list", pack.string()}), 0) << errors;
  std::istringstream lines(output);
  std::string name;
  long offset = 0, size = 0;
  const char* names[] = {"alpha.bin", "empty", "Fifteen_chars_"};
  const long sizes[] = {256, 0, 5};
  long expectedOffset = 24 + 3 * 32;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(lines >> name >> offset >> size) << output;
    EXPECT_EQ(name, names[i]);
    EXPECT_EQ(offset, expectedOffset);
    EXPECT_EQ(size, sizes[i]);
    expectedOffset += sizes[i];
  }

  ASSERT_EQ(Run(RSFTOOL_PATH, {"extract", pack.string(), "-o", (dir / "all").string()}), 0) << errors;
  EXPECT_EQ(ReadAll(dir / "all/alpha.bin"), binary);
  EXPECT_TRUE(fs::exists(dir / "all/empty"));
  EXPECT_EQ(fs::file_size(dir / "all/empty"), 0u);
  EXPECT_EQ(ReadAll(dir / "all/Fifteen_chars_"), "hello");

  // One entry, named in other letter case, is looked up as the program would.
  ASSERT_EQ(Run(RSFTOOL_PATH, {"extract", pack.string(), "ALPHA.BIN", "-o", (dir / "one").string()}), 0)
      << errors;
  EXPECT_EQ(ReadAll(dir / "one/alpha.bin"), binary);
  EXPECT_FALSE(fs::exists(dir / "one/empty"));
}

TEST_F(ToolsTest, RsftoolFailuresExitNonZero) {
  fs::path ok = Make("ok.bin", "x"), pack = dir / "out.rsf";
  EXPECT_NE(Run(RSFTOOL_PATH, {"create", pack.string(), ok.string(), Make("sixteen_chars_xx", "x").string()}),
            0);
  EXPECT_NE(errors.find("sixteen_chars_xx"), std::string::npos) << errors;
  EXPECT_NE(Run(RSFTOOL_PATH, {"create", pack.string(), ok.string(), (dir / "none").string()}), 0);
  EXPECT_NE(Run(RSFTOOL_PATH, {"create", pack.string(), ok.string(), Make("sub/OK.BIN", "y").string()}), 0);
  EXPECT_FALSE(fs::exists(pack));
  ASSERT_EQ(Run(RSFTOOL_PATH, {"create", pack.string(), ok.string()}), 0) << errors;
  EXPECT_NE(Run(RSFTOOL_PATH, {"extract", pack.string(), "absent", "-o", (dir / "x").string()}), 0);
  EXPECT_NE(Run(RSFTOOL_PATH, {"list", ok.string()}), 0);
  EXPECT_NE(Run(RSFTOOL_PATH, {"frobnicate"}), 0);
  EXPECT_EQ(Run(RSFTOOL_PATH, {"--help"}), 0);
  EXPECT_NE(output.find("extract"), std::string::npos);

  // A hostile entry name must not become a path out of the target directory.
  std::string evil(56, '\0');
  std::memcpy(evil.data(), "Tavek Resource file", 20);
  evil[20] = 1;
  evil[24 + 8] = 56;  // an empty entry right after the directory
  std::memcpy(evil.data() + 24 + 16, "../escape", 9);
  fs::create_directories(dir / "inner");
  EXPECT_NE(Run(RSFTOOL_PATH, {"extract", Make("evil.rsf", evil).string(), "-o", (dir / "inner").string()}),
            0);
  EXPECT_FALSE(fs::exists(dir / "escape"));
}

TEST_F(ToolsTest, FontgenMakesEveryFontWholeAndTheSameEachTime) {
  ASSERT_EQ(Run(FONTGEN_PATH, {UNIFONT_HEX_PATH, (dir / "a").string()}), 0) << errors;
  ASSERT_EQ(Run(FONTGEN_PATH, {UNIFONT_HEX_PATH, (dir / "b").string()}), 0) << errors;
  for (const FontFile& font : FONT_FILES) {
    size_t glyphs = font.hangul ? FONT_HANGUL_GLYPHS : FONT_ENGLISH_GLYPHS;
    EXPECT_EQ(fs::file_size(dir / "a" / font.fileName), glyphs * GlyphBytes(font.width, font.height))
        << font.fileName;
    EXPECT_EQ(ReadAll(dir / "a" / font.fileName), ReadAll(dir / "b" / font.fileName)) << font.fileName;
  }
  EXPECT_NE(Run(FONTGEN_PATH, {(dir / "no.hex").string(), (dir / "c").string()}), 0);
  fs::path broken = Make("broken.hex", "0041:00FF\n");
  EXPECT_NE(Run(FONTGEN_PATH, {broken.string(), (dir / "c").string()}), 0);
  EXPECT_NE(Run(FONTGEN_PATH, {}), 0);
}

// The 16 x 16 glyph Unifont has for a code point, in the font file's layout.
std::string UnifontGlyph(const std::string& code) {
  std::ifstream in(UNIFONT_HEX_PATH);
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
  void TearDown() override {
    FreeFonts();
    DestroyResourcePack(pack);
  }
  ResourcePack* pack = nullptr;
};

TEST_F(BuiltFontPack, LoadsAndHoldsTheRightGlyphs) {
  const char* runDir = std::getenv("VANTOR_RUN_DIR");
  ASSERT_NE(runDir, nullptr);
  ASSERT_EQ(OpenResourcePack((fs::path(runDir) / "font.rsf").string().c_str(), &pack), PACK_OK);
  ASSERT_EQ(InitFonts(640, 480, 640, pack), 1);

  // Syllable 0 is U+AC00, the last (0xC8 0xFE, 힝) U+D79D.
  const std::pair<int, const char*> syllables[] = {{0, "AC00"}, {2349, "D79D"}};
  for (const auto& [index, code] : syllables) {
    std::string expected = UnifontGlyph(code);
    ASSERT_EQ(expected.size(), 32u) << code;
    for (int slot = 1; slot <= 5; ++slot) {
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(hangulFonts[slot].glyphs[index]), 32), expected)
          << "slot " << slot << " syllable " << index;
    }
  }

  auto inked = [](const BitmapFont& font, int glyph) {
    int bits = 0;
    int rowBytes = (font.width + 7) / 8;
    for (int y = 0; y < font.height; ++y) {
      for (int x = 0; x < font.width; ++x)
        bits += (font.glyphs[glyph][y * rowBytes + x / 8] >> (7 - x % 8)) & 1;
    }
    return bits;
  };
  for (int slot = 0; slot <= 5; ++slot) {
    EXPECT_GT(inked(englishFonts[slot], 'A'), 0) << "slot " << slot;
    EXPECT_EQ(inked(englishFonts[slot], ' '), 0) << "slot " << slot;
    EXPECT_EQ(inked(englishFonts[slot], 10), 0) << "slot " << slot;
    // Distinct letters stay distinct, even in the smallest cells.
    EXPECT_NE(std::memcmp(englishFonts[slot].glyphs['O'], englishFonts[slot].glyphs['I'],
                          englishFonts[slot].glyphBytes),
              0)
        << "slot " << slot;
  }
  EXPECT_GT(inked(hangulFonts[0], 0), 0);
  EXPECT_NE(std::memcmp(hangulFonts[0].glyphs[0], hangulFonts[0].glyphs[2349], hangulFonts[0].glyphBytes), 0);
}

}  // namespace
