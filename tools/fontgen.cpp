// fontgen: makes the program's twelve bitmap fonts from the bitmap faces of
// the system's font packages, and optionally a contact sheet of them.
//
//   fontgen [--sheet OUT.png] SOURCES OUTDIR
//
// SOURCES lists the input faces, one "NAME PATH" a line (see FACES below).
// Hangul glyph n is KS X 1001 syllable n (code page 949 bytes 0xB0 + n / 94,
// 0xA1 + n % 94): in a KS C 5601 face that is row-cell code
// (0x30 + n / 94, 0x21 + n % 94), in a Unicode face the code point iconv
// gives for it. English glyph n is ASCII n, with the control codes blank.
//
// No glyph is scaled: each face is drawn at its own size and placed in the
// cell, and a face whose ink would not fit is refused rather than cut. The
// one exception is the 8 x 10 Hangul cell, for which no face exists; it is
// condensed from the 10-pixel Gulim (see CondenseTo8). Only the input files
// decide the output bytes.

#include <iconv.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "text/font.h"
#include "tools/fonts/sources.h"

namespace {

using fonts::Face;
using fonts::Pixels;

const char USAGE[] =
    "usage: fontgen [--sheet OUT.png] SOURCES OUTDIR\n"
    "\n"
    "Writes the twelve .fnt files the program loads (Hangul k*.fnt, English\n"
    "e*.fnt) into OUTDIR. SOURCES names the input faces, one \"NAME PATH\" a\n"
    "line: unifont (.hex), gulim10, gulim16, batang16, dotum16, hline16,\n"
    "clR6x6, clR5x10, 8x13 (.bdf), vga16, terminus16 (.psf or .psf.gz).\n"
    "--sheet also draws every font, three times enlarged, into a PNG file.\n";

enum class Format { HEX, BDF, PSF };

struct FaceSource {
  const char* name;
  Format format;
};

const FaceSource FACES[] = {
    {"unifont", Format::HEX},  {"gulim10", Format::BDF},    {"gulim16", Format::BDF},
    {"batang16", Format::BDF}, {"dotum16", Format::BDF},    {"hline16", Format::BDF},
    {"clR6x6", Format::BDF},   {"clR5x10", Format::BDF},    {"8x13", Format::BDF},
    {"vga16", Format::PSF},    {"terminus16", Format::PSF},
};

enum class Placement {
  CENTRE,     // the face's ink box over all its glyphs, centred in the cell
  BASELINE,   // the face's cell with its baseline on row `baseline`
  CONDENSE8,  // each glyph condensed to 8 columns (the 8 x 10 Hangul cell)
};

// How each file of FONT_FILES is made, by file name. With `nudge`, a glyph
// that sticks out of the cell after placement is moved in just enough;
// without it such a face is refused.
struct Recipe {
  const char* fileName;
  const char* face;
  Placement placement;
  int baseline;
  bool nudge;
};

const Recipe RECIPES[] = {
    {"k8x10g0.fnt", "gulim10", Placement::CONDENSE8, 0, false},
    {"k16x16g1.fnt", "unifont", Placement::CENTRE, 0, true},
    {"k16x16g2.fnt", "gulim16", Placement::CENTRE, 0, true},
    {"k16x16g3.fnt", "batang16", Placement::CENTRE, 0, true},
    {"k16x16g4.fnt", "dotum16", Placement::CENTRE, 0, true},
    {"k16x16g5.fnt", "hline16", Placement::CENTRE, 0, true},
    {"e6x6g0.fnt", "clR6x6", Placement::BASELINE, 5, false},
    // The 10-row face loses its top row, which only the double quote
    // reaches; that keeps both descender rows.
    {"e5x9g1.fnt", "clR5x10", Placement::BASELINE, 7, true},
    {"e8x16g2.fnt", "unifont", Placement::BASELINE, 14, false},
    {"e8x16g3.fnt", "vga16", Placement::BASELINE, 12, false},
    {"e8x16g4.fnt", "8x13", Placement::BASELINE, 14, false},
    {"e8x16g5.fnt", "terminus16", Placement::BASELINE, 12, false},
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "fontgen: %s\n", message.c_str());
  return 1;
}

std::string Hex(uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "%04X", code);
  return text;
}

// Unicode code points of the 2,350 KS X 1001 Hangul syllables, in order.
bool HangulCodePoints(std::vector<uint32_t>& codes, std::string& error) {
  iconv_t cd = iconv_open("UTF-32BE", "CP949");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    error = "this system's iconv has no CP949 converter";
    return false;
  }
  for (int n = 0; n < FONT_HANGUL_GLYPHS; ++n) {
    char in[2] = {static_cast<char>(0xB0 + n / 94), static_cast<char>(0xA1 + n % 94)};
    unsigned char out[8] = {};
    char* inPtr = in;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t inLeft = 2, outLeft = sizeof out;
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) ||
        sizeof out - outLeft != 4) {
      iconv_close(cd);
      error = "iconv cannot convert Hangul syllable " + std::to_string(n);
      return false;
    }
    codes.push_back(uint32_t{out[0]} << 24 | uint32_t{out[1]} << 16 | uint32_t{out[2]} << 8 | out[3]);
  }
  iconv_close(cd);
  return true;
}

// The source glyphs of one font file, in glyph order; null for a blank glyph.
bool SourceGlyphs(const FontFile& font, const Face& face, bool unicodeFace,
                  const std::vector<uint32_t>& hangulCodes, std::vector<const Pixels*>& glyphs,
                  std::string& error) {
  int count = font.hangul ? FONT_HANGUL_GLYPHS : FONT_ENGLISH_GLYPHS;
  glyphs.assign(static_cast<size_t>(count), nullptr);
  for (int n = 0; n < count; ++n) {
    uint32_t code;
    if (font.hangul) {
      code = unicodeFace ? hangulCodes[static_cast<size_t>(n)]
                         : static_cast<uint32_t>((0x30 + n / 94) << 8 | (0x21 + n % 94));
    } else if (n > 32 && n < 127) {
      code = static_cast<uint32_t>(n);
    } else {
      continue;  // controls, space and DEL stay blank
    }
    auto found = face.glyphs.find(code);
    if (found == face.glyphs.end()) {
      error = std::string(font.fileName) + ": the face has no glyph for code " + Hex(code);
      return false;
    }
    glyphs[static_cast<size_t>(n)] = &found->second;
  }
  return true;
}

// Copies `source` into `cell` shifted by (dx, dy); false when ink falls outside.
bool PlaceShifted(const Pixels& source, int dx, int dy, Pixels& cell) {
  for (int y = 0; y < source.height; ++y) {
    for (int x = 0; x < source.width; ++x) {
      if (!source.At(x, y)) continue;
      int cx = x + dx, cy = y + dy;
      if (cx < 0 || cy < 0 || cx >= cell.width || cy >= cell.height) return false;
      cell.Set(cx, cy, true);
    }
  }
  return true;
}

// PlaceShifted, but a glyph whose ink would stick out is moved back inside
// by the least amount, so the odd tall or wide syllable of a face keeps all
// its strokes while the rest share one placement.
bool PlaceInside(const Pixels& source, int dx, int dy, Pixels& cell) {
  int left = source.width, top = source.height, right = -1, bottom = -1;
  for (int y = 0; y < source.height; ++y) {
    for (int x = 0; x < source.width; ++x) {
      if (!source.At(x, y)) continue;
      left = std::min(left, x), right = std::max(right, x);
      top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  if (right < 0) return true;
  if (right - left + 1 > cell.width || bottom - top + 1 > cell.height) return false;
  dx = std::clamp(dx, -left, cell.width - 1 - right);
  dy = std::clamp(dy, -top, cell.height - 1 - bottom);
  return PlaceShifted(source, dx, dy, cell);
}

// Condenses a glyph to at most 8 columns by OR-ing adjacent columns
// together, each time the pair that costs least: rows where the two agree
// cost nothing, a stroke that gets one pixel thinner costs 1, and a gap
// between two strokes that closes costs 8, since that is what makes ㅔ and ㅖ
// or ㅐ and ㅒ run together. Ties go to the leftmost pair. Blank columns at
// the edges are dropped first. The result is centred in the 8 x 10 cell,
// rows unchanged.
bool CondenseTo8(const Pixels& source, Pixels& cell) {
  std::vector<std::vector<uint8_t>> columns;
  for (int x = 0; x < source.width; ++x) {
    std::vector<uint8_t> column(static_cast<size_t>(source.height));
    for (int y = 0; y < source.height; ++y) column[static_cast<size_t>(y)] = source.At(x, y);
    columns.push_back(std::move(column));
  }
  auto blank = [](const std::vector<uint8_t>& column) {
    return std::all_of(column.begin(), column.end(), [](uint8_t pixel) { return pixel == 0; });
  };
  while (!columns.empty() && blank(columns.back())) columns.pop_back();
  while (!columns.empty() && blank(columns.front())) columns.erase(columns.begin());
  auto inkAt = [&](long x, size_t y) {
    return x >= 0 && x < static_cast<long>(columns.size()) && columns[static_cast<size_t>(x)][y] != 0;
  };
  while (columns.size() > static_cast<size_t>(cell.width)) {
    size_t best = 0;
    int bestCost = -1;
    for (size_t x = 0; x + 1 < columns.size(); ++x) {
      int cost = 0;
      for (size_t y = 0; y < static_cast<size_t>(source.height); ++y) {
        bool a = columns[x][y] != 0, b = columns[x + 1][y] != 0;
        if (a == b) continue;
        auto left = static_cast<long>(x);
        bool closesGap = a ? inkAt(left + 2, y) : inkAt(left - 1, y);
        cost += closesGap ? 8 : 1;
      }
      if (bestCost < 0 || cost < bestCost) {
        bestCost = cost;
        best = x;
      }
    }
    for (size_t y = 0; y < static_cast<size_t>(source.height); ++y) columns[best][y] |= columns[best + 1][y];
    columns.erase(columns.begin() + static_cast<long>(best) + 1);
  }
  int left = (cell.width - static_cast<int>(columns.size())) / 2;
  for (size_t x = 0; x < columns.size(); ++x) {
    for (int y = 0; y < source.height; ++y) {
      if (!columns[x][static_cast<size_t>(y)]) continue;
      if (y >= cell.height) return false;
      cell.Set(left + static_cast<int>(x), y, true);
    }
  }
  return true;
}

// Draws every glyph of a font into its cells.
bool MakeCells(const FontFile& font, const Recipe& recipe, const Face& face,
               const std::vector<const Pixels*>& glyphs, std::vector<Pixels>& cells, std::string& error) {
  int dx = 0, dy = 0;
  if (recipe.placement == Placement::CENTRE) {
    int left = face.width, top = face.height, right = -1, bottom = -1;
    for (const Pixels* glyph : glyphs) {
      if (glyph == nullptr) continue;
      for (int y = 0; y < glyph->height; ++y) {
        for (int x = 0; x < glyph->width; ++x) {
          if (!glyph->At(x, y)) continue;
          left = std::min(left, x), right = std::max(right, x);
          top = std::min(top, y), bottom = std::max(bottom, y);
        }
      }
    }
    if (right >= 0) {
      dx = (font.width - (right - left + 1)) / 2 - left;
      dy = (font.height - (bottom - top + 1)) / 2 - top;
    }
  } else if (recipe.placement == Placement::BASELINE) {
    dy = recipe.baseline - face.ascent;
  }
  cells.clear();
  for (size_t n = 0; n < glyphs.size(); ++n) {
    Pixels cell(font.width, font.height);
    if (glyphs[n] != nullptr) {
      bool fits = recipe.placement == Placement::CONDENSE8 ? CondenseTo8(*glyphs[n], cell)
                  : recipe.nudge                           ? PlaceInside(*glyphs[n], dx, dy, cell)
                                                           : PlaceShifted(*glyphs[n], dx, dy, cell);
      if (!fits) {
        error = std::string(font.fileName) + ": glyph " + std::to_string(n) + " of " + recipe.face +
                " does not fit the cell";
        return false;
      }
    }
    cells.push_back(std::move(cell));
  }
  return true;
}

// Appends a cell in the file's bit order: rows of whole bytes, leftmost
// pixel in the highest bit.
void AppendGlyph(const Pixels& cell, std::vector<uint8_t>& out) {
  int rowBytes = (cell.width + 7) / 8;
  for (int y = 0; y < cell.height; ++y) {
    for (int b = 0; b < rowBytes; ++b) {
      uint8_t byte = 0;
      for (int bit = 0; bit < 8; ++bit) {
        int x = b * 8 + bit;
        if (x < cell.width && cell.At(x, y)) byte |= static_cast<uint8_t>(0x80 >> bit);
      }
      out.push_back(byte);
    }
  }
}

bool ReadSources(const std::string& path, std::map<std::string, std::string>& paths, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    size_t space = line.find_first_of(" \t", start);
    size_t value = space == std::string::npos ? std::string::npos : line.find_first_not_of(" \t", space);
    if (value == std::string::npos) {
      error = path + ":" + std::to_string(lineNumber) + ": expected NAME PATH";
      return false;
    }
    paths[line.substr(start, space - start)] = line.substr(value);
  }
  for (const FaceSource& face : FACES) {
    if (!paths.count(face.name)) {
      error = path + ": no path for the face " + face.name;
      return false;
    }
  }
  return true;
}

// --- Contact sheet -----------------------------------------------------------

constexpr int SHEET_SCALE = 3;

struct Sheet {
  int width = 0, height = 0;
  std::vector<uint8_t> grey;  // 255 paper, 0 ink
};

// Prints code page 949 text as the program's printer does: a cell per
// character, one pixel of spacing after each.
int PrintCp949(Sheet& sheet, int x, int y, const std::string& text, const std::vector<Pixels>& hangul,
               const FontFile& hangulFont, const std::vector<Pixels>& english, const FontFile& englishFont,
               uint8_t ink) {
  for (size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<uint8_t>(text[i]);
    const Pixels* glyph = nullptr;
    int advance;
    if (byte < 0x80) {
      glyph = &english[byte];
      advance = englishFont.width;
    } else {
      advance = hangulFont.width;
      if (i + 1 < text.size()) {
        auto trail = static_cast<uint8_t>(text[++i]);
        int index = (byte - 0xB0) * 94 + (trail - 0xA1);
        if (byte >= 0xB0 && trail >= 0xA1 && trail <= 0xFE && index < FONT_HANGUL_GLYPHS)
          glyph = &hangul[static_cast<size_t>(index)];
      }
    }
    if (glyph != nullptr) {
      for (int gy = 0; gy < glyph->height; ++gy) {
        for (int gx = 0; gx < glyph->width; ++gx) {
          if (!glyph->At(gx, gy)) continue;
          for (int sy = 0; sy < SHEET_SCALE; ++sy) {
            for (int sx = 0; sx < SHEET_SCALE; ++sx) {
              int px = (x + gx) * SHEET_SCALE + sx, py = (y + gy) * SHEET_SCALE + sy;
              if (px < sheet.width && py < sheet.height)
                sheet.grey[static_cast<size_t>(py) * sheet.width + px] = ink;
            }
          }
        }
      }
    }
    x += advance + 1;
  }
  return x;
}

bool ToCp949(const char* utf8, std::string& out) {
  iconv_t cd = iconv_open("CP949", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = utf8;
  out.assign(in.size() * 2 + 8, '\0');
  char* inPtr = in.data();
  char* outPtr = out.data();
  size_t inLeft = in.size(), outLeft = out.size();
  bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return ok;
}

bool WritePng(const std::string& path, const Sheet& sheet, std::string& error) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    error = "cannot write " + path;
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    error = "cannot encode " + path;
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(sheet.width), static_cast<png_uint_32>(sheet.height), 8,
               PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < sheet.height; ++y)
    png_write_row(png, const_cast<png_bytep>(&sheet.grey[static_cast<size_t>(y) * sheet.width]));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fclose(file) != 0) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

// One block per slot pair: the file names, the sample lines in both fonts
// as the printer pairs them, and the English font's whole printable range.
bool DrawSheet(const std::string& path, const std::map<std::string, std::vector<Pixels>>& cells,
               std::string& error) {
  const char* samples[] = {"Vantor 0123456789 %4.1f Fps", "Vsync On/Off  Frame sync On/Off",
                           "가나다라 한글 테스트", "ENTER : 테스트항목 변경(총9가지)"};
  std::vector<std::string> lines;
  for (const char* sample : samples) {
    std::string converted;
    if (!ToCp949(sample, converted)) {
      error = "iconv cannot convert the sample text";
      return false;
    }
    lines.push_back(converted);
  }
  std::string ascii[2];
  for (int c = 32; c < 127; ++c) ascii[c < 80 ? 0 : 1] += static_cast<char>(c);
  lines.push_back(ascii[0]);
  lines.push_back(ascii[1]);

  const FontFile& labelFont = FONT_FILES[8];  // e8x16g2
  Sheet measure;
  int width = 0, height = 2;
  for (int slot = 0; slot < 6; ++slot) {
    const FontFile& hangul = FONT_FILES[slot];
    const FontFile& english = FONT_FILES[6 + slot];
    height += labelFont.height + 2;
    for (const std::string& line : lines) {
      width = std::max(width, PrintCp949(measure, 2, 0, line, cells.at(hangul.fileName), hangul,
                                         cells.at(english.fileName), english, 0));
      height += std::max(hangul.height, english.height) + 2;
    }
    height += 6;
  }
  Sheet sheet;
  sheet.width = (width + 2) * SHEET_SCALE;
  sheet.height = height * SHEET_SCALE;
  sheet.grey.assign(static_cast<size_t>(sheet.width) * sheet.height, 255);
  int y = 2;
  for (int slot = 0; slot < 6; ++slot) {
    const FontFile& hangul = FONT_FILES[slot];
    const FontFile& english = FONT_FILES[6 + slot];
    std::string label = std::string(hangul.fileName) + " + " + english.fileName;
    PrintCp949(sheet, 2, y, label, cells.at(hangul.fileName), hangul, cells.at(labelFont.fileName), labelFont,
               160);
    y += labelFont.height + 2;
    for (const std::string& line : lines) {
      PrintCp949(sheet, 2, y, line, cells.at(hangul.fileName), hangul, cells.at(english.fileName), english,
                 0);
      y += std::max(hangul.height, english.height) + 2;
    }
    y += 6;
  }
  return WritePng(path, sheet, error);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(USAGE, stdout);
    return 0;
  }
  std::string sheetPath;
  if (args.size() >= 2 && args[0] == "--sheet") {
    sheetPath = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() != 2) {
    std::fputs(USAGE, stderr);
    return 2;
  }
  std::string error;
  std::map<std::string, std::string> paths;
  if (!ReadSources(args[0], paths, error)) return Fail(error);
  std::vector<uint32_t> hangulCodes;
  if (!HangulCodePoints(hangulCodes, error)) return Fail(error);

  std::map<std::string, Face> faces;
  for (const FaceSource& source : FACES) {
    Face& face = faces[source.name];
    const std::string& path = paths[source.name];
    bool ok;
    if (source.format == Format::HEX) {
      std::vector<uint32_t> wanted = hangulCodes;
      for (uint32_t code = 0; code < static_cast<uint32_t>(FONT_ENGLISH_GLYPHS); ++code)
        wanted.push_back(code);
      ok = fonts::ReadUnifontHex(path, wanted, face, error);
    } else if (source.format == Format::BDF) {
      ok = fonts::ReadBdf(path, face, error);
    } else {
      ok = fonts::ReadPsf(path, face, error);
    }
    if (!ok) return Fail(error);
  }

  std::map<std::string, std::vector<Pixels>> allCells;
  for (const FontFile& font : FONT_FILES) {
    const Recipe* recipe = nullptr;
    for (const Recipe& candidate : RECIPES) {
      if (std::strcmp(candidate.fileName, font.fileName) == 0) recipe = &candidate;
    }
    if (recipe == nullptr) return Fail(std::string("no recipe for ") + font.fileName);
    const Face& face = faces[recipe->face];
    // The Baekmuk faces are indexed by KS C 5601 row and cell, the rest by Unicode.
    bool unicodeFace = !(font.hangul && std::strcmp(recipe->face, "unifont") != 0);
    std::vector<const Pixels*> glyphs;
    if (!SourceGlyphs(font, face, unicodeFace, hangulCodes, glyphs, error)) return Fail(error);
    if (!MakeCells(font, *recipe, face, glyphs, allCells[font.fileName], error)) return Fail(error);
  }

  std::filesystem::path directory = args[1];
  std::error_code ignored;
  std::filesystem::create_directories(directory, ignored);
  for (const FontFile& font : FONT_FILES) {
    std::vector<uint8_t> bytes;
    for (const Pixels& cell : allCells[font.fileName]) AppendGlyph(cell, bytes);
    std::filesystem::path target = directory / font.fileName;
    std::ofstream out(target, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) return Fail("cannot write " + target.string());
  }
  if (!sheetPath.empty() && !DrawSheet(sheetPath, allCells, error)) return Fail(error);
  return 0;
}
