// songgen: turns the demo's song, written as a readable note list, into a
// standard MIDI file (format 1: a conductor track, then one track per
// channel).
//
//   songgen SONG.txt OUT.mid
//
// Song file, one statement per line, `#` starts a comment:
//   title TEXT                       name of the song
//   tempo BPM                        quarter notes per minute
//   meter N/D                        time signature; every bar is checked
//   division TICKS                   ticks per quarter note (default 480)
//   channel C name NAME [program P] [volume V] [pan P] [reverb R]
//                                    C is 1..16 (10 is percussion), P a
//                                    General MIDI program number 1..128
//   pattern NAME ... end             a run of whole bars, see below
//   play C NAME[*N] ...              appends patterns to channel C
//
// Inside a pattern, tokens separated by blanks:
//   |                                bar line: the bar so far must be full
//   v=N, g=N                         velocity 1..127 and gate 1..100 percent
//                                    for the notes that follow
//   NOTE[@V][+NOTE[@V]...]/DUR       a note or chord, e.g. E5/4, C4+E4+G4/1
//   r/DUR                            a rest
// NOTE is a pitch (C4 is middle C; sharps #, flats b) or a drum name (kick,
// snare, hat, ...). DUR is 1, 2, 4, 8, 16 or 32, optionally dotted (4.).
//
// Every channel must play the same number of bars: the song ends on that
// final bar line, every note ends by then, and so a player that starts the
// file again at once continues on the beat without a gap.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tools/midiwrite.h"

namespace {

const char* const USAGE =
    "usage: songgen SONG.txt OUT.mid\n"
    "Reads a song written as a note list (see the comment at the top of\n"
    "tools/songgen.cpp and assets/sound/test.song) and writes a standard MIDI file.\n";

struct Note {
  uint32_t start = 0, length = 0;  // ticks from the pattern's start; length is the sounding part
  int key = 0, velocity = 0;
};

struct Pattern {
  uint32_t length = 0;  // ticks, whole bars
  std::vector<Note> notes;
};

struct Channel {
  bool declared = false;
  std::string name;
  int program = -1, volume = -1, pan = -1, reverb = -1;
  std::vector<std::string> patterns;
};

struct Song {
  std::string title = "Untitled";
  int tempo = 120, meterTop = 4, meterBottom = 4, division = 480;
  std::map<std::string, Pattern> patterns;
  Channel channels[16];
};

const std::map<std::string, int> DRUMS = {
    {"kick", 36},  {"rim", 37},   {"snare", 38}, {"clap", 39},    {"tomlo", 45},
    {"hat", 42},   {"pedal", 44}, {"ohat", 46},  {"tommid", 47},  {"tomhi", 50},
    {"crash", 49}, {"ride", 51},  {"tamb", 54},  {"cowbell", 56}, {"shaker", 70},
};

bool ParseInt(const std::string& text, int low, int high, int& value) {
  if (text.empty() || text.size() > 9) return false;
  int result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + (c - '0');
  }
  if (result < low || result > high) return false;
  value = result;
  return true;
}

// A pitch such as C4, F#3, Bb2 (C4 = 60), or a drum name.
bool ParseKey(const std::string& text, int& key) {
  auto drum = DRUMS.find(text);
  if (drum != DRUMS.end()) {
    key = drum->second;
    return true;
  }
  static const int STEPS[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
  if (text.empty() || text[0] < 'A' || text[0] > 'G') return false;
  int semitone = STEPS[text[0] - 'A'];
  size_t at = 1;
  if (at < text.size() && (text[at] == '#' || text[at] == 'b')) semitone += text[at++] == '#' ? 1 : -1;
  bool negative = at < text.size() && text[at] == '-';
  if (negative) ++at;
  int octave = 0;
  if (!ParseInt(text.substr(at), 0, 9, octave)) return false;
  key = (negative ? -octave : octave) * 12 + 12 + semitone;
  return key >= 0 && key <= 127;
}

class Reader {
 public:
  explicit Reader(std::string path) : path(std::move(path)) {}

  bool Read(Song& song) {
    std::ifstream in(path);
    if (!in) return Fail("cannot open file");
    std::string name;
    Pattern* pattern = nullptr;
    uint32_t barStart = 0, now = 0;
    int velocity = 96, gate = 100;
    std::string text;
    while (std::getline(in, text)) {
      ++line;
      text = text.substr(0, text.find('#'));
      std::istringstream words(text);
      std::vector<std::string> tokens;
      for (std::string word; words >> word;) tokens.push_back(word);
      if (tokens.empty()) continue;
      uint32_t bar = BarTicks(song);

      if (pattern) {
        if (tokens[0] == "end" && tokens.size() == 1) {
          if (now != barStart && now != barStart + bar)
            return Fail("pattern '" + name + "' ends inside a bar");
          if (now == 0) return Fail("pattern '" + name + "' is empty");
          pattern->length = now;
          pattern = nullptr;
          continue;
        }
        for (const std::string& token : tokens) {
          if (token == "|") {
            if (now != barStart + bar && now != barStart)
              return Fail("bar " + std::to_string(barStart / bar + 1) + " of '" + name + "' holds " +
                          std::to_string(now - barStart) + " ticks, a bar is " + std::to_string(bar));
            barStart = now;
          } else if (token.rfind("v=", 0) == 0) {
            if (!ParseInt(token.substr(2), 1, 127, velocity)) return Fail("bad velocity '" + token + "'");
          } else if (token.rfind("g=", 0) == 0) {
            if (!ParseInt(token.substr(2), 1, 100, gate)) return Fail("bad gate '" + token + "'");
          } else {
            if (!AddNotes(song, token, velocity, gate, now, *pattern)) return false;
            if (now > barStart + bar) return Fail("'" + token + "' runs over the bar line");
          }
        }
        continue;
      }

      const std::string& word = tokens[0];
      if (word == "title" && tokens.size() >= 2) {
        song.title = text.substr(text.find("title") + 5);
        song.title = song.title.substr(song.title.find_first_not_of(" \t"));
        while (!song.title.empty() &&
               (song.title.back() == ' ' || song.title.back() == '\t' || song.title.back() == '\r'))
          song.title.pop_back();
      } else if (word == "tempo" && tokens.size() == 2) {
        if (!ParseInt(tokens[1], 20, 400, song.tempo)) return Fail("tempo must be 20..400");
      } else if (word == "division" && tokens.size() == 2) {
        if (!song.patterns.empty()) return Fail("division must come before the patterns");
        if (!ParseInt(tokens[1], 24, 9600, song.division) || song.division % 24 != 0)
          return Fail("division must be a multiple of 24 from 24 to 9600");
      } else if (word == "meter" && tokens.size() == 2) {
        if (!song.patterns.empty()) return Fail("meter must come before the patterns");
        size_t slash = tokens[1].find('/');
        if (slash == std::string::npos || !ParseInt(tokens[1].substr(0, slash), 1, 32, song.meterTop) ||
            !ParseInt(tokens[1].substr(slash + 1), 1, 32, song.meterBottom) ||
            (song.meterBottom & (song.meterBottom - 1)) != 0)
          return Fail("meter must be N/D with D a power of two up to 32");
      } else if (word == "channel") {
        if (!ReadChannel(song, tokens)) return false;
      } else if (word == "pattern" && tokens.size() == 2) {
        name = tokens[1];
        if (song.patterns.count(name)) return Fail("pattern '" + name + "' defined twice");
        pattern = &song.patterns[name];
        barStart = now = 0;
        velocity = 96;
        gate = 100;
      } else if (word == "play" && tokens.size() >= 3) {
        int channel = 0;
        if (!ParseInt(tokens[1], 1, 16, channel)) return Fail("channel must be 1..16");
        if (!song.channels[channel - 1].declared) return Fail("channel " + tokens[1] + " was not declared");
        for (size_t i = 2; i < tokens.size(); ++i) {
          std::string pattern_name = tokens[i];
          int times = 1;
          size_t star = pattern_name.find('*');
          if (star != std::string::npos) {
            if (!ParseInt(pattern_name.substr(star + 1), 1, 999, times))
              return Fail("bad repeat '" + tokens[i] + "'");
            pattern_name.resize(star);
          }
          if (!song.patterns.count(pattern_name)) return Fail("no pattern '" + pattern_name + "'");
          for (int k = 0; k < times; ++k) song.channels[channel - 1].patterns.push_back(pattern_name);
        }
      } else {
        return Fail("cannot read '" + word + "' here");
      }
    }
    if (pattern) return Fail("pattern '" + name + "' has no end");
    return true;
  }

  const std::string& Error() const { return error; }

 private:
  static uint32_t BarTicks(const Song& song) {
    return static_cast<uint32_t>(song.division * 4 / song.meterBottom * song.meterTop);
  }

  bool Fail(const std::string& message) {
    error = path + ":" + std::to_string(line) + ": " + message;
    return false;
  }

  bool ReadChannel(Song& song, const std::vector<std::string>& tokens) {
    int number = 0;
    if (tokens.size() < 2 || !ParseInt(tokens[1], 1, 16, number)) return Fail("channel must be 1..16");
    Channel& channel = song.channels[number - 1];
    if (channel.declared) return Fail("channel " + tokens[1] + " declared twice");
    channel.declared = true;
    channel.name = "Channel " + tokens[1];
    if (tokens.size() % 2 != 0) return Fail("channel settings come in pairs: name value");
    for (size_t i = 2; i + 1 < tokens.size(); i += 2) {
      const std::string& key = tokens[i];
      const std::string& value = tokens[i + 1];
      bool ok = true;
      if (key == "name") {
        channel.name = value;
      } else if (key == "program") {
        ok = ParseInt(value, 1, 128, channel.program);
      } else if (key == "volume") {
        ok = ParseInt(value, 0, 127, channel.volume);
      } else if (key == "pan") {
        ok = ParseInt(value, 0, 127, channel.pan);
      } else if (key == "reverb") {
        ok = ParseInt(value, 0, 127, channel.reverb);
      } else {
        return Fail("unknown channel setting '" + key + "'");
      }
      if (!ok) return Fail("bad value '" + value + "' for " + key);
    }
    return true;
  }

  bool AddNotes(const Song& song, const std::string& token, int velocity, int gate, uint32_t& now,
                Pattern& pattern) {
    size_t slash = token.rfind('/');
    if (slash == std::string::npos || slash == 0) return Fail("'" + token + "' needs a duration, e.g. C4/4");
    std::string duration = token.substr(slash + 1);
    bool dotted = !duration.empty() && duration.back() == '.';
    if (dotted) duration.pop_back();
    int divisor = 0;
    if (!ParseInt(duration, 1, 32, divisor) || (divisor & (divisor - 1)) != 0)
      return Fail("bad duration in '" + token + "'");
    uint32_t ticks = static_cast<uint32_t>(song.division * 4 / divisor);
    if (dotted) {
      if (ticks % 2 != 0) return Fail("'" + token + "' is too short to dot");
      ticks += ticks / 2;
    }
    std::string pitches = token.substr(0, slash);
    if (pitches != "r") {
      // The sounding part is cut to the gate, but at least one tick.
      uint32_t sounding = ticks * static_cast<uint32_t>(gate) / 100;
      if (sounding == 0) sounding = 1;
      std::set<int> keys;
      std::istringstream parts(pitches);
      for (std::string part; std::getline(parts, part, '+');) {
        Note note{now, sounding, 0, velocity};
        size_t at = part.find('@');
        if (at != std::string::npos) {
          if (!ParseInt(part.substr(at + 1), 1, 127, note.velocity))
            return Fail("bad velocity in '" + part + "'");
          part.resize(at);
        }
        if (!ParseKey(part, note.key)) return Fail("'" + part + "' is not a note or drum name");
        // Two of the same key at once would leave one note-off unmatched.
        if (!keys.insert(note.key).second) return Fail("'" + part + "' appears twice in '" + token + "'");
        pattern.notes.push_back(note);
      }
      if (keys.empty()) return Fail("'" + token + "' has no notes");
    }
    now += ticks;
    return true;
  }

  std::string path;
  int line = 0;
  std::string error;
};

bool BuildMidi(const Song& song, std::vector<uint8_t>& file, std::string& error) {
  MidiSong midi;
  midi.ticksPerQuarter = song.division;
  MidiTrack conductor;
  conductor.Name(song.title);
  conductor.TimeSignature(0, song.meterTop, song.meterBottom);
  conductor.Tempo(0, static_cast<uint32_t>(60000000 / song.tempo));
  midi.tracks.push_back(conductor);

  uint32_t barTicks = static_cast<uint32_t>(song.division * 4 / song.meterBottom * song.meterTop);
  uint64_t end = 0;
  bool first = true;
  for (int c = 0; c < 16; ++c) {
    const Channel& channel = song.channels[c];
    if (!channel.declared) continue;
    uint64_t length = 0;
    for (const std::string& name : channel.patterns) length += song.patterns.at(name).length;
    if (length == 0) {
      error = "channel " + std::to_string(c + 1) + " plays nothing";
      return false;
    }
    if (!first && length != end) {
      error = "channel " + std::to_string(c + 1) + " plays " + std::to_string(length / barTicks) +
              " bars, the channels before it " + std::to_string(end / barTicks);
      return false;
    }
    first = false;
    end = length;
    if (end > MIDI_VLQ_MAX) {
      error = "the song is too long";
      return false;
    }

    MidiTrack track;
    track.Name(channel.name);
    if (channel.program >= 1) track.ProgramChange(0, c, channel.program - 1);
    if (channel.volume >= 0) track.ControlChange(0, c, 7, channel.volume);
    if (channel.pan >= 0) track.ControlChange(0, c, 10, channel.pan);
    if (channel.reverb >= 0) track.ControlChange(0, c, 91, channel.reverb);
    uint32_t offset = 0;
    for (const std::string& name : channel.patterns) {
      const Pattern& pattern = song.patterns.at(name);
      for (const Note& note : pattern.notes) {
        track.NoteOn(offset + note.start, c, note.key, note.velocity);
        track.NoteOff(offset + note.start + note.length, c, note.key);
      }
      offset += pattern.length;
    }
    midi.tracks.push_back(track);
  }
  if (first) {
    error = "no channel was declared";
    return false;
  }
  file = EncodeMidi(midi, static_cast<uint32_t>(end));
  if (file.empty()) {
    error = "the song cannot be written as a MIDI file";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(USAGE, stdout);
    return 0;
  }
  if (argc != 3) {
    std::fputs(USAGE, stderr);
    return 2;
  }
  Song song;
  Reader reader(argv[1]);
  if (!reader.Read(song)) {
    std::fprintf(stderr, "songgen: %s\n", reader.Error().c_str());
    return 1;
  }
  std::vector<uint8_t> file;
  std::string error;
  if (!BuildMidi(song, file, error)) {
    std::fprintf(stderr, "songgen: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  FILE* out = std::fopen(argv[2], "wb");
  bool ok = out && std::fwrite(file.data(), 1, file.size(), out) == file.size();
  if (out) ok = std::fclose(out) == 0 && ok;
  if (!ok) {
    if (out) std::remove(argv[2]);
    std::fprintf(stderr, "songgen: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
