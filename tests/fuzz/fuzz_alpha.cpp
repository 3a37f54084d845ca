// The alpha table from arbitrary bytes. The first byte picks what the rest is:
//   even: a cache file for LoadAlphaTable, which must either take the table
//         exactly as stored or leave the one in memory untouched;
//   odd:  a palette (1024 bytes, zero-filled when short) and two range bytes
//         for BuildAlphaTable, whose entries must match the plain search.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "formats/alpha.h"

namespace {

// One scratch file per process, removed when the fuzzer exits.
struct ScratchFile {
  std::string path = "/tmp/fuzz_alpha_" + std::to_string(getpid()) + ".alp";
  ~ScratchFile() { std::remove(path.c_str()); }
};

const std::string& TempPath() {
  static const ScratchFile scratch;
  return scratch.path;
}

void CheckLoad(const uint8_t* data, size_t size) {
  FILE* file = std::fopen(TempPath().c_str(), "wb");
  if (file == nullptr) return;
  if (size > 0) std::fwrite(data, 1, size, file);
  std::fclose(file);

  for (int i = 0; i < ALPHA_TABLE_SIZE; ++i) alphaTable[i] = static_cast<uint8_t>(i * 7);
  AlphaTableChanged();
  const int result = LoadAlphaTable(TempPath().c_str());
  const bool whole = size >= size_t{ALPHA_HEADER_SIZE} + ALPHA_TABLE_SIZE;
  const bool tagged = size >= 11 && std::memcmp(data, "Alpha Table", 11) == 0;
  if (result != (!tagged ? ALPHA_BAD_TAG : whole ? ALPHA_OK : ALPHA_TRUNCATED)) __builtin_trap();
  for (int i = 0; i < ALPHA_TABLE_SIZE; ++i) {
    const uint8_t expected = result == ALPHA_OK ? data[ALPHA_HEADER_SIZE + i] : static_cast<uint8_t>(i * 7);
    if (alphaTable[i] != expected) __builtin_trap();
  }
}

void CheckBuild(const uint8_t* data, size_t size) {
  uint8_t palette[1024] = {};
  std::memcpy(palette, data, size < sizeof palette ? size : sizeof palette);
  // Ranges reach a little past both ends of the palette.
  const int32_t first = size > 1024 ? int32_t{data[1024]} - 8 : 1;
  const int32_t last = size > 1025 ? int32_t{data[1025]} + 8 : 254;
  BuildAlphaTable(palette, first, last);
  if (searchFirst != first || searchLast != last) __builtin_trap();
  // A spread of entries against the plain search, every level and index met.
  uint32_t pick = 2166136261u;
  for (size_t i = 0; i < size; ++i) pick = (pick ^ data[i]) * 16777619u;
  for (int n = 0; n < 96; ++n) {
    pick = pick * 1103515245u + 12345u;
    const int level = n % ALPHA_LEVELS;
    const int background = static_cast<int>(pick >> 8 & 0xFF);
    const int foreground = static_cast<int>((pick >> 16 & 0xFF) ^ (n & 0xFF));
    const int plain =
        BlendColor(static_cast<uint8_t>(background), static_cast<uint8_t>(foreground), palette, level);
    if (alphaTable[level * 65536 + background * 256 + foreground] != plain) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (data[0] % 2 == 0) {
    CheckLoad(data + 1, size - 1);
  } else {
    CheckBuild(data + 1, size - 1);
  }
  return 0;
}
