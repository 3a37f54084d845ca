#include "sound/music.h"

#include <cstring>

MusicPlayer musicPlayer;

namespace {

constexpr char OPEN_FORMAT[] = "open %s type sequencer alias MUSIC";
constexpr size_t OPEN_COMMAND_BYTES = 256;
// What the open command leaves for the name: 256 bytes less the rest of the
// command and its terminating zero, 223 characters.
constexpr size_t OPEN_NAME_MAX = OPEN_COMMAND_BYTES - (sizeof OPEN_FORMAT - 1 - 2) - 1;

bool Send(const char* command, HWND notifyWindow) { return mciSendStringA(command, nullptr, 0, notifyWindow) == 0; }

}  // namespace

int MusicPlayer::SetSong(HWND newWindow, const char* name) {
  // A name that does not fit is refused whole: cut short it could name
  // another file.
  if (name == nullptr || std::strlen(name) > FILE_NAME_MAX) {
    hasSong = 0;
    return 0;
  }
  window = newWindow;
  std::strcpy(fileName, name);
  hasSong = 1;
  loop = 0;
  return 1;
}

int MusicPlayer::Play(int32_t newLoop) {
  if (!hasSong) return 0;
  if (std::strlen(fileName) > OPEN_NAME_MAX) return 0;
  char command[OPEN_COMMAND_BYTES];
  wsprintfA(command, OPEN_FORMAT, fileName);
  if (!Send("close all", nullptr)) return 0;
  if (!Send(command, nullptr)) return 0;
  if (!Send("play MUSIC from 0 notify", window)) return 0;
  loop = newLoop == 1 ? 1 : 0;
  return 1;
}

int MusicPlayer::Replay() {
  if (!hasSong) return 0;
  return Send("play MUSIC from 0 notify", window) ? 1 : 0;
}

int MusicPlayer::Stop() { return Send("stop MUSIC", nullptr) ? 1 : 0; }

int MusicPlayer::Resume() {
  if (!hasSong) return 0;
  return Send("play MUSIC notify", window) ? 1 : 0;
}

int MusicPlayer::CloseAllMusic() { return Send("close all", nullptr) ? 1 : 0; }
