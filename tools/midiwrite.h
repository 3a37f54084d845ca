// midiwrite: standard MIDI files, format 1 (MThd, then one MTrk per track).
// Tracks collect events at absolute tick times; encoding sorts them, turns
// the times into delta times and closes each track with end-of-track.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Largest value a variable-length quantity can carry (four 7-bit groups).
constexpr uint32_t MIDI_VLQ_MAX = 0x0FFFFFFF;

// The variable-length quantity for `value`, most significant group first;
// empty when `value` exceeds MIDI_VLQ_MAX.
std::vector<uint8_t> EncodeVlq(uint32_t value);

struct MidiEvent {
  uint32_t tick = 0;
  // Events at the same tick go out in this order, so that a note ending on
  // a beat never cuts off the same key starting again on it, and settings
  // reach a channel before its first note.
  int order = 0;
  std::vector<uint8_t> bytes;  // status byte and data, or FF type length data
};

enum MidiOrder { MIDI_ORDER_META = 0, MIDI_ORDER_SETUP = 1, MIDI_ORDER_NOTEOFF = 2, MIDI_ORDER_NOTEON = 3 };

class MidiTrack {
 public:
  // Channels are 0..15 (9 is General MIDI percussion); keys, velocities,
  // programs and controller values 0..127. Out-of-range values are
  // refused with a 0 result and leave the track unchanged.
  int NoteOn(uint32_t tick, int channel, int key, int velocity);
  int NoteOff(uint32_t tick, int channel, int key);
  int ProgramChange(uint32_t tick, int channel, int program);
  int ControlChange(uint32_t tick, int channel, int controller, int value);
  int Tempo(uint32_t tick, uint32_t microsecondsPerQuarter);
  int TimeSignature(uint32_t tick, int numerator, int denominator);
  int Name(const std::string& name);

  const std::vector<MidiEvent>& Events() const { return events; }

 private:
  int AddChannelEvent(uint32_t tick, int order, uint8_t status, int channel, int data1, int data2, int count);
  std::vector<MidiEvent> events;
};

struct MidiSong {
  int ticksPerQuarter = 480;
  std::vector<MidiTrack> tracks;
};

// The whole file. Every track ends with end-of-track at `endTick`, which
// must not come before the track's last event. Returns an empty vector
// when the song cannot be written (no tracks, bad division, events after
// `endTick`, times beyond what a delta time can carry).
std::vector<uint8_t> EncodeMidi(const MidiSong& song, uint32_t endTick);
