// SDL2's scaled blit on 8-bit surfaces sharing one palette, colour key 0:
// SDL_BlitScaled clips the destination rectangle itself and picks source
// pixels by its own nearest-pixel rule. SDL 2.26 refuses this combination
// ("Blit combination not supported"; SDL_SoftStretch, which takes 8-bit
// surfaces, has no colour key), so the peer is registered only where the
// SDL at hand accepts a trial blit.
#include <SDL.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/render_bench_zoom.h"
#include "bench/render_bench_sdl_surface.h"

namespace render_bench {
namespace {

SDL_Surface* ZoomScreen() {
  static Surface screen = MakeSurface(SCREEN_WIDTH, SCREEN_HEIGHT, nullptr);
  return screen.get();
}

void Scaled(benchmark::State& state, int source, int percentIndex) {
  const SpriteWork& sprites = Sprites(source);
  std::vector<Surface> frames;
  for (const Frame& frame : sprites.frames) {
    frames.push_back(MakeSurface(frame.width, frame.height, frame.pixels.data()));
    if (!frames.back()) {
      state.SkipWithError(SDL_GetError());
      return;
    }
    SDL_SetColorKey(frames.back().get(), SDL_TRUE, 0);
  }
  SDL_Surface* screen = ZoomScreen();
  const ZoomWork& work = Zooms(source, percentIndex);
  bool failed = false;
  auto pass = [&] {
    for (const ZoomPlace& place : work.places) {
      SDL_Rect at{place.left, place.top, place.width, place.height};
      failed |= SDL_BlitScaled(frames[place.frame].get(), nullptr, screen, &at) != 0;
    }
  };
  auto* rows = static_cast<uint8_t*>(screen->pixels);
  StartScreen(rows, screen->pitch);
  pass();
  if (failed) {
    state.SkipWithError(SDL_GetError());
    return;
  }
  NoteResult(state, "zoom" + std::to_string(ZOOM_PERCENTS[percentIndex]) + "_copy/" + sprites.name, false,
             rows, screen->pitch);
  for (auto _ : state) {
    pass();
    benchmark::ClobberMemory();
  }
  SetCounters(state, static_cast<int64_t>(work.places.size()), work.coveredPixels);
}

}  // namespace

bool RegisterZoomSdlBenchmarks() {
  if (ZoomScreen() == nullptr) return false;
  const uint8_t trial[4] = {0, 1, 2, 3};
  Surface keyed = MakeSurface(2, 2, trial);
  if (!keyed) return false;
  SDL_SetColorKey(keyed.get(), SDL_TRUE, 0);
  SDL_Rect at{0, 0, 4, 4};
  if (SDL_BlitScaled(keyed.get(), nullptr, ZoomScreen(), &at) != 0) {
    std::fprintf(stderr, "render_bench: SDL2 cannot scale 8-bit colour-keyed surfaces here (%s)\n",
                 SDL_GetError());
    return false;
  }
  for (int source = 0; source < SOURCE_COUNT; ++source) {
    for (int percent = 0; percent < ZOOM_PERCENT_COUNT; ++percent) {
      const std::string name =
          "zoom" + std::to_string(ZOOM_PERCENTS[percent]) + "_copy/sdl_key/" + Sprites(source).name;
      benchmark::RegisterBenchmark(name.c_str(),
                                   [=](benchmark::State& state) { Scaled(state, source, percent); })
          ->Unit(benchmark::kMicrosecond)
          ->UseRealTime();
    }
  }
  return true;
}

}  // namespace render_bench
