// The options dialog and the program's options: five 32-bit values, also the
// exact content of game.cfg (little-endian, no header).
#pragma once

#include <windows.h>

#include <cstdint>

struct GameConfig {
  int32_t videoMode;  // 1 320x200, 2 512x384, 3 640x480 centred 512x384, 4 640x480; 0 none
  int32_t backBufferInVideo;
  int32_t offscreenInVideo;
  int32_t soundFx;
  int32_t music;
};

extern GameConfig gameConfig;

// Shows the options dialog modally, owned by `window`; afterwards gameConfig
// holds the choice (videoMode 0 when the dialog was cancelled).
void RunOptionsDialog(HWND window, HINSTANCE instance);
INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Reads game.cfg into gameConfig the way the options dialog initialises
// itself: videoMode starts at 0, fields beyond a short file keep their
// values, switch values other than 1 become 0. Returns false when the file
// cannot be opened (then only videoMode was touched).
bool ReadGameConfig(const char* path);
// Writes the five fields, 20 bytes; false when the file cannot be written.
bool WriteGameConfig(const char* path);
