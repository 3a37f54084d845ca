// The stricter form our encoder promises beyond what ValidateRleBlock
// accepts: every row has a run, covers its width exactly, and stores no
// transparent pixel inside a run.
#pragma once

#include <cstdint>
#include <string>

#include "formats/rle.h"

// An empty string when the block is canonical, else what is wrong.
inline std::string CanonicalRleFault(const uint8_t* block, int64_t size, int32_t width, int32_t height) {
  const int32_t valid = ValidateRleBlock(block, size, width, height);
  if (valid != RLE_OK) return "refused by ValidateRleBlock: " + std::to_string(valid);
  if (height == 0) return size == 0 ? "" : "bytes in a block without rows";
  int64_t position = RleRowOffset(block, 0);
  if (position != int64_t{height} * 4) return "rows do not start right after the offsets";
  for (int32_t r = 0; r < height; ++r) {
    const std::string row = "row " + std::to_string(r) + ": ";
    const int32_t runCount = block[position] | block[position + 1] << 8;
    position += 2;
    if (runCount < 1) return row + "no runs";
    int32_t covered = 0;
    for (int32_t run = 0; run < runCount; ++run) {
      const int32_t skip = block[position], length = block[position + 1];
      position += 2;
      for (int32_t i = 0; i < length; ++i)
        if (block[position + i] == 0) return row + "transparent pixel inside a run";
      // An empty run is only for transparency that one skip cannot hold or
      // that ends the row; anything else wastes bytes and time.
      if (length == 0 && skip == 0 && width > 0) return row + "empty run";
      if (length == 0 && skip < 255 && run + 1 < runCount)
        return row + "short empty run before the row's end";
      position += length;
      covered += skip + length;
    }
    if (covered != width) return row + "covers " + std::to_string(covered) + " of " + std::to_string(width);
  }
  if (position != size) return "bytes after the last row";
  return "";
}
