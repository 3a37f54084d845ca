// SDL2 8-bit surfaces for the SDL peers of render_bench: all share one
// palette (the demo's), so no colour mapping happens between them.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>

#include "bench/render_bench_work.h"

namespace render_bench {

struct SurfaceFree {
  void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using Surface = std::unique_ptr<SDL_Surface, SurfaceFree>;

inline SDL_Palette* SharedPalette() {
  static SDL_Palette* palette = [] {
    SDL_Palette* made = SDL_AllocPalette(256);
    SDL_Color colours[256];
    const uint8_t* bgr = Palette();
    for (int i = 0; i < 256; ++i) colours[i] = {bgr[i * 4 + 2], bgr[i * 4 + 1], bgr[i * 4], 255};
    SDL_SetPaletteColors(made, colours, 0, 256);
    return made;
  }();
  return palette;
}

// A width x height surface holding `rows` (width bytes each; none: left as
// SDL clears it).
inline Surface MakeSurface(int32_t width, int32_t height, const uint8_t* rows) {
  Surface surface(SDL_CreateRGBSurfaceWithFormat(0, width, height, 8, SDL_PIXELFORMAT_INDEX8));
  if (!surface) return surface;
  SDL_SetSurfacePalette(surface.get(), SharedPalette());
  for (int32_t row = 0; rows != nullptr && row < height; ++row)
    SDL_memcpy(static_cast<uint8_t*>(surface->pixels) + row * surface->pitch, rows + row * width, width);
  return surface;
}

}  // namespace render_bench
