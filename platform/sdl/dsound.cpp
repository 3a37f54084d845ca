// The DirectSound subset: a device object and secondary buffers, each buffer
// one voice of the mixer (audio.cpp). Duplicates share the sample memory.
#include <dsound.h>
#include <vantor/platform_test.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "audio.h"
#include "com_object.h"

namespace {

int lostOnCreation = 0;  // test control: buffers that start out lost

struct SampleMemory {
  std::unique_ptr<uint8_t[]> bytes;
  DWORD size = 0;
};

class SoundBufferObject final : public vantor::ComObject<IDirectSoundBuffer> {
 public:
  SoundBufferObject(std::shared_ptr<SampleMemory> sharedMemory, const WAVEFORMATEX& waveFormat, DWORD capabilities)
      : memory(std::move(sharedMemory)), format(waveFormat), caps(capabilities) {
    voice.data = memory->bytes.get();
    voice.frames = memory->size / format.nBlockAlign;
    voice.channels = format.nChannels;
    voice.bits = format.wBitsPerSample;
    voice.rate = format.nSamplesPerSec;
    vt::AudioGuard guard;
    vt::AudioAddVoice(&voice);
  }
  ~SoundBufferObject() {
    {
      vt::AudioGuard guard;
      vt::AudioRemoveVoice(&voice);
    }
    vt::AudioRelease();
  }

  HRESULT GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) override {
    DWORD position = CurrentByte();
    if (playCursor != nullptr) *playCursor = position;
    if (writeCursor != nullptr) *writeCursor = position;
    return DS_OK;
  }
  HRESULT GetFrequency(LPDWORD value) override {
    if (!(caps & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
    if (value == nullptr) return DSERR_INVALIDPARAM;
    *value = frequency;
    return DS_OK;
  }
  HRESULT GetPan(LPLONG value) override {
    if (!(caps & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    if (value == nullptr) return DSERR_INVALIDPARAM;
    *value = pan;
    return DS_OK;
  }
  HRESULT GetVolume(LPLONG value) override {
    if (!(caps & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    if (value == nullptr) return DSERR_INVALIDPARAM;
    *value = volume;
    return DS_OK;
  }
  HRESULT GetStatus(LPDWORD status) override {
    if (status == nullptr) return DSERR_INVALIDPARAM;
    vt::AudioGuard guard;
    *status = (voice.playing ? DSBSTATUS_PLAYING : 0) | (voice.playing && voice.looping ? DSBSTATUS_LOOPING : 0) |
              (lost ? DSBSTATUS_BUFFERLOST : 0);
    return DS_OK;
  }

  // The caller writes into a staging copy of the region; Unlock hands it to
  // the mixer under the audio lock, so the callback never reads a half-made
  // sample.
  HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* part1, LPDWORD bytes1, LPVOID* part2, LPDWORD bytes2,
               DWORD flags) override {
    if (part1 == nullptr || bytes1 == nullptr) return DSERR_INVALIDPARAM;
    *part1 = nullptr;
    *bytes1 = 0;
    if (part2 != nullptr) *part2 = nullptr;
    if (bytes2 != nullptr) *bytes2 = 0;
    if (lost) return DSERR_BUFFERLOST;
    if (locked) return DSERR_INVALIDCALL;
    if (flags & DSBLOCK_FROMWRITECURSOR) offset = CurrentByte();
    if (flags & DSBLOCK_ENTIREBUFFER) offset = 0, bytes = memory->size;
    if (bytes == 0 || bytes > memory->size || offset >= memory->size) return DSERR_INVALIDPARAM;
    DWORD first = std::min(bytes, memory->size - offset);
    DWORD second = bytes - first;
    if (second > 0 && (part2 == nullptr || bytes2 == nullptr)) return DSERR_INVALIDPARAM;
    staging.assign(memory->bytes.get() + offset, memory->bytes.get() + offset + first);
    staging.insert(staging.end(), memory->bytes.get(), memory->bytes.get() + second);
    lockOffset = offset;
    lockFirst = first;
    locked = true;
    *part1 = staging.data();
    *bytes1 = first;
    if (second > 0) {
      *part2 = staging.data() + first;
      *bytes2 = second;
    }
    return DS_OK;
  }
  HRESULT Unlock(LPVOID part1, DWORD bytes1, LPVOID part2, DWORD bytes2) override {
    if (!locked || part1 != staging.data() || bytes1 > lockFirst) return DSERR_INVALIDPARAM;
    DWORD second = static_cast<DWORD>(staging.size()) - lockFirst;
    if (part2 != nullptr && (part2 != staging.data() + lockFirst || bytes2 > second)) return DSERR_INVALIDPARAM;
    if (part2 == nullptr) bytes2 = 0;
    {
      vt::AudioGuard guard;
      std::memcpy(memory->bytes.get() + lockOffset, staging.data(), bytes1);
      std::memcpy(memory->bytes.get(), staging.data() + lockFirst, bytes2);
    }
    locked = false;
    staging.clear();
    return DS_OK;
  }

  HRESULT Play(DWORD reserved1, DWORD /*priority*/, DWORD flags) override {
    if (reserved1 != 0) return DSERR_INVALIDPARAM;
    if (lost) return DSERR_BUFFERLOST;
    vt::AudioGuard guard;
    voice.looping = (flags & DSBPLAY_LOOPING) != 0;
    voice.playing = true;
    return DS_OK;
  }
  HRESULT Stop() override {
    vt::AudioGuard guard;
    voice.playing = false;
    return DS_OK;
  }
  HRESULT SetCurrentPosition(DWORD position) override {
    if (lost) return DSERR_BUFFERLOST;
    if (position >= memory->size) return DSERR_INVALIDPARAM;
    vt::AudioGuard guard;
    voice.position = static_cast<uint64_t>(position / format.nBlockAlign) << 32;
    return DS_OK;
  }
  HRESULT SetFrequency(DWORD value) override {
    if (!(caps & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
    if (value == 0) value = format.nSamplesPerSec;  // the buffer's own rate
    if (value < DSBFREQUENCY_MIN || value > DSBFREQUENCY_MAX) return DSERR_INVALIDPARAM;
    vt::AudioGuard guard;
    frequency = value;
    voice.rate = value;
    return DS_OK;
  }
  HRESULT SetPan(LONG value) override {
    if (!(caps & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    if (value < DSBPAN_LEFT || value > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
    pan = value;
    ApplyLevels();
    return DS_OK;
  }
  HRESULT SetVolume(LONG value) override {
    if (!(caps & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    if (value < DSBVOLUME_MIN || value > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    volume = value;
    ApplyLevels();
    return DS_OK;
  }
  HRESULT Restore() override {
    lost = false;
    return DS_OK;
  }

  SoundBufferObject* Duplicate() {
    if (!vt::AudioAcquire()) return nullptr;
    auto* copy = new SoundBufferObject(memory, format, caps);
    copy->volume = volume;
    copy->pan = pan;
    copy->frequency = frequency;
    copy->voice.rate = voice.rate;
    copy->ApplyLevels();
    return copy;
  }
  void MakeLost() {
    vt::AudioGuard guard;
    voice.playing = false;
    lost = true;
  }

 private:
  DWORD CurrentByte() {
    vt::AudioGuard guard;
    return static_cast<DWORD>(voice.position >> 32) * format.nBlockAlign;
  }
  void ApplyLevels() {
    int32_t left, right;
    vt::GainsFromLevels(volume, pan, &left, &right);
    vt::AudioGuard guard;
    voice.gainLeft = left;
    voice.gainRight = right;
  }

  std::shared_ptr<SampleMemory> memory;
  WAVEFORMATEX format;
  DWORD caps;
  LONG volume = 0;
  LONG pan = 0;
  DWORD frequency = format.nSamplesPerSec;
  vt::MixVoice voice;
  bool lost = false;
  bool locked = false;
  std::vector<uint8_t> staging;
  DWORD lockOffset = 0;
  DWORD lockFirst = 0;
};

bool IsSupportedFormat(const WAVEFORMATEX* format) {
  if (format == nullptr || format->wFormatTag != WAVE_FORMAT_PCM) return false;
  if (format->nChannels != 1 && format->nChannels != 2) return false;
  if (format->wBitsPerSample != 8 && format->wBitsPerSample != 16) return false;
  if (format->nBlockAlign != format->nChannels * format->wBitsPerSample / 8) return false;
  return format->nSamplesPerSec >= DSBFREQUENCY_MIN && format->nSamplesPerSec <= DSBFREQUENCY_MAX;
}

class DirectSoundObject final : public vantor::ComObject<IDirectSound> {
 public:
  ~DirectSoundObject() { vt::AudioRelease(); }

  HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer, IUnknown* outer) override {
    if (buffer == nullptr) return DSERR_INVALIDPARAM;
    *buffer = nullptr;
    if (desc == nullptr || outer != nullptr) return DSERR_INVALIDPARAM;
    if (desc->dwSize != sizeof(DSBUFFERDESC) && desc->dwSize != sizeof(DSBUFFERDESC1)) return DSERR_INVALIDPARAM;
    // Only secondary buffers: the program never writes the primary mix.
    if (desc->dwFlags & (DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D)) return DSERR_UNSUPPORTED;
    if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX) return DSERR_INVALIDPARAM;
    if (!IsSupportedFormat(desc->lpwfxFormat)) return DSERR_BADFORMAT;
    auto memory = std::make_shared<SampleMemory>();
    memory->bytes.reset(new (std::nothrow) uint8_t[desc->dwBufferBytes]);
    if (!memory->bytes) return DSERR_OUTOFMEMORY;
    // A new buffer holds silence in its own format.
    std::memset(memory->bytes.get(), desc->lpwfxFormat->wBitsPerSample == 8 ? 0x80 : 0, desc->dwBufferBytes);
    memory->size = desc->dwBufferBytes;
    if (!vt::AudioAcquire()) return DSERR_NODRIVER;
    auto* object = new SoundBufferObject(std::move(memory), *desc->lpwfxFormat, desc->dwFlags);
    if (lostOnCreation > 0) {
      --lostOnCreation;
      object->MakeLost();
    }
    *buffer = object;
    return DS_OK;
  }

  HRESULT DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original, LPDIRECTSOUNDBUFFER* duplicate) override {
    if (duplicate == nullptr) return DSERR_INVALIDPARAM;
    *duplicate = nullptr;
    auto* source = dynamic_cast<SoundBufferObject*>(original);
    if (source == nullptr) return DSERR_INVALIDPARAM;
    SoundBufferObject* copy = source->Duplicate();
    if (copy == nullptr) return DSERR_NODRIVER;
    *duplicate = copy;
    return DS_OK;
  }

  HRESULT SetCooperativeLevel(HWND window, DWORD newLevel) override {
    if (newLevel < DSSCL_NORMAL || newLevel > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
    if (!IsWindow(window)) return DSERR_INVALIDPARAM;
    level = newLevel;
    return DS_OK;
  }

 private:
  DWORD level = 0;
};

}  // namespace

extern "C" {

HRESULT WINAPI DirectSoundCreate(GUID* /*deviceGuid*/, LPDIRECTSOUND* directSound, IUnknown* outer) {
  if (directSound == nullptr) return DSERR_INVALIDPARAM;
  *directSound = nullptr;
  if (outer != nullptr) return DSERR_INVALIDPARAM;
  if (!vt::AudioAcquire()) return DSERR_NODRIVER;
  *directSound = new DirectSoundObject();
  return DS_OK;
}

}  // extern "C"

namespace platform_test {

void ForceSoundBufferLost(IDirectSoundBuffer* buffer) {
  if (auto* object = dynamic_cast<SoundBufferObject*>(buffer)) object->MakeLost();
}

void LoseNewSoundBuffers(int count) { lostOnCreation = count; }

}  // namespace platform_test
