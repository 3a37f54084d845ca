#include "text/printer.h"

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "text/font.h"

TextState textState = TEXT_STATE_INITIAL;
int32_t penX = 0;
int32_t penY = 0;
TextState stateStack[TEXT_STACK_SIZE];
int8_t stackDepth = 0;

namespace {

// Pen arithmetic in 64 bits, brought back into range: text placed near the
// ends of the coordinate range walks off the target instead of wrapping.
int32_t Clamp32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

bool InHangulBlock(uint8_t first, uint8_t second) {
  return first >= 0xB0 && first <= 0xC8 && second >= 0xA1 && second <= 0xFE;
}

const BitmapFont* FontInSlot(const BitmapFont* table, int32_t slot) {
  return slot >= 0 && slot < FONT_SLOTS ? &table[slot] : nullptr;
}

// One character cell at the pen: shadow pass, main pass, the gap after it,
// then the pen moves on. `font` null or empty is a 0 x 0 cell.
void PutChar(const BitmapFont* font, const uint8_t* glyph, uint8_t* surface) {
  const TextState& s = textState;
  int32_t width = font != nullptr ? font->width : 0;
  int32_t height = font != nullptr ? font->height : 0;
  if (s.shadow == 1)
    DrawGlyph(Clamp32(int64_t{penX} + 1), Clamp32(int64_t{penY} + 1), width, height, glyph, surface, s.opaque,
              s.backColor, 0, s.shadowColor);
  DrawGlyph(penX, penY, width, height, glyph, surface, s.opaque, s.backColor, s.multiColor, s.textColor);
  int64_t gapLeft = int64_t{penX} + width;
  if (s.opaque == 1 && s.spacing > 0)
    FillTextRect(Clamp32(gapLeft), penY, Clamp32(gapLeft + s.spacing - 1),
                 Clamp32(int64_t{penY} + height - 1), surface, s.backColor);
  penX = Clamp32(gapLeft + s.spacing);
}

}  // namespace

int PrintText(uint8_t* surface, int32_t x, int32_t y, const char* format, ...) {
  char buffer[256];
  buffer[0] = '\0';
  if (format != nullptr) {
    va_list arguments;
    va_start(arguments, format);
    if (std::vsnprintf(buffer, sizeof buffer, format, arguments) < 0) buffer[0] = '\0';
    va_end(arguments);
  }
  return PutText(x, y, surface, buffer);
}

int PutText(int32_t x, int32_t y, uint8_t* surface, const char* text) {
  penX = x;
  penY = y;
  if (text == nullptr) return 0;
  const auto* at = reinterpret_cast<const uint8_t*>(text);
  while (*at != 0) {
    uint8_t first = *at;
    if (first <= 0x7F) {
      PutEnglishChar(first, surface);
      ++at;
      continue;
    }
    uint8_t second = at[1];
    // A lead byte whose second byte is the terminator still takes a cell,
    // but the walk must not step past the end of the text.
    PutHangulChar(InHangulBlock(first, second) ? HangulIndex(first, second) : -1, surface);
    if (second == 0) break;
    at += 2;
  }
  return 0;
}

int32_t HangulIndex(uint8_t first, uint8_t second) {
  return (static_cast<int32_t>(first) - 0xB0) * 94 + (static_cast<int32_t>(second) - 0xA1);
}

void PutHangulChar(int32_t index, uint8_t* surface) {
  const BitmapFont* font = FontInSlot(hangulFonts, textState.hangulFont);
  const uint8_t* glyph =
      font != nullptr && index >= 0 && index < FONT_HANGUL_GLYPHS ? font->glyphs[index] : nullptr;
  PutChar(font, glyph, surface);
}

void PutEnglishChar(int32_t code, uint8_t* surface) {
  const BitmapFont* font = FontInSlot(englishFonts, textState.englishFont);
  const uint8_t* glyph =
      font != nullptr && code >= 0 && code < FONT_ENGLISH_GLYPHS ? font->glyphs[code] : nullptr;
  PutChar(font, glyph, surface);
}

void DrawGlyph(int32_t x, int32_t y, int32_t width, int32_t height, const uint8_t* bits, uint8_t* surface,
               int32_t opaque, int32_t backColor, int32_t multiColor, int32_t foreColor) {
  if (surface == nullptr || width <= 0 || height <= 0) return;
  // The part of the cell inside the target, in glyph coordinates.
  int64_t firstColumn = std::max<int64_t>(0, -int64_t{x});
  int64_t endColumn = std::min<int64_t>(width, int64_t{textWidth} - x);
  int64_t firstRow = std::max<int64_t>(0, -int64_t{y});
  int64_t endRow = std::min<int64_t>(height, int64_t{textHeight} - y);
  if (firstColumn >= endColumn || firstRow >= endRow) return;

  const int64_t rowBytes = (int64_t{width} + 7) / 8;
  const auto back = static_cast<uint8_t>(backColor);
  for (int64_t row = firstRow; row < endRow; ++row) {
    // Rows cut off above still count for the colour ramp.
    auto fore = static_cast<uint8_t>(static_cast<uint32_t>(foreColor) +
                                     (multiColor == 1 ? static_cast<uint32_t>(row) : 0u));
    uint8_t* out = surface + static_cast<ptrdiff_t>((y + row) * textPitch + x + firstColumn);
    const uint8_t* in = bits != nullptr ? bits + row * rowBytes : nullptr;
    for (int64_t column = firstColumn; column < endColumn; ++column, ++out) {
      bool ink = in != nullptr && ((in[column >> 3] >> (7 - (column & 7))) & 1) != 0;
      if (ink)
        *out = fore;
      else if (opaque != 0)
        *out = back;
    }
  }
}

void FillTextRect(int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t* surface, int32_t color) {
  if (surface == nullptr) return;
  int64_t x0 = std::max<int64_t>(left, 0), x1 = std::min<int64_t>(right, int64_t{textWidth} - 1);
  int64_t y0 = std::max<int64_t>(top, 0), y1 = std::min<int64_t>(bottom, int64_t{textHeight} - 1);
  if (x1 < x0 || y1 < y0) return;
  for (int64_t row = y0; row <= y1; ++row)
    std::memset(surface + static_cast<ptrdiff_t>(row * textPitch + x0), static_cast<uint8_t>(color),
                static_cast<size_t>(x1 - x0 + 1));
}

void PushTextState() {
  if (stackDepth < 0 || stackDepth >= TEXT_STACK_SIZE) return;
  stateStack[stackDepth] = textState;
  ++stackDepth;
}

void PopTextState() {
  if (stackDepth < 1 || stackDepth > TEXT_STACK_SIZE) return;
  --stackDepth;
  textState = stateStack[stackDepth];
}
