// Every test scene, headless, for a fixed number of frames in each video
// mode: frames per second of the scene's drawing alone and of drawing plus
// presentation. The program's files are read from $VANTOR_RUN_DIR, else from
// the build's run folder.
//
//   scene_bench [frames]     (default 600 per scene and mode)
#include <vantor/platform_test.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/assets.h"
#include "app/game.h"
#include "app/options.h"
#include "app/scenes.h"
#include "display/display.h"
#include "formats/pack.h"
#include "text/printer.h"

namespace {

using Clock = std::chrono::steady_clock;

LRESULT CALLBACK BenchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// One scene's frames: the work surface's address as the frame takes it, the
// scene, and the presentation when asked. Seconds taken.
double RunScene(int32_t scene, int32_t frames, bool present) {
  auto start = Clock::now();
  for (int32_t frame = 0; frame < frames; ++frame) {
    int32_t pitch = 0;
    uint8_t* surface = LockSurface(displayDevice.workSurface, &pitch);
    if (surface != nullptr) UnlockSurface(displayDevice.workSurface);
    if (surface != nullptr) DrawScene(scene, surface);
    if (present) PresentFrame(PRESENT_FLIP);
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

bool BenchMode(int32_t mode, int32_t frames) {
  platform_test::UseHeadless();
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = BenchWindowProc;
  windowClass.lpszClassName = "VantorBench";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "VantorBench", "bench", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ResourcePack* fontPack = nullptr;
  ResourcePack* gamePack = nullptr;
  OpenResourcePack("font.rsf", &fontPack);
  OpenResourcePack("game.rsf", &gamePack);
  GameConfig config = {};
  config.videoMode = mode;
  if (InitDisplay(window, BuildDisplayConfig(config, fontPack)) != 1 || !LoadImageAndPalette(window)) {
    std::fprintf(stderr, "scene_bench: mode %d does not start here\n", mode);
    return false;
  }
  DestroyResourcePack(fontPack);
  LoadOrBuildAlphaTable();
  LoadSprites(gamePack, MEMORY_SYSTEM);
  ResetGameState();

  std::printf("mode %d (work area %d x %d)\n", mode, displayDevice.workWidth, displayDevice.workHeight);
  std::printf("  %-5s %14s %20s\n", "scene", "drawing fps", "with presentation");
  for (int32_t scene = 1; scene <= SCENE_COUNT; ++scene) {
    RunScene(scene, frames / 10 + 1, true);  // warm the caches and the surfaces
    double drawing = RunScene(scene, frames, false);
    double presented = RunScene(scene, frames, true);
    std::printf("  %-5d %14.0f %20.0f\n", scene, frames / drawing, frames / presented);
  }
  FreeImage();
  FreeSprites();
  ShutdownDisplay();
  DestroyResourcePack(gamePack);
  platform_test::TakeMessageBoxes();
  platform_test::ResetPlatform();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int32_t frames = argc > 1 ? std::atoi(argv[1]) : 600;
  if (frames < 1) frames = 1;
  const char* runDir = std::getenv("VANTOR_RUN_DIR");
  std::filesystem::current_path(runDir != nullptr ? runDir : VANTOR_BENCH_RUN_DIR);
  // Headless, a flip turns the picture into colour through the palette and
  // presents it with SDL's software renderer; it waits for no display.
  std::printf("%d frames per scene and mode\n", frames);
  bool ok = true;
  for (int32_t mode = 1; mode <= 4; ++mode) ok = BenchMode(mode, frames) && ok;
  return ok ? 0 : 1;
}
