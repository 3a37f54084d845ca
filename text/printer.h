// The text printer: code page 949 strings (English bytes below 0x80, two-byte
// Hangul syllables from 0xB0A1) drawn with the bitmap fonts into 8-bit
// surface memory, rows textPitch apart, clipped to textWidth x textHeight.
#pragma once

#include <cstdint>

// How text looks; callers write the fields directly before printing.
struct TextState {
  int32_t multiColor;   // 1: glyph row r is drawn in textColor + r
  int32_t shadow;       // 1: drawn first in shadowColor one pixel right and down
  int32_t opaque;       // non-zero: pixels without ink take backColor
  int32_t textColor;
  int32_t shadowColor;
  int32_t backColor;
  int32_t spacing;      // pixels after every character
  int32_t hangulFont;   // font slot
  int32_t englishFont;  // font slot
};

extern TextState textState;
extern int32_t penX;
extern int32_t penY;

// Formats into a 256-byte buffer (cut short, never overrun) and prints it.
int PrintText(uint8_t* surface, int32_t x, int32_t y, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 4, 5)))
#endif
    ;
int PutText(int32_t x, int32_t y, uint8_t* surface, const char* text);

void PushTextState();
void PopTextState();
