// Builders for the files the format tests need, and a small run-length
// encoder and decoder written from the format description (test-only; they
// share no code with the loaders).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/cases.h"

namespace format_files {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

using vantor_test::Cases;

inline void Put(Bytes& bytes, size_t at, uint32_t value, int size = 4) {
  for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}
inline void Append(Bytes& bytes, uint32_t value, int size) {
  bytes.resize(bytes.size() + size);
  Put(bytes, bytes.size() - size, value, size);
}

inline void WriteFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}
inline Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A fresh directory per test. With VANTOR_WRITE_SEEDS set to a directory,
// the files that tests name as fuzz seeds are also written into
// <that directory>/<target> (tests/fuzz/corpus refreshes the fuzzers' seeds).
inline fs::path TestDir() {
  fs::path dir =
      fs::path(::testing::TempDir()) / ("formats_" + std::to_string(getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::create_directories(dir);
  return dir;
}
inline void MaybeWriteSeed(const char* target, const char* name, const Bytes& bytes) {
  const char* root = std::getenv("VANTOR_WRITE_SEEDS");
  if (root == nullptr || *root == 0) return;
  fs::path dir = fs::path(root) / target;
  fs::create_directories(dir);
  WriteFile(dir / name, bytes);
}

// A picture, top row first, and how to store it as a BMP file.
struct Picture {
  int32_t width = 0, height = 0;
  Bytes pixels;
  Bytes palette = Bytes(1024);
};
struct BmpLayout {
  uint32_t infoSize = 40;
  uint32_t gap = 0;  // bytes between the colour table and the pixels
  bool topDown = false;
  uint16_t bitCount = 8;
  uint32_t colorsUsed = 0;
  uint32_t compression = 0;
};

// Rows padded to 4 bytes, as BMP writers do.
inline Bytes BmpFile(const Picture& picture, const BmpLayout& layout = {}) {
  const uint32_t stride = (picture.width + 3) & ~3u, pixelStart = 14 + layout.infoSize + 1024 + layout.gap;
  Bytes bytes(pixelStart + size_t{stride} * picture.height, 0);
  bytes[0] = 'B';
  bytes[1] = 'M';
  Put(bytes, 10, pixelStart);
  Put(bytes, 14, layout.infoSize);
  Put(bytes, 18, picture.width);
  Put(bytes, 22, layout.topDown ? -picture.height : picture.height);
  Put(bytes, 28, layout.bitCount, 2);
  Put(bytes, 30, layout.compression);
  Put(bytes, 46, layout.colorsUsed);
  std::copy(picture.palette.begin(), picture.palette.end(), bytes.begin() + 14 + layout.infoSize);
  for (int32_t y = 0; y < picture.height; ++y) {
    int32_t stored = layout.topDown ? y : picture.height - 1 - y;
    std::copy_n(picture.pixels.begin() + y * picture.width, picture.width,
                bytes.begin() + pixelStart + stored * stride);
  }
  return bytes;
}

struct FrameSpec {
  int16_t fields[10] = {};  // offsetX, offsetY, width, height, centerX, centerY, left, top, right, bottom
  Bytes data;
  int64_t dataSize = -1;  // -1: data.size(); anything else is written as given
};
inline FrameSpec Frame(int16_t width, int16_t height, Bytes data, int64_t dataSize = -1) {
  FrameSpec frame{{0, 0, width, height}, std::move(data), dataSize};
  return frame;
}

inline Bytes SpriteFile(bool compressed, const std::vector<FrameSpec>& frames, int32_t frameCount = -1) {
  Bytes bytes = {'S', 'O', 'L', 'V', 'A', 'R', 'E', 's', 'p', 'r', 'i', 't', 'e', 0xA5, 0xA5, 0xA5, 0xA5};
  bytes.push_back(compressed ? 1 : 0);
  Append(bytes, frameCount >= 0 ? frameCount : static_cast<int32_t>(frames.size()), 2);
  for (const FrameSpec& frame : frames) {
    for (int16_t field : frame.fields) Append(bytes, static_cast<uint16_t>(field), 2);
    Append(bytes, static_cast<uint32_t>(frame.dataSize != -1 ? frame.dataSize : frame.data.size()), 4);
    bytes.insert(bytes.end(), frame.data.begin(), frame.data.end());
  }
  return bytes;
}

// Each row's non-zero pixels as runs, stretches split at 255, trailing
// transparency as a final empty run.
inline Bytes EncodeRle(const Bytes& pixels, int32_t width, int32_t height) {
  Bytes block(size_t{4} * height, 0);
  for (int32_t y = 0; y < height; ++y) {
    Put(block, size_t{4} * y, static_cast<uint32_t>(block.size()));
    size_t countAt = block.size();
    Append(block, 0, 2);
    int runs = 0;
    for (int32_t x = 0; x < width; ++runs) {
      int skip = 0, length = 0;
      while (x < width && pixels[y * width + x] == 0 && skip < 255) ++skip, ++x;
      block.insert(block.end(), {uint8_t(skip), 0});
      size_t lengthAt = block.size() - 1;
      while (x < width && pixels[y * width + x] != 0 && length < 255)
        block.push_back(pixels[y * width + x++]), ++length;
      block[lengthAt] = static_cast<uint8_t>(length);
    }
    Put(block, countAt, runs, 2);
  }
  return block;
}

// Reads a block as the unscaled blits do: row 0 through the table, then row
// after row. Every read is bounds-checked (vector::at throws, failing the test).
inline Bytes DecodeRle(const Bytes& block, int32_t width, int32_t height) {
  Bytes pixels(size_t(width) * height, 0);
  size_t p = height > 0 ? block.at(0) | block.at(1) << 8 | block.at(2) << 16 | block.at(3) << 24 : 0;
  for (int32_t y = 0; y < height; ++y) {
    int runs = block.at(p) | block.at(p + 1) << 8, x = 0;
    for (p += 2; runs > 0; --runs) {
      x += block.at(p);
      int length = block.at(p + 1);
      for (p += 2; length > 0; --length) {
        if (x >= width) throw std::out_of_range("run past the width");
        pixels[size_t(y) * width + x++] = block.at(p++);
      }
    }
  }
  return pixels;
}

// The 8 x 2 example: row 0 is 0 0 5 6 0 0 0 7, row 1 is 1 0 0 0 0 0 0 0.
inline Bytes ExampleBlock() {
  return {8, 0, 0, 0, 17, 0, 0, 0, 2, 0, 2, 2, 5, 6, 3, 1, 7, 2, 0, 0, 1, 1, 7, 0};
}

}  // namespace format_files
