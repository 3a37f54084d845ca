// Shared by the sound tests: files of the test's own in a temporary folder,
// the mix captured through SDL's disk audio driver, and small songs.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vantor/platform_test.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/headless.h"
#include "tools/midiwrite.h"
#include "tools/wavwrite.h"

namespace sound_test {

namespace fs = std::filesystem;

inline fs::path TestFolder(const char* area) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  fs::path folder = fs::temp_directory_path() / (std::string("vantor-") + area + "-" + std::to_string(getpid()) +
                                                 "-" + info->test_suite_name() + "-" + info->name());
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

inline void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Waits until the mixer has produced `frames` more frames than `since`;
// false when it does not within a generous time.
inline bool WaitMixed(uint64_t since, uint64_t frames) {
  for (int waited = 0; waited < 30000; ++waited) {
    if (platform_test::AudioFramesMixed() >= since + frames) return true;
    SDL_Delay(1);
  }
  return false;
}

// The captured mix: interleaved left, right.
struct Capture {
  std::vector<int16_t> samples;
  size_t Frames() const { return samples.size() / 2; }
  int16_t Left(size_t frame) const { return samples[2 * frame]; }
  int16_t Right(size_t frame) const { return samples[2 * frame + 1]; }
  int Peak(int channel) const {
    int peak = 0;
    for (size_t i = channel; i < samples.size(); i += 2) peak = std::max(peak, std::abs(int(samples[i])));
    return peak;
  }
  // Root mean square of one channel over [from, to) frames.
  double Rms(int channel, size_t from, size_t to) const {
    double sum = 0;
    to = std::min(to, Frames());
    for (size_t f = from; f < to; ++f) sum += double(samples[2 * f + channel]) * samples[2 * f + channel];
    return to > from ? std::sqrt(sum / double(to - from)) : 0;
  }
};

inline Capture ReadCapture(const fs::path& path) {
  std::vector<uint8_t> bytes = ReadBytes(path);
  Capture capture;
  capture.samples.resize(bytes.size() / 2);
  std::memcpy(capture.samples.data(), bytes.data(), capture.samples.size() * 2);
  return capture;
}

// A song of `lengthMs` milliseconds at 120 beats per minute: one loud piano
// chord from the start for `noteMs`, then silence to the end.
inline std::vector<uint8_t> ShortSong(uint32_t noteMs = 400, uint32_t lengthMs = 1000) {
  MidiSong song;
  song.ticksPerQuarter = 480;  // 500 ms a quarter: 0.96 ticks a millisecond
  MidiTrack track;
  track.Tempo(0, 500000);
  track.ProgramChange(0, 0, 0);
  uint32_t off = noteMs * 480 / 500, end = lengthMs * 480 / 500;
  for (int key : {60, 64, 67}) {
    track.NoteOn(0, 0, key, 127);
    track.NoteOff(off, 0, key);
  }
  song.tracks.push_back(track);
  return EncodeMidi(song, end);
}

// The small SoundFont, so that tests do not load the large one every time.
inline std::string SmallSoundFont() { return "/usr/share/sounds/sf2/TimGM6mb.sf2"; }

}  // namespace sound_test
