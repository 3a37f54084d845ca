// Code page 949 text: the embedded glyphs against Unifont's own file and the C
// library's converter, and TextOutA on surfaces.
#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>

#include "ddraw_objects.h"
#include "display_fixture.h"
#include "internal.h"

namespace {

using vantor_test::Cases;
using vantor_test::DisplayTest;

// One glyph straight from the .hex file, as rows of bytes.
std::vector<uint8_t> HexGlyph(uint32_t codePoint) {
  std::ifstream input(VANTOR_UNIFONT_HEX);
  char key[16];
  std::snprintf(key, sizeof key, "%04X:", codePoint);
  std::string line;
  while (std::getline(input, line)) {
    if (line.compare(0, std::strlen(key), key) != 0) continue;
    std::vector<uint8_t> bytes;
    for (size_t i = std::strlen(key); i + 1 < line.size(); i += 2) {
      bytes.push_back(static_cast<uint8_t>(std::stoi(line.substr(i, 2), nullptr, 16)));
    }
    return bytes;
  }
  return {};
}

std::vector<uint8_t> GlyphBytes(const vt::UnifontGlyph& glyph) {
  return std::vector<uint8_t>(glyph.bits, glyph.bits + 16 * glyph.width / 8);
}

// What the C library makes of a double-byte code: 0 when it knows none.
uint32_t Cp949ToCodePoint(unsigned char lead, unsigned char trail) {
  iconv_t converter = iconv_open("UTF-32LE", "CP949");
  if (converter == reinterpret_cast<iconv_t>(-1)) return 0;
  char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  unsigned char out[8] = {};
  char* inPtr = in;
  size_t inLeft = 2;
  char* outPtr = reinterpret_cast<char*>(out);
  size_t outLeft = sizeof out;
  size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(converter);
  if (result == static_cast<size_t>(-1) || outLeft != 4) return 0;
  return out[0] | out[1] << 8 | out[2] << 16 | static_cast<uint32_t>(out[3]) << 24;
}

TEST(Cp949Glyphs, CharactersMapToTheirUnifontGlyphs) {
  const char text[] = "A\xB0\xA1~";
  size_t index = 0;
  vt::UnifontGlyph a = vt::NextCp949Glyph(text, 4, &index);
  EXPECT_EQ(index, 1u);
  EXPECT_EQ(a.width, 8);
  EXPECT_EQ(GlyphBytes(a), HexGlyph('A'));
  vt::UnifontGlyph ga = vt::NextCp949Glyph(text, 4, &index);
  EXPECT_EQ(index, 3u);
  EXPECT_EQ(ga.width, 16);
  ASSERT_EQ(Cp949ToCodePoint(0xB0, 0xA1), 0xAC00u);
  EXPECT_EQ(GlyphBytes(ga), HexGlyph(0xAC00));
  vt::UnifontGlyph tilde = vt::NextCp949Glyph(text, 4, &index);
  EXPECT_EQ(index, 4u);
  EXPECT_EQ(GlyphBytes(tilde), HexGlyph('~'));
}

// Every double-byte code the converter knows, sampled across the table,
// including the extended Hangul with low trail bytes.
TEST(Cp949Glyphs, SampledPairsAgreeWithTheConverterAndTheFont) {
  const int samples = Cases(300);
  const int stride = std::max(1, (0xFEFE - 0x8141) / samples);
  int checked = 0;
  for (int code = 0x8141; code <= 0xFEFE; code += stride) {
    auto lead = static_cast<unsigned char>(code >> 8);
    auto trail = static_cast<unsigned char>(code & 0xFF);
    uint32_t codePoint = Cp949ToCodePoint(lead, trail);
    if (codePoint == 0) continue;
    char text[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    size_t index = 0;
    vt::UnifontGlyph glyph = vt::NextCp949Glyph(text, 2, &index);
    ASSERT_EQ(index, 2u) << std::hex << code;
    std::vector<uint8_t> expected = HexGlyph(codePoint);
    ASSERT_FALSE(expected.empty()) << std::hex << codePoint;
    ASSERT_EQ(GlyphBytes(glyph), expected) << std::hex << code;
    ++checked;
  }
  EXPECT_GT(checked, 20);
}

TEST(Cp949Glyphs, UnknownAndBrokenCodesGiveTheReplacementGlyph) {
  const std::vector<uint8_t> replacement = HexGlyph(0xFFFD);
  ASSERT_FALSE(replacement.empty());
  // A pair in the user-defined area, which the code page leaves empty.
  ASSERT_EQ(Cp949ToCodePoint(0xC9, 0xA1), 0u);
  const char unknown[] = "\xC9\xA1Z";
  size_t index = 0;
  EXPECT_EQ(GlyphBytes(vt::NextCp949Glyph(unknown, 3, &index)), replacement);
  EXPECT_EQ(index, 2u);
  EXPECT_EQ(GlyphBytes(vt::NextCp949Glyph(unknown, 3, &index)), HexGlyph('Z'));

  // A lead byte at the very end is taken alone.
  const char trailing[] = "Q\xB0";
  index = 1;
  EXPECT_EQ(GlyphBytes(vt::NextCp949Glyph(trailing, 2, &index)), replacement);
  EXPECT_EQ(index, 2u);

  // A lead byte before something that cannot be a trail byte does not swallow it.
  const char stray[] = "\xB0 x";
  index = 0;
  EXPECT_EQ(GlyphBytes(vt::NextCp949Glyph(stray, 3, &index)), replacement);
  EXPECT_EQ(index, 1u);
  EXPECT_EQ(GlyphBytes(vt::NextCp949Glyph(stray, 3, &index)), HexGlyph(' '));

  // Control bytes and bytes that start nothing.
  for (char c : {'\0', '\n', '\x7F', '\x80', '\xFF'}) {
    index = 0;
    EXPECT_EQ(GlyphBytes(vt::NextCp949Glyph(&c, 1, &index)), replacement) << int(c);
    EXPECT_EQ(index, 1u);
  }
}

TEST(NearestPaletteIndex, SmallestDistanceWithTheLowestIndexOnTies) {
  PALETTEENTRY palette[256];
  for (auto& entry : palette) entry = {128, 128, 128, 0};
  palette[40] = {250, 10, 10, 0};
  palette[41] = {10, 250, 10, 0};
  palette[90] = {250, 10, 10, 0};
  EXPECT_EQ(vt::NearestPaletteIndex(palette, RGB(255, 0, 0)), 40);
  EXPECT_EQ(vt::NearestPaletteIndex(palette, RGB(0, 255, 0)), 41);
  EXPECT_EQ(vt::NearestPaletteIndex(palette, RGB(120, 130, 128)), 0);
}

class GdiTextTest : public DisplayTest {
 protected:
  // Checks the 16-row cell at (left, top) against a glyph: `ink` where its bits
  // are set, `paper` elsewhere (or the old pixel when `paper` is negative).
  static void ExpectCell(const std::vector<uint8_t>& pixels, const std::vector<uint8_t>& old, int pitch,
                         int left, int top, const std::vector<uint8_t>& glyph, uint8_t ink, int paper) {
    const int width = static_cast<int>(glyph.size()) / 16 * 8;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < width; ++x) {
        bool set = (glyph[y * width / 8 + x / 8] & (0x80 >> (x % 8))) != 0;
        size_t at = static_cast<size_t>((top + y) * pitch + left + x);
        int want = set ? ink : (paper >= 0 ? paper : old[at]);
        ASSERT_EQ(pixels[at], want) << "cell (" << x << "," << y << ")";
      }
    }
  }
};

TEST_F(GdiTextTest, DefaultColoursAreTheNearestBlackOnTheNearestWhite) {
  LPDIRECTDRAW dd = OpenExclusive();
  LPDIRECTDRAWSURFACE surface = MakeOffscreen(dd, 43, 20, 0);
  // A palette whose darkest and lightest entries are in the middle, with
  // near misses around them.
  PALETTEENTRY entries[256];
  for (int i = 0; i < 256; ++i) entries[i] = {static_cast<BYTE>(60 + i % 100), 90, 120, 0};
  entries[37] = {3, 2, 1, 0};
  entries[38] = {4, 4, 4, 0};
  entries[200] = {250, 251, 252, 0};
  entries[201] = {250, 250, 240, 0};
  LPDIRECTDRAWPALETTE palette = nullptr;
  ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
  ASSERT_EQ(surface->SetPalette(palette), DD_OK);
  FillPattern(surface, 9);
  std::vector<uint8_t> old = Pixels(surface);

  HDC dc = nullptr;
  ASSERT_EQ(surface->GetDC(&dc), DD_OK);
  HDC second = nullptr;
  EXPECT_EQ(surface->GetDC(&second), DDERR_DCALREADYCREATED);
  ASSERT_TRUE(TextOutA(dc, 3, 2, "A\xB0\xA1", 3));
  ASSERT_EQ(surface->ReleaseDC(dc), DD_OK);
  std::vector<uint8_t> pixels = Pixels(surface);
  ExpectCell(pixels, old, 43, 3, 2, HexGlyph('A'), 37, 200);
  ExpectCell(pixels, old, 43, 11, 2, HexGlyph(0xAC00), 37, 200);
  // Nothing outside the two cells (8 + 16 wide, 16 high) was touched.
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 43; ++x) {
      if (x >= 3 && x < 27 && y >= 2 && y < 18) continue;
      ASSERT_EQ(pixels[y * 43 + x], old[y * 43 + x]) << x << "," << y;
    }
  }
  // The handle is gone with ReleaseDC.
  EXPECT_FALSE(TextOutA(dc, 0, 0, "A", 1));
  palette->Release();
  surface->Release();
  dd->Release();
}

TEST_F(GdiTextTest, TextIsClippedToTheSurfaceAndHonoursColoursAndMode) {
  LPDIRECTDRAW dd = OpenExclusive();
  LPDIRECTDRAWSURFACE surface = MakeOffscreen(dd, 10, 10, 0);  // no palette anywhere: 0 and 255
  FillPattern(surface, 4);
  std::vector<uint8_t> old = Pixels(surface);
  HDC dc = nullptr;
  ASSERT_EQ(surface->GetDC(&dc), DD_OK);
  ASSERT_TRUE(TextOutA(dc, -12, -7, "\xB0\xA1WW", 4));  // partly above, left and right of the surface
  EXPECT_TRUE(TextOutA(dc, 0, 0, "", 0));
  EXPECT_FALSE(TextOutA(dc, 0, 0, "A", -1));
  EXPECT_FALSE(TextOutA(dc, 0, 0, nullptr, 3));
  surface->ReleaseDC(dc);
  std::vector<uint8_t> pixels = Pixels(surface);
  const std::vector<uint8_t> ga = HexGlyph(0xAC00);
  const std::vector<uint8_t> w = HexGlyph('W');
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 10; ++x) {
      const int gx = x + 12, gy = y + 7;
      bool set =
          gx < 16 ? (ga[gy * 2 + gx / 8] & (0x80 >> (gx % 8))) != 0 : (w[gy] & (0x80 >> (gx - 16))) != 0;
      ASSERT_EQ(pixels[y * 10 + x], set ? 0 : 255) << x << "," << y;
    }
  }
  EXPECT_EQ(pixels[9 * 10], old[9 * 10]);  // below the cells

  // Transparent text in a chosen colour leaves the background alone.
  FillPattern(surface, 6);
  old = Pixels(surface);
  ASSERT_EQ(surface->GetDC(&dc), DD_OK);
  EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
  EXPECT_EQ(SetTextColor(dc, RGB(100, 100, 100)), RGB(0, 0, 0));
  EXPECT_EQ(SetBkColor(dc, RGB(1, 2, 3)), RGB(255, 255, 255));
  ASSERT_TRUE(TextOutA(dc, 1, -6, "H", 1));
  surface->ReleaseDC(dc);
  pixels = Pixels(surface);
  const std::vector<uint8_t> h = HexGlyph('H');
  const int grey = 100;  // without a palette, index i is shown as (i, i, i)
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 10; ++x) {
      bool set = x >= 1 && x < 9 && (h[y + 6] & (0x80 >> (x - 1))) != 0;
      ASSERT_EQ(pixels[y * 10 + x], set ? grey : old[y * 10 + x]) << x << "," << y;
    }
  }
  surface->Release();
  dd->Release();
}

TEST_F(GdiTextTest, SurfacesWithoutPaletteUseTheScreensAndThePrimaryIsShown) {
  Chain chain = OpenChain(320, 200);
  PALETTEENTRY entries[256];
  for (int i = 0; i < 256; ++i)
    entries[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
  std::swap(entries[0], entries[12]);     // black at 12
  std::swap(entries[255], entries[140]);  // white at 140
  LPDIRECTDRAWPALETTE palette = nullptr;
  ASSERT_EQ(chain.dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
  chain.primary->SetPalette(palette);
  palette->Release();

  HDC dc = nullptr;
  ASSERT_EQ(chain.primary->GetDC(&dc), DD_OK);
  ASSERT_TRUE(TextOutA(dc, 100, 160, "\xBE\xCB", 2));
  ASSERT_EQ(chain.primary->ReleaseDC(dc), DD_OK);
  PumpMessages();
  platform_test::Screen screen;
  ASSERT_TRUE(platform_test::ReadScreen(screen));
  ExpectCell(screen.pixels, screen.pixels, 320, 100, 160, HexGlyph(Cp949ToCodePoint(0xBE, 0xCB)), 12, 140);
}

}  // namespace
