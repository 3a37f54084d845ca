// Background music: a MIDI song played by the media control interface's
// sequencer. The player only sends command strings; the window it was given
// hears when the song ends and asks for a replay while looping is on.
#pragma once

#include <windows.h>

#include <cstdint>

class MusicPlayer {
 public:
  // A null name forgets the song and returns 0; otherwise stores the window
  // and the name (at most FILE_NAME_MAX characters; longer ones are refused
  // with 0 and forget the song too), clears `loop` and returns 1.
  int SetSong(HWND window, const char* name);
  // Opens the song afresh and plays it from the start; 1 when it started.
  // `loop` 1 replays it whenever it ends.
  int Play(int32_t loop);
  int Replay();  // from the start again; 1 when restarted
  int Stop();
  int Resume();  // on from where it stopped
  int CloseAllMusic();

  static constexpr int32_t FILE_NAME_MAX = 1023;

  HWND window = nullptr;
  int32_t hasSong = 0;
  char fileName[1024] = {};
  int32_t loop = 0;
};

extern MusicPlayer musicPlayer;
