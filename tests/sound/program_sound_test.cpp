// The whole program's sound, headless: the mix it plays is captured through
// SDL's disk audio driver while keys are injected frame by frame.
#include <unistd.h>

#include <functional>
#include <sstream>

#include "app/game.h"
#include "app/options.h"
#include "display/display.h"
#include "display/timing.h"
#include "input/keyboard.h"
#include "sound/music.h"
#include "sound/sound.h"
#include "sound/sound_support.h"
#include "support/options_answer.h"

namespace {

namespace fs = sound_test::fs;
using sound_test::Capture;

constexpr int RATE = 44100;

class ProgramSound : public vantor_test::Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    platform_test::SetClockManual(1000, 1);
    platform_test::SetSoundFont(sound_test::SmallSoundFont());
    savedDirectory = fs::current_path();
    folder = sound_test::TestFolder("program-sound");
    for (const char* file : {"font.rsf", "test.bmp", "throw.wav"})
      fs::copy_file(fs::path(vantor_test::RunDir()) / file, folder / file);
    // A song of a second: a chord for 0.4 s, then quiet.
    sound_test::WriteBytes(folder / "test.mid", sound_test::ShortSong(400, 1000));
    fs::current_path(folder);
    platform_test::UseAudioCapture((folder / "mix.raw").string());
    ResetGameState();
    ResetFrameTiming();
    gameConfig = {};
    displayDevice = {};
    ClearKeyTables();
    musicPlayer = MusicPlayer();
    SetMasterVolume(100);
  }
  void TearDown() override {
    platform_test::OnScreenUpdate(nullptr);
    platform_test::OnDialogIdle(nullptr);
    fs::current_path(savedDirectory);
    fs::remove_all(folder);
    Headless::TearDown();
  }
  void Configure(int32_t soundFx, int32_t music) {
    std::vector<uint8_t> bytes;
    for (int32_t field : {4, 1, 1, soundFx, music})
      for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(field >> (8 * i)));
    sound_test::WriteBytes("game.cfg", bytes);
  }
  // Runs the program past its help screen; `atFrame` acts on each frame and
  // the program ends once at least `minFrames` frames ran, `ready` (when
  // given) said so, and `seconds` of sound were mixed after that. Returns
  // the captured mix.
  Capture Run(double seconds, uint32_t minFrames, std::function<void(uint32_t)> atFrame = nullptr,
              std::function<bool()> ready = nullptr) {
    vantor_test::AnswerOptions(4, {'A'});
    uint64_t start = 0;
    bool started = false, ending = false;
    platform_test::OnScreenUpdate([&](uint32_t) {
      uint32_t frame = gameState.framesRun;
      if (frame == 0 || ending) return;
      if (atFrame) atFrame(frame);
      if (!started && frame >= minFrames && (!ready || ready())) {
        started = true;
        start = platform_test::AudioFramesMixed();
      }
      if (started && platform_test::AudioFramesMixed() >= start + uint64_t(seconds * RATE)) {
        ending = true;
        platform_test::InjectKeyPress(VK_ESCAPE);
      } else {
        SDL_Delay(1);  // let the mixer run
      }
    });
    WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWDEFAULT);
    return sound_test::ReadCapture(folder / "mix.raw");
  }
  // The loudest sample of throw.wav's own data (16-bit mono).
  int ThrowPeak() {
    std::vector<uint8_t> bytes = sound_test::ReadBytes("throw.wav");
    int peak = 0;
    for (size_t i = 44; i + 1 < bytes.size(); i += 2) peak = std::max(peak, std::abs(int(int16_t(bytes[i] | bytes[i + 1] << 8))));
    return peak;
  }
  // Spans of 50 ms windows louder than `level` (RMS of the left channel).
  static std::vector<std::pair<size_t, size_t>> LoudSpans(const Capture& capture, double level) {
    std::vector<std::pair<size_t, size_t>> spans;
    const size_t window = RATE / 20;
    for (size_t at = 0; at + window <= capture.Frames(); at += window) {
      bool loud = capture.Rms(0, at, at + window) > level;
      if (loud && (spans.empty() || spans.back().second != at)) spans.push_back({at, at + window});
      else if (loud) spans.back().second = at + window;
    }
    return spans;
  }

  fs::path savedDirectory;
  fs::path folder;
};

TEST_F(ProgramSound, EnterPlaysTheEffectOnceAtItsOwnLevel) {
  Configure(1, 0);
  Capture capture = Run(1.0, 3, [](uint32_t frame) {
    if (frame == 2) platform_test::InjectKeyPress(VK_RETURN);
  });
  ASSERT_GT(capture.Frames(), size_t(RATE));
  int peak = ThrowPeak();
  ASSERT_GT(peak, 1000);
  // Volume 100 at master volume 100 is the file's own level; pan 0 is both
  // sides alike.
  EXPECT_NEAR(capture.Peak(0), peak, peak / 50);
  EXPECT_EQ(capture.Peak(0), capture.Peak(1));
  for (size_t f = 0; f < capture.Frames(); ++f) ASSERT_EQ(capture.Left(f), capture.Right(f)) << f;
  auto spans = LoudSpans(capture, peak / 20.0);
  ASSERT_EQ(spans.size(), 1u);  // one play of a 0.42 s sound
  EXPECT_LE(spans[0].second - spans[0].first, size_t(RATE) / 2);
}

TEST_F(ProgramSound, SpaceAddsLoopingVoicesUpToFiveWithoutWrapping) {
  Configure(1, 0);
  Capture capture = Run(1.5, 20, [](uint32_t frame) {
    if (frame >= 2 && frame <= 13 && frame % 2 == 0) platform_test::InjectKeyPress(VK_SPACE);  // six presses
  });
  int peak = ThrowPeak();
  EXPECT_GT(capture.Peak(0), peak);  // voices overlap
  // Wrapping round would jump across the whole range from one sample to the
  // next; the sound itself never moves that fast.
  int largestStep = 0;
  for (size_t f = 1; f < capture.Frames(); ++f)
    largestStep = std::max(largestStep, std::abs(capture.Left(f) - capture.Left(f - 1)));
  EXPECT_LT(largestStep, 20000);
  // Still sounding at the end, on all five voices.
  size_t tail = capture.Frames() - RATE / 2;
  EXPECT_GT(capture.Rms(0, tail, capture.Frames()), peak / 10.0);
}

TEST_F(ProgramSound, MusicPlaysAndStartsAgainAfterItsEnd) {
  Configure(0, 1);
  std::vector<platform_test::MciCommand> commands;
  int plays = 0;
  auto watch = [&](uint32_t) {
    for (auto& command : platform_test::TakeMciCommands()) {
      plays += command.command == "play MUSIC from 0 notify";
      commands.push_back(command);
    }
  };
  // The start and two replays, and the third playing heard through.
  Capture capture = Run(1.2, 3, watch, [&] { return plays >= 3; });
  watch(0);
  ASSERT_GE(plays, 3);
  EXPECT_EQ(commands.back().command, "close all");
  EXPECT_GT(capture.Peak(0), 2000);
  // The chord sounds for about half a second and falls quiet, each time the
  // song starts. (The disk driver renders far faster than real time, so the
  // quiet between ends and replays is longer than the song's own.)
  auto spans = LoudSpans(capture, 300);
  std::ostringstream found;
  for (auto [from, to] : spans) found << ' ' << double(from) / RATE << '-' << double(to) / RATE;
  ASSERT_GE(spans.size(), 3u) << "loud from-to, seconds:" << found.str() << " of " << double(capture.Frames()) / RATE;
  ASSERT_LE(spans.size(), size_t(plays)) << found.str();
  // The last may be cut short by the close at the end.
  for (size_t i = 0; i + 1 < spans.size(); ++i) {
    EXPECT_GE(spans[i].second - spans[i].first, size_t(RATE) * 3 / 10) << found.str();
    EXPECT_LE(spans[i].second - spans[i].first, size_t(RATE) * 9 / 10) << found.str();
  }
}

TEST_F(ProgramSound, WithEffectsAndMusicOffAllIsSilent) {
  Configure(0, 0);
  Capture capture = Run(0.5, 10, [](uint32_t frame) {
    if (frame == 2) platform_test::InjectKeyPress(VK_RETURN);
    if (frame == 4) platform_test::InjectKeyPress(VK_SPACE);
  });
  EXPECT_GT(capture.Frames(), size_t(RATE) / 2);
  EXPECT_EQ(capture.Peak(0), 0);
  EXPECT_EQ(capture.Peak(1), 0);
  EXPECT_TRUE(platform_test::TakeMciCommands().back().command == "close all");
}

TEST_F(ProgramSound, OnlyASuccessfulEndReplaysTheSong) {
  HWND window = MakeWindow();
  platform_test::TakeMciCommands();
  musicPlayer.SetSong(window, "test.mid");
  musicPlayer.loop = 1;
  for (WPARAM code : {WPARAM(MCI_NOTIFY_SUPERSEDED), WPARAM(MCI_NOTIFY_ABORTED), WPARAM(MCI_NOTIFY_FAILURE), WPARAM(0), WPARAM(3)})
    EXPECT_EQ(WindowProc(window, MM_MCINOTIFY, code, 1), 0);
  EXPECT_TRUE(platform_test::TakeMciCommands().empty());
  EXPECT_EQ(WindowProc(window, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, 1), 0);
  auto sent = platform_test::TakeMciCommands();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].command, "play MUSIC from 0 notify");
  EXPECT_EQ(sent[0].callback, window);
  musicPlayer.loop = 0;
  EXPECT_EQ(WindowProc(window, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, 1), 0);
  EXPECT_TRUE(platform_test::TakeMciCommands().empty());
}

}  // namespace
