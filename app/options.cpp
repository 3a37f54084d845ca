#include "app/options.h"

#include <cstdio>
#include <initializer_list>

GameConfig gameConfig = {};

bool ReadGameConfig(const char* path) {
  gameConfig.videoMode = 0;
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  uint8_t bytes[sizeof(GameConfig)];
  size_t got = std::fread(bytes, 1, sizeof bytes, file);
  std::fclose(file);
  // Little-endian on disk whatever the machine; only whole fields count.
  int32_t* fields[] = {&gameConfig.videoMode, &gameConfig.backBufferInVideo, &gameConfig.offscreenInVideo,
                       &gameConfig.soundFx, &gameConfig.music};
  for (size_t i = 0; i < 5 && (i + 1) * 4 <= got; ++i) {
    const uint8_t* b = bytes + i * 4;
    *fields[i] = static_cast<int32_t>(uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 |
                                      uint32_t{b[3]} << 24);
  }
  for (int32_t* sw : {&gameConfig.backBufferInVideo, &gameConfig.offscreenInVideo, &gameConfig.soundFx,
                      &gameConfig.music})
    if (*sw != 1) *sw = 0;
  return true;
}
