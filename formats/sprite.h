// Sprite files: the frames of one sprite, raw or run-length encoded, loaded
// into a caller-owned array of SpriteFrame records (a sprite set).
//
// File layout, little-endian, signed:
//   header (20 bytes): "SOLVAREsprite" (13 bytes, no terminator), 4 reserved
//     bytes, a compressed flag byte (0 raw, else run-length), a 16-bit frame
//     count;
//   per frame: a 24-byte record (ten 16-bit fields offsetX, offsetY, width,
//     height, centerX, centerY, left, top, right, bottom, then a 32-bit
//     dataSize) followed at once by dataSize bytes of frame data.
// Raw data is width x height palette indices, rows top to bottom, index 0
// transparent. Run-length data is the block checked by formats/rle.h.
//
// Every frame the loader accepts can be drawn without further checks:
// sizes are within 0..SPRITE_SIDE_MAX, a raw frame holds at least
// width x height bytes, and a run-length block has passed ValidateRleBlock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/pack.h"

// LoadSprite results.
constexpr int32_t SPRITE_OK = 1;
constexpr int32_t SPRITE_NOT_LOADED = 0;  // pack not open, file or entry missing, wrong magic
constexpr int32_t SPRITE_NO_MEMORY = -3;
constexpr int32_t SPRITE_DAMAGED = -4;          // cut short, impossible sizes, or run-length data
                                                // that does not hold together
constexpr int32_t SPRITE_TOO_MANY_FRAMES = -5;  // more frames than the array holds

constexpr int32_t SPRITE_HEADER_SIZE = 20;
constexpr int32_t SPRITE_RECORD_SIZE = 24;
constexpr int32_t SPRITE_MAGIC_SIZE = 13;
extern const char SPRITE_MAGIC[SPRITE_MAGIC_SIZE + 1];
// Frames wider or higher than this are refused as damaged.
constexpr int32_t SPRITE_SIDE_MAX = 8192;

struct SpriteFrame {
  int32_t frameCount;  // the file's frame count, in every frame of the set
  int32_t compressed;  // the file's flag: 0 raw, else run-length
  int32_t offsetX;
  int32_t offsetY;
  int32_t width;
  int32_t height;
  int32_t centerX;
  int32_t centerY;
  int32_t left;
  int32_t top;
  int32_t right;   // inclusive
  int32_t bottom;  // inclusive
  int32_t dataSize;
  uint8_t* pixels;  // owned, dataSize bytes as stored in the file
};

// The header and one frame record, as read from a file.
struct SpriteFileHeader {
  int32_t compressed;
  int32_t frameCount;  // may be negative in a file; such a file holds no frames
};
bool ParseSpriteHeader(const uint8_t bytes[SPRITE_HEADER_SIZE], SpriteFileHeader* header);  // false: no magic
// Fills the ten geometry fields and dataSize of `frame`; the rest is left.
void ParseSpriteRecord(const uint8_t bytes[SPRITE_RECORD_SIZE], SpriteFrame* frame);
// Whether a record's sizes are possible: width and height 0..SPRITE_SIDE_MAX,
// dataSize 0..bytesLeft (what the file or entry still holds after the
// record), and for raw frames at least width x height.
bool SpriteRecordFits(const SpriteFrame& frame, int32_t compressed, int64_t bytesLeft);

// Loads `fileName` into frames[0 .. frameCount - 1]. With a pack the name is
// looked up in it (a pack that is not open gives 0 without touching the
// disk); with none it is a plain file. The bytes a pack entry may hold are
// bounded by PackEntryLength when our packer recorded it, else by the end of
// the pack file.
//
// Returns 1, or SPRITE_NOT_LOADED, SPRITE_NO_MEMORY, SPRITE_DAMAGED,
// SPRITE_TOO_MANY_FRAMES (a file with more frames than `capacity` is refused
// whole). On any failure nothing this call loaded is kept and every element
// of the array is as it was before. A file with a frame count of 0 or less
// loads with 1 and fills nothing. On success elements 0 .. frameCount - 1
// are overwritten: free a set before loading into it again.
int LoadSprite(const char* fileName, SpriteFrame* frames, int32_t capacity, ResourcePack* pack);

// Frees the pixels of frames i for i below element 0's frameCount and below
// `capacity`, clearing the pointers; frameCount is left. Harmless on a set
// that never loaded and when called twice.
void FreeSprite(SpriteFrame* frames, int32_t capacity);

// The same for a set whose array type gives its capacity.
template <size_t N>
int LoadSprite(const char* fileName, SpriteFrame (&frames)[N], ResourcePack* pack) {
  return LoadSprite(fileName, frames, static_cast<int32_t>(N), pack);
}
template <size_t N>
void FreeSprite(SpriteFrame (&frames)[N]) {
  FreeSprite(frames, static_cast<int32_t>(N));
}
