#include "formats/rle.h"

int32_t ValidateRleBlock(const uint8_t* block, int64_t size, int32_t width, int32_t height) {
  if (width < 0 || height < 0 || size < 0) return RLE_BAD_SIZE;
  if (height == 0) return RLE_OK;  // nothing is ever read
  if (block == nullptr) return RLE_BAD_SIZE;
  if (int64_t{height} * 4 > size) return RLE_NO_TABLE;

  int64_t position = RleRowOffset(block, 0);
  if (position < 0 || position >= size) return RLE_BAD_OFFSET;
  for (int32_t row = 0; row < height; ++row) {
    if (row > 0) {
      int64_t offset = RleRowOffset(block, row);
      if (offset < 0 || offset >= size) return RLE_BAD_OFFSET;
      // The unscaled blits walk on from the previous row; the scaled ones
      // look this entry up. Both must land on the same record.
      if (offset != position) return RLE_OUT_OF_ORDER;
    }
    if (position + 2 > size) return RLE_CUT_SHORT;
    const int32_t runCount = block[position] | block[position + 1] << 8;
    position += 2;
    if (runCount > RLE_MAX_RUNS) return RLE_TOO_MANY_RUNS;
    int64_t covered = 0;
    for (int32_t run = 0; run < runCount; ++run) {
      if (position + 2 > size) return RLE_CUT_SHORT;
      const int32_t skip = block[position];
      const int32_t length = block[position + 1];
      position += 2;
      covered += skip + length;
      if (covered > width) return RLE_TOO_WIDE;
      if (position + length > size) return RLE_CUT_SHORT;
      position += length;
    }
  }
  return RLE_OK;
}
