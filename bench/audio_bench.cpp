// The audio callback's cost per device buffer (1,024 stereo frames, 23.2 ms
// of sound at 44.1 kHz): the mixer with the demo's five looping voices of
// throw.wav and the demo's song test.mid playing through FluidSynth, as
// during the SPACE test with music on. The device's own thread is held back
// and the same callback runs on the benchmark's thread.
#include <benchmark/benchmark.h>
#include <vantor/platform_test.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "sound/music.h"
#include "sound/sound.h"

namespace {

constexpr int BUFFER_FRAMES = 1024;

std::string RunFile(const char* name) {
  const char* dir = std::getenv("VANTOR_RUN_DIR");
  return std::string(dir != nullptr ? dir : VANTOR_BENCH_RUN_DIR) + "/" + name;
}

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND Window() {
  static HWND window = [] {
    platform_test::UseHeadless();
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Proc;
    windowClass.lpszClassName = "AudioBench";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, "AudioBench", "bench", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr);
  }();
  return window;
}

// voices: looping throw.wav voices; song: 0 none, 1 the system's SoundFont
// (the large one when installed), 2 the small one.
void BM_AudioCallback(benchmark::State& state) {
  const int voices = static_cast<int>(state.range(0));
  const int song = static_cast<int>(state.range(1));
  HWND window = Window();
  platform_test::SetSoundFont(song == 2 ? "/usr/share/sounds/sf2/TimGM6mb.sf2" : "");
  if (OpenSound(window) != 1) {
    state.SkipWithError("no audio device");
    return;
  }
  SoundEffect effect;
  if (voices > 0 && effect.Load(RunFile("throw.wav").c_str(), voices) != 1) {
    state.SkipWithError("throw.wav did not load");
    return;
  }
  for (int i = 0; i < voices; ++i) effect.Play(1, 100, 0);
  if (song > 0) {
    musicPlayer.SetSong(window, RunFile("test.mid").c_str());
    if (musicPlayer.Play(0) != 1) {
      state.SkipWithError("the song did not start");
      return;
    }
  }
  platform_test::PauseAudioDevice(true);
  std::vector<int16_t> out(BUFFER_FRAMES * 2);
  // The song is 40 s long: 1,500 buffers stay inside it.
  for (auto _ : state) {
    platform_test::RunAudioCallback(out.data(), BUFFER_FRAMES);
    benchmark::DoNotOptimize(out.data());
  }
  platform_test::PauseAudioDevice(false);
  musicPlayer.CloseAllMusic();
  effect.Release();
  CloseSound();
}

BENCHMARK(BM_AudioCallback)
    ->ArgNames({"voices", "song"})
    ->Args({5, 0})
    ->Args({0, 1})
    ->Args({5, 1})
    ->Args({0, 2})
    ->Args({5, 2})
    ->Iterations(1500)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
