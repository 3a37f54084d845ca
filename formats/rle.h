// Checking run-length frame blocks once, when they are loaded, so that the
// renderers can draw them without a single bounds test.
//
// The block of a frame W pixels wide and H rows high (little-endian):
//   rowOffsets: H signed 32-bit offsets from the block's first byte, entry r
//     pointing at row r's record;
//   row records, contiguous and in row order: an unsigned 16-bit runCount,
//     then runCount runs of (skip, length, `length` pixel bytes), skip and
//     length unsigned bytes.
//
// A block that ValidateRleBlock accepts promises, for every row r:
//   - rowOffsets lies inside the block, and so does rowOffsets[r];
//   - the row's record (its count, every run header and every run's pixels)
//     lies wholly inside the block;
//   - rowOffsets[r + 1] is the first byte after row r's record, so reading
//     rows one after another from any row's offset, or looking each one up,
//     find the same records;
//   - runCount is at most RLE_MAX_RUNS, and the skips and lengths of the row
//     add up to at most W: no run reaches past the frame's right edge.
// A row whose runs end before W, or with no runs at all, is accepted: the
// rest of the row is simply transparent.
#pragma once

#include <cstddef>
#include <cstdint>

// Why a block was refused.
constexpr int32_t RLE_OK = 1;
constexpr int32_t RLE_BAD_SIZE = -1;       // negative width or height, or no block with rows to hold
constexpr int32_t RLE_NO_TABLE = -2;       // the block is too small for H row offsets
constexpr int32_t RLE_BAD_OFFSET = -3;     // a row offset points outside the block
constexpr int32_t RLE_OUT_OF_ORDER = -4;   // a row does not start where the previous one ended
constexpr int32_t RLE_CUT_SHORT = -5;      // a row's count, a run header or a run's pixels pass the end
constexpr int32_t RLE_TOO_MANY_RUNS = -6;  // runCount above RLE_MAX_RUNS
constexpr int32_t RLE_TOO_WIDE = -7;       // a row's skips and lengths add up to more than W

constexpr int32_t RLE_MAX_RUNS = 32767;

// `size` is the block's byte count. Returns RLE_OK or the first reason found.
int32_t ValidateRleBlock(const uint8_t* block, int64_t size, int32_t width, int32_t height);

// Row r's offset from an accepted block's table (little-endian, any alignment).
inline int32_t RleRowOffset(const uint8_t* block, int32_t row) {
  const uint8_t* entry = block + int64_t{row} * 4;
  return static_cast<int32_t>(uint32_t{entry[0]} | uint32_t{entry[1]} << 8 | uint32_t{entry[2]} << 16 |
                              uint32_t{entry[3]} << 24);
}
