// Sound effects: WAV reading, voices, and the volume and pan each play sets.
#include "sound/sound.h"

#include "sound/sound_support.h"

namespace {

namespace fs = sound_test::fs;

void Put(std::vector<uint8_t>& out, const char* tag) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(tag[i]));
}
void Put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(value >> (8 * i)));
}
void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(uint8_t(value));
  out.push_back(uint8_t(value >> 8));
}
std::vector<uint8_t> FormatRecord(int tag, int channels, uint32_t rate, int bits) {
  std::vector<uint8_t> record;
  Put16(record, tag);
  Put16(record, channels);
  Put32(record, rate);
  Put32(record, rate * channels * bits / 8);
  Put16(record, channels * bits / 8);
  Put16(record, bits);
  return record;
}
std::vector<uint8_t> Chunk(const char* tag, const std::vector<uint8_t>& body, uint32_t size) {
  std::vector<uint8_t> out;
  Put(out, tag);
  Put32(out, size);
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() & 1) out.push_back(0);
  return out;
}
std::vector<uint8_t> Chunk(const char* tag, const std::vector<uint8_t>& body) {
  return Chunk(tag, body, uint32_t(body.size()));
}
std::vector<uint8_t> Riff(const std::vector<std::vector<uint8_t>>& chunks, int sizeAdjust = 0) {
  std::vector<uint8_t> inside;
  Put(inside, "WAVE");
  for (const auto& chunk : chunks) inside.insert(inside.end(), chunk.begin(), chunk.end());
  return Chunk("RIFF", inside, uint32_t(int(inside.size()) + sizeAdjust));
}
std::vector<uint8_t> Samples(size_t bytes) { return std::vector<uint8_t>(bytes, 0x40); }

class Effects : public vantor_test::Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    folder = sound_test::TestFolder("effects");
    window = MakeWindow();
    SetMasterVolume(100);
  }
  void TearDown() override {
    effect.Release();
    CloseSound();
    SetMasterVolume(100);
    Headless::TearDown();
    fs::remove_all(folder);
  }
  std::string File(const std::string& name, const std::vector<uint8_t>& bytes) {
    sound_test::WriteBytes(folder / name, bytes);
    return (folder / name).string();
  }
  std::string ThrowWav() { return vantor_test::RunDir() + "/throw.wav"; }
  LONG VolumeOf(int voice) {
    LONG value = 1;
    EXPECT_EQ(effect.voices[voice]->GetVolume(&value), DS_OK);
    return value;
  }
  LONG PanOf(int voice) {
    LONG value = 1;
    EXPECT_EQ(effect.voices[voice]->GetPan(&value), DS_OK);
    return value;
  }
  bool Reads(const std::string& path) {
    WAVEFORMATEX format = {};
    DWORD size = 0;
    uint8_t* sample = ReadWaveFile(path.c_str(), &format, &size);
    delete[] sample;
    return sample != nullptr;
  }

  fs::path folder;
  HWND window = nullptr;
  SoundEffect effect;
};

TEST_F(Effects, FivePlaysTakeVoicesInOrderAndASixthFindsNone) {
  ASSERT_EQ(OpenSound(window), 1);
  ASSERT_EQ(effect.Load(ThrowWav().c_str(), 5), 1);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(effect.Play(1, 100, 0), i);
  EXPECT_EQ(effect.Play(1, 100, 0), -2);
  // A stopped voice is free again, from its beginning.
  EXPECT_EQ(effect.StopVoice(2), 1);
  DWORD position = 1;
  EXPECT_EQ(effect.voices[2]->GetCurrentPosition(&position, nullptr), DS_OK);
  EXPECT_EQ(position, 0u);
  EXPECT_EQ(effect.Play(0, 100, 0), 2);
  EXPECT_EQ(effect.StopAll(), 1);
  EXPECT_EQ(effect.Play(0, 100, 0), 0);
  EXPECT_EQ(effect.StopVoice(5), 0);
  EXPECT_EQ(effect.StopVoice(-1), 0);
}

TEST_F(Effects, EachPlaySetsTheVolumeAndPanItWasGiven) {
  ASSERT_EQ(OpenSound(window), 1);
  ASSERT_EQ(effect.Load(ThrowWav().c_str(), 5), 1);
  ASSERT_EQ(effect.Play(1, 100, 0), 0);
  EXPECT_EQ(VolumeOf(0), 0);
  ASSERT_EQ(effect.Play(0, 50, 0), 1);
  EXPECT_EQ(VolumeOf(1), -5000);
  ASSERT_EQ(effect.Play(0, 150, 20000), 2);
  EXPECT_EQ(VolumeOf(2), 0);
  EXPECT_EQ(PanOf(2), 10000);
  ASSERT_EQ(effect.Play(0, -3, -20000), 3);
  EXPECT_EQ(VolumeOf(3), -10000);
  EXPECT_EQ(PanOf(3), -10000);
  EXPECT_EQ(SetMasterVolume(150), 100);
  EXPECT_EQ(SetMasterVolume(-1), 0);
  EXPECT_EQ(GetMasterVolume(), 0);
  // Silent, though the play succeeds.
  ASSERT_EQ(effect.Play(0, 100, 300), 4);
  EXPECT_EQ(VolumeOf(4), -10000);
  EXPECT_EQ(PanOf(4), 300);
  SetMasterVolume(50);
  EXPECT_EQ(effect.SetVoiceVolume(4, 50), 1);
  EXPECT_EQ(VolumeOf(4), 50 * 50 - 10000);
  EXPECT_EQ(effect.SetVoiceVolume(5, 50), 0);
  EXPECT_EQ(effect.SetVoicePan(-1, 0), 0);
}

TEST_F(Effects, WithoutADeviceNothingLoadsAndPlayFails) {
  platform_test::SetNoAudio(true);
  EXPECT_EQ(OpenSound(window), 2);
  EXPECT_EQ(soundDevice, nullptr);
  EXPECT_EQ(effect.Load(ThrowWav().c_str(), 5), 0);
  EXPECT_EQ(effect.loaded, 0);
  EXPECT_EQ(effect.Play(0, 100, 0), -1);
  EXPECT_EQ(effect.StopAll(), 0);
}

TEST_F(Effects, ReleasingAnEmptyOrReleasedEffectDoesNothing) {
  SoundEffect empty;
  empty.Release();
  EXPECT_EQ(empty.voices, nullptr);
  EXPECT_EQ(empty.Play(0, 100, 0), -1);
  ASSERT_EQ(OpenSound(window), 1);
  ASSERT_EQ(effect.Load(ThrowWav().c_str(), 3), 1);
  ASSERT_EQ(effect.Load(ThrowWav().c_str(), 2), 1);  // the old voices go first
  EXPECT_EQ(effect.voiceCount, 2);
  effect.Release();
  effect.Release();
  EXPECT_EQ(effect.voices, nullptr);
  EXPECT_EQ(effect.Play(0, 100, 0), -1);
  EXPECT_EQ(effect.Load(ThrowWav().c_str(), 0), 0);
  EXPECT_EQ(effect.voices, nullptr);
}

TEST_F(Effects, LostBuffersAreRestoredWhileFillingAndPassedOverWhenPlaying) {
  ASSERT_EQ(OpenSound(window), 1);
  platform_test::LoseNewSoundBuffers(1);
  ASSERT_EQ(effect.Load(ThrowWav().c_str(), 2), 1);
  platform_test::ForceSoundBufferLost(effect.voices[0]);
  EXPECT_EQ(effect.Play(0, 100, 0), 1);
  EXPECT_EQ(effect.Play(0, 100, 0), -2);
}

TEST_F(Effects, EightAndSixteenBitMonoAndStereoLoad) {
  ASSERT_EQ(OpenSound(window), 1);
  std::vector<uint8_t> odd = Samples(1001);
  for (int bits : {8, 16})
    for (int channels : {1, 2}) {
      std::string path = File("ok.wav", Riff({Chunk("fmt ", FormatRecord(1, channels, 11025, bits)),
                                              Chunk("LIST", Samples(7)), Chunk("data", Samples(4000))}));
      EXPECT_EQ(effect.Load(path.c_str(), 2), 1) << bits << " bits, " << channels << " channels";
    }
  // An odd-sized chunk before the data is skipped with its pad byte.
  std::string padded =
      File("pad.wav", Riff({Chunk("fmt ", FormatRecord(1, 1, 8000, 8)), Chunk("junk", odd), Chunk("data", odd)}));
  WAVEFORMATEX format = {};
  DWORD size = 0;
  uint8_t* sample = ReadWaveFile(padded.c_str(), &format, &size);
  ASSERT_NE(sample, nullptr);
  EXPECT_EQ(size, 1001u);
  EXPECT_EQ(format.nSamplesPerSec, 8000u);
  delete[] sample;
}

TEST_F(Effects, TheFirstChunkIsTheFormatWhateverItsName) {
  // A chunk that happens to begin like a PCM record is read as one...
  std::vector<uint8_t> record = FormatRecord(1, 1, 16000, 16);
  record.insert(record.end(), {0, 0});
  ASSERT_TRUE(Reads(File("first.wav", Riff({Chunk("bext", record), Chunk("fmt ", FormatRecord(1, 2, 44100, 16)),
                                            Chunk("data", Samples(64))}))));
  WAVEFORMATEX format = {};
  DWORD size = 0;
  uint8_t* sample = ReadWaveFile((folder / "first.wav").string().c_str(), &format, &size);
  EXPECT_EQ(format.nSamplesPerSec, 16000u);
  EXPECT_EQ(format.nChannels, 1);
  delete[] sample;
  // ...and any other refuses the file, however good the format chunk after it.
  EXPECT_FALSE(Reads(File("list.wav", Riff({Chunk("bext", Samples(24)), Chunk("fmt ", FormatRecord(1, 2, 44100, 16)),
                                           Chunk("data", Samples(64))}))));
}

TEST_F(Effects, DamagedAndForeignFilesAreRefused) {
  ASSERT_EQ(OpenSound(window), 1);
  auto format = Chunk("fmt ", FormatRecord(1, 1, 22050, 16));
  std::vector<uint8_t> truncatedData = Riff({format, Chunk("data", Samples(100))});
  truncatedData.resize(truncatedData.size() - 10);
  std::vector<uint8_t> shortFormat = FormatRecord(1, 1, 22050, 16);
  shortFormat.resize(14);
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"compressed format", Riff({Chunk("fmt ", FormatRecord(2, 1, 22050, 4)), Chunk("data", Samples(100))})},
      {"float format", Riff({Chunk("fmt ", FormatRecord(3, 1, 22050, 32)), Chunk("data", Samples(100))})},
      {"format chunk of 14 bytes", Riff({Chunk("fmt ", shortFormat), Chunk("data", Samples(100))})},
      {"data size past the file", Riff({format, Chunk("data", Samples(100), 5000)}, 4900)},
      {"data size past the RIFF chunk", Riff({format, Chunk("data", Samples(100), 200)})},
      {"huge data chunk", Riff({format, Chunk("data", Samples(100), 0xFFFFFFF0u)})},
      {"data cut short", truncatedData},
      {"no data chunk", Riff({format, Chunk("junk", Samples(100))})},
      {"no chunk at all", Riff({})},
      {"RIFF size past the file", Riff({format, Chunk("data", Samples(100))}, 1000)},
      {"not a WAVE", Chunk("RIFF", Samples(40))},
      {"empty file", {}},
  };
  for (const auto& c : cases) {
    std::string path = File("bad.wav", c.bytes);
    EXPECT_FALSE(Reads(path)) << c.what;
    EXPECT_EQ(effect.Load(path.c_str(), 2), 0) << c.what;
    EXPECT_EQ(effect.Play(0, 100, 0), -1) << c.what;
  }
  EXPECT_EQ(effect.Load((folder / "missing.wav").string().c_str(), 2), 0);
}

}  // namespace
