// Our DirectSound layer heard through the mix: buffers of known samples are
// played and SDL's disk driver captures exactly what the device would play.
#include <dsound.h>

#include <cmath>

#include "sound/sound_support.h"

namespace {

using sound_test::Capture;

class Mixer : public vantor_test::Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    folder = sound_test::TestFolder("mixer");
    platform_test::UseAudioCapture((folder / "mix.raw").string());
    window = MakeWindow();
    ASSERT_EQ(DirectSoundCreate(nullptr, &device, nullptr), DS_OK);
    ASSERT_EQ(device->SetCooperativeLevel(window, DSSCL_NORMAL), DS_OK);
  }
  void TearDown() override {
    for (auto* buffer : buffers) buffer->Release();
    if (device != nullptr) device->Release();
    Headless::TearDown();
    sound_test::fs::remove_all(folder);
  }

  // A buffer holding `bytes` in the given format, volume and pan control on.
  IDirectSoundBuffer* MakeBuffer(int channels, int bits, int rate, const std::vector<uint8_t>& bytes) {
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.wBitsPerSample = static_cast<WORD>(bits);
    format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;
    desc.dwBufferBytes = static_cast<DWORD>(bytes.size());
    desc.lpwfxFormat = &format;
    IDirectSoundBuffer* buffer = nullptr;
    EXPECT_EQ(device->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
    if (buffer == nullptr) return nullptr;
    buffers.push_back(buffer);
    LPVOID part1, part2;
    DWORD bytes1, bytes2;
    EXPECT_EQ(buffer->Lock(0, desc.dwBufferBytes, &part1, &bytes1, &part2, &bytes2, 0), DS_OK);
    std::memcpy(part1, bytes.data(), bytes1);
    EXPECT_EQ(buffer->Unlock(part1, bytes1, part2, bytes2), DS_OK);
    return buffer;
  }
  IDirectSoundBuffer* Constant16(int16_t value, int frames = 2205) {
    std::vector<uint8_t> bytes(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i) std::memcpy(&bytes[size_t(i) * 2], &value, 2);
    return MakeBuffer(1, 16, 22050, bytes);
  }
  IDirectSoundBuffer* Duplicate(IDirectSoundBuffer* original) {
    IDirectSoundBuffer* copy = nullptr;
    EXPECT_EQ(device->DuplicateSoundBuffer(original, &copy), DS_OK);
    if (copy != nullptr) buffers.push_back(copy);
    return copy;
  }
  // Lets `seconds` of sound be mixed, then closes the device and reads back
  // everything it played.
  Capture Listen(double seconds) {
    EXPECT_TRUE(sound_test::WaitMixed(platform_test::AudioFramesMixed(), uint64_t(seconds * 44100)));
    // Held back, so that no buffer is mixed with only some of the voices.
    platform_test::PauseAudioDevice(true);
    for (auto* buffer : buffers) buffer->Release();
    buffers.clear();
    device->Release();
    device = nullptr;
    return sound_test::ReadCapture(folder / "mix.raw");
  }
  // Every frame is silence or exactly (left, right), and the sound lasted.
  static void ExpectOnly(const Capture& capture, int left, int right) {
    size_t sounding = 0, other = 0;
    for (size_t f = 0; f < capture.Frames(); ++f) {
      if (capture.Left(f) == left && capture.Right(f) == right) ++sounding;
      else if (capture.Left(f) != 0 || capture.Right(f) != 0) ++other;
    }
    EXPECT_EQ(other, 0u) << "frames other than silence and (" << left << ", " << right << ")";
    EXPECT_GT(sounding, 44100u / 10);
  }

  sound_test::fs::path folder;
  HWND window = nullptr;
  IDirectSound* device = nullptr;
  std::vector<IDirectSoundBuffer*> buffers;
};

TEST_F(Mixer, VoicesAddUpExactlyAndSaturateInsteadOfWrapping) {
  IDirectSoundBuffer* first = Constant16(6000);
  ASSERT_NE(first, nullptr);
  std::vector<IDirectSoundBuffer*> five = {first};
  for (int i = 0; i < 4; ++i) five.push_back(Duplicate(first));
  // Held back so that all five start in the same buffer.
  platform_test::PauseAudioDevice(true);
  for (auto* voice : five) ASSERT_EQ(voice->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  platform_test::PauseAudioDevice(false);
  ExpectOnly(Listen(0.3), 30000, 30000);
}

TEST_F(Mixer, TooLoudASumClipsAtFullScale) {
  IDirectSoundBuffer* high = Constant16(20000);
  IDirectSoundBuffer* low = Constant16(-20000);
  ASSERT_NE(high, nullptr);
  ASSERT_NE(low, nullptr);
  // Two loud voices each way: wrapping would turn 40,000 into -25,536.
  IDirectSoundBuffer* highCopy = Duplicate(high);
  IDirectSoundBuffer* lowCopy = Duplicate(low);
  ASSERT_EQ(high->SetPan(DSBPAN_LEFT), DS_OK);
  ASSERT_EQ(highCopy->SetPan(DSBPAN_LEFT), DS_OK);
  ASSERT_EQ(low->SetPan(DSBPAN_RIGHT), DS_OK);
  ASSERT_EQ(lowCopy->SetPan(DSBPAN_RIGHT), DS_OK);
  platform_test::PauseAudioDevice(true);
  for (auto* voice : {high, highCopy, low, lowCopy}) ASSERT_EQ(voice->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  platform_test::PauseAudioDevice(false);
  ExpectOnly(Listen(0.3), 32767, -32768);
}

TEST_F(Mixer, PanAndVolumeFollowThePlatformsLaw) {
  IDirectSoundBuffer* voice = Constant16(6000);
  ASSERT_NE(voice, nullptr);
  ASSERT_EQ(voice->SetPan(DSBPAN_LEFT), DS_OK);
  ASSERT_EQ(voice->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  ExpectOnly(Listen(0.2), 6000, 0);
}

TEST_F(Mixer, SixDecibelsDownIsHalfTheLevelOnOneSideOrBoth) {
  IDirectSoundBuffer* panned = Constant16(8000);
  ASSERT_NE(panned, nullptr);
  // -6.02 dB is a factor of one half: 8,000 becomes 4,000 on the far side.
  ASSERT_EQ(panned->SetPan(602), DS_OK);
  platform_test::PauseAudioDevice(true);
  ASSERT_EQ(panned->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  // Out of range is refused and changes nothing.
  LONG pan = 0;
  EXPECT_EQ(DSERR_INVALIDPARAM, panned->SetPan(10001));
  EXPECT_EQ(DSERR_INVALIDPARAM, panned->SetVolume(1));
  EXPECT_EQ(DS_OK, panned->GetPan(&pan));
  EXPECT_EQ(pan, 602);
  // The same attenuation by volume takes both sides down.
  IDirectSoundBuffer* quiet = Constant16(-8000);
  ASSERT_NE(quiet, nullptr);
  ASSERT_EQ(quiet->SetVolume(-602), DS_OK);
  ASSERT_EQ(quiet->SetPan(DSBPAN_RIGHT), DS_OK);  // and the left goes
  ASSERT_EQ(quiet->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  platform_test::PauseAudioDevice(false);
  Capture capture = Listen(0.2);
  auto near = [](int value, int expected) { return std::abs(value - expected) <= 1; };
  size_t both = 0, other = 0;
  for (size_t f = 0; f < capture.Frames(); ++f) {
    int left = capture.Left(f), right = capture.Right(f);
    if (near(left, 4000) && near(right, 4000)) ++both;  // 8,000 less 4,000 on the right
    else if (left != 0 || right != 0) ++other;
  }
  EXPECT_GT(both, 44100u / 10);
  EXPECT_EQ(other, 0u);
}

TEST_F(Mixer, EightBitStereoKeepsItsChannelsApart) {
  // Unsigned samples: 128 is silence, 255 the top, 64 half way down.
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 4000; ++i) bytes.insert(bytes.end(), {255, 64});
  IDirectSoundBuffer* voice = MakeBuffer(2, 8, 8000, bytes);
  ASSERT_NE(voice, nullptr);
  ASSERT_EQ(voice->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  ExpectOnly(Listen(0.2), 127 * 256, -64 * 256);
}

TEST_F(Mixer, ResamplingKeepsThePitch) {
  // 1 kHz at 11,025 frames per second comes out at 1 kHz at the device's rate.
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 11025; ++i) {
    auto sample = static_cast<int16_t>(std::lround(10000 * std::sin(2 * M_PI * 1000.0 * i / 11025)));
    bytes.push_back(uint8_t(sample & 0xFF));
    bytes.push_back(uint8_t((sample >> 8) & 0xFF));
  }
  IDirectSoundBuffer* voice = MakeBuffer(1, 16, 11025, bytes);
  ASSERT_NE(voice, nullptr);
  ASSERT_EQ(voice->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  Capture capture = Listen(0.6);
  ASSERT_EQ(platform_test::AudioOutputRate(), 0);  // closed again
  size_t start = 0;
  while (start < capture.Frames() && capture.Left(start) == 0 && capture.Left(start + 1) == 0) ++start;
  size_t length = 44100 / 2;
  ASSERT_GT(capture.Frames(), start + length);
  int crossings = 0;
  for (size_t f = start + 1; f < start + length; ++f)
    if ((capture.Left(f - 1) < 0) != (capture.Left(f) < 0)) ++crossings;
  EXPECT_NEAR(crossings, 1000, 4);  // two a period, half a second
  EXPECT_GT(capture.Peak(0), 9800);
}

TEST_F(Mixer, AOneShotVoiceEndsStopsAndStartsOverWhenPlayedAgain) {
  IDirectSoundBuffer* voice = Constant16(3000, 441);  // 20 ms
  ASSERT_NE(voice, nullptr);
  ASSERT_EQ(voice->Play(0, 0, 0), DS_OK);
  DWORD status = 0;
  ASSERT_EQ(voice->GetStatus(&status), DS_OK);
  EXPECT_EQ(status, DWORD(DSBSTATUS_PLAYING));
  uint64_t since = platform_test::AudioFramesMixed();
  ASSERT_TRUE(sound_test::WaitMixed(since, 44100 / 5));
  ASSERT_EQ(voice->GetStatus(&status), DS_OK);
  EXPECT_EQ(status, 0u);
  DWORD play = 1, write = 1;
  EXPECT_EQ(voice->GetCurrentPosition(&play, &write), DS_OK);
  EXPECT_EQ(play, 0u);
  ASSERT_EQ(voice->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  ASSERT_EQ(voice->GetStatus(&status), DS_OK);
  EXPECT_EQ(status, DWORD(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
  Capture capture = Listen(0.1);
  size_t sounding = 0;
  for (size_t f = 0; f < capture.Frames(); ++f) sounding += capture.Left(f) == 3000;
  EXPECT_GT(sounding, 882u + 44100u / 20);  // the whole shot, then the loop
}

TEST_F(Mixer, DuplicatesShareTheSampleAndLocksWrapRound) {
  IDirectSoundBuffer* voice = Constant16(1000, 100);
  ASSERT_NE(voice, nullptr);
  IDirectSoundBuffer* copy = Duplicate(voice);
  ASSERT_NE(copy, nullptr);
  // A lock running past the end goes on at the start, in a second part.
  LPVOID part1, part2;
  DWORD bytes1, bytes2;
  ASSERT_EQ(voice->Lock(150, 100, &part1, &bytes1, &part2, &bytes2, 0), DS_OK);
  EXPECT_EQ(bytes1, 50u);
  EXPECT_EQ(bytes2, 50u);
  ASSERT_NE(part2, nullptr);
  std::memset(part1, 0, bytes1);
  std::memset(part2, 0, bytes2);
  ASSERT_EQ(voice->Unlock(part1, bytes1, part2, bytes2), DS_OK);
  // Written through the original, read through the duplicate.
  ASSERT_EQ(copy->Lock(0, 200, &part1, &bytes1, &part2, &bytes2, DSBLOCK_ENTIREBUFFER), DS_OK);
  ASSERT_EQ(bytes1, 200u);
  auto* bytes = static_cast<uint8_t*>(part1);
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(bytes[49], 0);
  EXPECT_EQ(bytes[50] | bytes[51] << 8, 1000);
  EXPECT_EQ(bytes[148] | bytes[149] << 8, 1000);
  EXPECT_EQ(bytes[150], 0);
  ASSERT_EQ(copy->Unlock(part1, bytes1, nullptr, 0), DS_OK);
  EXPECT_EQ(voice->Lock(0, 201, &part1, &bytes1, &part2, &bytes2, 0), DSERR_INVALIDPARAM);
}

TEST_F(Mixer, BufferDescriptionsAndFormatsAreChecked) {
  WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  DSBUFFERDESC desc = {};
  desc.dwSize = sizeof desc;
  desc.dwBufferBytes = 4000;
  desc.lpwfxFormat = &format;
  IDirectSoundBuffer* buffer = nullptr;
  ASSERT_EQ(device->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
  buffers.push_back(buffer);
  // The older, shorter description is the platform's too.
  desc.dwSize = sizeof(DSBUFFERDESC1);
  ASSERT_EQ(device->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
  buffers.push_back(buffer);
  LONG volume = 0;
  EXPECT_EQ(buffer->GetVolume(&volume), DSERR_CONTROLUNAVAIL);  // not asked for

  desc.dwSize = 12;
  EXPECT_EQ(device->CreateSoundBuffer(&desc, &buffer, nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer, nullptr);
  desc.dwSize = sizeof desc;
  for (WAVEFORMATEX bad : {WAVEFORMATEX{2, 2, 44100, 176400, 4, 16, 0}, WAVEFORMATEX{1, 3, 44100, 264600, 6, 16, 0},
                           WAVEFORMATEX{1, 2, 44100, 264600, 6, 24, 0}, WAVEFORMATEX{1, 2, 44100, 176400, 2, 16, 0},
                           WAVEFORMATEX{1, 1, 50, 100, 2, 16, 0}}) {
    format = bad;
    EXPECT_EQ(device->CreateSoundBuffer(&desc, &buffer, nullptr), DSERR_BADFORMAT);
  }
  format = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  desc.dwBufferBytes = 0;
  EXPECT_EQ(device->CreateSoundBuffer(&desc, &buffer, nullptr), DSERR_INVALIDPARAM);
}

}  // namespace
