// The music player's command strings, and the sequencer behind them: songs
// that really play and end, and the notifications the window receives.
#include "sound/music.h"

#include <cstring>

#include "sound/sound_support.h"

namespace {

namespace fs = sound_test::fs;

// Notifications the window received, by code; a successful one replays the
// song when the player loops, as the program's window does.
std::vector<WPARAM> notifications;
LRESULT CALLBACK MusicWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != MM_MCINOTIFY) return DefWindowProcA(window, message, wParam, lParam);
  notifications.push_back(wParam);
  if (wParam == MCI_NOTIFY_SUCCESSFUL && musicPlayer.loop == 1) musicPlayer.Replay();
  return 0;
}

class Music : public vantor_test::Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    platform_test::SetSoundFont(sound_test::SmallSoundFont());
    folder = sound_test::TestFolder("music");
    window = MakeWindow(MusicWindowProc);
    notifications.clear();
    musicPlayer = MusicPlayer();
    song = (folder / "song.mid").string();
    sound_test::WriteBytes(song, sound_test::ShortSong(300, 600));
  }
  void TearDown() override {
    mciSendStringA("close all", nullptr, 0, nullptr);
    Headless::TearDown();
    fs::remove_all(folder);
  }
  std::vector<std::string> Commands() {
    std::vector<std::string> sent;
    for (const auto& command : platform_test::TakeMciCommands()) sent.push_back(command.command);
    return sent;
  }
  // Handles messages until `count` notifications have come, or a while has
  // passed; then a little longer, for any that should not come.
  void Pump(size_t count, int quietMs = 200) {
    MSG msg;
    int idle = 0;
    for (int waited = 0; waited < 20000; ++waited) {
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      if (notifications.size() >= count && idle++ >= quietMs) break;
      SDL_Delay(1);
    }
  }
  MCIERROR Send(const std::string& command, HWND callback = nullptr) {
    return mciSendStringA(command.c_str(), nullptr, 0, callback);
  }

  fs::path folder;
  HWND window = nullptr;
  std::string song;
};

TEST_F(Music, PlayBeforeASongSendsNothing) {
  EXPECT_EQ(musicPlayer.Play(1), 0);
  EXPECT_EQ(musicPlayer.Replay(), 0);
  EXPECT_EQ(musicPlayer.Resume(), 0);
  EXPECT_TRUE(Commands().empty());
  EXPECT_EQ(musicPlayer.SetSong(window, nullptr), 0);
  EXPECT_EQ(musicPlayer.Play(1), 0);
  EXPECT_TRUE(Commands().empty());
}

TEST_F(Music, CommandsGoOutExactlyAndInOrder) {
  ASSERT_EQ(musicPlayer.SetSong(window, song.c_str()), 1);
  EXPECT_TRUE(Commands().empty());
  ASSERT_EQ(musicPlayer.Play(1), 1);
  EXPECT_EQ(musicPlayer.loop, 1);
  EXPECT_EQ(musicPlayer.Stop(), 1);
  EXPECT_EQ(musicPlayer.Resume(), 1);
  EXPECT_EQ(musicPlayer.CloseAllMusic(), 1);
  auto sent = platform_test::TakeMciCommands();
  ASSERT_EQ(sent.size(), 6u);
  std::vector<std::pair<std::string, HWND>> expected = {
      {"close all", nullptr},
      {"open " + song + " type sequencer alias MUSIC", nullptr},
      {"play MUSIC from 0 notify", window},
      {"stop MUSIC", nullptr},
      {"play MUSIC notify", window},
      {"close all", nullptr}};
  for (size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].command, expected[i].first);
    EXPECT_EQ(sent[i].callback, expected[i].second) << sent[i].command;
    EXPECT_EQ(sent[i].result, 0u) << sent[i].command;
  }
  // The stop and the close each ended a pending notification: no replay.
  Pump(2);
  EXPECT_EQ(notifications, (std::vector<WPARAM>{MCI_NOTIFY_ABORTED, MCI_NOTIFY_ABORTED}));
  EXPECT_TRUE(Commands().empty());
}

TEST_F(Music, ASongThatEndsIsReplayedOnceForEachEnd) {
  ASSERT_EQ(musicPlayer.SetSong(window, song.c_str()), 1);
  ASSERT_EQ(musicPlayer.Play(1), 1);
  Commands();
  Pump(1, 0);
  ASSERT_EQ(notifications, std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL});
  EXPECT_EQ(Commands(), std::vector<std::string>{"play MUSIC from 0 notify"});
  // A new song stops the repeat: the current one ends and stays silent.
  ASSERT_EQ(musicPlayer.SetSong(window, song.c_str()), 1);
  EXPECT_EQ(musicPlayer.loop, 0);
  Pump(2);
  EXPECT_EQ(notifications, (std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL, MCI_NOTIFY_SUCCESSFUL}));
  EXPECT_TRUE(Commands().empty());
}

TEST_F(Music, PlayOnceEndsSilently) {
  ASSERT_EQ(musicPlayer.SetSong(window, song.c_str()), 1);
  ASSERT_EQ(musicPlayer.Play(0), 1);
  EXPECT_EQ(musicPlayer.loop, 0);
  Commands();
  Pump(1);
  EXPECT_EQ(notifications, std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL});
  EXPECT_TRUE(Commands().empty());
}

TEST_F(Music, NamesThatDoNotFitAreRefusedWhole) {
  std::string longest(MusicPlayer::FILE_NAME_MAX, 'a');
  EXPECT_EQ(musicPlayer.SetSong(window, longest.c_str()), 1);
  EXPECT_EQ(std::strlen(musicPlayer.fileName), longest.size());
  std::string tooLong(MusicPlayer::FILE_NAME_MAX + 1, 'b');
  EXPECT_EQ(musicPlayer.SetSong(window, tooLong.c_str()), 0);
  EXPECT_EQ(musicPlayer.hasSong, 0);
  EXPECT_EQ(musicPlayer.Play(1), 0);
  // The open command has room for 223 characters of name, no more.
  std::string fits = (folder / "").string();
  fits += std::string(223 - fits.size() - 4, 'c') + ".mid";
  ASSERT_EQ(musicPlayer.SetSong(window, fits.c_str()), 1);
  EXPECT_EQ(musicPlayer.Play(1), 0);  // no such file
  auto sent = Commands();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1], "open " + fits + " type sequencer alias MUSIC");
  std::string over = fits + "x";
  ASSERT_EQ(musicPlayer.SetSong(window, over.c_str()), 1);
  EXPECT_EQ(musicPlayer.Play(1), 0);
  EXPECT_TRUE(Commands().empty());
}

TEST_F(Music, NotificationsTellHowAPlayEnded) {
  ASSERT_EQ(Send("open " + song + " type sequencer alias tune"), 0u);
  ASSERT_EQ(Send("play tune from 0 notify", window), 0u);
  ASSERT_EQ(Send("play TUNE from 100 notify", window), 0u);  // aliases ignore case
  ASSERT_EQ(Send("stop tune"), 0u);
  ASSERT_EQ(Send("play tune notify", window), 0u);
  Pump(3, 0);
  EXPECT_EQ(notifications, (std::vector<WPARAM>{MCI_NOTIFY_SUPERSEDED, MCI_NOTIFY_ABORTED, MCI_NOTIFY_SUCCESSFUL}));
  ASSERT_EQ(Send("play tune notify", window), 0u);  // at the end already
  ASSERT_EQ(Send("play tune from 0 notify", window), 0u);
  ASSERT_EQ(Send("close tune"), 0u);
  Pump(5);
  EXPECT_EQ(notifications.size(), 5u);
  EXPECT_EQ(notifications[3], WPARAM(MCI_NOTIFY_SUCCESSFUL));
  EXPECT_EQ(notifications[4], WPARAM(MCI_NOTIFY_ABORTED));
}

TEST_F(Music, BadCommandsAndSongsGetThePlatformsErrors) {
  std::vector<uint8_t> good = sound_test::ShortSong();
  std::vector<uint8_t> cut(good.begin(), good.end() - 6);
  std::vector<uint8_t> badStatus = good;
  badStatus[good.size() - 8] = 0xF3;  // a system message inside a track
  std::vector<uint8_t> noTracks = good;
  noTracks[10] = 0, noTracks[11] = 0;
  for (const auto& damaged : {cut, badStatus, noTracks, std::vector<uint8_t>{'M', 'T', 'h', 'd'}}) {
    sound_test::WriteBytes(folder / "bad.mid", damaged);
    EXPECT_EQ(Send("open " + (folder / "bad.mid").string() + " type sequencer alias bad"), UINT(MCIERR_INVALID_FILE));
  }
  EXPECT_EQ(Send("open " + (folder / "none.mid").string() + " type sequencer alias x"), UINT(MCIERR_FILE_NOT_FOUND));
  EXPECT_EQ(Send("open " + song + " type waveaudio alias x"), UINT(MCIERR_INVALID_DEVICE_NAME));
  EXPECT_EQ(Send("play nothing"), UINT(MCIERR_INVALID_DEVICE_NAME));
  EXPECT_EQ(Send("rewind nothing"), UINT(MCIERR_UNRECOGNIZED_COMMAND));
  EXPECT_EQ(Send(""), UINT(MCIERR_MISSING_COMMAND_STRING));
  EXPECT_EQ(Send("close all"), 0u);
  ASSERT_EQ(Send("open \"" + song + "\" alias m"), 0u);  // quoted, and typed by its extension
  EXPECT_EQ(Send("open " + song + " type sequencer alias m"), UINT(MCIERR_DUPLICATE_ALIAS));
  EXPECT_EQ(Send("play m from 99999"), UINT(MCIERR_OUTOFRANGE));
  EXPECT_EQ(Send("play m from x"), UINT(MCIERR_BAD_INTEGER));
  EXPECT_EQ(Send("play m loudly"), UINT(MCIERR_UNRECOGNIZED_KEYWORD));
  EXPECT_EQ(Send("close m"), 0u);
  EXPECT_EQ(Send("close m"), UINT(MCIERR_INVALID_DEVICE_NAME));
}

TEST_F(Music, NoSoundFontOrNoDeviceMeansNoSequencer) {
  platform_test::SetSoundFont((folder / "none.sf2").string());
  EXPECT_EQ(Send("open " + song + " type sequencer alias MUSIC"), UINT(MCIERR_SEQ_NOMIDIPRESENT));
  platform_test::SetSoundFont(sound_test::SmallSoundFont());
  platform_test::SetNoAudio(true);
  EXPECT_EQ(Send("open " + song + " type sequencer alias MUSIC"), UINT(MCIERR_HARDWARE));
  ASSERT_EQ(musicPlayer.SetSong(window, song.c_str()), 1);
  EXPECT_EQ(musicPlayer.Play(1), 0);
  EXPECT_EQ(musicPlayer.loop, 0);
}

TEST(Wsprintf, FormatsAndStopsAtTheLimit) {
  char buffer[2048];
  EXPECT_EQ(wsprintfA(buffer, "open %s type sequencer alias %s", "a.mid", "MUSIC"), 37);
  EXPECT_STREQ(buffer, "open a.mid type sequencer alias MUSIC");
  std::string huge(1500, 'z');
  EXPECT_EQ(wsprintfA(buffer, "%s", huge.c_str()), 1023);
  EXPECT_EQ(std::strlen(buffer), 1023u);
}

}  // namespace
