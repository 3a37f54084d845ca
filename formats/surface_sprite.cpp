#include "formats/surface_sprite.h"

#include <cstdio>
#include <new>

namespace {

bool ValidKind(int32_t memoryKind) { return memoryKind == MEMORY_ANY || memoryKind == MEMORY_SYSTEM; }

void SetTransparentKey(LPDIRECTDRAWSURFACE surface) {
  DDCOLORKEY key = {0, 0};
  // Without the key the sprite only loses its transparency in keyed blits;
  // the result is not looked at.
  surface->SetColorKey(DDCKEY_SRCBLT, &key);
}

// Everything but `compressed`, which the builders leave as the caller had it.
void Store(SurfaceSprite& to, const SurfaceSprite& from) {
  int32_t compressed = to.compressed;
  to = from;
  to.compressed = compressed;
}

void ReleaseBuilt(SurfaceSprite* built, int32_t count) {
  for (int32_t i = 0; i < count; ++i)
    if (built[i].surface != nullptr) built[i].surface->Release();
  delete[] built;
}

// Creates a surface of the frame's size, locks it and hands back its memory;
// null (and nothing left behind) when any step fails.
uint8_t* CreateAndLock(LPDIRECTDRAW directDraw, LPDIRECTDRAWSURFACE primary, int32_t width, int32_t height,
                       int32_t memoryKind, LPDIRECTDRAWSURFACE* surface, int32_t* pitch) {
  *surface = nullptr;
  if (CreatePlainSurface(directDraw, surface, width, height, memoryKind) != DD_OK || *surface == nullptr) {
    *surface = nullptr;
    return nullptr;
  }
  uint8_t* memory = LockSurfaceMemory(*surface, primary, pitch, true);
  if (memory != nullptr && *pitch >= width) return memory;
  if (memory != nullptr) UnlockSurfaceMemory(*surface);
  (*surface)->Release();
  *surface = nullptr;
  return nullptr;
}

int BuildFromFile(LPDIRECTDRAW directDraw, LPDIRECTDRAWSURFACE primary, FILE* file, SurfaceSprite* sprites,
                  int32_t capacity, int32_t memoryKind) {
  int64_t left = 0;
  if (std::fseek(file, 0, SEEK_END) == 0) left = std::ftell(file);
  if (left < 0 || std::fseek(file, 0, SEEK_SET) != 0) left = 0;

  uint8_t headerBytes[SPRITE_HEADER_SIZE] = {};
  size_t got = std::fread(headerBytes, 1, sizeof headerBytes, file);
  SpriteFileHeader header;
  if (got < size_t{SPRITE_MAGIC_SIZE} || !ParseSpriteHeader(headerBytes, &header)) return SPRITE_NOT_LOADED;
  if (got < sizeof headerBytes) return SPRITE_DAMAGED;
  left -= SPRITE_HEADER_SIZE;
  // Run-length data copied in as pixels would show as noise.
  if (header.compressed != 0) return SPRITE_DAMAGED;
  if (header.frameCount <= 0) return SPRITE_OK;
  if (header.frameCount > capacity) return SPRITE_TOO_MANY_FRAMES;

  SurfaceSprite* built = new (std::nothrow) SurfaceSprite[header.frameCount]();
  if (built == nullptr) return SPRITE_NO_MEMORY;
  for (int32_t i = 0; i < header.frameCount; ++i) {
    uint8_t recordBytes[SPRITE_RECORD_SIZE];
    SpriteFrame record = {};
    if (std::fread(recordBytes, 1, sizeof recordBytes, file) != sizeof recordBytes) {
      ReleaseBuilt(built, i);
      return SPRITE_DAMAGED;
    }
    left -= SPRITE_RECORD_SIZE;
    ParseSpriteRecord(recordBytes, &record);
    if (!SpriteRecordFits(record, 0, left)) {
      ReleaseBuilt(built, i);
      return SPRITE_DAMAGED;
    }
    SurfaceSprite& sprite = built[i];
    int32_t pitch = 0;
    uint8_t* memory =
        CreateAndLock(directDraw, primary, record.width, record.height, memoryKind, &sprite.surface, &pitch);
    if (memory == nullptr) {
      ReleaseBuilt(built, i);
      return SPRITE_NOT_LOADED;
    }
    // Row by row, straight into the surface at its own pitch.
    bool complete = true;
    for (int32_t row = 0; row < record.height && complete; ++row)
      complete = std::fread(memory + int64_t{row} * pitch, 1, static_cast<size_t>(record.width), file) ==
                 static_cast<size_t>(record.width);
    UnlockSurfaceMemory(sprite.surface);
    // A frame may carry more bytes than its pixels; the next record follows them.
    int64_t surplus = record.dataSize - int64_t{record.width} * record.height;
    if (!complete || (surplus > 0 && std::fseek(file, static_cast<long>(surplus), SEEK_CUR) != 0)) {
      ReleaseBuilt(built, i + 1);
      return SPRITE_DAMAGED;
    }
    left -= record.dataSize;
    SetTransparentKey(sprite.surface);
    sprite.frameCount = header.frameCount;
    sprite.offsetX = record.offsetX;
    sprite.offsetY = record.offsetY;
    sprite.width = record.width;
    sprite.height = record.height;
    sprite.centerX = record.centerX;
    sprite.centerY = record.centerY;
    sprite.left = record.left;
    sprite.top = record.top;
    sprite.right = record.right;
    sprite.bottom = record.bottom;
    sprite.pitch = pitch;
    sprite.dataSize = record.dataSize;
  }
  for (int32_t i = 0; i < header.frameCount; ++i) Store(sprites[i], built[i]);
  delete[] built;
  return SPRITE_OK;
}

}  // namespace

int LoadSpriteSurfaces(LPDIRECTDRAW directDraw, LPDIRECTDRAWSURFACE primary, const char* fileName,
                       SurfaceSprite* sprites, int32_t capacity, int32_t memoryKind) {
  if (!ValidKind(memoryKind) || fileName == nullptr) return SPRITE_NOT_LOADED;
  if (sprites == nullptr || capacity < 0) capacity = 0;
  FILE* file = std::fopen(fileName, "rb");
  if (file == nullptr) return SPRITE_NOT_LOADED;
  int result = BuildFromFile(directDraw, primary, file, sprites, capacity, memoryKind);
  std::fclose(file);
  return result;
}

int MakeSurfaceSprite(LPDIRECTDRAW directDraw, LPDIRECTDRAWSURFACE primary, const uint8_t* pixels,
                      int32_t width, int32_t height, SurfaceSprite* sprite, int32_t memoryKind) {
  if (!ValidKind(memoryKind) || pixels == nullptr || sprite == nullptr) return 0;
  if (width <= 0 || width > SPRITE_SIDE_MAX || height <= 0 || height > SPRITE_SIDE_MAX) return 0;
  SurfaceSprite made = {};
  int32_t pitch = 0;
  uint8_t* memory = CreateAndLock(directDraw, primary, width, height, memoryKind, &made.surface, &pitch);
  if (memory == nullptr) return 0;
  for (int32_t row = 0; row < height; ++row) {
    const uint8_t* from = pixels + int64_t{row} * width;
    uint8_t* to = memory + int64_t{row} * pitch;
    for (int32_t x = 0; x < width; ++x) to[x] = from[x];
  }
  UnlockSurfaceMemory(made.surface);
  SetTransparentKey(made.surface);
  made.frameCount = 1;
  made.width = width;
  made.height = height;
  made.centerX = width / 2;
  made.centerY = height / 2;
  made.right = width - 1;
  made.bottom = height - 1;
  made.pitch = pitch;
  made.dataSize = width * height;
  Store(*sprite, made);
  return 1;
}

void ReleaseSurfaceSprites(SurfaceSprite* sprites, int32_t capacity) {
  if (sprites == nullptr || capacity <= 0) return;
  for (int32_t i = 0; i < sprites[0].frameCount && i < capacity; ++i) {
    if (sprites[i].surface != nullptr) {
      sprites[i].surface->Release();
      sprites[i].surface = nullptr;
    }
  }
}
