// The program's Korean texts reach it as code page 949 bytes: each compiled
// literal must equal an independent conversion of its readable source line.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/korean_texts.h"

namespace {

std::string ToCp949(const std::string& utf8) {
  iconv_t cd = iconv_open("CP949", "UTF-8");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::vector<char> in(utf8.begin(), utf8.end()), out(utf8.size() * 2 + 4);
  char* inPtr = in.data();
  char* outPtr = out.data();
  size_t inLeft = in.size(), outLeft = out.size();
  EXPECT_NE(iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<size_t>(-1));
  iconv_close(cd);
  return std::string(out.data(), outPtr);
}

std::map<std::string, std::string> SourceTexts() {
  const char* root = std::getenv("VANTOR_SOURCE_DIR");
  std::ifstream file(std::string(root != nullptr ? root : VANTOR_SOURCE_DIR_DEFAULT) + "/app/texts.txt");
  std::map<std::string, std::string> texts;
  std::string line;
  while (std::getline(file, line)) {
    size_t equals = line.find(" = ");
    if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
    std::string text;
    for (size_t i = equals + 3; i < line.size(); ++i) {
      bool lineBreak = line[i] == '\\' && i + 1 < line.size() && line[i + 1] == 'n';
      text += lineBreak ? '\n' : line[i];
      i += lineBreak;
    }
    texts[line.substr(0, equals)] = text;
  }
  return texts;
}

TEST(KoreanTexts, EveryLiteralIsTheCodePage949FormOfItsSource) {
  auto texts = SourceTexts();
  const std::map<std::string, const char*> compiled = {
      {"TEXT_ALPHA_LOAD_FAULT", TEXT_ALPHA_LOAD_FAULT},
      {"TEXT_ALPHA_REBUILDING", TEXT_ALPHA_REBUILDING},
      {"TEXT_ALPHA_SLOW", TEXT_ALPHA_SLOW},
      {"TEXT_HELP_TITLE", TEXT_HELP_TITLE},
      {"TEXT_HELP_ENTER", TEXT_HELP_ENTER},
      {"TEXT_HELP_FADE", TEXT_HELP_FADE},
      {"TEXT_HELP_GREY", TEXT_HELP_GREY},
      {"TEXT_HELP_VSYNC", TEXT_HELP_VSYNC},
      {"TEXT_HELP_FRAMESYNC", TEXT_HELP_FRAMESYNC},
      {"TEXT_HELP_BACKSPACE", TEXT_HELP_BACKSPACE},
      {"TEXT_HELP_SPACE", TEXT_HELP_SPACE},
      {"TEXT_HELP_ANYKEY", TEXT_HELP_ANYKEY},
      {"TEXT_FONT_TEST_0", TEXT_FONT_TEST_0},
      {"TEXT_FONT_TEST_1", TEXT_FONT_TEST_1},
      {"TEXT_FONT_TEST_2", TEXT_FONT_TEST_2},
      {"TEXT_FONT_TEST_3", TEXT_FONT_TEST_3},
      {"TEXT_FONT_TEST_4", TEXT_FONT_TEST_4},
      {"TEXT_FONT_TEST_5", TEXT_FONT_TEST_5},
      {"TEXT_FONT_TEST_6", TEXT_FONT_TEST_6},
      {"TEXT_FONT_TEST_7", TEXT_FONT_TEST_7},
      {"TEXT_FONT_TEST_8", TEXT_FONT_TEST_8},
  };
  ASSERT_EQ(texts.size(), compiled.size());
  for (const auto& [name, literal] : compiled) {
    ASSERT_TRUE(texts.count(name)) << name;
    EXPECT_EQ(std::string(literal), ToCp949(texts[name])) << name;
  }
  // Blanks at both ends survive, and a known pair: 설 is BC B3 in code page 949.
  EXPECT_EQ(std::string(TEXT_HELP_TITLE).substr(0, 13), std::string(13, ' '));
  EXPECT_EQ(std::string(TEXT_HELP_TITLE).back(), ' ');
  EXPECT_EQ(std::string(TEXT_HELP_TITLE).substr(18, 2), "\xBC\xB3");
}

// The help screen's and the font test's texts as the screen shows them, in
// bytes recorded once with iconv -f UTF-8 -t CP949: a blank lost or a
// character changed in the readable source shows here.
TEST(KoreanTexts, ScreenTextsAreTheirRecordedBytes) {
  const std::pair<const char*, const char*> recorded[] = {
      {TEXT_HELP_TITLE, "             >>>  \xBC\xB3\xB8\xED\xC0\xD4\xB4\xCF\xB4\xD9 <<< "},
      {TEXT_HELP_ENTER,
       "   ENTER   : \xC5\xD7\xBD\xBA\xC6\xAE\xC7\xD7\xB8\xF1 \xBA\xAF\xB0\xE6(\xC3\xD1"
       "9\xB0\xA1\xC1\xF6)"},
      {TEXT_HELP_FADE,
       "     1     : \xC6\xE4\xC0\xCC\xB5\xE5\xC0\xCE/\xBE\xC6\xBF\xF4 \xC5\xD7\xBD\xBA\xC6\xAE"},
      {TEXT_HELP_GREY,
       "     2     : \xB1\xD7\xB7\xB9\xC0\xCC\xBD\xBA\xC4\xC9\xC0\xCF \xC5\xD7\xBD\xBA\xC6\xAE"},
      {TEXT_HELP_VSYNC, "     V     : \xBC\xF6\xC1\xF7\xC8\xB8\xB1\xE2 On/Off"},
      {TEXT_HELP_FRAMESYNC,
       "     F     : \xC7\xC1\xB7\xB9\xC0\xD3\xB5\xBF\xB1\xE2\xC8\xAD(\xB9\xAB\xC1\xB6\xB0\xC7 "
       "30Fps\xB7\xCE)"},
      {TEXT_HELP_BACKSPACE, " BackSpace : \xBD\xBA\xC7\xC1\xB6\xF3\xC0\xCC\xC6\xAE \xBA\xAF\xB0\xE6"},
      {TEXT_HELP_SPACE, "   Space   : \xB8\xD6\xC6\xBC \xBB\xE7\xBF\xEE\xB5\xE5 \xC5\xD7\xBD\xBA\xC6\xAE"},
      {TEXT_HELP_ANYKEY, "             \xBE\xC6\xB9\xAB\xC5\xB0\xB3\xAA \xB4\xA9\xB8\xA3\xBC\xBC\xBF\xE4."},
      {TEXT_FONT_TEST_0, "NOMAL PRINT : \xC1\xA4\xBB\xF3 \xB4\xDC\xBB\xF6 \xC3\xE2\xB7\xC2"},
      {TEXT_FONT_TEST_1, "SHADOW PRINT : \xB1\xD7\xB8\xB2\xC0\xDA \xB4\xDC\xBB\xF6 \xC3\xE2\xB7\xC2"},
      {TEXT_FONT_TEST_2, "SHADOW PRINT : \xB1\xD7\xB8\xB2\xC0\xDA \xB8\xD6\xC6\xBC \xC3\xE2\xB7\xC2"},
      {TEXT_FONT_TEST_3,
       "Font Test Num 0 : \xC6\xF9\xC6\xAE \xBD\xC3\xC7\xE8 \xC3\xE2\xB7\xC2 0\xB9\xF8 \xC6\xF9\xC6\xAE"},
      {TEXT_FONT_TEST_4,
       "Font Test Num 1 : \xC6\xF9\xC6\xAE \xBD\xC3\xC7\xE8 \xC3\xE2\xB7\xC2 1\xB9\xF8 \xC6\xF9\xC6\xAE"},
      {TEXT_FONT_TEST_5,
       "Font Test Num 2 : \xC6\xF9\xC6\xAE \xBD\xC3\xC7\xE8 \xC3\xE2\xB7\xC2 2\xB9\xF8 \xC6\xF9\xC6\xAE"},
      {TEXT_FONT_TEST_6,
       "Font Test Num 3 : \xC6\xF9\xC6\xAE \xBD\xC3\xC7\xE8 \xC3\xE2\xB7\xC2 3\xB9\xF8 \xC6\xF9\xC6\xAE"},
      {TEXT_FONT_TEST_7,
       "Font Test Num 4 : \xC6\xF9\xC6\xAE \xBD\xC3\xC7\xE8 \xC3\xE2\xB7\xC2 4\xB9\xF8 \xC6\xF9\xC6\xAE"},
      {TEXT_FONT_TEST_8,
       "Font Test Num 5 : \xC6\xF9\xC6\xAE \xBD\xC3\xC7\xE8 \xC3\xE2\xB7\xC2 5\xB9\xF8 \xC6\xF9\xC6\xAE"},
  };
  for (const auto& [literal, bytes] : recorded) EXPECT_EQ(std::string(literal), std::string(bytes));
}

}  // namespace
