// GNU Unifont's .hex form: one glyph a line, "CODE:HEXBITS", 32 hex digits
// for an 8 x 16 glyph and 64 for a 16 x 16 one.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>

#include "tools/fonts/sources.h"

namespace fonts {

bool Pixels::Empty() const {
  for (uint8_t pixel : ink) {
    if (pixel) return false;
  }
  return true;
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool ReadUnifontHex(const std::string& path, const std::vector<uint32_t>& wanted, Face& face,
                    std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  std::set<uint32_t> isWanted(wanted.begin(), wanted.end());
  face = Face{};
  face.width = 16;
  face.height = 16;
  face.ascent = 14;
  std::string line;
  int lineNumber = 0;
  auto bad = [&](const char* what) {
    error = path + ":" + std::to_string(lineNumber) + ": " + what;
    return false;
  };
  while (std::getline(in, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0 || colon > 8) return bad("not a glyph line");
    uint32_t code = 0;
    for (size_t i = 0; i < colon; ++i) {
      int digit = HexDigit(line[i]);
      if (digit < 0) return bad("bad code point");
      code = code * 16 + static_cast<uint32_t>(digit);
    }
    if (!isWanted.count(code)) continue;
    std::string hex = line.substr(colon + 1);
    if (hex.size() != 32 && hex.size() != 64) return bad("a glyph must have 32 or 64 hex digits");
    int glyphWidth = hex.size() == 32 ? 8 : 16;
    Pixels pixels(16, 16);
    for (size_t digitIndex = 0; digitIndex < hex.size(); ++digitIndex) {
      int digit = HexDigit(hex[digitIndex]);
      if (digit < 0) return bad("bad hex digit");
      for (int bit = 0; bit < 4; ++bit) {
        int position = static_cast<int>(digitIndex) * 4 + bit;
        pixels.Set(position % glyphWidth, position / glyphWidth, (digit >> (3 - bit)) & 1);
      }
    }
    face.glyphs[code] = std::move(pixels);
  }
  return true;
}

}  // namespace fonts
