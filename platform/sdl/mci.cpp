// The media control interface as far as the program uses it: a MIDI
// sequencer device opened, played, stopped and closed by command strings.
// Songs play through FluidSynth with a General MIDI SoundFont of the system,
// rendered by the mixer's callback into the same device as the voices.
//
// The callback notices the end of a song; a small notifier thread, woken by
// a semaphore, posts MM_MCINOTIFY to the window, so the callback itself never
// takes the window side's locks or allocates for the queue.
#include <SDL.h>
#include <fluidsynth.h>
#include <vantor/platform_test.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio.h"

namespace {

// ---------------------------------------------------------------- song files

constexpr size_t SONG_BYTES_MAX = 16u << 20;

struct SongInfo {
  int ticksPerQuarter = 0;  // 0 with time-code division
  double msPerTick = 0;     // time-code division: fixed
  std::vector<std::pair<uint32_t, uint32_t>> tempos;  // tick, microseconds per quarter
  uint32_t lastTick = 0;
};

uint32_t Be(const uint8_t* bytes, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | bytes[i];
  return value;
}

bool ReadVlq(const uint8_t* data, size_t end, size_t& at, uint32_t& value) {
  value = 0;
  for (int i = 0; i < 4; ++i) {
    if (at >= end) return false;
    uint8_t byte = data[at++];
    value = value << 7 | (byte & 0x7F);
    if (!(byte & 0x80)) return true;
  }
  return false;
}

// Walks every event of every track; a file that does not hold together is
// refused here, before the synthesiser's player sees it.
bool CheckTrack(const uint8_t* data, size_t end, size_t at, SongInfo& info) {
  uint32_t tick = 0;
  uint8_t running = 0;
  bool ended = false;
  while (at < end && !ended) {
    uint32_t delta;
    if (!ReadVlq(data, end, at, delta)) return false;
    tick += delta;
    if (at >= end) return false;
    uint8_t status = data[at];
    if (status & 0x80) {
      ++at;
    } else {
      if (running == 0) return false;
      status = running;
    }
    if (status == 0xFF) {
      if (at >= end) return false;
      uint8_t type = data[at++];
      uint32_t length;
      if (!ReadVlq(data, end, at, length) || length > end - at) return false;
      if (type == 0x51) {
        if (length != 3) return false;
        uint32_t tempo = Be(data + at, 3);
        if (tempo == 0) return false;
        info.tempos.emplace_back(tick, tempo);
      }
      if (type == 0x2F) ended = true;
      at += length;
      running = 0;
    } else if (status == 0xF0 || status == 0xF7) {
      uint32_t length;
      if (!ReadVlq(data, end, at, length) || length > end - at) return false;
      at += length;
      running = 0;
    } else if (status >= 0xF0) {
      return false;  // system common and real-time messages have no place in a file
    } else {
      int count = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
      if (end - at < static_cast<size_t>(count)) return false;
      for (int i = 0; i < count; ++i)
        if (data[at + i] & 0x80) return false;
      at += count;
      running = status;
    }
  }
  info.lastTick = std::max(info.lastTick, tick);
  return true;
}

bool CheckSong(const std::vector<uint8_t>& bytes, SongInfo& info) {
  const uint8_t* data = bytes.data();
  size_t size = bytes.size();
  if (size < 14 || std::string(data, data + 4) != "MThd") return false;
  uint32_t headerLength = Be(data + 4, 4);
  if (headerLength < 6 || headerLength > size - 8) return false;
  uint32_t format = Be(data + 8, 2), trackCount = Be(data + 10, 2), division = Be(data + 12, 2);
  if (format > 2 || trackCount == 0 || division == 0) return false;
  if (division & 0x8000) {
    int framesPerSecond = -static_cast<int8_t>(division >> 8);
    int ticksPerFrame = static_cast<int>(division & 0xFF);
    if (framesPerSecond <= 0 || ticksPerFrame == 0) return false;
    info.msPerTick = 1000.0 / (framesPerSecond * ticksPerFrame);
  } else {
    info.ticksPerQuarter = static_cast<int>(division);
  }
  size_t at = 8 + headerLength;
  uint32_t tracks = 0;
  while (tracks < trackCount) {
    if (size - at < 8) return false;
    uint32_t length = Be(data + at + 4, 4);
    if (length > size - at - 8) return false;
    if (std::string(data + at, data + at + 4) == "MTrk") {
      if (!CheckTrack(data, at + 8 + length, at + 8, info)) return false;
      ++tracks;
    }
    at += 8 + length;
  }
  std::stable_sort(info.tempos.begin(), info.tempos.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  return true;
}

// Milliseconds from the start to `tick`, following the tempo changes.
double MsAtTick(const SongInfo& info, uint32_t tick) {
  if (info.ticksPerQuarter == 0) return tick * info.msPerTick;
  double ms = 0;
  uint32_t from = 0, tempo = 500000;
  for (const auto& [at, value] : info.tempos) {
    if (at >= tick) break;
    ms += (at - from) * (tempo / 1000.0) / info.ticksPerQuarter;
    from = at;
    tempo = value;
  }
  return ms + (tick - from) * (tempo / 1000.0) / info.ticksPerQuarter;
}

uint32_t TickAtMs(const SongInfo& info, uint32_t ms) {
  uint32_t low = 0, high = info.lastTick;
  while (low < high) {
    uint32_t middle = low + (high - low + 1) / 2;
    if (MsAtTick(info, middle) <= ms) low = middle;
    else high = middle - 1;
  }
  return low;
}

// ---------------------------------------------------------------- devices

struct Sequencer {
  std::string alias;  // lower case: aliases match whatever their case
  MCIDEVICEID id = 0;
  std::vector<uint8_t> song;
  SongInfo info;
  HWND notifyWindow = nullptr;  // pending notification; guarded by mciMutex
  // Shared with the callback, under the audio lock.
  fluid_player_t* player = nullptr;
  bool playing = false;
  bool ended = false;     // reached its end while playing, not yet reported
  bool finished = false;  // at its end: playing on without "from" ends at once
};

std::mutex mciMutex;  // commands and the notifier; taken before the audio lock
std::unique_ptr<Sequencer> sequencer;
MCIDEVICEID nextDeviceId = 1;
std::string soundFontOverride;
std::vector<platform_test::MciCommand> commandLog;

// Posts the end-of-song notifications; lives as long as the synthesiser.
struct Notifier {
  SDL_sem* wake = nullptr;
  std::atomic<bool> stop{false};
  std::thread thread;
};
std::unique_ptr<Notifier> notifier;

class Synth final : public vt::MixSource {
 public:
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  Sequencer* current = nullptr;  // audio lock
  SDL_sem* wake = nullptr;

  void Render(int32_t* mix, int frames) override {
    while (frames > 0) {
      int chunk = std::min(frames, BLOCK);
      fluid_synth_write_s16(synth, chunk, block, 0, 2, block, 1, 2);
      for (int i = 0; i < 2 * chunk; ++i) mix[i] += block[i];
      mix += 2 * chunk;
      frames -= chunk;
    }
    // The song ends with its last track, as the platform's sequencer counts
    // it; the player itself lingers a while longer for the notes' tails.
    if (current != nullptr && current->playing && current->player != nullptr &&
        (fluid_player_get_status(current->player) == FLUID_PLAYER_DONE ||
         fluid_player_get_current_tick(current->player) >= static_cast<int>(current->info.lastTick))) {
      current->playing = false;
      current->ended = true;
      current->finished = true;
      SDL_SemPost(wake);
    }
  }

 private:
  static constexpr int BLOCK = 1024;
  int16_t block[BLOCK * 2];
};

Synth* synth = nullptr;

std::string FindSoundFont() {
  if (!soundFontOverride.empty()) return soundFontOverride;
  // Where Debian installs them; the larger, finer font when a user has it.
  for (const char* path : {"/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2"}) {
    if (std::FILE* file = std::fopen(path, "rb")) {
      std::fclose(file);
      return path;
    }
  }
  return {};
}

void Quiet(int, const char*, void*) {}

void DeleteSynth(Synth* old) {
  if (old == nullptr) return;
  if (old->synth != nullptr) delete_fluid_synth(old->synth);
  if (old->settings != nullptr) delete_fluid_settings(old->settings);
  delete old;
}

// The synthesiser with its SoundFont, on the open audio device.
MCIERROR StartSynth() {
  std::string font = FindSoundFont();
  if (font.empty()) return MCIERR_SEQ_NOMIDIPRESENT;
  if (!vt::AudioAcquire()) return MCIERR_HARDWARE;
  for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) fluid_set_log_function(level, Quiet, nullptr);
  auto* made = new Synth;
  made->settings = new_fluid_settings();
  if (made->settings != nullptr) {
    fluid_settings_setnum(made->settings, "synth.sample-rate", vt::AudioRate());
    fluid_settings_setint(made->settings, "synth.lock-memory", 0);
    // The song runs on the samples rendered, not on the wall clock, so that
    // it keeps time with the mix whatever pace the device asks for it.
    fluid_settings_setstr(made->settings, "player.timing-source", "sample");
    made->synth = new_fluid_synth(made->settings);
  }
  if (made->synth == nullptr || fluid_synth_sfload(made->synth, font.c_str(), 1) == FLUID_FAILED) {
    DeleteSynth(made);
    vt::AudioRelease();
    return MCIERR_SEQ_NOMIDIPRESENT;
  }
  notifier = std::make_unique<Notifier>();
  notifier->wake = SDL_CreateSemaphore(0);
  Notifier* own = notifier.get();
  notifier->thread = std::thread([own] {
    for (;;) {
      SDL_SemWait(own->wake);
      if (own->stop) return;
      std::lock_guard<std::mutex> lock(mciMutex);
      if (!sequencer) continue;
      bool ended;
      {
        vt::AudioGuard guard;
        ended = sequencer->ended;
        sequencer->ended = false;
      }
      if (ended && sequencer->notifyWindow != nullptr) {
        PostMessageA(sequencer->notifyWindow, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, sequencer->id);
        sequencer->notifyWindow = nullptr;
      }
    }
  });
  {
    vt::AudioGuard guard;
    made->wake = notifier->wake;
    synth = made;
    vt::AudioSetSource(synth);
  }
  return 0;
}

// Reports the pending notification with `code`, unless the song has ended
// meanwhile and the notifier has not told yet: then it ended successfully.
void FinishNotify(Sequencer& device, WPARAM code) {
  bool ended;
  {
    vt::AudioGuard guard;
    ended = device.ended;
    device.ended = false;
  }
  if (device.notifyWindow == nullptr) return;
  PostMessageA(device.notifyWindow, MM_MCINOTIFY, ended ? MCI_NOTIFY_SUCCESSFUL : code, device.id);
  device.notifyWindow = nullptr;
}

// Closes the sequencer; the notifier thread is handed back to be joined
// once the command lock is let go (it takes that lock itself).
void CloseSequencer(std::unique_ptr<Notifier>& retired) {
  if (!sequencer) return;
  FinishNotify(*sequencer, MCI_NOTIFY_ABORTED);
  Synth* old;
  {
    vt::AudioGuard guard;
    if (sequencer->player != nullptr) delete_fluid_player(sequencer->player);
    vt::AudioSetSource(nullptr);
    old = synth;
    synth = nullptr;
  }
  sequencer.reset();
  DeleteSynth(old);
  vt::AudioRelease();
  notifier->stop = true;
  SDL_SemPost(notifier->wake);
  retired = std::move(notifier);
}

void Retire(std::unique_ptr<Notifier> retired) {
  if (!retired) return;
  retired->thread.join();
  SDL_DestroySemaphore(retired->wake);
}

// A fresh player for the song, started at `tick`; the audio lock is held.
bool StartPlayer(Sequencer& device, uint32_t tick) {
  if (device.player != nullptr) delete_fluid_player(device.player);
  device.player = new_fluid_player(synth->synth);
  if (device.player == nullptr) return false;
  if (fluid_player_add_mem(device.player, device.song.data(), device.song.size()) != FLUID_OK ||
      fluid_player_play(device.player) != FLUID_OK) {
    delete_fluid_player(device.player);
    device.player = nullptr;
    return false;
  }
  if (tick > 0) fluid_player_seek(device.player, static_cast<int>(tick));
  // The player reads its file on the first block it renders: do that here,
  // on the caller's thread, rather than in the callback. The block is
  // dropped; it is a millisecond and a half.
  int16_t discard[64 * 2];
  fluid_synth_write_s16(synth->synth, 64, discard, 0, 2, discard, 1, 2);
  device.playing = true;
  device.ended = false;
  device.finished = false;
  return true;
}

// ---------------------------------------------------------------- commands

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

MCIERROR Tokenize(const char* command, std::vector<std::string>& tokens) {
  const char* p = command;
  for (;;) {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') return 0;
    std::string token;
    if (*p == '"') {
      const char* close = std::strchr(p + 1, '"');
      if (close == nullptr) return MCIERR_NO_CLOSING_QUOTE;
      token.assign(p + 1, close);
      p = close + 1;
    } else {
      while (*p != '\0' && *p != ' ' && *p != '\t') token += *p++;
    }
    tokens.push_back(token);
  }
}

bool ParseNumber(const std::string& text, uint32_t& value) {
  if (text.empty() || text.size() > 9) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  return true;
}

void Answer(LPSTR returnString, UINT returnLength, const std::string& text) {
  if (returnString == nullptr || returnLength == 0) return;
  size_t count = std::min<size_t>(text.size(), returnLength - 1);
  std::memcpy(returnString, text.data(), count);
  returnString[count] = '\0';
}

MCIERROR Open(const std::vector<std::string>& t, HWND callback, LPSTR returnString, UINT returnLength) {
  if (t.size() < 2) return MCIERR_MISSING_DEVICE_NAME;
  std::string element = t[1], type, alias;
  bool notify = false;
  for (size_t i = 2; i < t.size(); ++i) {
    std::string word = Lower(t[i]);
    if (word == "type" || word == "alias") {
      if (i + 1 >= t.size()) return MCIERR_MISSING_STRING_ARGUMENT;
      (word == "type" ? type : alias) = Lower(t[++i]);
    } else if (word == "notify") {
      notify = true;
    } else if (word != "wait" && word != "shareable") {
      return MCIERR_UNRECOGNIZED_KEYWORD;
    }
  }
  if (type.empty()) {
    std::string name = Lower(element);
    if (name == "sequencer") return MCIERR_UNSUPPORTED_FUNCTION;  // a device without a song
    auto dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    if (extension != ".mid" && extension != ".midi" && extension != ".rmi") return MCIERR_DEVICE_TYPE_REQUIRED;
    type = "sequencer";
  }
  if (type != "sequencer") return MCIERR_INVALID_DEVICE_NAME;
  if (alias.empty()) alias = Lower(element);
  if (alias == "all") return MCIERR_CANNOT_USE_ALL;
  // One synthesiser, one song at a time.
  if (sequencer) return sequencer->alias == alias ? MCIERR_DUPLICATE_ALIAS : MCIERR_SEQ_PORT_INUSE;

  auto device = std::make_unique<Sequencer>();
  std::FILE* file = std::fopen(element.c_str(), "rb");
  if (file == nullptr) return MCIERR_FILE_NOT_FOUND;
  uint8_t chunk[4096];
  size_t count;
  while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0 && device->song.size() <= SONG_BYTES_MAX)
    device->song.insert(device->song.end(), chunk, chunk + count);
  std::fclose(file);
  if (device->song.size() > SONG_BYTES_MAX || !CheckSong(device->song, device->info)) return MCIERR_INVALID_FILE;

  if (MCIERROR error = StartSynth()) return error;
  device->alias = alias;
  device->id = nextDeviceId++;
  {
    vt::AudioGuard guard;
    synth->current = device.get();
  }
  Answer(returnString, returnLength, std::to_string(device->id));
  if (notify && callback != nullptr) PostMessageA(callback, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, device->id);
  sequencer = std::move(device);
  return 0;
}

MCIERROR Play(Sequencer& device, const std::vector<std::string>& t, HWND callback) {
  bool notify = false, from = false;
  uint32_t fromMs = 0;
  for (size_t i = 2; i < t.size(); ++i) {
    std::string word = Lower(t[i]);
    if (word == "notify") {
      notify = true;
    } else if (word == "from") {
      if (i + 1 >= t.size()) return MCIERR_MISSING_PARAMETER;
      if (!ParseNumber(t[++i], fromMs)) return MCIERR_BAD_INTEGER;
      from = true;
    } else {
      return MCIERR_UNRECOGNIZED_KEYWORD;  // "to" and "wait" are not offered
    }
  }
  if (from && fromMs > MsAtTick(device.info, device.info.lastTick)) return MCIERR_OUTOFRANGE;

  // A newer notification replaces the pending one; a play without one ends
  // the conditions the old one waited for.
  if (device.notifyWindow != nullptr) FinishNotify(device, notify ? MCI_NOTIFY_SUPERSEDED : MCI_NOTIFY_ABORTED);
  bool endedAtOnce = false;
  {
    vt::AudioGuard guard;
    if (from || device.player == nullptr) {
      if (!StartPlayer(device, from ? TickAtMs(device.info, fromMs) : 0)) return MCIERR_HARDWARE;
    } else if (device.finished) {
      endedAtOnce = true;  // playing on from the end ends at once
    } else if (!device.playing) {
      fluid_player_play(device.player);
      device.playing = true;
    }
  }
  if (notify && callback != nullptr) {
    if (endedAtOnce) PostMessageA(callback, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, device.id);
    else device.notifyWindow = callback;
  }
  return 0;
}

MCIERROR Stop(Sequencer& device, const std::vector<std::string>& t, HWND callback) {
  bool notify = false;
  for (size_t i = 2; i < t.size(); ++i) {
    std::string word = Lower(t[i]);
    if (word == "notify") notify = true;
    else if (word != "wait") return MCIERR_UNRECOGNIZED_KEYWORD;
  }
  FinishNotify(device, MCI_NOTIFY_ABORTED);
  {
    vt::AudioGuard guard;
    if (device.player != nullptr && device.playing) fluid_player_stop(device.player);
    device.playing = false;
    fluid_synth_all_sounds_off(synth->synth, -1);
  }
  if (notify && callback != nullptr) PostMessageA(callback, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, device.id);
  return 0;
}

MCIERROR Execute(const char* command, HWND callback, LPSTR returnString, UINT returnLength, std::unique_ptr<Notifier>& retired) {
  Answer(returnString, returnLength, "");
  if (command == nullptr) return MCIERR_MISSING_COMMAND_STRING;
  std::vector<std::string> t;
  if (MCIERROR error = Tokenize(command, t)) return error;
  if (t.empty()) return MCIERR_MISSING_COMMAND_STRING;
  std::string verb = Lower(t[0]);
  if (verb != "open" && verb != "play" && verb != "stop" && verb != "close") return MCIERR_UNRECOGNIZED_COMMAND;
  if (verb == "open") return Open(t, callback, returnString, returnLength);
  if (t.size() < 2) return MCIERR_MISSING_DEVICE_NAME;
  std::string name = Lower(t[1]);
  if (verb == "close") {
    bool notify = false;
    for (size_t i = 2; i < t.size(); ++i) {
      std::string word = Lower(t[i]);
      if (word == "notify") notify = true;
      else if (word != "wait") return MCIERR_UNRECOGNIZED_KEYWORD;
    }
    if (name != "all" && (!sequencer || sequencer->alias != name)) return MCIERR_INVALID_DEVICE_NAME;
    MCIDEVICEID id = sequencer ? sequencer->id : 0;
    CloseSequencer(retired);
    if (notify && callback != nullptr) PostMessageA(callback, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, id);
    return 0;
  }
  if (name == "all") return MCIERR_CANNOT_USE_ALL;
  if (!sequencer || sequencer->alias != name) return MCIERR_INVALID_DEVICE_NAME;
  return verb == "play" ? Play(*sequencer, t, callback) : Stop(*sequencer, t, callback);
}

}  // namespace

extern "C" {

MCIERROR WINAPI mciSendStringA(LPCSTR command, LPSTR returnString, UINT returnLength, HWND callback) {
  std::unique_ptr<Notifier> retired;
  MCIERROR result;
  {
    std::lock_guard<std::mutex> lock(mciMutex);
    result = Execute(command, callback, returnString, returnLength, retired);
    commandLog.push_back({command != nullptr ? command : "", callback, result});
  }
  Retire(std::move(retired));
  return result;
}

}  // extern "C"

namespace vt {

void SequencerReset() {
  std::unique_ptr<Notifier> retired;
  {
    std::lock_guard<std::mutex> lock(mciMutex);
    // Closed without telling anyone: the windows are going away too.
    if (sequencer) sequencer->notifyWindow = nullptr;
    CloseSequencer(retired);
    commandLog.clear();
    soundFontOverride.clear();
  }
  Retire(std::move(retired));
}

}  // namespace vt

namespace platform_test {

void SetSoundFont(const std::string& path) {
  std::lock_guard<std::mutex> lock(mciMutex);
  soundFontOverride = path;
}

std::vector<MciCommand> TakeMciCommands() {
  std::lock_guard<std::mutex> lock(mciMutex);
  std::vector<MciCommand> taken;
  taken.swap(commandLog);
  return taken;
}

}  // namespace platform_test
