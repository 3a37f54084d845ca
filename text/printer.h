// The text printer: code page 949 strings (English bytes below 0x80, two-byte
// Hangul syllables from 0xB0A1) drawn with the bitmap fonts into 8-bit
// surface memory, rows textPitch apart, clipped to textWidth x textHeight.
//
// Characters without a glyph (two-byte codes outside the Hangul block, a lead
// byte with nothing after it, a glyph the font lacks) print as a blank cell
// of their font: the pen moves as for any character, and an opaque state
// paints the cell's background. A font slot that is empty or outside 0..9
// has a 0 x 0 cell: nothing is drawn and the pen moves by `spacing` alone.
#pragma once

#include <cstdint>

// How text looks; callers write the fields directly before printing.
struct TextState {
  int32_t multiColor;  // 1: glyph row r is drawn in textColor + r
  int32_t shadow;      // 1: drawn first in shadowColor one pixel right and down
  int32_t opaque;      // non-zero: pixels without ink take backColor
  int32_t textColor;
  int32_t shadowColor;
  int32_t backColor;
  int32_t spacing;      // pixels after every character
  int32_t hangulFont;   // font slot
  int32_t englishFont;  // font slot
};

// The state at program start: white ink, the 16 x 16 Hangul and 5 x 9
// English faces, one pixel between characters.
constexpr TextState TEXT_STATE_INITIAL = {0, 0, 0, 15, 0, 0, 1, 1, 1};

extern TextState textState;
// Top-left corner of the next character cell.
extern int32_t penX;
extern int32_t penY;

// Saved states of PushTextState, oldest first; the pen is not saved.
constexpr int32_t TEXT_STACK_SIZE = 4;
extern TextState stateStack[TEXT_STACK_SIZE];
extern int8_t stackDepth;

// Formats into a 256-byte buffer (cut short, never overrun) and prints it.
// Returns 0.
int PrintText(uint8_t* surface, int32_t x, int32_t y, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 4, 5)))
#endif
    ;
// Prints zero-terminated `text` with its top-left corner at (x, y); no line
// breaks, code 10 is English glyph 10. Returns 0.
int PutText(int32_t x, int32_t y, uint8_t* surface, const char* text);

// Glyph number of a two-byte code: (first - 0xB0) * 94 + (second - 0xA1),
// 0..2,349 inside the Hangul block (first 0xB0..0xC8, second 0xA1..0xFE).
int32_t HangulIndex(uint8_t first, uint8_t second);

// One character at the pen, in the current state; the pen moves right by the
// cell width plus `spacing`. An index or code without a glyph prints blank.
void PutHangulChar(int32_t index, uint8_t* surface);
void PutEnglishChar(int32_t code, uint8_t* surface);

// One glyph bitmap at (x, y): ink in foreColor, rising by one per row when
// multiColor is 1 (low 8 bits, so 255 is followed by 0); pixels without ink
// take backColor when `opaque` is non-zero. Null `bits` is a glyph without ink.
void DrawGlyph(int32_t x, int32_t y, int32_t width, int32_t height, const uint8_t* bits, uint8_t* surface,
               int32_t opaque, int32_t backColor, int32_t multiColor, int32_t foreColor);

// Fills left..right x top..bottom, corners inclusive; nothing when
// bottom < top or right < left.
void FillTextRect(int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t* surface, int32_t color);

// Save and restore the nine TextState fields, up to four deep: a fifth push
// and a pop with nothing saved change nothing.
void PushTextState();
void PopTextState();
