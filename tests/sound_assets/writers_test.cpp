// The WAV and MIDI writers, read back with the tests' own readers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>
#include <tuple>

#include "sound_assets/sound_files.h"
#include "tools/midiwrite.h"
#include "tools/wavwrite.h"

namespace {

using vantor_test::Cases;

TEST(WaveWriter, StereoSixteenBitHeaderAndSamples) {
  std::vector<int16_t> samples = {0, -1, 32767, -32768, 1234, -4321};
  WaveInfo info = ParseWave(EncodeWave16(2, 44100, samples));
  ASSERT_EQ(info.error, "");
  EXPECT_EQ(info.formatTag, 1);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.rate, 44100u);
  EXPECT_EQ(info.blockAlign, 4);
  EXPECT_EQ(info.byteRate, 44100u * 4);
  EXPECT_EQ(info.bits, 16);
  ASSERT_EQ(info.data.size(), samples.size() * 2);
  for (size_t i = 0; i < samples.size(); ++i)
    EXPECT_EQ(static_cast<int16_t>(Le(info.data, 2 * i, 2)), samples[i]) << "sample " << i;
}

TEST(WaveWriter, OddDataGetsPadByteOutsideChunkSize) {
  std::vector<uint8_t> file = EncodeWave8(1, 8000, {128, 255, 0});
  WaveInfo info = ParseWave(file);
  ASSERT_EQ(info.error, "");
  EXPECT_EQ(info.bits, 8);
  EXPECT_EQ(info.blockAlign, 1);
  EXPECT_EQ(info.data, (std::vector<uint8_t>{128, 255, 0}));
  // The chunk says 3 bytes; the file holds a fourth, zero, so that the file
  // (and anything appended) stays on even offsets.
  EXPECT_EQ(Le(file, info.dataOffset - 4, 4), 3u);
  ASSERT_EQ(file.size(), info.dataOffset + 4);
  EXPECT_EQ(file.back(), 0);
  EXPECT_EQ(file.size() % 2, 0u);
}

TEST(WaveWriter, RefusesFormatsAndPartialFrames) {
  uint8_t bytes[6] = {};
  EXPECT_TRUE(EncodeWave({3, 22050, 16}, bytes, 6).empty());
  EXPECT_TRUE(EncodeWave({1, 22050, 12}, bytes, 6).empty());
  EXPECT_TRUE(EncodeWave({1, 0, 16}, bytes, 6).empty());
  EXPECT_TRUE(EncodeWave({1, 22050, 16}, bytes, 5).empty());  // half a sample
  EXPECT_TRUE(EncodeWave({2, 22050, 16}, bytes, 6).empty());  // a frame and a half
  EXPECT_TRUE(EncodeWave({1, 22050, 16}, nullptr, 4).empty());

  // A refused encoding must not leave a file behind.
  std::string path = ::testing::TempDir() + "/refused.wav";
  std::filesystem::remove(path);
  EXPECT_EQ(WriteBytesToFile(path, EncodeWave({1, 22050, 16}, bytes, 5)), 0);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(WaveWriter, RandomFormatsReadBackExactly) {
  std::mt19937 random(5);
  for (int n = 0; n < Cases(50); ++n) {
    WaveFormat format{1 + static_cast<int>(random() % 2), 4000 + static_cast<int>(random() % 90000),
                      random() % 2 ? 16 : 8};
    size_t frames = random() % 40;
    std::vector<uint8_t> data(frames * format.channels * format.bitsPerSample / 8);
    for (uint8_t& byte : data) byte = static_cast<uint8_t>(random());
    WaveInfo info = ParseWave(EncodeWave(format, data.data(), data.size()));
    ASSERT_EQ(info.error, "") << "case " << n;
    EXPECT_EQ(info.channels, format.channels);
    EXPECT_EQ(info.rate, static_cast<uint32_t>(format.sampleRate));
    EXPECT_EQ(info.byteRate, info.rate * info.blockAlign);
    EXPECT_EQ(info.blockAlign, format.channels * format.bitsPerSample / 8);
    EXPECT_EQ(info.data, data);
  }
}

uint32_t DecodeVlq(const std::vector<uint8_t>& bytes) {
  uint32_t value = 0;
  for (uint8_t byte : bytes) value = value << 7 | (byte & 0x7F);
  return value;
}

TEST(MidiWriter, VariableLengthQuantityEdges) {
  using Bytes = std::vector<uint8_t>;
  EXPECT_EQ(EncodeVlq(0), (Bytes{0x00}));
  EXPECT_EQ(EncodeVlq(127), (Bytes{0x7F}));
  EXPECT_EQ(EncodeVlq(128), (Bytes{0x81, 0x00}));
  EXPECT_EQ(EncodeVlq(0x3FFF), (Bytes{0xFF, 0x7F}));
  EXPECT_EQ(EncodeVlq(0x4000), (Bytes{0x81, 0x80, 0x00}));
  EXPECT_EQ(EncodeVlq(0x1FFFFF), (Bytes{0xFF, 0xFF, 0x7F}));
  EXPECT_EQ(EncodeVlq(0x200000), (Bytes{0x81, 0x80, 0x80, 0x00}));
  EXPECT_EQ(EncodeVlq(0x0FFFFFFF), (Bytes{0xFF, 0xFF, 0xFF, 0x7F}));
  EXPECT_TRUE(EncodeVlq(0x10000000).empty());
  EXPECT_TRUE(EncodeVlq(0xFFFFFFFF).empty());
}

TEST(MidiWriter, VariableLengthQuantityRoundTripIsMinimal) {
  std::mt19937 random(9);
  for (int n = 0; n < Cases(200); ++n) {
    uint32_t value = random() >> (random() % 32) & MIDI_VLQ_MAX;
    std::vector<uint8_t> bytes = EncodeVlq(value);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(DecodeVlq(bytes), value);
    // Continuation bit on all but the last byte, and no leading empty group.
    for (size_t i = 0; i + 1 < bytes.size(); ++i) EXPECT_TRUE(bytes[i] & 0x80);
    EXPECT_FALSE(bytes.back() & 0x80);
    EXPECT_TRUE(bytes.size() == 1 || bytes[0] != 0x80) << value;
  }
}

TEST(MidiWriter, NoteEndingOnABeatPrecedesTheSameKeyStartingThere) {
  MidiSong song;
  song.tracks.resize(1);
  MidiTrack& track = song.tracks[0];
  // Added in the order a composer might list them: the second note first.
  ASSERT_EQ(track.NoteOn(480, 0, 60, 100), 1);
  ASSERT_EQ(track.NoteOff(960, 0, 60), 1);
  ASSERT_EQ(track.NoteOn(0, 0, 60, 100), 1);
  ASSERT_EQ(track.NoteOff(480, 0, 60), 1);
  MidiInfo info = ParseMidi(EncodeMidi(song, 960));
  ASSERT_EQ(info.error, "");
  ASSERT_EQ(info.notes.size(), 2u);
  EXPECT_EQ(info.notes[0].on, 0u);
  EXPECT_EQ(info.notes[0].off, 480u);
  EXPECT_EQ(info.notes[1].on, 480u);
  EXPECT_EQ(info.notes[1].off, 960u);
}

TEST(MidiWriter, RefusesBadValuesAndEventsAfterTheEnd) {
  MidiTrack track;
  EXPECT_EQ(track.NoteOn(0, 16, 60, 100), 0);
  EXPECT_EQ(track.NoteOn(0, 0, 128, 100), 0);
  EXPECT_EQ(track.NoteOn(0, 0, 60, 0), 0);  // would read as a note-off
  EXPECT_EQ(track.ProgramChange(0, 0, 128), 0);
  EXPECT_EQ(track.Tempo(0, 0), 0);
  EXPECT_EQ(track.TimeSignature(0, 4, 3), 0);
  EXPECT_TRUE(track.Events().empty());

  MidiSong song;
  EXPECT_TRUE(EncodeMidi(song, 0).empty());
  song.tracks.resize(1);
  song.tracks[0].NoteOn(0, 0, 60, 90);
  song.tracks[0].NoteOff(500, 0, 60);
  EXPECT_TRUE(EncodeMidi(song, 499).empty());
  EXPECT_FALSE(EncodeMidi(song, 500).empty());
}

TEST(MidiWriter, RandomTracksReadBackWithTheirTimes) {
  std::mt19937 random(17);
  for (int n = 0; n < Cases(30); ++n) {
    MidiSong song;
    song.ticksPerQuarter = 96 + static_cast<int>(random() % 900);
    song.tracks.resize(1 + random() % 4);
    std::multiset<std::tuple<size_t, int, int, uint64_t, uint64_t>> expected;
    uint32_t end = 0;
    for (size_t t = 0; t < song.tracks.size(); ++t) {
      // Each channel and key sounds at most once at a time.
      uint32_t now = random() % 3 ? 0 : random() % 20000;
      for (int k = 0, count = static_cast<int>(random() % 30); k < count; ++k) {
        int channel = static_cast<int>(t), key = static_cast<int>(random() % 128);
        uint32_t length = 1 + random() % 5000;
        song.tracks[t].NoteOn(now, channel, key, 1 + static_cast<int>(random() % 127));
        song.tracks[t].NoteOff(now + length, channel, key);
        expected.insert({t, channel, key, now, now + length});
        end = std::max(end, now + length);
        now += length + random() % 3 * (random() % 300000);
      }
    }
    end += random() % 1000;
    MidiInfo info = ParseMidi(EncodeMidi(song, end));
    ASSERT_EQ(info.error, "") << "case " << n;
    EXPECT_EQ(info.format, 1);
    EXPECT_EQ(info.division, song.ticksPerQuarter);
    EXPECT_EQ(info.trackCount, song.tracks.size());
    EXPECT_EQ(info.trackEnds, std::vector<uint64_t>(song.tracks.size(), end));
    std::multiset<std::tuple<size_t, int, int, uint64_t, uint64_t>> found;
    for (const MidiNote& note : info.notes)
      found.insert({static_cast<size_t>(note.track), note.channel, note.key, note.on, note.off});
    EXPECT_EQ(found, expected) << "case " << n;
  }
}

}  // namespace
