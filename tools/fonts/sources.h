// Readers for the bitmap font formats fontgen converts: GNU Unifont .hex,
// X11 BDF (made from the installed PCF files by pcf2bdf) and console PSF
// (version 1 or 2, plain or gzip-compressed).
//
// Every reader yields a Face: each glyph drawn into the face's own cell, the
// same size for every glyph, with the baseline `ascent` rows from the top.
// A reader reports bad input through its result and `error`; it never reads
// outside what the file holds.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace fonts {

// A glyph as a plain pixel grid, row-major, one byte per pixel (0 or 1).
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> ink;

  Pixels() = default;
  Pixels(int w, int h) : width(w), height(h), ink(static_cast<size_t>(w) * h, 0) {}
  bool At(int x, int y) const { return ink[static_cast<size_t>(y) * width + x] != 0; }
  void Set(int x, int y, bool on) { ink[static_cast<size_t>(y) * width + x] = on ? 1 : 0; }
  bool Empty() const;
};

struct Face {
  int width = 0;  // cell of every glyph
  int height = 0;
  int ascent = 0;  // rows above the baseline
  // Glyphs by the face's own encoding: Unicode for .hex, PSF and ISO 10646 /
  // ISO 646 BDF faces; the 94 x 94 row-cell code (0x2121..0x7E7E) for the
  // KS C 5601 BDF faces.
  std::map<uint32_t, Pixels> glyphs;
};

// Unifont: only the code points in `wanted` are kept. Half-width glyphs are
// 8 x 16, full-width ones 16 x 16, so the face's cell is 16 x 16 with the
// half-width glyphs in its left half.
bool ReadUnifontHex(const std::string& path, const std::vector<uint32_t>& wanted, Face& face,
                    std::string& error);

// BDF: glyphs placed in the font bounding box by their BBX offsets.
bool ReadBdf(const std::string& path, Face& face, std::string& error);

// PSF 1 or 2; glyphs are keyed by the Unicode values of the font's table, or
// by their position when the font has none.
bool ReadPsf(const std::string& path, Face& face, std::string& error);

}  // namespace fonts
