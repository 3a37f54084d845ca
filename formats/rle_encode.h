// Writing and reading back run-length frame blocks (layout in formats/rle.h).
//
// The encoder writes the canonical form the blits rely on: every row has at
// least one run; a row's skips and lengths add up to exactly its width, with
// trailing transparency as a last run of length 0; a transparent stretch
// longer than 255 pixels is split over several length-0 runs and an opaque
// stretch longer than 255 over several runs whose later skips are 0; runs
// hold exactly the non-zero pixels; rows follow each other in order with
// every row offset filled in.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/rle.h"  // DecodeRleFrame's results

// Encodes `height` rows of `width` palette indices (row-major, top row
// first, 0 transparent). Sizes must lie within 0..SPRITE_SIDE_MAX, which
// keeps every row far below RLE_MAX_RUNS runs; other sizes, or a null
// `pixels` with a non-empty frame, give an empty block. A frame with no rows
// also encodes as an empty block, which is its correct (and only) form.
std::vector<uint8_t> EncodeRleFrame(const uint8_t* pixels, int32_t width, int32_t height);

// Decodes a block into width x height indices (transparent pixels 0). The
// block is checked with ValidateRleBlock first and its result returned;
// `pixels` is only written when it is RLE_OK.
int32_t DecodeRleFrame(const uint8_t* block, int64_t size, int32_t width, int32_t height,
                       std::vector<uint8_t>* pixels);
