// Sprite files from arbitrary bytes, and the run-length validator on its own.
// Every frame a successful load hands over is then read the way the
// renderers read it, with each read checked against the frame's block: the
// loader's promise is that none of these checks can fire.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "formats/rle.h"
#include "formats/sprite.h"

namespace {

struct ScratchFile {
  std::string path = "/tmp/fuzz_sprite_" + std::to_string(getpid()) + ".spr";
  ~ScratchFile() { std::remove(path.c_str()); }
};

const std::string& TempPath() {
  static const ScratchFile scratch;
  return scratch.path;
}

uint8_t At(const uint8_t* block, int64_t size, int64_t index) {
  if (index < 0 || index >= size) __builtin_trap();
  return block[index];
}

// The unscaled blits: one table lookup for the first row drawn, then row
// after row. The scaled blits: a lookup per row. Both must agree.
unsigned WalkRle(const uint8_t* block, int64_t size, int32_t width, int32_t height) {
  unsigned sum = 0;
  for (int32_t first = 0; first < height; first += 1 + first / 2) {
    int64_t p = RleRowOffset(block, first);
    for (int32_t row = first; row < height; ++row) {
      if (p != RleRowOffset(block, row)) __builtin_trap();
      int runs = At(block, size, p) | At(block, size, p + 1) << 8;
      p += 2;
      int32_t x = 0;
      for (int r = 0; r < runs; ++r) {
        x += At(block, size, p);
        int length = At(block, size, p + 1);
        p += 2;
        for (int i = 0; i < length; ++i) sum += At(block, size, p++);
        x += length;
        if (x > width) __builtin_trap();
      }
    }
  }
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  unsigned sum = 0;
  // The validator straight on the input: a width and height, then the block.
  if (size >= 3) {
    int32_t width = data[0] * 3;
    int32_t height = data[1] % 64;
    if (ValidateRleBlock(data + 2, int64_t(size - 2), width, height) == RLE_OK)
      sum += WalkRle(data + 2, int64_t(size - 2), width, height);
  }

  FILE* file = std::fopen(TempPath().c_str(), "wb");
  if (file == nullptr) return 0;
  if (size > 0) std::fwrite(data, 1, size, file);
  std::fclose(file);

  constexpr int32_t CAPACITY = 8;
  SpriteFrame frames[CAPACITY + 1] = {};
  frames[CAPACITY].frameCount = 12345;  // must never be written
  int result = LoadSprite(TempPath().c_str(), frames, CAPACITY, nullptr);
  if (frames[CAPACITY].frameCount != 12345) __builtin_trap();
  if (result != SPRITE_OK) {
    for (const SpriteFrame& frame : frames)
      if (frame.pixels != nullptr) __builtin_trap();
    return 0;
  }
  for (int32_t i = 0; i < frames[0].frameCount && i < CAPACITY; ++i) {
    const SpriteFrame& frame = frames[i];
    if (frame.width < 0 || frame.height < 0 || frame.dataSize < 0 || frame.pixels == nullptr)
      __builtin_trap();
    if (frame.compressed != 0) {
      sum += WalkRle(frame.pixels, frame.dataSize, frame.width, frame.height);
    } else {
      int64_t pixels = int64_t{frame.width} * frame.height;
      for (int64_t p = 0; p < pixels; ++p) sum += At(frame.pixels, frame.dataSize, p);
    }
  }
  FreeSprite(frames, CAPACITY);
  for (const SpriteFrame& frame : frames)
    if (frame.pixels != nullptr) __builtin_trap();
  return static_cast<int>(sum & 0);
}
