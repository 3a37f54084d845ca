#include "formats/sprite.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "formats/rle.h"

const char SPRITE_MAGIC[SPRITE_MAGIC_SIZE + 1] = "SOLVAREsprite";

namespace {

int32_t ReadS16(const uint8_t* bytes) { return static_cast<int16_t>(bytes[0] | bytes[1] << 8); }

int32_t ReadS32(const uint8_t* bytes) {
  return static_cast<int32_t>(uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
                              uint32_t{bytes[3]} << 24);
}

// A sprite file's bytes, from a pack entry or a plain file, with what they
// can still hold: reads never go past that, so a frame size is checked
// against it before anything is allocated.
class SpriteSource {
 public:
  ~SpriteSource() { Close(); }

  bool Open(const char* fileName, ResourcePack* pack) {
    if (pack != nullptr) {
      // A pack that failed to open answers nothing, whatever is on the disk.
      handle_ = OpenEntry(pack, fileName, "rb");
      if (handle_ == nullptr) return false;
      pack_ = pack;
      int32_t length = PackEntryLength(pack, handle_);
      left_ = length >= 0 ? length : pack->fileSize - handle_->start;
      return true;
    }
    file_ = std::fopen(fileName, "rb");
    if (file_ == nullptr) return false;
    long size = -1;
    if (std::fseek(file_, 0, SEEK_END) == 0) size = std::ftell(file_);
    if (size < 0 || std::fseek(file_, 0, SEEK_SET) != 0) size = 0;
    left_ = size;
    return true;
  }

  // Bytes read, at most `count` and never more than are left.
  int64_t Read(void* buffer, int64_t count) {
    if (count > left_) count = left_;
    if (count <= 0) return 0;
    size_t got = pack_ != nullptr ? ReadEntry(pack_, buffer, 1, static_cast<size_t>(count), handle_)
                                  : std::fread(buffer, 1, static_cast<size_t>(count), file_);
    left_ -= static_cast<int64_t>(got);
    return static_cast<int64_t>(got);
  }

  int64_t Left() const { return left_; }

  void Close() {
    if (handle_ != nullptr) CloseEntry(pack_, handle_);
    if (file_ != nullptr) std::fclose(file_);
    handle_ = nullptr;
    pack_ = nullptr;
    file_ = nullptr;
  }

 private:
  ResourcePack* pack_ = nullptr;
  PackEntryHandle* handle_ = nullptr;
  FILE* file_ = nullptr;
  int64_t left_ = 0;
};

void FreeFrames(SpriteFrame* frames, int32_t count) {
  for (int32_t i = 0; i < count; ++i) delete[] frames[i].pixels;
  delete[] frames;
}

int ReadFrames(SpriteSource& source, SpriteFrame* frames, int32_t capacity) {
  uint8_t headerBytes[SPRITE_HEADER_SIZE] = {};
  int64_t got = source.Read(headerBytes, SPRITE_HEADER_SIZE);
  SpriteFileHeader header;
  if (got < SPRITE_MAGIC_SIZE || !ParseSpriteHeader(headerBytes, &header)) return SPRITE_NOT_LOADED;
  if (got < SPRITE_HEADER_SIZE) return SPRITE_DAMAGED;
  if (header.frameCount <= 0) return SPRITE_OK;
  if (header.frameCount > capacity) return SPRITE_TOO_MANY_FRAMES;

  // Frames are gathered apart and handed over only once all of them are
  // good, so a refused file leaves the caller's array as it was.
  SpriteFrame* loaded = new (std::nothrow) SpriteFrame[header.frameCount]();
  if (loaded == nullptr) return SPRITE_NO_MEMORY;
  for (int32_t i = 0; i < header.frameCount; ++i) {
    SpriteFrame& frame = loaded[i];
    uint8_t record[SPRITE_RECORD_SIZE];
    if (source.Read(record, SPRITE_RECORD_SIZE) != SPRITE_RECORD_SIZE) {
      FreeFrames(loaded, i);
      return SPRITE_DAMAGED;
    }
    ParseSpriteRecord(record, &frame);
    if (!SpriteRecordFits(frame, header.compressed, source.Left())) {
      FreeFrames(loaded, i);
      return SPRITE_DAMAGED;
    }
    // At least one byte, so that every loaded frame has its block.
    frame.pixels = new (std::nothrow) uint8_t[frame.dataSize > 0 ? frame.dataSize : 1]();
    if (frame.pixels == nullptr) {
      FreeFrames(loaded, i);
      return SPRITE_NO_MEMORY;
    }
    if (source.Read(frame.pixels, frame.dataSize) != frame.dataSize ||
        (header.compressed != 0 &&
         ValidateRleBlock(frame.pixels, frame.dataSize, frame.width, frame.height) != RLE_OK)) {
      FreeFrames(loaded, i + 1);
      return SPRITE_DAMAGED;
    }
    frame.frameCount = header.frameCount;
    frame.compressed = header.compressed;
  }
  std::memcpy(static_cast<void*>(frames), loaded,
              sizeof(SpriteFrame) * static_cast<size_t>(header.frameCount));
  delete[] loaded;
  return SPRITE_OK;
}

}  // namespace

bool ParseSpriteHeader(const uint8_t bytes[SPRITE_HEADER_SIZE], SpriteFileHeader* header) {
  if (std::memcmp(bytes, SPRITE_MAGIC, SPRITE_MAGIC_SIZE) != 0) return false;
  header->compressed = static_cast<int8_t>(bytes[17]);
  header->frameCount = ReadS16(bytes + 18);
  return true;
}

void ParseSpriteRecord(const uint8_t bytes[SPRITE_RECORD_SIZE], SpriteFrame* frame) {
  frame->offsetX = ReadS16(bytes + 0);
  frame->offsetY = ReadS16(bytes + 2);
  frame->width = ReadS16(bytes + 4);
  frame->height = ReadS16(bytes + 6);
  frame->centerX = ReadS16(bytes + 8);
  frame->centerY = ReadS16(bytes + 10);
  frame->left = ReadS16(bytes + 12);
  frame->top = ReadS16(bytes + 14);
  frame->right = ReadS16(bytes + 16);
  frame->bottom = ReadS16(bytes + 18);
  frame->dataSize = ReadS32(bytes + 20);
}

bool SpriteRecordFits(const SpriteFrame& frame, int32_t compressed, int64_t bytesLeft) {
  if (frame.width < 0 || frame.width > SPRITE_SIDE_MAX) return false;
  if (frame.height < 0 || frame.height > SPRITE_SIDE_MAX) return false;
  if (frame.dataSize < 0 || frame.dataSize > bytesLeft) return false;
  return compressed != 0 || frame.dataSize >= int64_t{frame.width} * frame.height;
}

int LoadSprite(const char* fileName, SpriteFrame* frames, int32_t capacity, ResourcePack* pack) {
  if (fileName == nullptr) return SPRITE_NOT_LOADED;
  if (frames == nullptr || capacity < 0) capacity = 0;
  SpriteSource source;
  if (!source.Open(fileName, pack)) return SPRITE_NOT_LOADED;
  return ReadFrames(source, frames, capacity);
}

void FreeSprite(SpriteFrame* frames, int32_t capacity) {
  if (frames == nullptr || capacity <= 0) return;
  // Element 0's count is read afresh at each step, as a set knows its size
  // only through it; the capacity keeps a damaged count inside the array.
  for (int32_t i = 0; i < frames[0].frameCount && i < capacity; ++i) {
    delete[] frames[i].pixels;
    frames[i].pixels = nullptr;
  }
}
