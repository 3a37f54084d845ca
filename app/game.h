// The program's spine: entry, window procedure, start-up, the frame and
// shutdown. Everything runs on the window's thread.
#pragma once

#include <windows.h>

#include <cstdint>

// Frame loop state.
struct GameState {
  uint8_t appActive;
  int32_t currentScene;
  int32_t currentFrame;
  int32_t spriteX;
  int32_t spriteY;
  int32_t vsyncOn;
  int32_t frameSyncOn;
  int32_t fadeDirection;
  int32_t fadeRunning;
  int32_t fadeLevel;
  int32_t greyDirection;
  int32_t greyRunning;
  int32_t greyLevel;
  uint32_t framesRun;  // frames since start-up ended, for whoever watches the loop
};

extern GameState gameState;

// What display initialisation is given for the options: the video mode's
// display and work sizes (none for a mode outside 1..4) and where the frame
// is drawn.
struct GameConfig;
struct ResourcePack;
struct DisplayConfig;
DisplayConfig BuildDisplayConfig(const GameConfig& config, ResourcePack* fontPack);

// The state at program start (also used by tests that run the program more
// than once in one process).
void ResetGameState();

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int InitGame(HWND window, HINSTANCE instance);
int RunFrame(HWND window);
void ShutdownGame(HWND window);
void ShowKeyHelp();
// Formats into a 256-byte buffer (longer texts are cut, never overrun) and
// shows it in a "Message" box owned by the display's window.
void ShowMessage(const char* format, ...);
// One step of the palette fade / greyscale blend; 1 when the level had
// already reached the end of its direction before this step.
int StepFade(int32_t direction);
int StepGrey(int32_t direction);

// The 256-entry colour table (blue, green, red, unused) the fade and
// greyscale steps start from; null while no image palette is loaded, and then
// the steps change nothing on screen.
extern const uint8_t* imagePalette;
