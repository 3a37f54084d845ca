#include "sound/sound.h"

#include <algorithm>
#include <cstring>
#include <new>

LPDIRECTSOUND soundDevice = nullptr;
SoundEffect soundEffects[2];

namespace {

int32_t masterVolume = 100;

constexpr DWORD FORMAT_RECORD_BYTES = 18;
// The smallest format chunk that holds the PCM fields; the two bytes after
// it that fill the record's extra size are not used for PCM.
constexpr DWORD FORMAT_CHUNK_MIN = 16;

}  // namespace

int OpenSound(HWND window) {
  CloseSound();
  HRESULT result = DirectSoundCreate(nullptr, &soundDevice, nullptr);
  if (FAILED(result)) {
    soundDevice = nullptr;
    return result == DSERR_NODRIVER ? 2 : 0;
  }
  if (FAILED(soundDevice->SetCooperativeLevel(window, DSSCL_NORMAL))) {
    CloseSound();
    return 0;
  }
  return 1;
}

void CloseSound() {
  if (soundDevice != nullptr) soundDevice->Release();
  soundDevice = nullptr;
}

int32_t GetMasterVolume() { return masterVolume; }

int32_t SetMasterVolume(int32_t volume) {
  masterVolume = std::clamp(volume, 0, 100);
  return masterVolume;
}

uint8_t* ReadWaveFile(const char* fileName, WAVEFORMATEX* format, DWORD* size) {
  if (fileName == nullptr || format == nullptr || size == nullptr) return nullptr;
  HMMIO file = mmioOpenA(const_cast<LPSTR>(fileName), nullptr, MMIO_ALLOCBUF | MMIO_READ);
  if (file == nullptr) return nullptr;
  auto fail = [file]() -> uint8_t* {
    mmioClose(file, 0);
    return nullptr;
  };

  MMCKINFO riff = {};
  riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  if (mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) return fail();
  // The format chunk is taken by position, the first inside the RIFF chunk.
  MMCKINFO chunk = {};
  if (mmioDescend(file, &chunk, &riff, 0) != MMSYSERR_NOERROR) return fail();
  if (chunk.cksize < FORMAT_CHUNK_MIN) return fail();
  if (mmioRead(file, reinterpret_cast<HPSTR>(format), FORMAT_RECORD_BYTES) != static_cast<LONG>(FORMAT_RECORD_BYTES))
    return fail();
  if (format->wFormatTag != WAVE_FORMAT_PCM) return fail();
  if (mmioAscend(file, &chunk, 0) != MMSYSERR_NOERROR) return fail();

  MMCKINFO data = {};
  data.ckid = mmioFOURCC('d', 'a', 't', 'a');
  if (mmioDescend(file, &data, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) return fail();
  // No sound buffer holds more, so a larger sample is not even allocated.
  if (data.cksize > DSBSIZE_MAX) return fail();
  auto* sample = new (std::nothrow) uint8_t[data.cksize > 0 ? data.cksize : 1];
  if (sample == nullptr) return fail();
  if (mmioRead(file, reinterpret_cast<HPSTR>(sample), static_cast<LONG>(data.cksize)) !=
      static_cast<LONG>(data.cksize)) {
    delete[] sample;
    return fail();
  }
  mmioClose(file, 0);
  *size = data.cksize;
  return sample;
}

int SoundEffect::Load(const char* fileName, int32_t count) {
  Release();
  if (count < 1) return 0;  // an effect without a voice cannot play
  voices = new LPDIRECTSOUNDBUFFER[count]();
  voiceCount = count;
  loaded = 0;

  WAVEFORMATEX format = {};
  DWORD size = 0;
  uint8_t* sample = ReadWaveFile(fileName, &format, &size);
  if (sample == nullptr) return 0;
  auto fail = [sample]() {
    delete[] sample;
    return 0;
  };
  if (soundDevice == nullptr) return fail();

  DSBUFFERDESC desc = {};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;
  desc.dwBufferBytes = size;
  desc.lpwfxFormat = &format;
  if (FAILED(soundDevice->CreateSoundBuffer(&desc, &voices[0], nullptr))) {
    voices[0] = nullptr;
    return fail();
  }

  LPVOID part1 = nullptr, part2 = nullptr;
  DWORD bytes1 = 0, bytes2 = 0;
  HRESULT result = voices[0]->Lock(0, size, &part1, &bytes1, &part2, &bytes2, 0);
  if (result == DSERR_BUFFERLOST) {
    voices[0]->Restore();
    result = voices[0]->Lock(0, size, &part1, &bytes1, &part2, &bytes2, 0);
  }
  if (FAILED(result)) return fail();
  bytes1 = std::min(bytes1, size);
  std::memcpy(part1, sample, bytes1);
  if (part2 != nullptr) std::memcpy(part2, sample + bytes1, std::min(bytes2, size - bytes1));
  if (FAILED(voices[0]->Unlock(part1, bytes1, part2, bytes2))) return fail();
  delete[] sample;

  for (int32_t i = 1; i < voiceCount; ++i) {
    if (FAILED(soundDevice->DuplicateSoundBuffer(voices[0], &voices[i]))) {
      voices[i] = nullptr;
      return 0;
    }
  }
  loaded = 1;
  return 1;
}

int SoundEffect::Play(int32_t loop, int32_t volume, int32_t pan) {
  if (!loaded) return -1;
  int32_t index = -1;
  for (int32_t i = 0; i < voiceCount && index < 0; ++i) {
    DWORD status = 0;
    if (IsVoice(i) && SUCCEEDED(voices[i]->GetStatus(&status)) && status == 0) index = i;
  }
  if (index < 0) return -2;
  if (!SetVoiceVolume(index, volume) || !SetVoicePan(index, pan)) return -1;
  if (FAILED(voices[index]->Play(0, 0, loop == 1 ? DSBPLAY_LOOPING : 0))) return -1;
  return index;
}

int SoundEffect::SetVoiceVolume(int32_t index, int32_t volume) {
  if (!IsVoice(index)) return 0;
  volume = std::clamp(volume, 0, 100);
  return SUCCEEDED(voices[index]->SetVolume(volume * masterVolume - 10000)) ? 1 : 0;
}

int SoundEffect::SetVoicePan(int32_t index, int32_t pan) {
  if (!IsVoice(index)) return 0;
  return SUCCEEDED(voices[index]->SetPan(std::clamp(pan, -10000, 10000))) ? 1 : 0;
}

int SoundEffect::StopVoice(int32_t index) {
  if (!IsVoice(index)) return 0;
  if (FAILED(voices[index]->Stop())) return 0;
  return SUCCEEDED(voices[index]->SetCurrentPosition(0)) ? 1 : 0;
}

int SoundEffect::StopAll() {
  for (int32_t i = 0; i < voiceCount; ++i)
    if (!StopVoice(i)) return 0;
  return 1;
}

void SoundEffect::Release() {
  if (voices != nullptr) {
    for (int32_t i = voiceCount - 1; i >= 0; --i) {
      if (voices[i] != nullptr) voices[i]->Release();
      voices[i] = nullptr;
    }
    delete[] voices;
    voices = nullptr;
  }
  voiceCount = 0;
  loaded = 0;
}
