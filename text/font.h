// Bitmap fonts: 1-bit glyphs of a fixed cell size, in two tables of ten slots,
// Hangul (the 2,350 KS X 1001 syllables) and English (codes 0 to 127).
//
// A glyph is `height` rows of (width rounded up to 8) / 8 bytes; the leftmost
// pixel is the highest bit of a row's first byte, a set bit is ink. A .fnt
// file is the glyphs back to back in code order, with no header.
#pragma once

#include <cstdint>

#include "formats/pack.h"

constexpr int32_t FONT_SLOTS = 10;
constexpr int32_t FONT_HANGUL_GLYPHS = 2350;
constexpr int32_t FONT_ENGLISH_GLYPHS = 128;
constexpr int32_t FONT_MAX_CELL = 64;  // widest and tallest cell a loader accepts

struct BitmapFont {
  int32_t width;
  int32_t height;
  int32_t glyphBytes;
  // One pointer per glyph (2,350 or 128); null means not loaded. The table
  // itself always exists. A loaded slot's glyphs share one block.
  uint8_t** glyphs;
};

extern BitmapFont hangulFonts[FONT_SLOTS];
extern BitmapFont englishFonts[FONT_SLOTS];

// Where the printer draws: the work area's size and the bytes from one pixel
// row to the next.
extern int32_t textWidth;
extern int32_t textHeight;
extern int32_t textPitch;

// The fonts InitFonts loads, in order; fontgen makes the same files.
struct FontFile {
  bool hangul;  // Hangul table, else English
  int32_t slot;
  const char* fileName;
  int32_t width;
  int32_t height;
};
constexpr int32_t FONT_FILE_COUNT = 12;
extern const FontFile FONT_FILES[FONT_FILE_COUNT];

// Bytes per glyph for a cell size.
int32_t GlyphBytes(int32_t width, int32_t height);

// Stores the printer target, empties every slot and loads the twelve fonts
// of the font list from `pack` (null: plain files in the working directory).
// 1 all loaded, -2 any failed, -3 `pack` given but not open.
int InitFonts(int32_t width, int32_t height, int32_t pitch, ResourcePack* pack);

// 1 loaded; 0 not loaded: no such file or entry, slot outside 0..9, a cell
// size outside 1..FONT_MAX_CELL, too few bytes for all the glyphs, or no
// memory. A failed load leaves the slot as it was; a successful one replaces
// what the slot held.
int LoadHangulFont(int32_t slot, const char* fileName, int32_t width, int32_t height, ResourcePack* pack);
int LoadEnglishFont(int32_t slot, const char* fileName, int32_t width, int32_t height, ResourcePack* pack);

// Frees every loaded glyph of both tables and empties the slots.
void FreeFonts();
