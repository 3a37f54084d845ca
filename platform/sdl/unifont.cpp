// Code page 949 text to embedded Unifont glyphs.
#include "internal.h"
#include "unifont_data.h"

namespace vt {

namespace {

UnifontGlyph Glyph(uint32_t number) {
  if (number >= UNIFONT_GLYPH_COUNT) number = UNIFONT_GLYPH_REPLACEMENT;
  uint32_t start = UNIFONT_GLYPH_OFFSETS[number];
  uint32_t size = UNIFONT_GLYPH_OFFSETS[number + 1] - start;
  return {reinterpret_cast<const uint8_t*>(UNIFONT_BITS) + start, size == 32 ? 16 : 8};
}

bool IsLeadByte(int c) { return c >= UNIFONT_LEAD_FIRST && c <= UNIFONT_LEAD_LAST; }

bool IsTrailByte(int c) {
  return (c >= 0x41 && c <= 0x5A) || (c >= 0x61 && c <= 0x7A) || (c >= 0x81 && c <= 0xFE);
}

}  // namespace

UnifontGlyph NextCp949Glyph(const char* text, size_t length, size_t* index) {
  if (index == nullptr) return Glyph(UNIFONT_GLYPH_REPLACEMENT);
  if (text == nullptr && *index < length) *index = length;
  if (*index >= length) return Glyph(UNIFONT_GLYPH_REPLACEMENT);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  int c = bytes[*index];
  *index += 1;
  if (c >= 0x20 && c <= 0x7E) return Glyph(static_cast<uint32_t>(UNIFONT_GLYPH_ASCII_FIRST + c - 0x20));
  if (!IsLeadByte(c)) return Glyph(UNIFONT_GLYPH_REPLACEMENT);
  // A lead byte takes its partner only when that is a possible trail byte, so a
  // stray lead byte costs one character, not the one after it as well.
  if (*index >= length || !IsTrailByte(bytes[*index])) return Glyph(UNIFONT_GLYPH_REPLACEMENT);
  int trail = bytes[*index];
  *index += 1;
  int pair = (c - UNIFONT_LEAD_FIRST) * UNIFONT_TRAIL_COUNT + (trail - UNIFONT_TRAIL_FIRST);
  return Glyph(UNIFONT_PAIR_GLYPHS[pair]);
}

}  // namespace vt
