#include "text/font.h"

#include <cstdio>
#include <new>

namespace {

// The glyph pointer tables live here for the whole run, so a slot's
// `glyphs` is never null and a printer can index it without a test.
uint8_t* hangulGlyphs[FONT_SLOTS][FONT_HANGUL_GLYPHS];
uint8_t* englishGlyphs[FONT_SLOTS][FONT_ENGLISH_GLYPHS];

// One block per loaded slot, which its glyph pointers point into: 2,350
// separate allocations and reads per font would buy nothing.
uint8_t* hangulBlocks[FONT_SLOTS];
uint8_t* englishBlocks[FONT_SLOTS];

void EmptySlot(BitmapFont& font, uint8_t*& block, int32_t glyphCount) {
  for (int32_t i = 0; i < glyphCount; ++i) font.glyphs[i] = nullptr;
  delete[] block;
  block = nullptr;
  font.width = font.height = font.glyphBytes = 0;
}

// Reads exactly `bytes` into `block`, or fails: a font that cannot fill all
// its glyphs is refused rather than drawn from whatever memory held.
bool ReadFromPack(ResourcePack* pack, const char* fileName, uint8_t* block, int32_t glyphBytes,
                  int32_t glyphCount, bool& found) {
  PackEntryHandle* handle = OpenEntry(pack, fileName, "rb");
  found = handle != nullptr;
  if (handle == nullptr) return false;
  int32_t length = PackEntryLength(pack, handle);
  bool ok = length < 0 || length >= glyphBytes * glyphCount;
  if (ok) ok = ReadEntry(pack, block, glyphBytes, glyphCount, handle) == static_cast<size_t>(glyphCount);
  CloseEntry(pack, handle);
  return ok;
}

bool ReadFromFile(const char* fileName, uint8_t* block, int32_t glyphBytes, int32_t glyphCount, bool& found) {
  FILE* file = std::fopen(fileName, "rb");
  found = file != nullptr;
  if (file == nullptr) return false;
  size_t got = std::fread(block, glyphBytes, glyphCount, file);
  std::fclose(file);
  return got == static_cast<size_t>(glyphCount);
}

int LoadFont(BitmapFont* table, uint8_t** blocks, int32_t glyphCount, int32_t slot, const char* fileName,
             int32_t width, int32_t height, ResourcePack* pack) {
  if (slot < 0 || slot >= FONT_SLOTS || fileName == nullptr) return 0;
  if (width < 1 || width > FONT_MAX_CELL || height < 1 || height > FONT_MAX_CELL) return 0;
  if (pack != nullptr && pack->isOpen != 1) return 0;

  int32_t glyphBytes = GlyphBytes(width, height);
  uint8_t* block = new (std::nothrow) uint8_t[static_cast<size_t>(glyphBytes) * glyphCount];
  if (block == nullptr) return 0;
  bool found = false;
  bool ok = pack != nullptr ? ReadFromPack(pack, fileName, block, glyphBytes, glyphCount, found)
                            : ReadFromFile(fileName, block, glyphBytes, glyphCount, found);
  if (!ok) {
    delete[] block;
    return 0;
  }

  BitmapFont& font = table[slot];
  EmptySlot(font, blocks[slot], glyphCount);
  blocks[slot] = block;
  font.width = width;
  font.height = height;
  font.glyphBytes = glyphBytes;
  for (int32_t i = 0; i < glyphCount; ++i) font.glyphs[i] = block + static_cast<size_t>(i) * glyphBytes;
  return 1;
}

}  // namespace

BitmapFont hangulFonts[FONT_SLOTS] = {
    {0, 0, 0, hangulGlyphs[0]}, {0, 0, 0, hangulGlyphs[1]}, {0, 0, 0, hangulGlyphs[2]},
    {0, 0, 0, hangulGlyphs[3]}, {0, 0, 0, hangulGlyphs[4]}, {0, 0, 0, hangulGlyphs[5]},
    {0, 0, 0, hangulGlyphs[6]}, {0, 0, 0, hangulGlyphs[7]}, {0, 0, 0, hangulGlyphs[8]},
    {0, 0, 0, hangulGlyphs[9]},
};
BitmapFont englishFonts[FONT_SLOTS] = {
    {0, 0, 0, englishGlyphs[0]}, {0, 0, 0, englishGlyphs[1]}, {0, 0, 0, englishGlyphs[2]},
    {0, 0, 0, englishGlyphs[3]}, {0, 0, 0, englishGlyphs[4]}, {0, 0, 0, englishGlyphs[5]},
    {0, 0, 0, englishGlyphs[6]}, {0, 0, 0, englishGlyphs[7]}, {0, 0, 0, englishGlyphs[8]},
    {0, 0, 0, englishGlyphs[9]},
};

int32_t textWidth = 0;
int32_t textHeight = 0;
int32_t textPitch = 0;

const FontFile FONT_FILES[FONT_FILE_COUNT] = {
    {true, 0, "k8x10g0.fnt", 8, 10},   {true, 1, "k16x16g1.fnt", 16, 16}, {true, 2, "k16x16g2.fnt", 16, 16},
    {true, 3, "k16x16g3.fnt", 16, 16}, {true, 4, "k16x16g4.fnt", 16, 16}, {true, 5, "k16x16g5.fnt", 16, 16},
    {false, 0, "e6x6g0.fnt", 6, 6},    {false, 1, "e5x9g1.fnt", 5, 9},    {false, 2, "e8x16g2.fnt", 8, 16},
    {false, 3, "e8x16g3.fnt", 8, 16},  {false, 4, "e8x16g4.fnt", 8, 16},  {false, 5, "e8x16g5.fnt", 8, 16},
};

int32_t GlyphBytes(int32_t width, int32_t height) { return (width + 7) / 8 * height; }

int InitFonts(int32_t width, int32_t height, int32_t pitch, ResourcePack* pack) {
  textWidth = width;
  textHeight = height;
  textPitch = pitch;
  if (pack != nullptr && pack->isOpen != 1) return -3;
  // Whatever an earlier initialisation loaded is freed, not forgotten.
  FreeFonts();
  int result = 1;
  for (const FontFile& font : FONT_FILES) {
    int loaded = font.hangul ? LoadHangulFont(font.slot, font.fileName, font.width, font.height, pack)
                             : LoadEnglishFont(font.slot, font.fileName, font.width, font.height, pack);
    if (loaded != 1) result = -2;
  }
  return result;
}

int LoadHangulFont(int32_t slot, const char* fileName, int32_t width, int32_t height, ResourcePack* pack) {
  return LoadFont(hangulFonts, hangulBlocks, FONT_HANGUL_GLYPHS, slot, fileName, width, height, pack);
}

int LoadEnglishFont(int32_t slot, const char* fileName, int32_t width, int32_t height, ResourcePack* pack) {
  return LoadFont(englishFonts, englishBlocks, FONT_ENGLISH_GLYPHS, slot, fileName, width, height, pack);
}

void FreeFonts() {
  for (int32_t slot = 0; slot < FONT_SLOTS; ++slot) {
    EmptySlot(hangulFonts[slot], hangulBlocks[slot], FONT_HANGUL_GLYPHS);
    EmptySlot(englishFonts[slot], englishBlocks[slot], FONT_ENGLISH_GLYPHS);
  }
}
