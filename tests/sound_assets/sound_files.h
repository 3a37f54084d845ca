// Small readers for the WAV and MIDI files the tests check, written apart
// from the writers so that a fault in one is not mirrored in the other.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/cases.h"

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + i];
  return v;
}

struct WaveInfo {
  std::string error;  // empty when the file parsed
  int formatTag = 0, channels = 0, bits = 0, blockAlign = 0;
  uint32_t rate = 0, byteRate = 0;
  size_t dataOffset = 0;
  std::vector<uint8_t> data;
};

// Walks the RIFF chunks, honouring pad bytes, and takes "fmt " and "data".
inline WaveInfo ParseWave(const std::vector<uint8_t>& b) {
  WaveInfo info;
  if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
      std::string(b.begin() + 8, b.begin() + 12) != "WAVE")
    return info.error = "not RIFF/WAVE", info;
  if (Le(b, 4, 4) != b.size() - 8) return info.error = "RIFF size does not match the file", info;
  bool haveFormat = false, haveData = false;
  for (size_t at = 12; at < b.size();) {
    if (b.size() - at < 8) return info.error = "truncated chunk header", info;
    std::string id(b.begin() + at, b.begin() + at + 4);
    size_t size = Le(b, at + 4, 4);
    if (size > b.size() - at - 8) return info.error = "chunk " + id + " overruns the file", info;
    size_t body = at + 8;
    if (id == "fmt ") {
      if (size < 16) return info.error = "short fmt chunk", info;
      info.formatTag = static_cast<int>(Le(b, body, 2));
      info.channels = static_cast<int>(Le(b, body + 2, 2));
      info.rate = Le(b, body + 4, 4);
      info.byteRate = Le(b, body + 8, 4);
      info.blockAlign = static_cast<int>(Le(b, body + 12, 2));
      info.bits = static_cast<int>(Le(b, body + 14, 2));
      haveFormat = true;
    } else if (id == "data") {
      if (!haveFormat) return info.error = "data before fmt", info;
      info.dataOffset = body;
      info.data.assign(b.begin() + body, b.begin() + body + size);
      haveData = true;
    }
    at = body + size + (size & 1);
    if (at > b.size()) return info.error = "missing pad byte", info;
  }
  if (!haveFormat || !haveData) return info.error = "fmt or data chunk missing", info;
  return info;
}

struct MidiNote {
  int track, channel, key;
  uint64_t on, off;
};

struct MidiInfo {
  std::string error;
  int format = -1, division = 0;
  size_t trackCount = 0;
  std::vector<uint64_t> trackEnds;                    // tick of each end-of-track
  std::vector<std::pair<uint64_t, uint32_t>> tempos;  // tick, microseconds per quarter
  int meterTop = 4, meterBottom = 4;
  std::vector<MidiNote> notes;
  std::vector<std::vector<std::vector<uint8_t>>> events;  // per track, as read (running status expanded)
};

// Reads a standard MIDI file; notes are paired on (channel, key), and a note
// started twice, ended while silent or left sounding is an error.
inline MidiInfo ParseMidi(const std::vector<uint8_t>& b) {
  MidiInfo info;
  auto be = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | b[at + i];
    return v;
  };
  if (b.size() < 14 || std::string(b.begin(), b.begin() + 4) != "MThd" || be(4, 4) != 6)
    return info.error = "bad MThd", info;
  info.format = static_cast<int>(be(8, 2));
  info.trackCount = be(10, 2);
  info.division = static_cast<int>(be(12, 2));
  if (info.division == 0 || info.division & 0x8000) return info.error = "unsupported division", info;
  size_t at = 14;
  for (size_t t = 0; t < info.trackCount; ++t) {
    if (b.size() - at < 8 || std::string(b.begin() + at, b.begin() + at + 4) != "MTrk")
      return info.error = "missing MTrk " + std::to_string(t), info;
    size_t length = be(at + 4, 4);
    if (length > b.size() - at - 8) return info.error = "track overruns the file", info;
    size_t p = at + 8, end = p + length;
    uint64_t tick = 0;
    int status = 0;
    bool ended = false;
    std::map<std::pair<int, int>, uint64_t> sounding;
    info.events.emplace_back();
    auto vlq = [&](uint32_t& value) {
      value = 0;
      for (int i = 0; i < 4; ++i) {
        if (p >= end) return false;
        uint8_t byte = b[p++];
        value = value << 7 | (byte & 0x7F);
        if (!(byte & 0x80)) return true;
      }
      return false;
    };
    while (p < end) {
      if (ended) return info.error = "events after end-of-track", info;
      uint32_t delta;
      if (!vlq(delta)) return info.error = "bad delta time", info;
      tick += delta;
      if (p >= end) return info.error = "event cut off", info;
      std::vector<uint8_t> event;
      if (b[p] == 0xFF) {
        if (end - p < 2) return info.error = "meta cut off", info;
        int type = b[p + 1];
        p += 2;
        uint32_t size;
        if (!vlq(size) || size > end - p) return info.error = "meta length", info;
        event = {0xFF, static_cast<uint8_t>(type)};
        event.insert(event.end(), b.begin() + p, b.begin() + p + size);
        if (type == 0x2F) ended = true, info.trackEnds.push_back(tick);
        if (type == 0x51 && size == 3) info.tempos.push_back({tick, be(p, 3)});
        if (type == 0x58 && size == 4) info.meterTop = b[p], info.meterBottom = 1 << b[p + 1];
        p += size;
      } else if (b[p] == 0xF0 || b[p] == 0xF7) {
        ++p;
        uint32_t size;
        if (!vlq(size) || size > end - p) return info.error = "sysex length", info;
        p += size;
        continue;
      } else {
        if (b[p] & 0x80) status = b[p++];
        if (!status) return info.error = "running status without a status", info;
        int kind = status & 0xF0, channel = status & 0x0F;
        size_t count = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
        if (end - p < count) return info.error = "channel event cut off", info;
        event = {static_cast<uint8_t>(status)};
        event.insert(event.end(), b.begin() + p, b.begin() + p + count);
        p += count;
        if (kind == 0x90 || kind == 0x80) {
          std::pair<int, int> key{channel, event[1]};
          bool on = kind == 0x90 && event[2] > 0;
          auto found = sounding.find(key);
          if (on) {
            if (found != sounding.end()) return info.error = "key started twice", info;
            sounding[key] = tick;
          } else {
            if (found == sounding.end()) return info.error = "note-off for a silent key", info;
            info.notes.push_back({static_cast<int>(t), channel, key.second, found->second, tick});
            sounding.erase(found);
          }
        }
      }
      info.events.back().push_back(event);
    }
    if (!ended) return info.error = "track " + std::to_string(t) + " has no end-of-track", info;
    if (!sounding.empty()) return info.error = "notes left sounding", info;
    at = end;
  }
  if (at != b.size()) return info.error = "bytes after the last track", info;
  return info;
}

// Seconds from tick 0 to `tick` through the tempo map (120 bpm until the
// first tempo event).
inline double MidiSeconds(const MidiInfo& info, uint64_t tick) {
  std::map<uint64_t, uint32_t> map(info.tempos.begin(), info.tempos.end());
  double seconds = 0;
  uint64_t last = 0;
  uint32_t tempo = 500000;
  for (auto [when, value] : map) {
    if (when >= tick) break;
    seconds += static_cast<double>(when - last) * tempo / 1e6 / info.division;
    last = when, tempo = value;
  }
  return seconds + static_cast<double>(tick - last) * tempo / 1e6 / info.division;
}
