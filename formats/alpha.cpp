#include "formats/alpha.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

const char ALPHA_TAG[11] = {'A', 'l', 'p', 'h', 'a', ' ', 'T', 'a', 'b', 'l', 'e'};

uint8_t alphaTable[ALPHA_TABLE_SIZE];
namespace {
alignas(64) uint8_t rowsByDrawn[ALPHA_TABLE_SIZE];
}  // namespace
int32_t searchFirst = 0;
int32_t searchLast = 255;

namespace {

// Loads land here first, so a short file never leaves a half-replaced table.
uint8_t loadScratch[ALPHA_TABLE_SIZE];

void WriteHeader(uint8_t* header) {
  std::memset(header, 0, ALPHA_HEADER_SIZE);
  std::memcpy(header, ALPHA_TAG, sizeof ALPHA_TAG);
  header[16] = ALPHA_LEVELS;
  for (int i = 0; i < 4; ++i) header[20 + i] = static_cast<uint8_t>(uint32_t{ALPHA_TABLE_SIZE} >> (8 * i));
}

// Pushes the written bytes to the disk before the rename makes them the cache.
bool FlushToDisk(FILE* file) {
  if (std::fflush(file) != 0) return false;
#if defined(_WIN32)
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

bool ReplaceFile(const char* from, const char* to) {
#if defined(_WIN32)
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  return std::rename(from, to) == 0;
#endif
}

int Component(int32_t value) { return std::clamp(value, 0, 255); }

}  // namespace

const uint8_t* AlphaRowsByDrawn(int32_t level) { return rowsByDrawn + level * 65536; }

void AlphaTableChanged() {
  // Transposed in 16 x 16 tiles, so that both sides of a tile stay in the
  // first-level cache.
  for (int level = 0; level < ALPHA_LEVELS; ++level) {
    const uint8_t* from = alphaTable + level * 65536;
    uint8_t* to = rowsByDrawn + level * 65536;
    for (int back = 0; back < 256; back += 16) {
      for (int fore = 0; fore < 256; fore += 16) {
        for (int b = back; b < back + 16; ++b) {
          for (int f = fore; f < fore + 16; ++f) to[f * 256 + b] = from[b * 256 + f];
        }
      }
    }
  }
}

bool AlphaRowsInStep(int32_t level) {
  const uint8_t* from = alphaTable + level * 65536;
  const uint8_t* rows = rowsByDrawn + level * 65536;
  // Both multipliers are odd, so over the 256 samples the background and the
  // foreground each take every value once.
  for (int k = 0; k < 256; ++k) {
    const int back = k * 61 & 255, fore = (k * 167 + 13) & 255;
    if (rows[fore * 256 + back] != from[back * 256 + fore]) return false;
  }
  return true;
}

int LoadAlphaTable(const char* fileName) {
  if (fileName == nullptr) return ALPHA_NO_FILE;
  FILE* file = std::fopen(fileName, "rb");
  if (file == nullptr) return ALPHA_NO_FILE;

  uint8_t header[ALPHA_HEADER_SIZE];
  size_t got = std::fread(header, 1, sizeof header, file);
  if (got < sizeof ALPHA_TAG && std::ferror(file)) {
    std::fclose(file);  // a directory, say: opens, but nothing can be read
    return ALPHA_NO_FILE;
  }
  if (got < sizeof ALPHA_TAG || std::memcmp(header, ALPHA_TAG, sizeof ALPHA_TAG) != 0) {
    std::fclose(file);
    return ALPHA_BAD_TAG;
  }
  if (got < sizeof header) {
    std::fclose(file);
    return ALPHA_TRUNCATED;
  }
  size_t tableBytes = std::fread(loadScratch, 1, sizeof loadScratch, file);
  std::fclose(file);
  if (tableBytes < sizeof loadScratch) return ALPHA_TRUNCATED;
  std::memcpy(alphaTable, loadScratch, sizeof alphaTable);
  AlphaTableChanged();
  return ALPHA_OK;
}

int SaveAlphaTable(const char* fileName) {
  if (fileName == nullptr || fileName[0] == '\0') return ALPHA_NO_FILE;
  const std::string temporary = std::string(fileName) + ".tmp";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return ALPHA_NO_FILE;

  uint8_t header[ALPHA_HEADER_SIZE];
  WriteHeader(header);
  bool written = std::fwrite(header, 1, sizeof header, file) == sizeof header &&
                 std::fwrite(alphaTable, 1, sizeof alphaTable, file) == sizeof alphaTable &&
                 FlushToDisk(file);
  written = std::fclose(file) == 0 && written;
  if (!written || !ReplaceFile(temporary.c_str(), fileName)) {
    std::remove(temporary.c_str());
    return ALPHA_NO_FILE;
  }
  return ALPHA_OK;
}

int NearestColor(int32_t red, int32_t green, int32_t blue, const uint8_t* palette) {
  if (palette == nullptr) return 0;
  red = Component(red);
  green = Component(green);
  blue = Component(blue);
  int bestDistance = 1000;
  int choice = 0;  // what an empty range gives
  for (int index = 0; index < 256; ++index) {
    const uint8_t* entry = palette + 4 * index;
    int dRed = std::abs(red - entry[2]);
    int dGreen = std::abs(green - entry[1]);
    int dBlue = std::abs(blue - entry[0]);
    int distance = dRed + dGreen + dBlue + std::max({dRed, dGreen, dBlue}) - std::min({dRed, dGreen, dBlue});
    if (distance < bestDistance && index >= searchFirst && index <= searchLast) {
      bestDistance = distance;
      choice = index;
    }
  }
  return choice;
}

int BlendColor(uint8_t background, uint8_t foreground, const uint8_t* palette, int32_t level) {
  if (palette == nullptr) return 0;
  level = std::clamp(level, 0, ALPHA_LEVELS - 1);
  const uint8_t* back = palette + 4 * background;
  const uint8_t* fore = palette + 4 * foreground;
  int mix[3];
  for (int c = 0; c < 3; ++c) mix[c] = (fore[c] * (8 - level) + back[c] * level) / 8;
  return NearestColor(mix[2], mix[1], mix[0], palette);
}

void BuildAlphaTableExhaustive(const uint8_t* palette, int32_t first, int32_t last) {
  if (palette == nullptr) return;
  searchFirst = first;
  searchLast = last;
  uint8_t* entry = alphaTable;
  for (int level = 0; level < ALPHA_LEVELS; ++level) {
    for (int background = 0; background < 256; ++background) {
      for (int foreground = 0; foreground < 256; ++foreground) {
        *entry++ = static_cast<uint8_t>(
            BlendColor(static_cast<uint8_t>(background), static_cast<uint8_t>(foreground), palette, level));
      }
    }
  }
  AlphaTableChanged();
}
