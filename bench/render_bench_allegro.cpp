// Allegro 4's memory-bitmap drawing at 8 bits per pixel, headless
// (SYSTEM_NONE): the sprite, flipped, run-length, translucent, silhouette and
// rotated draws, and blit for the opaque copy. Allegro clips to the
// destination bitmap itself. Built only when Allegro 4 was found.
#define ALLEGRO_NO_MAGIC_MAIN
#include <allegro.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/render_bench_work.h"

namespace render_bench {
namespace {

BITMAP* MakeBitmap(int32_t width, int32_t height, const uint8_t* rows) {
  BITMAP* bitmap = create_bitmap(width, height);
  if (bitmap == nullptr) return nullptr;
  for (int32_t row = 0; row < height; ++row) {
    if (rows != nullptr)
      std::memcpy(bitmap->line[row], rows + row * width, width);
    else
      std::memset(bitmap->line[row], 0, width);
  }
  return bitmap;
}

BITMAP* screenBitmap = nullptr;
COLOR_MAP blendMap;

// A memory bitmap's rows lie back to back.
int32_t ScreenPitch() { return static_cast<int32_t>(screenBitmap->line[1] - screenBitmap->line[0]); }

// Bitmaps and run-length sprites of one source, made once and kept.
struct SourceSprites {
  std::vector<BITMAP*> bitmaps;
  std::vector<RLE_SPRITE*> rle;
};
SourceSprites sources[SOURCE_COUNT];

enum class Draw { Sprite, HFlip, VFlip, VHFlip, Trans, Character, Rle, TransRle, RotateLeft, RotateRight };

void Sprites(benchmark::State& state, const char* family, int source, Draw draw) {
  const SpriteWork& work = render_bench::Sprites(source);
  const SourceSprites& sprites = sources[source];
  BITMAP* screen = screenBitmap;
  color_map = &blendMap;
  auto pass = [&] {
    for (const Place& place : work.places) {
      BITMAP* bitmap = sprites.bitmaps[place.frame];
      const int shift = (bitmap->w - bitmap->h) / 2;
      switch (draw) {
        case Draw::Sprite:
          draw_sprite(screen, bitmap, place.x, place.y);
          break;
        case Draw::HFlip:
          draw_sprite_h_flip(screen, bitmap, place.x, place.y);
          break;
        case Draw::VFlip:
          draw_sprite_v_flip(screen, bitmap, place.x, place.y);
          break;
        case Draw::VHFlip:
          draw_sprite_vh_flip(screen, bitmap, place.x, place.y);
          break;
        case Draw::Trans:
          draw_trans_sprite(screen, bitmap, place.x, place.y);
          break;
        case Draw::Character:
          draw_character_ex(screen, bitmap, place.x, place.y, SOLID_COLOUR, -1);
          break;
        case Draw::Rle:
          draw_rle_sprite(screen, sprites.rle[place.frame], place.x, place.y);
          break;
        case Draw::TransRle:
          draw_trans_rle_sprite(screen, sprites.rle[place.frame], place.x, place.y);
          break;
        // Allegro turns clockwise for positive angles: a quarter of 256 is a
        // right turn, three quarters a left one.
        case Draw::RotateLeft:
          rotate_sprite(screen, bitmap, place.x - shift, place.y + shift, itofix(192));
          break;
        case Draw::RotateRight:
          rotate_sprite(screen, bitmap, place.x - shift, place.y + shift, itofix(64));
          break;
      }
    }
  };
  StartScreen(screen->line[0], ScreenPitch());
  pass();
  NoteResult(state, std::string(family) + "/" + work.name, false, screen->line[0], ScreenPitch());
  for (auto _ : state) {
    pass();
    benchmark::ClobberMemory();
  }
  bool turned = draw == Draw::RotateLeft || draw == Draw::RotateRight;
  SetCounters(state, static_cast<int64_t>(work.places.size()),
              turned ? work.turnedCoveredPixels : work.coveredPixels);
}

void Opaque(benchmark::State& state, BITMAP* background) {
  const OpaqueWork& work = Background();
  auto pass = [&] {
    for (const Place& place : work.places)
      blit(background, screenBitmap, 0, 0, place.x, place.y, work.width, work.height);
  };
  StartScreen(screenBitmap->line[0], ScreenPitch());
  pass();
  NoteResult(state, "opaque/test.bmp", false, screenBitmap->line[0], ScreenPitch());
  for (auto _ : state) {
    pass();
    benchmark::ClobberMemory();
  }
  SetCounters(state, static_cast<int64_t>(work.places.size()), work.coveredPixels);
}

template <typename Body>
void Register(const std::string& name, Body body) {
  benchmark::RegisterBenchmark(name.c_str(), body)->Unit(benchmark::kMicrosecond)->UseRealTime();
}

}  // namespace

bool RegisterAllegroBenchmarks() {
  if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0) return false;
  set_color_depth(8);
  screenBitmap = MakeBitmap(SCREEN_WIDTH, SCREEN_HEIGHT, nullptr);
  if (screenBitmap == nullptr) return false;
  // Our mixing table, turned round to Allegro's [drawn][destination] order,
  // so both draw exactly the same colours.
  const uint8_t* table = BlendTable();
  for (int drawn = 0; drawn < 256; ++drawn)
    for (int dest = 0; dest < 256; ++dest) blendMap.data[drawn][dest] = table[dest << 8 | drawn];
  // Allegro's 8-bit translucent sprite sends every pixel through the map,
  // the mask colour too: row 0 keeps the destination, as our index 0 does.
  for (int dest = 0; dest < 256; ++dest) blendMap.data[0][dest] = static_cast<unsigned char>(dest);

  for (int source = 0; source < SOURCE_COUNT; ++source) {
    for (const Frame& frame : render_bench::Sprites(source).frames) {
      BITMAP* bitmap = MakeBitmap(frame.width, frame.height, frame.pixels.data());
      if (bitmap == nullptr) return false;
      sources[source].bitmaps.push_back(bitmap);
      sources[source].rle.push_back(get_rle_sprite(bitmap));
    }
  }
  const OpaqueWork& work = Background();
  BITMAP* background = MakeBitmap(work.width, work.height, work.rows.data());
  if (background == nullptr) return false;

  struct Named {
    const char* family;
    Draw draw;
  };
  static const Named draws[] = {
      {"copy", Draw::Sprite},          {"mirror_x", Draw::HFlip},
      {"mirror_y", Draw::VFlip},       {"mirror_xy", Draw::VHFlip},
      {"blend", Draw::Trans},          {"solid", Draw::Character},
      {"rle_copy", Draw::Rle},         {"rle_blend", Draw::TransRle},
      {"turn_left", Draw::RotateLeft}, {"turn_right", Draw::RotateRight},
  };
  for (int source = 0; source < SOURCE_COUNT; ++source) {
    for (const Named& named : draws) {
      Register(
          std::string(named.family) + "/allegro/" + render_bench::Sprites(source).name,
          [source, named](benchmark::State& state) { Sprites(state, named.family, source, named.draw); });
    }
  }
  Register("opaque/allegro/test.bmp", [background](benchmark::State& state) { Opaque(state, background); });
  return true;
}

}  // namespace render_bench
