// Sound effects: one PCM sample held in several DirectSound voices that
// share its memory, so the same effect can sound several times at once.
// Display initialisation opens the sound device for the window and display
// shutdown closes it.
#pragma once

#include <windows.h>
#include <dsound.h>

#include <cstdint>

extern LPDIRECTSOUND soundDevice;  // null when there is none

// 1 device ready, 2 no sound driver, 0 any other failure.
int OpenSound(HWND window);
void CloseSound();

// 0 to 100, initially 100; scales every voice's volume.
int32_t GetMasterVolume();
int32_t SetMasterVolume(int32_t volume);  // stores it clamped, returns it

class SoundEffect {
 public:
  ~SoundEffect() { Release(); }

  // 1 loaded, 0 not. `voiceCount` must be at least 1.
  int Load(const char* fileName, int32_t voiceCount);
  // The voice index used; -1 on failure or when not loaded, -2 when every
  // voice is sounding. `loop` 1 loops, anything else plays once; `volume`
  // 0..100 and `pan` -10,000..10,000 are clamped.
  int Play(int32_t loop, int32_t volume, int32_t pan);
  int StopVoice(int32_t index);  // 1 when stopped and rewound
  int StopAll();                 // 1 when every voice stopped
  void Release();
  int SetVoiceVolume(int32_t index, int32_t volume);
  int SetVoicePan(int32_t index, int32_t pan);

  LPDIRECTSOUNDBUFFER* voices = nullptr;  // entry 0 holds the sample, the rest duplicate it
  int32_t voiceCount = 0;
  int32_t loaded = 0;

 private:
  bool IsVoice(int32_t index) const { return voices != nullptr && index >= 0 && index < voiceCount && voices[index]; }
};

extern SoundEffect soundEffects[2];

// The sample of a PCM WAV file, allocated with new[]; null when the file is
// missing, damaged or not PCM. `format` receives the file's 18-byte format
// record and `size` the sample's byte count.
uint8_t* ReadWaveFile(const char* fileName, WAVEFORMATEX* format, DWORD* size);
