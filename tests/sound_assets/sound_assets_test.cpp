// throw.wav and test.mid as the build generates them, and the two tools
// that make them, run as the build runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <tuple>

#include "sound_assets/sound_files.h"
#include "support/tool_run.h"

namespace {

namespace fs = std::filesystem;

fs::path RunDir() {
  const char* dir = std::getenv("VANTOR_RUN_DIR");
  return dir ? dir : ".";
}

fs::path SourceDir() {
  const char* dir = std::getenv("VANTOR_SOURCE_DIR");
  return dir ? dir : VANTOR_SOURCE_DIR_DEFAULT;
}

std::vector<int> Samples16(const WaveInfo& info) {
  std::vector<int> samples;
  for (size_t i = 0; i + 1 < info.data.size(); i += 2)
    samples.push_back(static_cast<int16_t>(Le(info.data, i, 2)));
  return samples;
}

// Zero crossings per sample over a stretch: rises with the pitch of the noise band.
double CrossingRate(const std::vector<int>& s, size_t from, size_t to) {
  int crossings = 0;
  for (size_t i = from + 1; i < to; ++i) crossings += (s[i - 1] < 0) != (s[i] < 0);
  return static_cast<double>(crossings) / static_cast<double>(to - from);
}

TEST(ThrowWav, IsQuietMonoPcmWhooshThatSweeps) {
  WaveInfo info = ParseWave(ReadFileBytes(RunDir() / "throw.wav"));
  ASSERT_EQ(info.error, "");
  EXPECT_EQ(info.formatTag, 1);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.bits, 16);
  EXPECT_TRUE(info.rate == 22050 || info.rate == 44100) << info.rate;
  EXPECT_EQ(info.blockAlign, 2);
  EXPECT_EQ(info.byteRate, info.rate * 2);

  std::vector<int> s = Samples16(info);
  double seconds = static_cast<double>(s.size()) / info.rate;
  EXPECT_GE(seconds, 0.3);
  EXPECT_LE(seconds, 0.5);
  int peak = 0;
  for (int v : s) peak = std::max(peak, std::abs(v));
  double dbfs = 20 * std::log10(peak / 32768.0);
  EXPECT_GE(dbfs, -14.0);
  EXPECT_LE(dbfs, -10.0);
  // Starts and ends near silence, so neither end clicks.
  EXPECT_LT(std::abs(s.front()), peak / 50);
  EXPECT_LT(std::abs(s.back()), peak / 50);

  // The band rises and falls again: the middle third is brighter than the
  // first and the last sixth.
  size_t n = s.size();
  double start = CrossingRate(s, 0, n / 6), middle = CrossingRate(s, n / 3, 2 * n / 3),
         end = CrossingRate(s, 5 * n / 6, n);
  EXPECT_GT(middle, 1.5 * start);
  EXPECT_GT(middle, 1.5 * end);
}

TEST(TestMid, LoopsCleanlyOnABarLine) {
  MidiInfo info = ParseMidi(ReadFileBytes(RunDir() / "test.mid"));
  ASSERT_EQ(info.error, "");
  EXPECT_EQ(info.format, 1);
  ASSERT_GE(info.trackCount, 3u);
  ASSERT_EQ(info.trackEnds.size(), info.trackCount);

  uint64_t end = *std::max_element(info.trackEnds.begin(), info.trackEnds.end());
  uint64_t bar = static_cast<uint64_t>(info.division) * 4 * info.meterTop / info.meterBottom;
  EXPECT_EQ(end % bar, 0u) << "song ends off the bar line";
  double seconds = MidiSeconds(info, end);
  EXPECT_GE(seconds, 30.0);
  EXPECT_LE(seconds, 60.0);

  // Melody, bass and drums on the percussion channel; music from the first
  // tick to the last beat, so the replay follows without a gap.
  std::set<int> channels;
  uint64_t firstOn = end, lastOff = 0;
  for (const MidiNote& note : info.notes) {
    channels.insert(note.channel);
    firstOn = std::min(firstOn, note.on);
    lastOff = std::max(lastOff, note.off);
    EXPECT_LE(note.off, end);
  }
  EXPECT_GE(channels.size(), 3u);
  EXPECT_TRUE(channels.count(9)) << "no drums on channel 10";
  EXPECT_EQ(firstOn, 0u);
  EXPECT_GE(lastOff + static_cast<uint64_t>(info.division) / 4, end);
}

using SoundToolsTest = vantor_test::ToolFolderTest;

TEST_F(SoundToolsTest, GeneratorsGiveTheSameBytesEveryRun) {
  fs::path sfx = SourceDir() / "assets/sound/throw.sfx", song = SourceDir() / "assets/sound/test.song";
  ASSERT_EQ(Run(SFXGEN_PATH, {sfx.string(), (dir / "a.wav").string()}), 0) << errors;
  ASSERT_EQ(Run(SFXGEN_PATH, {sfx.string(), (dir / "b.wav").string()}), 0) << errors;
  ASSERT_EQ(Run(SONGGEN_PATH, {song.string(), (dir / "a.mid").string()}), 0) << errors;
  ASSERT_EQ(Run(SONGGEN_PATH, {song.string(), (dir / "b.mid").string()}), 0) << errors;
  std::vector<uint8_t> wave = ReadFileBytes((dir / "a.wav").string());
  std::vector<uint8_t> midi = ReadFileBytes((dir / "a.mid").string());
  ASSERT_FALSE(wave.empty());
  ASSERT_FALSE(midi.empty());
  EXPECT_EQ(wave, ReadFileBytes((dir / "b.wav").string()));
  EXPECT_EQ(midi, ReadFileBytes((dir / "b.mid").string()));
  EXPECT_EQ(wave, ReadFileBytes((RunDir() / "throw.wav").string()));
  EXPECT_EQ(midi, ReadFileBytes((RunDir() / "test.mid").string()));
}

TEST_F(SoundToolsTest, HelpAndUsage) {
  for (const char* tool : {SFXGEN_PATH, SONGGEN_PATH}) {
    EXPECT_EQ(Run(tool, {"--help"}), 0);
    EXPECT_NE(output.find("usage:"), std::string::npos);
    EXPECT_EQ(Run(tool, {}), 2);
    EXPECT_NE(errors.find("usage:"), std::string::npos);
    EXPECT_EQ(Run(tool, {(dir / "missing").string(), (dir / "out").string()}), 1);
    EXPECT_FALSE(fs::exists(dir / "out"));
  }
}

const char* const SONG_HEAD = "tempo 120\nmeter 3/4\nchannel 1 name Lead program 1\nchannel 10 name Drums\n";

TEST_F(SoundToolsTest, SonggenRejectsMistakesWithTheirLine) {
  struct Case {
    std::string body, message;
  };
  std::vector<Case> cases = {
      {"pattern a\n| C4/2 D4/2 |\nend\n", ":6: 'D4/2' runs over the bar line"},
      {"pattern a\n| C4/2 |\nend\n", ":6: bar 1 of 'a' holds 960"},
      {"pattern a\n| C4/2. |\nend\nplay 1 a b\n", ":8: no pattern 'b'"},
      {"pattern a\n| H4/2. |\nend\n", ":6: 'H4' is not a note"},
      {"pattern a\n| C4+C4/2. |\nend\n", "appears twice"},
      {"pattern a\n| C4/2. |\n", "has no end"},
      {"pattern a\n| C4/2. |\nend\nplay 1 a*2\nplay 10 a\n",
       "channel 10 plays 1 bars, the channels before it 2"},
      {"pattern a\n| C4/3 |\nend\n", "bad duration"},
  };
  for (const Case& c : cases) {
    fs::path song = Make("bad.song", SONG_HEAD + c.body);
    EXPECT_EQ(Run(SONGGEN_PATH, {song.string(), (dir / "out.mid").string()}), 1) << c.body;
    EXPECT_NE(errors.find(c.message), std::string::npos) << c.body << "\n-> " << errors;
    EXPECT_FALSE(fs::exists(dir / "out.mid"));
  }
}

TEST_F(SoundToolsTest, SonggenWritesWhatTheNoteListSays) {
  fs::path song = Make("small.song", std::string(SONG_HEAD) +
                                          "pattern a\n v=80 g=50 | C4/4 r/4 E4@90+G4/4 |\nend\n"
                                          "pattern d\n | kick/2. |\nend\nplay 1 a*2\nplay 10 d d\n");
  ASSERT_EQ(Run(SONGGEN_PATH, {song.string(), (dir / "out.mid").string()}), 0) << errors;
  MidiInfo info = ParseMidi(ReadFileBytes((dir / "out.mid").string()));
  ASSERT_EQ(info.error, "");
  EXPECT_EQ(info.trackCount, 3u);  // conductor, lead, drums
  EXPECT_EQ(info.meterTop, 3);
  ASSERT_EQ(info.tempos.size(), 1u);
  EXPECT_EQ(info.tempos[0].second, 500000u);
  uint64_t bar = 3 * static_cast<uint64_t>(info.division);
  EXPECT_EQ(info.trackEnds, std::vector<uint64_t>(3, 2 * bar));
  std::multiset<std::tuple<int, int, uint64_t, uint64_t>> notes;
  for (const MidiNote& n : info.notes) notes.insert({n.channel, n.key, n.on, n.off});
  uint64_t q = static_cast<uint64_t>(info.division);
  std::multiset<std::tuple<int, int, uint64_t, uint64_t>> expected = {
      {0, 60, 0, q / 2},
      {0, 64, 2 * q, 2 * q + q / 2},
      {0, 67, 2 * q, 2 * q + q / 2},
      {0, 60, bar, bar + q / 2},
      {0, 64, bar + 2 * q, bar + 2 * q + q / 2},
      {0, 67, bar + 2 * q, bar + 2 * q + q / 2},
      {9, 36, 0, bar},
      {9, 36, bar, 2 * bar}};
  EXPECT_EQ(notes, expected);
  // The program is written as General MIDI numbers it, one less on the wire.
  bool program = false;
  for (const auto& event : info.events[1]) program |= event.size() == 2 && event[0] == 0xC0 && event[1] == 0;
  EXPECT_TRUE(program);
}

TEST_F(SoundToolsTest, SfxgenRejectsBadParameters) {
  for (std::string text : {"rate 1000\n", "colour 3\n", "peak_permille 2000\n", "sweep_top_hz 20000\n",
                           "attack_ms 9000\n", "rate\n", "seed -4\n"}) {
    fs::path params = Make("bad.sfx", text);
    EXPECT_EQ(Run(SFXGEN_PATH, {params.string(), (dir / "out.wav").string()}), 1) << text;
    EXPECT_NE(errors.find("sfxgen: "), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(dir / "out.wav")) << text;
  }
}

}  // namespace
