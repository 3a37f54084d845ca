// Test-only controls of our platform layer. The real platform has no need for
// them and the program never includes this header: tests and tools use it to
// run the program headless, read back the picture on screen, inject keys and
// drive the millisecond clock.
#pragma once

#include <ddraw.h>
#include <dsound.h>
#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform_test {

// Choose SDL's offscreen video and dummy audio drivers. Call before the
// first window is created.
void UseHeadless();
// Capture the audio device's output instead of playing it: SDL's disk driver
// writes the mix (16-bit stereo, native byte order, at AudioOutputRate()) to
// `path` as fast as it is rendered. Call after UseHeadless, before the device
// opens; the file is complete once the device has closed again.
void UseAudioCapture(const std::string& path);
// Pretend the machine has no audio device: DirectSoundCreate answers
// DSERR_NODRIVER and the sequencer cannot open.
void SetNoAudio(bool noAudio);
// Frames the mixer has produced since the process started.
uint64_t AudioFramesMixed();
// Frames per second of the open audio device, 0 when it is closed.
int AudioOutputRate();
// Holds the device's own callback back (true) or lets it run again, and runs
// one pass of the same mixing on the caller's thread into `out` (`frames`
// stereo frames): for measuring the callback's cost.
void PauseAudioDevice(bool paused);
void RunAudioCallback(int16_t* out, int frames);
// Use this SoundFont for MIDI instead of the system's (an empty path brings
// the system's back; a missing file means there is none).
void SetSoundFont(const std::string& path);
// Force a sound buffer into the lost state, or make the next `count` buffers
// created start out lost.
void ForceSoundBufferLost(IDirectSoundBuffer* buffer);
void LoseNewSoundBuffers(int count);
// Media control command strings sent so far, oldest first, with their
// notification window and result; the list is emptied by the call.
struct MciCommand {
  std::string command;
  HWND callback;
  MCIERROR result;
};
std::vector<MciCommand> TakeMciCommands();

// Pretend the machine has no display at all: creating a window or a
// DirectDraw object fails as it would without one.
void SetNoDisplay(bool noDisplay);
// Tear down every window, surface, hook and queued message so that a test can
// run the program again in the same process.
void ResetPlatform();

// The picture on screen as the user sees it: the primary surface's pixels
// through the palette attached to it, as of the last time the screen was
// updated (a flip, a copy onto the primary, or a message pump after drawing
// into the primary).
struct Screen {
  int width = 0;                                // display mode
  int height = 0;
  std::vector<uint8_t> pixels;                  // width * height palette indices
  std::array<PALETTEENTRY, 256> palette = {};   // red, green, blue, flags
  uint32_t presentCount = 0;                    // screen updates so far
  uint32_t flipCount = 0;                       // of them, flips
};
bool ReadScreen(Screen& screen);
// Called on the program's thread after every screen update, with the update
// count so far: whole-program tests read the screen and inject keys from it,
// frame by frame. An empty function stops the calls.
void OnScreenUpdate(std::function<void(uint32_t presentCount)> callback);

// Keys as a keyboard gives them: a press of a key already down is an
// auto-repeat. The event goes through the same path as real SDL input.
void InjectKeyDown(int virtualKey);
void InjectKeyUp(int virtualKey);
void InjectKeyPress(int virtualKey);  // down, then up
// The application losing or regaining activation, as when the user switches
// to another program and back.
void InjectAppActivation(bool active);

// The millisecond clock. Manual: timeGetTime returns the set value, advanced
// by `stepPerRead` after each read (0 keeps it still). Real: SDL's ticks.
void SetClockManual(uint32_t now, uint32_t stepPerRead = 0);
void AdvanceClock(uint32_t milliseconds);
void UseRealClock();

// Force a surface into the lost state: its contents are gone and every
// operation on it answers DDERR_SURFACELOST until it is restored.
void ForceSurfaceLost(IDirectDrawSurface* surface);
// Make `count` surface creations fail, once `after` more have succeeded
// (count 0 turns it off).
void FailNextSurfaceCreations(int count, int after = 0);

// Modal dialogs. The callback runs on the program's thread each time the
// dialog in front has dealt with all the input it was given and would wait for
// more (`idleCount` counts from 0 for each dialog): tests read it and inject
// the next input from there. An empty function stops the calls.
void OnDialogIdle(std::function<void(HWND dialog, int idleCount)> callback);
// The dialog's picture as drawn, in its own pixels before the window's scale:
// 0xAARRGGBB, frame and caption included.
struct DialogPicture {
  int width = 0;
  int height = 0;
  int scale = 1;  // of the window on screen
  std::vector<uint32_t> pixels;
};
bool ReadDialog(HWND dialog, DialogPicture& picture);
// A control's rectangle in the dialog's picture; id 0 is the caption's close
// box.
bool DialogItemRect(HWND dialog, int id, RECT* rect);
// The pointer over the dialog in front, at a point of its picture; the events
// go through the same path as real SDL input.
void InjectMouseMove(int x, int y, bool leftDown);
void InjectMouseButton(int x, int y, bool down);
void InjectMouseClick(int x, int y);  // move there, press, release
// Clicks a control where a user would: on its box or face.
bool ClickDialogItem(HWND dialog, int id);

// Message boxes shown so far, "caption|text" in UTF-8 (the program's code
// page 949 converted), oldest first; the list is emptied by the call.
std::vector<std::string> TakeMessageBoxes();

}  // namespace platform_test
