// The one audio device and the mixer behind every voice and the synthesiser.
#include "audio.h"

#include <SDL.h>
#include <vantor/platform_test.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr int OUTPUT_RATE = 44100;
constexpr int DEVICE_FRAMES = 1024;  // about 23 ms per callback at 44.1 kHz
constexpr int MIX_CHUNK = 1024;      // frames mixed per pass of the accumulators

// Guards opening and closing the device and the count of its users; taken on
// the program's side only, never by the callback.
std::mutex deviceMutex;
int deviceUsers = 0;
SDL_AudioDeviceID device = 0;
int deviceRate = 0;
bool noAudio = false;  // a test pretends the machine has no audio device

// Read by the callback, changed under the device's lock.
// Never destroyed, so that buffers still alive at exit can let go of it.
std::vector<vt::MixVoice*>& voices = *new std::vector<vt::MixVoice*>;
vt::MixSource* source = nullptr;
int32_t scratch[MIX_CHUNK * 2];

std::atomic<uint64_t> framesMixed{0};

void Callback(void*, Uint8* stream, int length) {
  auto* out = reinterpret_cast<int16_t*>(stream);
  int frames = length / 4;
  while (frames > 0) {
    int chunk = std::min(frames, MIX_CHUNK);
    vt::MixInto(out, chunk, voices.data(), static_cast<int>(voices.size()), source, deviceRate, scratch);
    out += chunk * 2;
    frames -= chunk;
  }
  framesMixed.fetch_add(static_cast<uint64_t>(length / 4), std::memory_order_relaxed);
}

inline int32_t Load16(const uint8_t* p) {
  int16_t value;
  std::memcpy(&value, p, 2);
  return value;
}

template <int CHANNELS, int BITS>
inline void Fetch(const uint8_t* data, uint32_t frame, int32_t& left, int32_t& right) {
  const uint8_t* p = data + static_cast<size_t>(frame) * CHANNELS * (BITS / 8);
  if constexpr (BITS == 16) {
    left = Load16(p);
    right = CHANNELS == 2 ? Load16(p + 2) : left;
  } else {
    left = (static_cast<int32_t>(p[0]) - 128) * 256;
    right = CHANNELS == 2 ? (static_cast<int32_t>(p[1]) - 128) * 256 : left;
  }
}

// Linear interpolation between neighbouring frames; the fraction has 15 bits
// so that the difference of two 16-bit samples times it fits in 32 bits.
template <int CHANNELS, int BITS>
void MixVoiceInto(vt::MixVoice& voice, int32_t* mix, int frames, int outputRate) {
  const uint64_t step = (static_cast<uint64_t>(voice.rate) << 32) / static_cast<uint64_t>(outputRate);
  const uint64_t end = static_cast<uint64_t>(voice.frames) << 32;
  const uint32_t last = voice.frames - 1;
  const int32_t gainLeft = voice.gainLeft, gainRight = voice.gainRight;
  uint64_t position = voice.position;
  if (position >= end) position = 0;
  for (int n = 0; n < frames; ++n) {
    uint32_t frame = static_cast<uint32_t>(position >> 32);
    uint32_t next = frame < last ? frame + 1 : (voice.looping ? 0 : frame);
    int32_t fraction = static_cast<int32_t>((position >> 17) & 0x7FFF);
    int32_t l0, r0, l1, r1;
    Fetch<CHANNELS, BITS>(voice.data, frame, l0, r0);
    Fetch<CHANNELS, BITS>(voice.data, next, l1, r1);
    int32_t left = l0 + (((l1 - l0) * fraction) >> 15);
    int32_t right = r0 + (((r1 - r0) * fraction) >> 15);
    mix[2 * n] += (left * gainLeft) >> 15;
    mix[2 * n + 1] += (right * gainRight) >> 15;
    position += step;
    if (position >= end) {
      if (!voice.looping) {
        // A one-shot voice stops at its end and starts from the beginning
        // when played again.
        voice.playing = false;
        position = 0;
        break;
      }
      position %= end;
    }
  }
  voice.position = position;
}

int32_t GainOf(int32_t hundredthsDb) {
  if (hundredthsDb <= -10000) return 0;
  if (hundredthsDb >= 0) return 32768;
  return static_cast<int32_t>(std::lround(32768.0 * std::pow(10.0, hundredthsDb / 2000.0)));
}

}  // namespace

namespace vt {

void MixInto(int16_t* out, int frames, MixVoice* const* voiceList, int voiceCount, MixSource* mixSource,
             int outputRate, int32_t* mix) {
  std::memset(mix, 0, sizeof(int32_t) * 2 * static_cast<size_t>(frames));
  for (int i = 0; i < voiceCount; ++i) {
    MixVoice& voice = *voiceList[i];
    if (!voice.playing || voice.frames == 0 || voice.data == nullptr) continue;
    if (voice.bits == 16) {
      if (voice.channels == 2) MixVoiceInto<2, 16>(voice, mix, frames, outputRate);
      else MixVoiceInto<1, 16>(voice, mix, frames, outputRate);
    } else {
      if (voice.channels == 2) MixVoiceInto<2, 8>(voice, mix, frames, outputRate);
      else MixVoiceInto<1, 8>(voice, mix, frames, outputRate);
    }
  }
  if (mixSource != nullptr) mixSource->Render(mix, frames);
  // The sum saturates: loud voices together clip instead of wrapping round.
  for (int i = 0; i < 2 * frames; ++i) out[i] = static_cast<int16_t>(std::clamp(mix[i], -32768, 32767));
}

void GainsFromLevels(int32_t volume, int32_t pan, int32_t* left, int32_t* right) {
  volume = std::clamp(volume, -10000, 0);
  pan = std::clamp(pan, -10000, 10000);
  *left = GainOf(volume - (pan > 0 ? pan : 0));
  *right = GainOf(volume + (pan < 0 ? pan : 0));
}

bool AudioAcquire() {
  std::lock_guard<std::mutex> lock(deviceMutex);
  if (deviceUsers > 0) {
    ++deviceUsers;
    return true;
  }
  if (noAudio) return false;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec want = {}, have = {};
  want.freq = OUTPUT_RATE;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = DEVICE_FRAMES;
  want.callback = Callback;
  device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
  if (device == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  deviceRate = have.freq;
  voices.clear();
  voices.reserve(64);
  source = nullptr;
  deviceUsers = 1;
  SDL_PauseAudioDevice(device, 0);
  return true;
}

void AudioRelease() {
  std::lock_guard<std::mutex> lock(deviceMutex);
  if (deviceUsers == 0 || --deviceUsers > 0) return;
  SDL_CloseAudioDevice(device);
  device = 0;
  deviceRate = 0;
  voices.clear();
  source = nullptr;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

int AudioRate() { return deviceRate; }

void AudioLock() {
  if (device != 0) SDL_LockAudioDevice(device);
}

void AudioUnlock() {
  if (device != 0) SDL_UnlockAudioDevice(device);
}

void AudioAddVoice(MixVoice* voice) { voices.push_back(voice); }

void AudioRemoveVoice(MixVoice* voice) { voices.erase(std::remove(voices.begin(), voices.end(), voice), voices.end()); }

void AudioSetSource(MixSource* mixSource) { source = mixSource; }

void AudioReset() {
  SequencerReset();
  std::lock_guard<std::mutex> lock(deviceMutex);
  noAudio = false;
}

}  // namespace vt

namespace platform_test {

void UseAudioCapture(const std::string& path) {
  SDL_SetHint(SDL_HINT_AUDIODRIVER, "disk");
  setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "0", 1);
}

void SetNoAudio(bool value) {
  std::lock_guard<std::mutex> lock(deviceMutex);
  noAudio = value;
}

uint64_t AudioFramesMixed() { return framesMixed.load(std::memory_order_relaxed); }

int AudioOutputRate() { return deviceRate; }

void PauseAudioDevice(bool paused) {
  if (device != 0) SDL_PauseAudioDevice(device, paused ? 1 : 0);
}

void RunAudioCallback(int16_t* out, int frames) {
  if (device == 0) return;
  vt::AudioGuard guard;
  Callback(nullptr, reinterpret_cast<Uint8*>(out), frames * 4);
}

}  // namespace platform_test
