// The GNU Unifont glyphs embedded in the platform layer, as written by the
// unifontgen tool at build time (see tools/unifontgen.cpp). Only unifont.cpp
// reads them, through vt::NextCp949Glyph.
#pragma once

#include <cstdint>

namespace vt {

// Code page 949 double-byte codes: lead 0x81..0xFE, trail 0x41..0xFE (the
// trail bytes between the valid ranges simply have no glyph).
inline constexpr int UNIFONT_LEAD_FIRST = 0x81;
inline constexpr int UNIFONT_LEAD_LAST = 0xFE;
inline constexpr int UNIFONT_TRAIL_FIRST = 0x41;
inline constexpr int UNIFONT_TRAIL_LAST = 0xFE;
inline constexpr int UNIFONT_TRAIL_COUNT = UNIFONT_TRAIL_LAST - UNIFONT_TRAIL_FIRST + 1;
inline constexpr int UNIFONT_PAIR_COUNT = (UNIFONT_LEAD_LAST - UNIFONT_LEAD_FIRST + 1) * UNIFONT_TRAIL_COUNT;

// Glyph numbers: 0 is the replacement glyph (U+FFFD), 1..95 are ASCII 0x20..0x7E,
// the rest belong to double-byte codes.
inline constexpr int UNIFONT_GLYPH_REPLACEMENT = 0;
inline constexpr int UNIFONT_GLYPH_ASCII_FIRST = 1;

// Number of glyphs.
extern const uint32_t UNIFONT_GLYPH_COUNT;
// Glyph g occupies bytes UNIFONT_GLYPH_OFFSETS[g] .. UNIFONT_GLYPH_OFFSETS[g + 1] of
// UNIFONT_BITS: 16 bytes for an 8-pixel-wide glyph, 32 for a 16-pixel-wide one.
extern const uint32_t UNIFONT_GLYPH_OFFSETS[];
// Glyph number of each double-byte code, indexed by
// (lead - UNIFONT_LEAD_FIRST) * UNIFONT_TRAIL_COUNT + (trail - UNIFONT_TRAIL_FIRST);
// 0 where the code page has no character (or Unifont no glyph for it).
extern const uint16_t UNIFONT_PAIR_GLYPHS[UNIFONT_PAIR_COUNT];
extern const char UNIFONT_BITS[];

}  // namespace vt
