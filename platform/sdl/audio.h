// The audio side of our platform layer: one SDL audio device whose callback
// mixes every playing voice (DirectSound buffers, dsound.cpp) and the MIDI
// synthesiser (mci.cpp) into 16-bit stereo. Not seen by the program.
//
// State the callback reads is changed only under AudioLock (SDL's lock of the
// device, which the callback itself runs under). The callback allocates
// nothing and waits for nothing else.
#pragma once

#include <cstdint>

namespace vt {

// One sample stream as the mixer reads it. The sample memory belongs to the
// buffer that registered the voice and outlives its registration.
struct MixVoice {
  const uint8_t* data = nullptr;
  uint32_t frames = 0;    // whole frames in `data`
  int channels = 1;       // 1 or 2
  int bits = 16;          // 8 (unsigned) or 16 (signed)
  uint32_t rate = 22050;  // frames per second
  uint64_t position = 0;  // in frames, 32.32 fixed point
  int32_t gainLeft = 32768;  // Q15, 32768 = full level
  int32_t gainRight = 32768;
  bool playing = false;
  bool looping = false;
};

// Renders into the mix besides the voices (the synthesiser). Called from the
// callback, under the audio lock; adds `frames` stereo frames to `mix`.
class MixSource {
 public:
  virtual void Render(int32_t* mix, int frames) = 0;

 protected:
  ~MixSource() = default;
};

// The device is opened by the first user and closed after the last one lets
// go; false when the machine has no audio device.
bool AudioAcquire();
void AudioRelease();
int AudioRate();  // frames per second of the open device, 0 when closed

void AudioLock();
void AudioUnlock();
struct AudioGuard {
  AudioGuard() { AudioLock(); }
  ~AudioGuard() { AudioUnlock(); }
  AudioGuard(const AudioGuard&) = delete;
  AudioGuard& operator=(const AudioGuard&) = delete;
};

// Registration, under the audio lock. Registering may allocate; the callback
// only walks what is registered.
void AudioAddVoice(MixVoice* voice);
void AudioRemoveVoice(MixVoice* voice);
void AudioSetSource(MixSource* source);  // null: none

// The mixing itself, apart from the device so that it can be measured:
// `frames` stereo int16 frames from the voices and the source. Advances the
// voices; stops one-shot voices at their end and rewinds them.
void MixInto(int16_t* out, int frames, MixVoice* const* voices, int voiceCount, MixSource* source,
             int outputRate, int32_t* scratch);

// Volume and pan in hundredths of a decibel to Q15 gains, with the pan law of
// the platform: only the channel away from the pan is attenuated.
void GainsFromLevels(int32_t volume, int32_t pan, int32_t* left, int32_t* right);

// Platform reset (tests): forget the test settings and close what is open.
void AudioReset();
void SequencerReset();

}  // namespace vt
