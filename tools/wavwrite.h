// wavwrite: PCM WAV files (RIFF/WAVE with a "fmt " and a "data" chunk), the
// form the sound effect loader reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct WaveFormat {
  int channels = 1;        // 1 or 2
  int sampleRate = 22050;  // frames per second
  int bitsPerSample = 16;  // 8 (unsigned) or 16 (signed)
};

// The whole file for `byteCount` bytes of interleaved sample data already in
// the file's byte order. Returns an empty vector when the format is not one
// we write or the data is not a whole number of frames or too large for a
// RIFF file.
std::vector<uint8_t> EncodeWave(const WaveFormat& format, const uint8_t* data, size_t byteCount);

// 16-bit signed samples, interleaved when stereo.
std::vector<uint8_t> EncodeWave16(int channels, int sampleRate, const std::vector<int16_t>& samples);

// 8-bit unsigned samples (128 is silence), interleaved when stereo.
std::vector<uint8_t> EncodeWave8(int channels, int sampleRate, const std::vector<uint8_t>& samples);

// Writes bytes to a file; 1 on success, 0 on failure. Writes nothing when
// `bytes` is empty, so a refused encoding never leaves a truncated file.
int WriteBytesToFile(const std::string& path, const std::vector<uint8_t>& bytes);
