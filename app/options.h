// The program's options: five 32-bit values, also the exact content of
// game.cfg (little-endian, no header).
#pragma once

#include <cstdint>

struct GameConfig {
  int32_t videoMode;  // 1 320x200, 2 512x384, 3 640x480 centred 512x384, 4 640x480; 0 none
  int32_t backBufferInVideo;
  int32_t offscreenInVideo;
  int32_t soundFx;
  int32_t music;
};

extern GameConfig gameConfig;

// Reads game.cfg into gameConfig the way the options dialog initialises
// itself: videoMode starts at 0, fields beyond a short file keep their
// values, switch values other than 1 become 0. Returns false when the file
// cannot be opened (then only videoMode was touched).
bool ReadGameConfig(const char* path);
