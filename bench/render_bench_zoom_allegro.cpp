// Allegro 4's scaled and translucent drawing at 8 bits per pixel, headless:
// stretch_sprite for the zoomed copy; for the zoomed blend and silhouette,
// which Allegro has no single call for, the two steps a user would take
// (stretch into a cleared scratch bitmap, then draw_trans_sprite or
// draw_character_ex); and rectfill in DRAW_MODE_TRANS with our level's table
// as the COLOR_MAP for the translucent box. Built only with Allegro 4.
#define ALLEGRO_NO_MAGIC_MAIN
#include <allegro.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/render_bench_zoom.h"

namespace render_bench {
namespace {

BITMAP* zoomScreen = nullptr;
COLOR_MAP spriteMap;  // the mask colour keeps the destination
COLOR_MAP boxMap;
std::vector<BITMAP*> zoomFrames[SOURCE_COUNT];

int32_t Pitch(BITMAP* bitmap) { return static_cast<int32_t>(bitmap->line[1] - bitmap->line[0]); }

enum class Kind { Stretch, StretchTrans, StretchCharacter };

void Zoomed(benchmark::State& state, int source, int percentIndex, Kind kind, const char* effect) {
  const ZoomWork& work = Zooms(source, percentIndex);
  const std::vector<BITMAP*>& frames = zoomFrames[source];
  BITMAP* screen = zoomScreen;
  color_map = &spriteMap;
  // One scratch bitmap per size (a source's frames may differ in size).
  std::vector<BITMAP*> scratch;
  for (const ZoomPlace& place : work.places) {
    if (kind != Kind::Stretch &&
        (place.frame >= static_cast<int32_t>(scratch.size()) || !scratch[place.frame])) {
      scratch.resize(std::max<size_t>(scratch.size(), place.frame + 1), nullptr);
      scratch[place.frame] = create_bitmap(place.width, place.height);
    }
  }
  auto pass = [&] {
    for (const ZoomPlace& place : work.places) {
      BITMAP* frame = frames[place.frame];
      if (kind == Kind::Stretch) {
        stretch_sprite(screen, frame, place.left, place.top, place.width, place.height);
        continue;
      }
      BITMAP* step = scratch[place.frame];
      clear_to_color(step, 0);
      stretch_sprite(step, frame, 0, 0, place.width, place.height);
      if (kind == Kind::StretchTrans)
        draw_trans_sprite(screen, step, place.left, place.top);
      else
        draw_character_ex(screen, step, place.left, place.top, SOLID_COLOUR, -1);
    }
  };
  StartScreen(screen->line[0], Pitch(screen));
  pass();
  NoteResult(state,
             "zoom" + std::to_string(ZOOM_PERCENTS[percentIndex]) + "_" + effect + "/" + Sprites(source).name,
             false, screen->line[0], Pitch(screen));
  for (auto _ : state) {
    pass();
    benchmark::ClobberMemory();
  }
  for (BITMAP* bitmap : scratch)
    if (bitmap) destroy_bitmap(bitmap);
  SetCounters(state, static_cast<int64_t>(work.places.size()), work.coveredPixels);
}

void Boxes(benchmark::State& state) {
  BITMAP* screen = zoomScreen;
  auto pass = [&] {
    color_map = &boxMap;
    drawing_mode(DRAW_MODE_TRANS, nullptr, 0, 0);
    for (const Place& place : BoxPlaces())
      rectfill(screen, place.x, place.y, place.x + BOX_WIDTH - 1, place.y + BOX_HEIGHT - 1, BOX_COLOUR);
    solid_mode();
  };
  StartScreen(screen->line[0], Pitch(screen));
  pass();
  NoteResult(state, "box_blend/150x30", false, screen->line[0], Pitch(screen));
  for (auto _ : state) {
    pass();
    benchmark::ClobberMemory();
  }
  SetCounters(state, static_cast<int64_t>(BoxPlaces().size()), BoxCoveredPixels());
}

void Register(const std::string& name, std::function<void(benchmark::State&)> body) {
  benchmark::RegisterBenchmark(name.c_str(), [body](benchmark::State& state) { body(state); })
      ->Unit(benchmark::kMicrosecond)
      ->UseRealTime();
}

}  // namespace

bool RegisterZoomAllegroBenchmarks() {
  if (system_driver == nullptr && install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0) return false;
  set_color_depth(8);
  zoomScreen = create_bitmap(SCREEN_WIDTH, SCREEN_HEIGHT);
  if (zoomScreen == nullptr) return false;
  // Allegro's maps are [drawn][destination]; ours [destination][drawn].
  const uint8_t* table = BlendTable();
  for (int drawn = 0; drawn < 256; ++drawn)
    for (int dest = 0; dest < 256; ++dest)
      boxMap.data[drawn][dest] = spriteMap.data[drawn][dest] = table[dest << 8 | drawn];
  for (int dest = 0; dest < 256; ++dest) spriteMap.data[0][dest] = static_cast<unsigned char>(dest);

  for (int source = 0; source < SOURCE_COUNT; ++source) {
    for (const Frame& frame : Sprites(source).frames) {
      BITMAP* bitmap = create_bitmap(frame.width, frame.height);
      if (bitmap == nullptr) return false;
      for (int32_t row = 0; row < frame.height; ++row)
        std::memcpy(bitmap->line[row], frame.pixels.data() + row * frame.width, frame.width);
      zoomFrames[source].push_back(bitmap);
    }
  }
  for (int source = 0; source < SOURCE_COUNT; ++source) {
    const std::string name = Sprites(source).name;
    for (int percent = 0; percent < ZOOM_PERCENT_COUNT; ++percent) {
      const std::string zoom = "zoom" + std::to_string(ZOOM_PERCENTS[percent]);
      Register(zoom + "_copy/allegro/" + name,
               [=](benchmark::State& state) { Zoomed(state, source, percent, Kind::Stretch, "copy"); });
      Register(zoom + "_blend/allegro_2step/" + name,
               [=](benchmark::State& state) { Zoomed(state, source, percent, Kind::StretchTrans, "blend"); });
      Register(zoom + "_solid/allegro_2step/" + name, [=](benchmark::State& state) {
        Zoomed(state, source, percent, Kind::StretchCharacter, "solid");
      });
    }
  }
  Register("box_blend/allegro/150x30", Boxes);
  return true;
}

}  // namespace render_bench
