#include "text/printer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "text/font.h"

namespace {

constexpr uint8_t UNTOUCHED = 0xEE;
constexpr int SOLID_5X9 = 7, SOLID_8X16 = 8;  // English slots of all-ink faces

// A small target inside a guard border that must stay as it was.
struct Target {
  static constexpr int GUARD = 24;
  int width, height, pitch;
  std::vector<uint8_t> memory;
  Target(int w, int h)
      : width(w), height(h), pitch(w + 2 * GUARD), memory(size_t(pitch) * (h + 2 * GUARD), UNTOUCHED) {
    textWidth = w, textHeight = h, textPitch = pitch;
  }
  uint8_t* surface() { return memory.data() + GUARD * pitch + GUARD; }
  uint8_t& at(int x, int y) { return surface()[y * pitch + x]; }
  bool Touched(int x0, int y0, int x1, int y1) {  // ends excluded
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if (at(x, y) != UNTOUCHED) return true;
    return false;
  }
  bool GuardIntact() {
    int inside = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) inside += at(x, y) != UNTOUCHED;
    return size_t(std::count(memory.begin(), memory.end(), UNTOUCHED)) + inside == memory.size();
  }
};

class Printer : public ::testing::Test {
 protected:
  void SetUp() override {
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
  void TearDown() override { FreeFonts(); }
  // Glyph g of a diagonal face inks row r at column (r + g) mod width only,
  // and the blank (32) nowhere; bits past the width are set, to be ignored.
  void Load(bool hangul, int slot, int width, int height, bool solid) {
    std::string bytes;
    for (int g = 0; g < (hangul ? FONT_HANGUL_GLYPHS : FONT_ENGLISH_GLYPHS); ++g)
      for (int r = 0; r < height; ++r)
        for (int column = 0; column < (width + 7) / 8 * 8; column += 8) {
          uint8_t byte = 0;
          for (int bit = 0; bit < 8; ++bit) {
            int c = column + bit;
            if (c >= width || solid || (g != ' ' && c == (r + g) % width)) byte |= uint8_t(0x80 >> bit);
          }
          bytes += char(byte);
        }
    std::string path = ::testing::TempDir() + "printer_test_" + std::to_string(getpid()) + ".fnt";
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    ASSERT_EQ((hangul ? LoadHangulFont : LoadEnglishFont)(slot, path.c_str(), width, height, nullptr), 1);
    std::filesystem::remove(path);
  }
};

TEST_F(Printer, CharactersSitAtThePenAndMoveItByWidthAndSpacing) {
  EXPECT_EQ(HangulIndex(0xB0, 0xA1), 0);
  EXPECT_EQ(HangulIndex(0xB1, 0xA1), 94);
  EXPECT_EQ(HangulIndex(0xC8, 0xFE), 2349);
  Target target(60, 20);
  // Row 0 of A inks column 65 mod 5 = 0, of B 66 mod 5 = 1; of the first and
  // last syllables 0 and 2349 mod 16.
  PutText(7, 2, target.surface(), "AB");
  EXPECT_EQ(target.at(7, 2), 15);
  EXPECT_EQ(target.at(7 + 6 + 1, 2), 15);
  EXPECT_FALSE(target.Touched(8, 2, 14, 3));
  EXPECT_EQ(penX, 7 + 12);
  PutText(2, 1, target.surface(), "\xB0\xA1\xC8\xFE");
  EXPECT_EQ(target.at(2, 1), 15);
  EXPECT_EQ(target.at(19 + 2349 % 16, 1), 15);
  EXPECT_EQ(penX, 2 + 2 * 17);
}

TEST_F(Printer, EveryCellWidthReadsWholeBytesPerRowFromTheLeftmostBit) {
  for (auto [hangul, slot] : {std::pair{false, 1}, {false, 0}, {false, 2}, {true, 1}}) {
    textState.englishFont = textState.hangulFont = slot;
    const BitmapFont& font = hangul ? hangulFonts[slot] : englishFonts[slot];
    int glyph = hangul ? 2 : 'A';
    Target target(font.width + 2, font.height);
    PutText(0, 0, target.surface(), hangul ? "\xB0\xA3" : "A");
    for (int r = 0; r < font.height; ++r)
      for (int x = 0; x < font.width + 2; ++x)
        ASSERT_EQ(target.at(x, r), x == (r + glyph) % font.width ? 15 : UNTOUCHED)
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

// Opaque cells are the glyph cell plus the gap; of a shadow under them only
// the bottom row remains, and the right column when there is no gap.
TEST_F(Printer, OpaqueCellsAndWhatRemainsOfTheShadow) {
  textState = {1, 0, 1, 15, 9, 3, 1, 1, SOLID_5X9};  // the ink ramps, the shadow never
  for (int shadow : {0, 1})
    for (int spacing : {0, 1}) {
      textState.shadow = shadow, textState.spacing = spacing;
      Target target(12, 12);
      PutText(1, 1, target.surface(), "M");
      for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
          bool cell = x >= 1 && x <= 5 && y >= 1 && y <= 9;
          bool gap = spacing && x == 6 && y >= 1 && y <= 9;
          bool shadowCell = shadow && x >= 2 && x <= 6 && y >= 2 && y <= 10;
          uint8_t expected = cell ? 15 + y - 1 : gap ? 3 : shadowCell ? 9 : UNTOUCHED;
          EXPECT_EQ(target.at(x, y), expected)
              << "shadow " << shadow << " spacing " << spacing << " at " << x << "," << y;
        }
      EXPECT_EQ(penX, 1 + 5 + spacing);
    }
}

TEST_F(Printer, StackKeepsFourStatesAndIgnoresWhatItCannotHold) {
  auto same = [](const TextState& a, const TextState& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
  PopTextState();
  EXPECT_TRUE(same(textState, TEXT_STATE_INITIAL));
  TextState saved[5];
  for (int i = 0; i < 5; ++i) {
    saved[i] = textState = {i, i + 1, i + 2, i + 3, i + 4, i + 5, i + 6, i + 7, i + 8};
    PushTextState();
  }
  for (int i = 3; i >= 0; --i) {
    PopTextState();
    EXPECT_TRUE(same(textState, saved[i])) << i;
  }
  PopTextState();
  EXPECT_TRUE(same(textState, saved[0]));
}

TEST_F(Printer, FormatsIntoItsBufferAndNeverPast) {
  Target formatted(60, 10), plain(60, 10);
  PrintText(formatted.surface(), 0, 0, "%4.1f Fps", 8.0);
  PutText(0, 0, plain.surface(), " 8.0 Fps");
  EXPECT_EQ(formatted.memory, plain.memory);
  EXPECT_FALSE(formatted.Touched(0, 0, 6, 9));  // right-aligned: a blank first
  EXPECT_EQ(penX, 8 * 6);
  PrintText(formatted.surface(), 0, 0, "%s!", std::string(1000, 'w').c_str());
  EXPECT_EQ(penX, 255 * 6);
}

// Whatever it is given, the printer draws what fits, blank cells for codes
// without a glyph, and never strays outside the target or the tables.
TEST_F(Printer, UnsafeInputsStayInsideTargetAndTables) {
  Target target(20, 12);
  textState = {1, 1, 1, 15, 0, 0, 3, 1, SOLID_8X16};
  for (auto [x, y] :
       {std::pair{-5, -7}, {15, 8}, {-100, 3}, {3, 100}, {INT_MIN, INT_MIN}, {INT_MAX - 2, INT_MAX}})
    PutText(x, y, target.surface(), "Wide\x81\x41 text");
  FillTextRect(-50, -50, 500, 500, target.surface(), 1);
  FillTextRect(2, 5, 4, 4, target.surface(), 2);  // bottom above top
  EXPECT_EQ(target.at(3, 4), 1);
  EXPECT_TRUE(target.GuardIntact());
  // Rows clipped away above still count in the colour ramp.
  Target clipped(20, 12);
  PutText(-2, -3, clipped.surface(), "W");
  EXPECT_EQ(clipped.at(0, 0), 15 + 3);
  EXPECT_TRUE(clipped.GuardIntact());

  // Codes outside the Hangul block (these two the index would take to real
  // syllables) and a lead byte at the very end of the text: blank cells.
  textState = TEXT_STATE_INITIAL;
  Target blank(60, 20);
  PutText(0, 0, blank.surface(), "\xB2\x41\xB1\xFF");
  EXPECT_EQ(penX, 2 * 17);
  std::unique_ptr<char[]> lead(new char[2]{'\xB0', '\0'});
  PutText(0, 0, blank.surface(), lead.get());
  EXPECT_EQ(penX, 17);
  // Empty slots and slots outside the tables: nothing drawn, the pen moves
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
