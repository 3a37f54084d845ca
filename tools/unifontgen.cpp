// unifontgen: picks from GNU Unifont's .hex file the glyphs that code page 949
// text can need -- printable ASCII and every double-byte code that the C
// library's CP949 converter knows -- and writes them as a C++ source file for
// the platform layer (layout in platform/sdl/unifont_data.h).
//
// The output depends only on the .hex file and the converter's tables, so every
// machine with the same packages produces the same bytes.

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "unifont_data.h"

namespace {

constexpr uint32_t REPLACEMENT_CODE_POINT = 0xFFFD;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Lines are "XXXX:bits", the bits 32 hex digits for an 8-wide glyph or 64 for
// a 16-wide one. Code points beyond the Basic Multilingual Plane are skipped.
bool ReadHexFont(const char* path, std::map<uint32_t, std::vector<uint8_t>>& glyphs) {
  std::ifstream input(path, std::ios::binary);
  if (!input) {
    std::fprintf(stderr, "unifontgen: cannot read %s: %s\n", path, std::strerror(errno));
    return false;
  }
  std::string line;
  int lineNumber = 0;
  while (std::getline(input, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    size_t colon = line.find(':');
    std::string bits = colon == std::string::npos ? std::string() : line.substr(colon + 1);
    bool ok =
        colon != std::string::npos && colon >= 4 && colon <= 6 && (bits.size() == 32 || bits.size() == 64);
    uint32_t codePoint = 0;
    for (size_t i = 0; ok && i < colon; ++i) {
      int digit = HexDigit(line[i]);
      ok = digit >= 0;
      codePoint = codePoint * 16 + static_cast<uint32_t>(digit);
    }
    std::vector<uint8_t> bytes;
    for (size_t i = 0; ok && i < bits.size(); i += 2) {
      int high = HexDigit(bits[i]);
      int low = HexDigit(bits[i + 1]);
      ok = high >= 0 && low >= 0;
      bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    if (!ok) {
      std::fprintf(stderr, "%s:%d: expected `CODE:HEXBITS` with 32 or 64 hex digits\n", path, lineNumber);
      return false;
    }
    if (codePoint <= 0xFFFF) glyphs[codePoint] = std::move(bytes);
  }
  return true;
}

// The Unicode code point of one double-byte code, or 0 when the code page has
// no character there.
uint32_t Cp949PairToUnicode(iconv_t converter, int lead, int trail) {
  char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  unsigned char out[8] = {};
  char* inPtr = in;
  size_t inLeft = 2;
  char* outPtr = reinterpret_cast<char*>(out);
  size_t outLeft = sizeof out;
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
  if (result == static_cast<size_t>(-1) || inLeft != 0 || sizeof out - outLeft != 4) return 0;
  return static_cast<uint32_t>(out[0]) | static_cast<uint32_t>(out[1]) << 8 |
         static_cast<uint32_t>(out[2]) << 16 | static_cast<uint32_t>(out[3]) << 24;
}

bool ValidTrail(int trail) {
  return (trail >= 0x41 && trail <= 0x5A) || (trail >= 0x61 && trail <= 0x7A) ||
         (trail >= 0x81 && trail <= 0xFE);
}

// The bitmap bytes as one string literal split over many lines; every escape
// has three octal digits so a following digit can never extend it.
void WriteBits(std::ostringstream& out, const std::vector<uint8_t>& bits) {
  out << "extern const char UNIFONT_BITS[] =\n";
  constexpr size_t BYTES_PER_LINE = 48;
  for (size_t start = 0; start < bits.size(); start += BYTES_PER_LINE) {
    out << "    \"";
    for (size_t i = start; i < bits.size() && i < start + BYTES_PER_LINE; ++i) {
      uint8_t c = bits[i];
      if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '?') {
        out << static_cast<char>(c);
      } else {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\%03o", c);
        out << escaped;
      }
    }
    out << "\"\n";
  }
  out << "    \"\";\n\n";
}

template <typename T>
void WriteNumbers(std::ostringstream& out, const char* declaration, const std::vector<T>& values) {
  out << declaration << " = {\n";
  constexpr size_t VALUES_PER_LINE = 16;
  for (size_t start = 0; start < values.size(); start += VALUES_PER_LINE) {
    out << "   ";
    for (size_t i = start; i < values.size() && i < start + VALUES_PER_LINE; ++i)
      out << ' ' << values[i] << ',';
    out << '\n';
  }
  out << "};\n\n";
}

int Usage(FILE* to) {
  std::fputs(
      "usage: unifontgen UNIFONT.hex OUTPUT.cpp\n"
      "Writes the Unifont glyphs of printable ASCII and of every code page 949\n"
      "double-byte character as a C++ source for the platform layer.\n",
      to);
  return to == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))
    return Usage(stdout);
  if (argc != 3) return Usage(stderr);

  std::map<uint32_t, std::vector<uint8_t>> font;
  if (!ReadHexFont(argv[1], font)) return 1;
  iconv_t converter = iconv_open("UTF-32LE", "CP949");
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    std::fprintf(stderr, "unifontgen: this system's iconv has no CP949 converter\n");
    return 1;
  }

  std::vector<uint8_t> bits;
  std::vector<uint32_t> offsets;
  auto addGlyph = [&](uint32_t codePoint) -> bool {
    auto found = font.find(codePoint);
    if (found == font.end()) return false;
    offsets.push_back(static_cast<uint32_t>(bits.size()));
    bits.insert(bits.end(), found->second.begin(), found->second.end());
    return true;
  };

  bool complete = addGlyph(REPLACEMENT_CODE_POINT);
  for (uint32_t c = 0x20; c <= 0x7E; ++c) complete = complete && addGlyph(c);
  if (!complete) {
    std::fprintf(stderr, "unifontgen: %s lacks printable ASCII or U+FFFD\n", argv[1]);
    iconv_close(converter);
    return 1;
  }

  std::vector<uint16_t> pairGlyphs(vt::UNIFONT_PAIR_COUNT, 0);
  int unmappedGlyphs = 0;
  for (int lead = vt::UNIFONT_LEAD_FIRST; lead <= vt::UNIFONT_LEAD_LAST; ++lead) {
    for (int trail = vt::UNIFONT_TRAIL_FIRST; trail <= vt::UNIFONT_TRAIL_LAST; ++trail) {
      if (!ValidTrail(trail)) continue;
      uint32_t codePoint = Cp949PairToUnicode(converter, lead, trail);
      if (codePoint == 0) continue;
      uint32_t glyph = static_cast<uint32_t>(offsets.size());
      if (glyph > 0xFFFF) {
        std::fprintf(stderr, "unifontgen: more glyphs than a 16-bit index holds\n");
        iconv_close(converter);
        return 1;
      }
      if (!addGlyph(codePoint)) {
        ++unmappedGlyphs;  // the replacement glyph stands in
        continue;
      }
      int index =
          (lead - vt::UNIFONT_LEAD_FIRST) * vt::UNIFONT_TRAIL_COUNT + (trail - vt::UNIFONT_TRAIL_FIRST);
      pairGlyphs[static_cast<size_t>(index)] = static_cast<uint16_t>(glyph);
    }
  }
  iconv_close(converter);
  offsets.push_back(static_cast<uint32_t>(bits.size()));

  std::ostringstream out;
  out << "// Generated by unifontgen from " << argv[1] << "; do not edit.\n"
      << "// " << offsets.size() - 1 << " glyphs";
  if (unmappedGlyphs > 0) out << "; " << unmappedGlyphs << " code page characters without a Unifont glyph";
  out << ".\n#include \"unifont_data.h\"\n\nnamespace vt {\n\n"
      << "extern const uint32_t UNIFONT_GLYPH_COUNT = " << offsets.size() - 1 << ";\n\n";
  WriteNumbers(out, "extern const uint32_t UNIFONT_GLYPH_OFFSETS[]", offsets);
  WriteNumbers(out, "extern const uint16_t UNIFONT_PAIR_GLYPHS[UNIFONT_PAIR_COUNT]", pairGlyphs);
  WriteBits(out, bits);
  out << "}  // namespace vt\n";

  std::string text = out.str();
  std::ofstream output(argv[2], std::ios::binary);
  output << text;
  output.close();
  if (!output) {
    std::fprintf(stderr, "unifontgen: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
