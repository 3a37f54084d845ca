// X11 BDF: a text format of keywords. Only what places a glyph is read:
// FONTBOUNDINGBOX for the cell, and per glyph ENCODING, BBX and the BITMAP
// rows. The baseline is where the bounding box puts it: FONT_ASCENT may be
// smaller than the tallest glyph, and no ink may be cut off.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tools/fonts/sources.h"

namespace fonts {

namespace {

// Largest cell accepted; real bitmap faces are far smaller, and the limit
// keeps a corrupt header from asking for a huge allocation.
constexpr int BDF_MAX_CELL = 256;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool ReadBdf(const std::string& path, Face& face, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  face = Face{};
  int lineNumber = 0;
  auto bad = [&](const std::string& what) {
    error = path + ":" + std::to_string(lineNumber) + ": " + what;
    return false;
  };
  int boxWidth = 0, boxHeight = 0, boxX = 0, boxY = 0;
  bool haveBox = false;
  long encoding = -1;
  int glyphWidth = 0, glyphHeight = 0, glyphX = 0, glyphY = 0;
  bool inGlyph = false, haveGlyphBox = false;
  std::string line;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::string keyword;
    words >> keyword;
    if (keyword == "FONTBOUNDINGBOX") {
      if (!(words >> boxWidth >> boxHeight >> boxX >> boxY) || boxWidth < 1 || boxHeight < 1 ||
          boxWidth > BDF_MAX_CELL || boxHeight > BDF_MAX_CELL)
        return bad("bad FONTBOUNDINGBOX");
      haveBox = true;
      face.ascent = boxHeight + boxY;
    } else if (keyword == "STARTCHAR") {
      if (!haveBox) return bad("glyph before FONTBOUNDINGBOX");
      inGlyph = true;
      haveGlyphBox = false;
      encoding = -1;
    } else if (keyword == "ENCODING" && inGlyph) {
      if (!(words >> encoding)) return bad("bad ENCODING");
    } else if (keyword == "BBX" && inGlyph) {
      if (!(words >> glyphWidth >> glyphHeight >> glyphX >> glyphY) || glyphWidth < 0 || glyphHeight < 0 ||
          glyphWidth > BDF_MAX_CELL || glyphHeight > BDF_MAX_CELL)
        return bad("bad BBX");
      haveGlyphBox = true;
    } else if (keyword == "BITMAP" && inGlyph) {
      if (!haveGlyphBox) return bad("BITMAP without BBX");
      // The cell is the font's bounding box; the glyph's rows go where its
      // own box lies relative to the baseline and the left edge.
      face.width = boxWidth;
      face.height = boxHeight;
      Pixels cell(boxWidth, boxHeight);
      int left = glyphX - boxX;
      int top = face.ascent - glyphY - glyphHeight;
      for (int row = 0; row < glyphHeight; ++row) {
        if (!std::getline(in, line)) return bad("glyph ends early");
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (static_cast<int>(line.size()) * 4 < glyphWidth) return bad("bitmap row too short");
        for (int x = 0; x < glyphWidth; ++x) {
          int digit = HexDigit(line[static_cast<size_t>(x / 4)]);
          if (digit < 0) return bad("bad hex digit in bitmap");
          if (!((digit >> (3 - x % 4)) & 1)) continue;
          int cellX = left + x, cellY = top + row;
          if (cellX < 0 || cellY < 0 || cellX >= boxWidth || cellY >= boxHeight)
            return bad("glyph ink outside the font's bounding box");
          cell.Set(cellX, cellY, true);
        }
      }
      if (encoding >= 0) face.glyphs[static_cast<uint32_t>(encoding)] = std::move(cell);
      inGlyph = false;
    } else if (keyword == "ENDCHAR") {
      inGlyph = false;
    }
  }
  if (!haveBox) {
    error = path + ": not a BDF font (no FONTBOUNDINGBOX)";
    return false;
  }
  face.width = boxWidth;
  face.height = boxHeight;
  return true;
}

}  // namespace fonts
