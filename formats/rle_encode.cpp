#include "formats/rle_encode.h"

#include <algorithm>

#include "formats/rle.h"
#include "formats/sprite.h"

namespace {

constexpr int32_t RUN_MAX = 255;

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Appends one row's record and returns its run count.
int32_t EncodeRow(const uint8_t* row, int32_t width, std::vector<uint8_t>& out) {
  const size_t countAt = out.size();
  out.push_back(0), out.push_back(0);
  int32_t runs = 0;
  int32_t x = 0;
  while (x < width) {
    int32_t skip = 0;
    while (x + skip < width && row[x + skip] == 0) ++skip;
    x += skip;
    // Transparency longer than one skip byte holds goes out as empty runs.
    while (skip > RUN_MAX) {
      out.push_back(RUN_MAX), out.push_back(0), ++runs;
      skip -= RUN_MAX;
    }
    int32_t length = 0;
    while (x + length < width && row[x + length] != 0) ++length;
    // Long opaque stretches continue in runs that skip nothing.
    do {
      const int32_t piece = std::min(length, RUN_MAX);
      out.push_back(static_cast<uint8_t>(skip)), out.push_back(static_cast<uint8_t>(piece));
      out.insert(out.end(), row + x, row + x + piece);
      ++runs;
      x += piece, length -= piece, skip = 0;
    } while (length > 0);
  }
  // A row of width 0 still needs its one (empty) run.
  if (runs == 0) out.push_back(0), out.push_back(0), runs = 1;
  out[countAt] = static_cast<uint8_t>(runs), out[countAt + 1] = static_cast<uint8_t>(runs >> 8);
  return runs;
}

}  // namespace

std::vector<uint8_t> EncodeRleFrame(const uint8_t* pixels, int32_t width, int32_t height) {
  std::vector<uint8_t> block;
  if (width < 0 || height < 0 || width > SPRITE_SIDE_MAX || height > SPRITE_SIDE_MAX) return block;
  if (height == 0) return block;
  if (pixels == nullptr && width > 0) return block;
  block.resize(size_t{4} * height);
  for (int32_t r = 0; r < height; ++r) {
    Put32(block, size_t{4} * r, static_cast<uint32_t>(block.size()));
    // At most width / 2 + 1 runs fit a row, far below RLE_MAX_RUNS.
    EncodeRow(pixels == nullptr ? nullptr : pixels + int64_t{r} * width, width, block);
  }
  return block;
}

int32_t DecodeRleFrame(const uint8_t* block, int64_t size, int32_t width, int32_t height,
                       std::vector<uint8_t>* pixels) {
  const int32_t check = ValidateRleBlock(block, size, width, height);
  if (check != RLE_OK || pixels == nullptr) return check;
  pixels->assign(size_t(width) * size_t(height), 0);
  if (height == 0) return RLE_OK;
  int64_t position = RleRowOffset(block, 0);
  for (int32_t r = 0; r < height; ++r) {
    const int32_t runCount = block[position] | block[position + 1] << 8;
    position += 2;
    int32_t x = 0;
    uint8_t* row = pixels->data() + int64_t{r} * width;
    for (int32_t run = 0; run < runCount; ++run) {
      const int32_t skip = block[position], length = block[position + 1];
      position += 2;
      x += skip;
      std::copy(block + position, block + position + length, row + x);
      x += length, position += length;
    }
  }
  return RLE_OK;
}
