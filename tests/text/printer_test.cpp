#include "text/printer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "text/font.h"

namespace {

namespace fs = std::filesystem;

constexpr uint8_t UNTOUCHED = 0xEE;
constexpr int32_t SOLID_5X9 = 7;   // English slot of an all-ink 5 x 9 face
constexpr int32_t SOLID_8X16 = 8;  // English slot of an all-ink 8 x 16 face

// A small target inside a guard border: whatever the printer does, the
// border must stay as it was.
struct Target {
  static constexpr int GUARD = 24;
  int width, height, pitch;
  std::vector<uint8_t> memory;
  Target(int w, int h) : width(w), height(h), pitch(w + 2 * GUARD), memory(size_t(pitch) * (h + 2 * GUARD)) {
    std::memset(memory.data(), UNTOUCHED, memory.size());
    textWidth = w;
    textHeight = h;
    textPitch = pitch;
  }
  uint8_t* surface() { return memory.data() + GUARD * pitch + GUARD; }
  uint8_t& at(int x, int y) { return surface()[y * pitch + x]; }
  bool Touched(int x0, int y0, int x1, int y1) {  // anything but UNTOUCHED in the rectangle, ends excluded
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if (at(x, y) != UNTOUCHED) return true;
    return false;
  }
  bool GuardIntact() {
    for (int y = -GUARD; y < height + GUARD; ++y)
      for (int x = -GUARD; x < width + GUARD; ++x)
        if ((x < 0 || y < 0 || x >= width || y >= height) && at(x, y) != UNTOUCHED) return false;
    return true;
  }
};

// Glyph g of a "diagonal" face has one ink pixel per row r, at column
// (r + g) mod width, except the blank (32); the bits past the width are all
// set, to be ignored.
std::string FaceBytes(int width, int height, int glyphs, bool solid) {
  int rowBytes = (width + 7) / 8;
  std::string bytes;
  for (int g = 0; g < glyphs; ++g)
    for (int r = 0; r < height; ++r)
      for (int b = 0; b < rowBytes; ++b) {
        uint8_t byte = 0;
        for (int bit = 0; bit < 8; ++bit) {
          int column = b * 8 + bit;
          if (column >= width || solid || (g != ' ' && column == (r + g) % width))
            byte |= uint8_t(0x80 >> bit);
        }
        bytes += char(byte);
      }
  return bytes;
}

class Printer : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) / ("printer_test_" + std::to_string(getpid()));
    fs::create_directories(dir);
    FreeFonts();
    // The program's cell sizes for the faces the tests draw with.
    for (const FontFile& file : FONT_FILES)
      if (file.hangul ? file.slot == 1 : file.slot <= 2)
        Load(file.hangul, file.slot, file.width, file.height, false);
    Load(false, SOLID_5X9, 5, 9, true);
    Load(false, SOLID_8X16, 8, 16, true);
    textState = TEXT_STATE_INITIAL;
    stackDepth = 0;
  }
  void TearDown() override {
    FreeFonts();
    fs::remove_all(dir);
  }
  void Load(bool hangul, int slot, int width, int height, bool solid) {
    std::string path = (dir / "face.fnt").string();
    std::string bytes = FaceBytes(width, height, hangul ? FONT_HANGUL_GLYPHS : FONT_ENGLISH_GLYPHS, solid);
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    int loaded = hangul ? LoadHangulFont(slot, path.c_str(), width, height, nullptr)
                        : LoadEnglishFont(slot, path.c_str(), width, height, nullptr);
    ASSERT_EQ(loaded, 1);
  }
  fs::path dir;
};

TEST_F(Printer, HangulIndexCoversTheBlockFromEndToEnd) {
  EXPECT_EQ(HangulIndex(0xB0, 0xA1), 0);
  EXPECT_EQ(HangulIndex(0xB0, 0xFE), 93);
  EXPECT_EQ(HangulIndex(0xB1, 0xA1), 94);
  EXPECT_EQ(HangulIndex(0xC8, 0xFE), 2349);
  // The first and last syllables print their own glyphs: row 0 inks column
  // glyph mod 16.
  Target target(60, 20);
  PutText(2, 1, target.surface(), "\xB0\xA1\xC8\xFE");
  EXPECT_EQ(target.at(2 + 0, 1), 15);
  EXPECT_EQ(target.at(19 + 2349 % 16, 1), 15);
  EXPECT_EQ(penX, 2 + 2 * 17);
}

TEST_F(Printer, CharactersFollowEachOtherByWidthAndSpacing) {
  Target target(40, 12);
  PutText(7, 2, target.surface(), "AB");
  // Row 0 of A inks column 65 mod 5 = 0, of B column 66 mod 5 = 1.
  EXPECT_EQ(target.at(7, 2), 15);
  EXPECT_EQ(target.at(7 + 6 + 1, 2), 15);
  EXPECT_FALSE(target.Touched(8, 2, 14, 3));
  EXPECT_EQ(penX, 7 + 12);
  EXPECT_EQ(penY, 2);
}

TEST_F(Printer, EveryCellWidthReadsWholeBytesPerRowFromTheLeftmostBit) {
  struct Case {
    bool hangul;
    int slot;
    const char* text;
    int glyph;
  };
  for (Case c : {Case{false, 1, "A", 'A'}, Case{false, 0, "A", 'A'}, Case{false, 2, "A", 'A'},
                 Case{true, 1, "\xB0\xA3", 2}}) {
    textState.englishFont = textState.hangulFont = c.slot;
    const BitmapFont& font = c.hangul ? hangulFonts[c.slot] : englishFonts[c.slot];
    Target target(font.width + 2, font.height);
    PutText(0, 0, target.surface(), c.text);
    for (int r = 0; r < font.height; ++r)
      for (int x = 0; x < font.width + 2; ++x)
        EXPECT_EQ(target.at(x, r), x == (r + c.glyph) % font.width ? 15 : UNTOUCHED)
            << font.width << " wide, row " << r << ", column " << x;
  }
}

TEST_F(Printer, MultiColorRampsByRowAndWrapsPastTheTopIndex) {
  textState.englishFont = SOLID_8X16;
  textState.multiColor = 1;
  for (int start : {18, 250}) {
    textState.textColor = start;
    Target target(10, 16);
    PutText(0, 0, target.surface(), "x");
    for (int r = 0; r < 16; ++r) EXPECT_EQ(target.at(3, r), uint8_t(start + r)) << start << " row " << r;
  }
}

// Opaque cells: the glyph cell plus the gap; with a shadow under it, only
// the shadow's bottom row survives, and its right column when there is no gap.
TEST_F(Printer, OpaqueCellsAndWhatRemainsOfTheShadow) {
  textState.englishFont = SOLID_5X9;
  textState.opaque = 1;
  textState.backColor = 3;
  textState.shadowColor = 9;
  for (int shadow : {0, 1})
    for (int spacing : {0, 1}) {
      textState.shadow = shadow;
      textState.spacing = spacing;
      Target target(12, 12);
      PutText(1, 1, target.surface(), "M");
      for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
          uint8_t expected = UNTOUCHED;
          bool shadowCell = shadow && x >= 2 && x <= 6 && y >= 2 && y <= 10;
          if (shadowCell) expected = 9;
          if (x >= 1 && x <= 5 && y >= 1 && y <= 9) expected = 15;
          if (spacing && x == 6 && y >= 1 && y <= 9) expected = 3;
          EXPECT_EQ(target.at(x, y), expected)
              << "shadow " << shadow << " spacing " << spacing << " at " << x << "," << y;
        }
      EXPECT_EQ(penX, 1 + 5 + spacing);
    }
}

TEST_F(Printer, StackKeepsFourStatesAndIgnoresWhatItCannotHold) {
  auto same = [](const TextState& a, const TextState& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
  PopTextState();  // nothing saved: nothing changes
  EXPECT_TRUE(same(textState, TEXT_STATE_INITIAL));
  TextState saved[5];
  for (int i = 0; i < 5; ++i) {
    textState = {i, i + 1, i + 2, i + 3, i + 4, i + 5, i + 6, i + 7, i + 8};
    saved[i] = textState;
    PushTextState();
  }
  EXPECT_EQ(stackDepth, 4);
  textState.textColor = 99;
  for (int i = 3; i >= 0; --i) {
    PopTextState();
    EXPECT_TRUE(same(textState, saved[i])) << i;
  }
  PopTextState();
  EXPECT_TRUE(same(textState, saved[0]));
  EXPECT_EQ(stackDepth, 0);
}

TEST_F(Printer, FormatsIntoItsBufferAndNeverPast) {
  Target formatted(60, 10), plain(60, 10);
  PrintText(formatted.surface(), 0, 0, "%4.1f Fps", 8.0);
  PutText(0, 0, plain.surface(), " 8.0 Fps");
  EXPECT_EQ(formatted.memory, plain.memory);
  EXPECT_FALSE(formatted.Touched(0, 0, 5, 9));  // the blank's cell stays empty
  EXPECT_EQ(penX, 8 * 6);

  std::string longText(1000, 'w');
  PrintText(formatted.surface(), 0, 0, "%s!", longText.c_str());
  EXPECT_EQ(penX, 255 * 6);
}

// Inputs the printer cannot draw as given: it draws what fits, blank cells
// for missing glyphs, and never strays outside the target or the tables.
TEST_F(Printer, UnsafeInputsStayInsideTargetAndTables) {
  Target target(20, 12);
  textState.shadow = 1;
  textState.opaque = 1;
  textState.spacing = 3;
  textState.multiColor = 1;
  textState.englishFont = SOLID_8X16;
  for (auto [x, y] : {std::pair{-5, -7},
                      {15, 8},
                      {-100, 3},
                      {3, 100},
                      {INT32_MIN, INT32_MIN},
                      {INT32_MAX - 2, INT32_MAX - 2}})
    PutText(x, y, target.surface(), "Wide\x81\x41 text");
  EXPECT_TRUE(target.GuardIntact());
  // Clipped at the top left, the rows that show keep their place in the ramp.
  Target clipped(20, 12);
  textState.shadow = 0;
  PutText(-2, -3, clipped.surface(), "W");
  EXPECT_EQ(clipped.at(0, 0), 15 + 3);
  EXPECT_TRUE(clipped.GuardIntact());

  FillTextRect(-50, -50, 500, 500, target.surface(), 1);
  FillTextRect(2, 5, 4, 4, target.surface(), 2);
  EXPECT_EQ(target.at(3, 4), 1);
  EXPECT_TRUE(target.GuardIntact());

  // Codes outside the Hangul block, here ones the index formula would take to
  // real syllables, and a lead byte at the very end print blank cells.
  textState = TEXT_STATE_INITIAL;
  Target blank(60, 20);
  PutText(0, 0, blank.surface(), "\xB2\x41");
  PutText(17, 0, blank.surface(), "\xB1\xFF\xA1\xA1");
  EXPECT_EQ(penX, 17 + 2 * 17);
  std::unique_ptr<char[]> lead(new char[2]{'\xB0', '\0'});
  PutText(0, 0, blank.surface(), lead.get());
  EXPECT_EQ(penX, 17);
  EXPECT_FALSE(blank.Touched(0, 0, 60, 20));

  // Empty slots and slots outside the tables draw nothing; the pen moves
  // by the spacing alone.
  for (int slot : {6, -1, 10, 1000}) {
    textState.englishFont = textState.hangulFont = slot;
    PutText(0, 0, blank.surface(), "A\xB0\xA1");
    EXPECT_EQ(penX, 2) << slot;
  }
  EXPECT_FALSE(blank.Touched(0, 0, 60, 20));
  EXPECT_TRUE(blank.GuardIntact());
}

}  // namespace
