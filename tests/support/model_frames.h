// Frames for the renderer's model tests: each as the model sees it (the
// bytes, and which pixels are opaque) and as the drawing routines get it (raw
// bytes or a run-length block), made at random; and the helpers around them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "formats/alpha.h"
#include "formats/rle.h"
#include "formats/sprite.h"
#include "support/cases.h"

namespace vantor_test {

// Every entry different from its neighbours, so a lookup at the wrong level,
// row or column shows.
inline void FillAlphaTable(uint32_t seed) {
  std::mt19937 random(seed);
  for (int i = 0; i < ALPHA_TABLE_SIZE; ++i) alphaTable[i] = static_cast<uint8_t>(random());
  AlphaTableChanged();
}

// A frame as the model sees it (which pixels are opaque, and their bytes)
// and as the blits get it (raw bytes or a run-length block).
struct Frame {
  int32_t width = 0, height = 0;
  bool compressed = false;
  std::vector<uint8_t> value, opaque;  // width x height when the sizes are positive
  std::vector<uint8_t> data;
};

inline void Put16(std::vector<uint8_t>* out, int v) {
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
}

inline Frame RawFrame(std::mt19937& random, int32_t w, int32_t h) {
  Frame f;
  f.width = w;
  f.height = h;
  if (w <= 0 || h <= 0) {
    f.data.assign(1, 1);  // never to be read
    return f;
  }
  const int clear = static_cast<int>(random() % 101);  // percentage of transparent pixels
  f.value.resize(size_t(w) * h);
  f.opaque.resize(f.value.size());
  for (size_t i = 0; i < f.value.size(); ++i) {
    f.value[i] = static_cast<int>(random() % 100) < clear ? 0 : static_cast<uint8_t>(1 + random() % 255);
    f.opaque[i] = f.value[i] != 0;
  }
  f.data = f.value;
  return f;
}

// Random runs, written the way a valid block may be: rows that end early or
// have no runs, stretches split at 255, zero bytes inside runs.
inline Frame RleFrame(std::mt19937& random, int32_t w, int32_t h) {
  Frame f;
  f.width = w;
  f.height = h;
  f.compressed = true;
  if (w <= 0 || h <= 0) {
    f.data.assign(4, 0);
    return f;
  }
  f.value.assign(size_t(w) * h, 0);
  f.opaque.assign(f.value.size(), 0);
  std::vector<uint8_t> rows;
  std::vector<int32_t> offsets;
  const int longRuns = static_cast<int>(random() % 2);
  for (int32_t r = 0; r < h; ++r) {
    offsets.push_back(static_cast<int32_t>(rows.size()));
    std::vector<uint8_t> record;
    int runs = 0;
    const bool empty = random() % 10 == 0;
    const bool endsEarly = random() % 4 == 0;
    int32_t covered = 0;
    while (!empty && covered < w && runs < 4 * w + 8) {
      const int32_t cap = longRuns ? 255 : 12;
      int32_t skip = static_cast<int32_t>(random() % (cap + 1));
      if (skip > w - covered) skip = w - covered;
      int32_t length = static_cast<int32_t>(random() % (cap + 1));
      if (length > w - covered - skip) length = w - covered - skip;
      record.push_back(static_cast<uint8_t>(skip));
      record.push_back(static_cast<uint8_t>(length));
      covered += skip;
      for (int32_t i = 0; i < length; ++i, ++covered) {
        const uint8_t byte = random() % 16 == 0 ? 0 : static_cast<uint8_t>(random());
        record.push_back(byte);
        f.value[size_t(r) * w + covered] = byte;
        f.opaque[size_t(r) * w + covered] = 1;
      }
      ++runs;
      if (endsEarly && random() % 3 == 0) break;
    }
    Put16(&rows, runs);
    rows.insert(rows.end(), record.begin(), record.end());
  }
  for (int32_t offset : offsets) {
    const int32_t at = offset + 4 * h;
    for (int k = 0; k < 4; ++k) f.data.push_back(static_cast<uint8_t>(at >> (8 * k)));
  }
  f.data.insert(f.data.end(), rows.begin(), rows.end());
  EXPECT_EQ(ValidateRleBlock(f.data.data(), int64_t(f.data.size()), w, h), RLE_OK);
  return f;
}

// A one-frame record over `data` (raw pixels or a run-length block), as the
// drawing routines get a frame.
inline SpriteFrame Sprite(int32_t w, int32_t h, bool compressed, const std::vector<uint8_t>& data) {
  SpriteFrame s{};
  s.frameCount = 1;
  s.compressed = compressed;
  s.width = w;
  s.height = h;
  s.dataSize = int32_t(data.size());
  s.pixels = const_cast<uint8_t*>(data.data());
  return s;
}

inline SpriteFrame AsSprite(const Frame& f) { return Sprite(f.width, f.height, f.compressed, f.data); }

inline int64_t FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return int64_t(i);
  }
  return -1;
}

}  // namespace vantor_test
