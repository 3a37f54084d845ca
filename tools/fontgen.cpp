// fontgen: makes the program's twelve bitmap fonts from a GNU Unifont .hex file.
//
//   fontgen UNIFONT.hex OUTDIR
//
// Hangul glyph n is KS X 1001 syllable n (code page 949 bytes 0xB0 + n / 94,
// 0xA1 + n % 94), taken at its Unicode code point; English glyph n is ASCII
// n, with the control codes left blank. The 16 x 16 Hangul and 8 x 16
// English cells are Unifont's glyphs as they are; the smaller cells are
// shrunk from them by OR-ing the source pixels that fall into each target pixel, so
// no stroke disappears. Only the input file decides the output bytes.

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "text/font.h"

namespace {

const char USAGE[] =
    "usage: fontgen UNIFONT.hex OUTDIR\n"
    "\n"
    "Writes the twelve .fnt files the program loads (Hangul k*.fnt, English\n"
    "e*.fnt) into OUTDIR, made from GNU Unifont's glyphs, e.g.\n"
    "/usr/share/unifont/unifont.hex.\n";

// A glyph as a plain pixel grid, row-major.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> ink;
  bool At(int x, int y) const { return ink[static_cast<size_t>(y) * width + x] != 0; }
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "fontgen: %s\n", message.c_str());
  return 1;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads the glyphs of the code points wanted; 32 hex digits make an 8 x 16
// glyph, 64 a 16 x 16 one.
bool ReadUnifont(const std::string& path, const std::vector<uint32_t>& wanted,
                 std::map<uint32_t, Pixels>& glyphs, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  std::map<uint32_t, bool> isWanted;
  for (uint32_t code : wanted) isWanted[code] = true;
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0 || colon > 8) {
      error = path + ":" + std::to_string(lineNumber) + ": not a glyph line";
      return false;
    }
    uint32_t code = 0;
    for (size_t i = 0; i < colon; ++i) {
      int digit = HexDigit(line[i]);
      if (digit < 0) {
        error = path + ":" + std::to_string(lineNumber) + ": bad code point";
        return false;
      }
      code = code * 16 + static_cast<uint32_t>(digit);
    }
    if (!isWanted.count(code)) continue;
    std::string hex = line.substr(colon + 1);
    if (hex.size() != 32 && hex.size() != 64) {
      error = path + ":" + std::to_string(lineNumber) + ": a glyph must have 32 or 64 hex digits";
      return false;
    }
    Pixels pixels;
    pixels.width = hex.size() == 32 ? 8 : 16;
    pixels.height = 16;
    pixels.ink.assign(static_cast<size_t>(pixels.width) * pixels.height, 0);
    for (size_t digitIndex = 0; digitIndex < hex.size(); ++digitIndex) {
      int digit = HexDigit(hex[digitIndex]);
      if (digit < 0) {
        error = path + ":" + std::to_string(lineNumber) + ": bad hex digit";
        return false;
      }
      for (int bit = 0; bit < 4; ++bit) pixels.ink[digitIndex * 4 + bit] = (digit >> (3 - bit)) & 1;
    }
    glyphs[code] = std::move(pixels);
  }
  return true;
}

// Unicode code points of the 2,350 KS X 1001 Hangul syllables, in order.
bool HangulCodePoints(std::vector<uint32_t>& codes, std::string& error) {
  iconv_t cd = iconv_open("UTF-32BE", "CP949");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    error = "this system's iconv has no CP949 converter";
    return false;
  }
  for (int n = 0; n < FONT_HANGUL_GLYPHS; ++n) {
    char in[2] = {static_cast<char>(0xB0 + n / 94), static_cast<char>(0xA1 + n % 94)};
    unsigned char out[8] = {};
    char* inPtr = in;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t inLeft = 2, outLeft = sizeof out;
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) ||
        sizeof out - outLeft != 4) {
      iconv_close(cd);
      error = "iconv cannot convert Hangul syllable " + std::to_string(n);
      return false;
    }
    codes.push_back(uint32_t{out[0]} << 24 | uint32_t{out[1]} << 16 | uint32_t{out[2]} << 8 | out[3]);
  }
  iconv_close(cd);
  return true;
}

// Shrinks the source rectangle (left, top, w x h) of `source` into a
// width x height cell: a target pixel is ink when any source pixel it covers is.
Pixels Shrink(const Pixels& source, int left, int top, int w, int h, int width, int height) {
  Pixels cell;
  cell.width = width;
  cell.height = height;
  cell.ink.assign(static_cast<size_t>(width) * height, 0);
  for (int y = 0; y < height; ++y) {
    int y0 = top + y * h / height, y1 = std::max(y0 + 1, top + (y + 1) * h / height);
    for (int x = 0; x < width; ++x) {
      int x0 = left + x * w / width, x1 = std::max(x0 + 1, left + (x + 1) * w / width);
      bool ink = false;
      for (int sy = y0; sy < y1 && !ink; ++sy) {
        for (int sx = x0; sx < x1 && !ink; ++sx) ink = source.At(sx, sy);
      }
      cell.ink[static_cast<size_t>(y) * width + x] = ink;
    }
  }
  return cell;
}

// Appends a cell in the file's bit order: rows of whole bytes, leftmost
// pixel in the highest bit.
void AppendGlyph(const Pixels& cell, std::vector<uint8_t>& out) {
  int rowBytes = (cell.width + 7) / 8;
  for (int y = 0; y < cell.height; ++y) {
    for (int b = 0; b < rowBytes; ++b) {
      uint8_t byte = 0;
      for (int bit = 0; bit < 8; ++bit) {
        int x = b * 8 + bit;
        if (x < cell.width && cell.At(x, y)) byte |= static_cast<uint8_t>(0x80 >> bit);
      }
      out.push_back(byte);
    }
  }
}

Pixels Blank(int width, int height) {
  Pixels cell;
  cell.width = width;
  cell.height = height;
  cell.ink.assign(static_cast<size_t>(width) * height, 0);
  return cell;
}

// One glyph of a font file from its Unifont source. Unifont's 8 x 16 Latin
// letters keep their ink in columns 1 to 6 and rows 3 to 15; the small
// English cells take only that part.
Pixels MakeCell(const Pixels* source, int width, int height) {
  if (source == nullptr) return Blank(width, height);
  if (source->width == width && source->height == height) return *source;
  if (source->width == 16) return Shrink(*source, 0, 0, 16, 16, width, height);
  return Shrink(*source, 1, 3, 6, 13, width, height);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(USAGE, stdout);
    return 0;
  }
  if (argc != 3) {
    std::fputs(USAGE, stderr);
    return 2;
  }
  std::string error;
  std::vector<uint32_t> hangulCodes;
  if (!HangulCodePoints(hangulCodes, error)) return Fail(error);
  std::vector<uint32_t> wanted = hangulCodes;
  for (uint32_t code = 0; code < static_cast<uint32_t>(FONT_ENGLISH_GLYPHS); ++code) wanted.push_back(code);

  std::map<uint32_t, Pixels> glyphs;
  if (!ReadUnifont(argv[1], wanted, glyphs, error)) return Fail(error);
  for (uint32_t code : hangulCodes) {
    auto found = glyphs.find(code);
    if (found == glyphs.end() || found->second.width != 16) {
      char text[64];
      std::snprintf(text, sizeof text, "no 16 x 16 glyph for U+%04X", code);
      return Fail(std::string(argv[1]) + ": " + text);
    }
  }
  for (uint32_t code = 32; code < 127; ++code) {
    auto found = glyphs.find(code);
    if (found == glyphs.end() || found->second.width != 8) {
      char text[64];
      std::snprintf(text, sizeof text, "no 8 x 16 glyph for U+%04X", code);
      return Fail(std::string(argv[1]) + ": " + text);
    }
  }

  std::filesystem::path directory = argv[2];
  std::error_code ignored;
  std::filesystem::create_directories(directory, ignored);
  for (const FontFile& font : FONT_FILES) {
    std::vector<uint8_t> bytes;
    int count = font.hangul ? FONT_HANGUL_GLYPHS : FONT_ENGLISH_GLYPHS;
    for (int n = 0; n < count; ++n) {
      const Pixels* source = nullptr;
      if (font.hangul) {
        source = &glyphs[hangulCodes[n]];
      } else if (n >= 32 && n < 127) {
        source = &glyphs[static_cast<uint32_t>(n)];
      }
      AppendGlyph(MakeCell(source, font.width, font.height), bytes);
    }
    std::filesystem::path target = directory / font.fileName;
    std::ofstream out(target, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) return Fail("cannot write " + target.string());
  }
  return 0;
}
