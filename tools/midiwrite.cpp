#include "tools/midiwrite.h"

#include <algorithm>

namespace {

bool In7Bits(int value) { return value >= 0 && value <= 127; }

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

}  // namespace

std::vector<uint8_t> EncodeVlq(uint32_t value) {
  if (value > MIDI_VLQ_MAX) return {};
  std::vector<uint8_t> out;
  int shift = 21;
  while (shift > 0 && (value >> shift) == 0) shift -= 7;
  for (; shift > 0; shift -= 7) out.push_back(static_cast<uint8_t>(0x80 | ((value >> shift) & 0x7F)));
  out.push_back(static_cast<uint8_t>(value & 0x7F));
  return out;
}

int MidiTrack::AddChannelEvent(uint32_t tick, int order, uint8_t status, int channel, int data1, int data2,
                               int count) {
  if (channel < 0 || channel > 15 || !In7Bits(data1) || (count == 2 && !In7Bits(data2))) return 0;
  MidiEvent event{tick, order, {static_cast<uint8_t>(status | channel), static_cast<uint8_t>(data1)}};
  if (count == 2) event.bytes.push_back(static_cast<uint8_t>(data2));
  events.push_back(event);
  return 1;
}

int MidiTrack::NoteOn(uint32_t tick, int channel, int key, int velocity) {
  // Velocity 0 would be read as a note-off.
  if (velocity < 1) return 0;
  return AddChannelEvent(tick, MIDI_ORDER_NOTEON, 0x90, channel, key, velocity, 2);
}

int MidiTrack::NoteOff(uint32_t tick, int channel, int key) {
  return AddChannelEvent(tick, MIDI_ORDER_NOTEOFF, 0x80, channel, key, 64, 2);
}

int MidiTrack::ProgramChange(uint32_t tick, int channel, int program) {
  return AddChannelEvent(tick, MIDI_ORDER_SETUP, 0xC0, channel, program, 0, 1);
}

int MidiTrack::ControlChange(uint32_t tick, int channel, int controller, int value) {
  return AddChannelEvent(tick, MIDI_ORDER_SETUP, 0xB0, channel, controller, value, 2);
}

int MidiTrack::Tempo(uint32_t tick, uint32_t microsecondsPerQuarter) {
  if (microsecondsPerQuarter == 0 || microsecondsPerQuarter > 0xFFFFFF) return 0;
  events.push_back(
      {tick,
       MIDI_ORDER_META,
       {0xFF, 0x51, 0x03, static_cast<uint8_t>(microsecondsPerQuarter >> 16),
        static_cast<uint8_t>(microsecondsPerQuarter >> 8), static_cast<uint8_t>(microsecondsPerQuarter)}});
  return 1;
}

int MidiTrack::TimeSignature(uint32_t tick, int numerator, int denominator) {
  int power = 0;
  while (power < 7 && (1 << power) < denominator) ++power;
  if (numerator < 1 || numerator > 255 || (1 << power) != denominator) return 0;
  // 24 clocks per metronome click, 8 thirty-seconds per quarter note.
  events.push_back({tick,
                    MIDI_ORDER_META,
                    {0xFF, 0x58, 0x04, static_cast<uint8_t>(numerator), static_cast<uint8_t>(power), 24, 8}});
  return 1;
}

int MidiTrack::Name(const std::string& name) {
  std::vector<uint8_t> length =
      EncodeVlq(static_cast<uint32_t>(std::min<size_t>(name.size(), MIDI_VLQ_MAX + 1)));
  if (length.empty()) return 0;
  MidiEvent event{0, MIDI_ORDER_META, {0xFF, 0x03}};
  event.bytes.insert(event.bytes.end(), length.begin(), length.end());
  event.bytes.insert(event.bytes.end(), name.begin(), name.end());
  events.push_back(event);
  return 1;
}

std::vector<uint8_t> EncodeMidi(const MidiSong& song, uint32_t endTick) {
  if (song.tracks.empty() || song.tracks.size() > 0xFFFF) return {};
  if (song.ticksPerQuarter < 1 || song.ticksPerQuarter > 0x7FFF) return {};
  if (endTick > MIDI_VLQ_MAX) return {};

  std::vector<uint8_t> out;
  out.insert(out.end(), {'M', 'T', 'h', 'd'});
  Put32(out, 6);
  Put16(out, 1);
  Put16(out, static_cast<uint32_t>(song.tracks.size()));
  Put16(out, static_cast<uint32_t>(song.ticksPerQuarter));

  for (const MidiTrack& track : song.tracks) {
    std::vector<MidiEvent> events = track.Events();
    std::stable_sort(events.begin(), events.end(), [](const MidiEvent& a, const MidiEvent& b) {
      return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    if (!events.empty() && events.back().tick > endTick) return {};
    events.push_back({endTick, MIDI_ORDER_NOTEON + 1, {0xFF, 0x2F, 0x00}});

    std::vector<uint8_t> body;
    uint32_t now = 0;
    for (const MidiEvent& event : events) {
      std::vector<uint8_t> delta = EncodeVlq(event.tick - now);
      body.insert(body.end(), delta.begin(), delta.end());
      body.insert(body.end(), event.bytes.begin(), event.bytes.end());
      now = event.tick;
    }
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    Put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
  }
  return out;
}
