// The program's Korean texts reach it as code page 949 bytes: each compiled
// literal must equal an independent conversion of its readable source line.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
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
      {"TEXT_ALPHA_LOAD_FAULT", TEXT_ALPHA_LOAD_FAULT}, {"TEXT_ALPHA_REBUILDING", TEXT_ALPHA_REBUILDING},
      {"TEXT_ALPHA_SLOW", TEXT_ALPHA_SLOW},             {"TEXT_HELP_TITLE", TEXT_HELP_TITLE},
      {"TEXT_HELP_ENTER", TEXT_HELP_ENTER},             {"TEXT_HELP_FADE", TEXT_HELP_FADE},
      {"TEXT_HELP_GREY", TEXT_HELP_GREY},               {"TEXT_HELP_VSYNC", TEXT_HELP_VSYNC},
      {"TEXT_HELP_FRAMESYNC", TEXT_HELP_FRAMESYNC},     {"TEXT_HELP_BACKSPACE", TEXT_HELP_BACKSPACE},
      {"TEXT_HELP_SPACE", TEXT_HELP_SPACE},             {"TEXT_HELP_ANYKEY", TEXT_HELP_ANYKEY},
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

}  // namespace
