// Linux console fonts, PSF version 1 (8 pixels wide, 256 or 512 glyphs) and
// version 2, read through zlib so that the .psf.gz files of the console font
// packages need no separate unpacking step.
#include <zlib.h>

#include <cstring>

#include "tools/fonts/sources.h"

namespace fonts {

namespace {

constexpr uint8_t PSF1_MODE512 = 0x01;
constexpr uint8_t PSF1_MODEHASTAB = 0x02;
constexpr uint8_t PSF1_MODESEQ = 0x04;
constexpr uint32_t PSF2_HAS_UNICODE_TABLE = 0x01;
// A console font never comes near these; they bound what a corrupt header
// can make us allocate.
constexpr uint32_t PSF_MAX_GLYPHS = 65536;
constexpr uint32_t PSF_MAX_CELL = 64;
constexpr size_t PSF_MAX_FILE = 16u << 20;

bool ReadWhole(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  gzFile file = gzopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = "cannot read " + path;
    return false;
  }
  bytes.clear();
  uint8_t buffer[65536];
  for (;;) {
    int got = gzread(file, buffer, sizeof buffer);
    if (got < 0) {
      gzclose(file);
      error = path + ": damaged compressed data";
      return false;
    }
    if (got == 0) break;
    bytes.insert(bytes.end(), buffer, buffer + got);
    if (bytes.size() > PSF_MAX_FILE) {
      gzclose(file);
      error = path + ": too large for a console font";
      return false;
    }
  }
  gzclose(file);
  return true;
}

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// Decodes one UTF-8 sequence at bytes[at..end); 0 bytes used means invalid.
size_t DecodeUtf8(const std::vector<uint8_t>& bytes, size_t at, size_t end, uint32_t& code) {
  uint8_t lead = bytes[at];
  size_t length = lead < 0x80             ? 1
                  : (lead & 0xE0) == 0xC0 ? 2
                  : (lead & 0xF0) == 0xE0 ? 3
                  : (lead & 0xF8) == 0xF0 ? 4
                                          : 0;
  if (length == 0 || at + length > end) return 0;
  code = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((bytes[at + i] & 0xC0) != 0x80) return 0;
    code = code << 6 | (bytes[at + i] & 0x3F);
  }
  return length;
}

}  // namespace

bool ReadPsf(const std::string& path, Face& face, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadWhole(path, bytes, error)) return false;
  face = Face{};
  uint32_t glyphCount = 0, width = 0, height = 0, glyphSize = 0, headerSize = 0;
  bool hasTable = false, version2 = false;
  if (bytes.size() >= 4 && bytes[0] == 0x36 && bytes[1] == 0x04) {
    glyphCount = (bytes[2] & PSF1_MODE512) ? 512 : 256;
    hasTable = (bytes[2] & (PSF1_MODEHASTAB | PSF1_MODESEQ)) != 0;
    width = 8;
    height = glyphSize = bytes[3];
    headerSize = 4;
  } else if (bytes.size() >= 32 && Le32(&bytes[0]) == 0x864AB572) {
    version2 = true;
    headerSize = Le32(&bytes[8]);
    hasTable = (Le32(&bytes[12]) & PSF2_HAS_UNICODE_TABLE) != 0;
    glyphCount = Le32(&bytes[16]);
    glyphSize = Le32(&bytes[20]);
    height = Le32(&bytes[24]);
    width = Le32(&bytes[28]);
  } else {
    error = path + ": not a PSF console font";
    return false;
  }
  if (width < 1 || height < 1 || width > PSF_MAX_CELL || height > PSF_MAX_CELL || glyphCount < 1 ||
      glyphCount > PSF_MAX_GLYPHS || glyphSize != (width + 7) / 8 * height ||
      headerSize < (version2 ? 32u : 4u) || headerSize > bytes.size() ||
      (bytes.size() - headerSize) / glyphSize < glyphCount) {
    error = path + ": PSF header does not fit the file";
    return false;
  }
  face.width = static_cast<int>(width);
  face.height = static_cast<int>(height);
  // Console fonts put the baseline about three quarters down the cell.
  face.ascent = static_cast<int>(height - height / 4);

  auto glyphAt = [&](uint32_t index) {
    Pixels pixels(face.width, face.height);
    const uint8_t* glyph = &bytes[headerSize + static_cast<size_t>(index) * glyphSize];
    uint32_t rowBytes = (width + 7) / 8;
    for (uint32_t y = 0; y < height; ++y) {
      for (uint32_t x = 0; x < width; ++x)
        pixels.Set(static_cast<int>(x), static_cast<int>(y),
                   (glyph[y * rowBytes + x / 8] >> (7 - x % 8)) & 1);
    }
    return pixels;
  };

  if (!hasTable) {
    for (uint32_t index = 0; index < glyphCount; ++index) face.glyphs[index] = glyphAt(index);
    return true;
  }
  // The table lists, glyph by glyph, the code points it shows, then any
  // sequences (which a single-code-point lookup cannot use), then an end
  // mark. A code point claimed twice keeps its first glyph.
  size_t at = headerSize + static_cast<size_t>(glyphCount) * glyphSize;
  size_t end = bytes.size();
  for (uint32_t index = 0; index < glyphCount && at < end; ++index) {
    bool inSequence = false;
    for (;;) {
      if (version2) {
        if (at >= end) break;
        uint8_t byte = bytes[at];
        if (byte == 0xFF) {
          ++at;
          break;
        }
        if (byte == 0xFE) {
          inSequence = true;
          ++at;
          continue;
        }
        uint32_t code = 0;
        size_t used = DecodeUtf8(bytes, at, end, code);
        if (used == 0) {
          error = path + ": bad UTF-8 in the Unicode table";
          return false;
        }
        at += used;
        if (!inSequence && !face.glyphs.count(code)) face.glyphs[code] = glyphAt(index);
      } else {
        if (at + 2 > end) {
          at = end;
          break;
        }
        uint32_t code = uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8;
        at += 2;
        if (code == 0xFFFF) break;
        if (code == 0xFFFE) {
          inSequence = true;
          continue;
        }
        if (!inSequence && !face.glyphs.count(code)) face.glyphs[code] = glyphAt(index);
      }
    }
  }
  return true;
}

}  // namespace fonts
