#include "tools/wavwrite.h"

#include <cstdio>

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

void PutTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

}  // namespace

std::vector<uint8_t> EncodeWave(const WaveFormat& format, const uint8_t* data, size_t byteCount) {
  if (format.channels != 1 && format.channels != 2) return {};
  if (format.bitsPerSample != 8 && format.bitsPerSample != 16) return {};
  if (format.sampleRate <= 0 || format.sampleRate > 1000000) return {};
  uint32_t blockAlign = static_cast<uint32_t>(format.channels * format.bitsPerSample / 8);
  if (byteCount % blockAlign != 0) return {};
  if (byteCount > 0 && data == nullptr) return {};
  // RIFF sizes are 32-bit; header (36 bytes after the RIFF size) and pad must fit.
  size_t pad = byteCount & 1;
  if (byteCount > 0xFFFFFFFFu - 36 - pad) return {};

  std::vector<uint8_t> out;
  out.reserve(44 + byteCount + pad);
  PutTag(out, "RIFF");
  Put32(out, static_cast<uint32_t>(36 + byteCount + pad));
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  Put32(out, 16);
  Put16(out, 1);  // PCM
  Put16(out, static_cast<uint32_t>(format.channels));
  Put32(out, static_cast<uint32_t>(format.sampleRate));
  Put32(out, static_cast<uint32_t>(format.sampleRate) * blockAlign);
  Put16(out, blockAlign);
  Put16(out, static_cast<uint32_t>(format.bitsPerSample));
  PutTag(out, "data");
  // The chunk size counts the samples only; the pad byte keeps the next
  // chunk on an even offset, as RIFF requires.
  Put32(out, static_cast<uint32_t>(byteCount));
  if (byteCount > 0) out.insert(out.end(), data, data + byteCount);
  if (pad) out.push_back(0);
  return out;
}

std::vector<uint8_t> EncodeWave16(int channels, int sampleRate, const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes;
  bytes.reserve(samples.size() * 2);
  for (int16_t sample : samples) Put16(bytes, static_cast<uint16_t>(sample));
  return EncodeWave({channels, sampleRate, 16}, bytes.data(), bytes.size());
}

std::vector<uint8_t> EncodeWave8(int channels, int sampleRate, const std::vector<uint8_t>& samples) {
  return EncodeWave({channels, sampleRate, 8}, samples.data(), samples.size());
}

int WriteBytesToFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return 0;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = std::fclose(file) == 0 && ok;
  if (!ok) std::remove(path.c_str());
  return ok ? 1 : 0;
}
