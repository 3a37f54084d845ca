// SDL2's software blits on 8-bit surfaces sharing one palette (so no colour
// mapping happens): the colour-key blit, the same with SDL's run-length
// acceleration, and the plain blit for the opaque copy. SDL_BlitSurface
// clips to the destination itself.
#include <SDL.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/render_bench_work.h"
#include "bench/render_bench_sdl_surface.h"

namespace render_bench {
namespace {

SDL_Surface* Screen() {
  static Surface screen = MakeSurface(SCREEN_WIDTH, SCREEN_HEIGHT, nullptr);
  return screen.get();
}

enum class Keying { None, Key, KeyRle };

std::vector<Surface> Frames(const SpriteWork& work, Keying keying) {
  std::vector<Surface> surfaces;
  for (const Frame& frame : work.frames) {
    surfaces.push_back(MakeSurface(frame.width, frame.height, frame.pixels.data()));
    if (!surfaces.back()) return {};
    if (keying != Keying::None) SDL_SetColorKey(surfaces.back().get(), SDL_TRUE, 0);
    if (keying == Keying::KeyRle) SDL_SetSurfaceRLE(surfaces.back().get(), 1);
  }
  return surfaces;
}

void Blits(benchmark::State& state, const std::string& key, const std::vector<Surface>& sources,
           const std::vector<Place>& places, int64_t pixels) {
  SDL_Surface* screen = Screen();
  if (sources.empty() || screen == nullptr) {
    state.SkipWithError(SDL_GetError());
    return;
  }
  auto pass = [&] {
    for (const Place& place : places) {
      SDL_Surface* source = sources[place.frame].get();
      SDL_Rect at{place.x, place.y, source->w, source->h};
      SDL_BlitSurface(source, nullptr, screen, &at);
    }
  };
  auto* rows = static_cast<uint8_t*>(screen->pixels);
  StartScreen(rows, screen->pitch);
  pass();
  NoteResult(state, key, false, rows, screen->pitch);
  for (auto _ : state) {
    pass();
    benchmark::ClobberMemory();
  }
  SetCounters(state, static_cast<int64_t>(places.size()), pixels);
}

template <typename Body>
void Register(const std::string& name, Body body) {
  benchmark::RegisterBenchmark(name.c_str(), body)->Unit(benchmark::kMicrosecond)->UseRealTime();
}

}  // namespace

bool RegisterSdlBenchmarks() {
  if (Screen() == nullptr) return false;
  for (int source = 0; source < SOURCE_COUNT; ++source) {
    const SpriteWork& work = Sprites(source);
    Register(std::string("copy/sdl_key/") + work.name, [&work](benchmark::State& state) {
      Blits(state, std::string("copy/") + work.name, Frames(work, Keying::Key), work.places,
            work.coveredPixels);
    });
    Register(std::string("rle_copy/sdl_key_rle/") + work.name, [&work](benchmark::State& state) {
      Blits(state, std::string("rle_copy/") + work.name, Frames(work, Keying::KeyRle), work.places,
            work.coveredPixels);
    });
  }
  Register("opaque/sdl/test.bmp", [](benchmark::State& state) {
    const OpaqueWork& work = Background();
    std::vector<Surface> source;
    source.push_back(MakeSurface(work.width, work.height, work.rows.data()));
    if (!source.back()) source.clear();
    Blits(state, "opaque/test.bmp", source, work.places, work.coveredPixels);
  });
  return true;
}

}  // namespace render_bench
