// Ours for the scaled families: DrawSpriteZoom at 50, 150 and 200 percent on
// raw and run-length frames, copied, blended and single-coloured, and
// FillBoxBlend. The peers do the same work in render_bench_zoom_sdl.cpp and
// render_bench_zoom_allegro.cpp.
#include "bench/render_bench_zoom.h"

#include <algorithm>
#include <cstdio>
#include <random>

#include "formats/rle_encode.h"
#include "formats/sprite.h"
#include "render/blit.h"
#include "render/blit_wide.h"
#include "render/drawtarget.h"
#include "render/zoom.h"

namespace render_bench {
namespace {

int64_t Covered(int32_t x, int32_t y, int32_t width, int32_t height) {
  const int64_t w = std::min<int64_t>(int64_t{x} + width, SCREEN_WIDTH) - std::max(x, 0);
  const int64_t h = std::min<int64_t>(int64_t{y} + height, SCREEN_HEIGHT) - std::max(y, 0);
  return w > 0 && h > 0 ? w * h : 0;
}

std::vector<uint8_t>& Screen() {
  static std::vector<uint8_t> screen(SCREEN_WIDTH * SCREEN_HEIGHT);
  return screen;
}

// Our frame records, raw and run-length, per source. The sprites' own
// records are not reachable from here, so they are made again from the
// frames' pixels: the run-length blocks by the encoder that made the demo's.
struct Records {
  std::vector<SpriteFrame> raw, rle;
  std::vector<std::vector<uint8_t>> blocks;
};
const Records& FrameRecords(int source) {
  static Records records[SOURCE_COUNT];
  static bool made = false;
  if (!made) {
    made = true;
    for (int s = 0; s < SOURCE_COUNT; ++s) {
      const SpriteWork& work = Sprites(s);
      records[s].blocks.reserve(work.frames.size());
      for (const Frame& frame : work.frames) {
        SpriteFrame record{};
        record.frameCount = 1;
        record.width = frame.width;
        record.height = frame.height;
        record.pixels = const_cast<uint8_t*>(frame.pixels.data());
        records[s].raw.push_back(record);
        records[s].blocks.push_back(EncodeRleFrame(frame.pixels.data(), frame.width, frame.height));
        record.compressed = 1;
        record.pixels = records[s].blocks.back().data();
        records[s].rle.push_back(record);
      }
    }
  }
  return records[source];
}

struct Effect {
  const char* name;
  int32_t flags;
};
constexpr Effect kEffects[] = {{"copy", 0}, {"blend", DRAW_BLEND}, {"solid", DRAW_SOLID}};

std::string Family(int percentIndex, const char* effect, bool runLength) {
  return "zoom" + std::to_string(ZOOM_PERCENTS[percentIndex]) + (runLength ? "_rle_" : "_") + effect;
}

void OursZoom(benchmark::State& state, int source, int percentIndex, bool runLength, const Effect& effect) {
  const Records& records = FrameRecords(source);
  const std::vector<SpriteFrame>& frames = runLength ? records.rle : records.raw;
  const ZoomWork& work = Zooms(source, percentIndex);
  InitDrawTarget(nullptr, SCREEN_WIDTH, SCREEN_HEIGHT, nullptr, SCREEN_WIDTH, true);
  uint8_t* screen = Screen().data();
  auto pass = [&] {
    for (const ZoomPlace& place : work.places)
      DrawSpriteZoom(place.centreX, place.centreY, screen, &frames[place.frame], place.width, place.height,
                     effect.flags, SOLID_COLOUR, BLEND_LEVEL);
  };
  StartScreen(screen, SCREEN_WIDTH);
  pass();
  // Raw and run-length storage are one family's reference each; the peers
  // compare with the raw one.
  NoteResult(state, Family(percentIndex, effect.name, false) + "/" + Sprites(source).name, !runLength, screen,
             SCREEN_WIDTH);
  for (auto _ : state) {
    pass();
    benchmark::ClobberMemory();
  }
  SetCounters(state, static_cast<int64_t>(work.places.size()), work.coveredPixels);
}

void OursBoxes(benchmark::State& state) {
  InitDrawTarget(nullptr, SCREEN_WIDTH, SCREEN_HEIGHT, nullptr, SCREEN_WIDTH, true);
  uint8_t* screen = Screen().data();
  auto pass = [&] {
    for (const Place& place : BoxPlaces())
      FillBoxBlend(place.x, place.y, BOX_WIDTH, BOX_HEIGHT, screen, BOX_COLOUR, BLEND_LEVEL);
  };
  StartScreen(screen, SCREEN_WIDTH);
  pass();
  NoteResult(state, "box_blend/150x30", true, screen, SCREEN_WIDTH);
  for (auto _ : state) {
    pass();
    benchmark::ClobberMemory();
  }
  SetCounters(state, static_cast<int64_t>(BoxPlaces().size()), BoxCoveredPixels());
}

template <typename Body>
void Register(const std::string& name, Body body) {
  benchmark::RegisterBenchmark(name.c_str(), body)->Unit(benchmark::kMicrosecond)->UseRealTime();
}

}  // namespace

int ZoomWideAB(int passes) {
  InitDrawTarget(nullptr, SCREEN_WIDTH, SCREEN_HEIGHT, nullptr, SCREEN_WIDTH, true);
  uint8_t* screen = Screen().data();
  if (!UseWideBlits(true)) {
    std::printf("no wide kernels on this processor\n");
    return 0;
  }
  std::printf("%-20s %-10s %12s %12s %8s\n", "family", "frames", "portable us", "wide us", "gain");
  int failures = 0;
  for (int percent = 0; percent < ZOOM_PERCENT_COUNT; ++percent) {
    for (const Effect& effect : kEffects) {
      for (const bool runLength : {false, true}) {
        for (int source = 0; source < SOURCE_COUNT; ++source) {
          const Records& records = FrameRecords(source);
          const std::vector<SpriteFrame>& frames = runLength ? records.rle : records.raw;
          const ZoomWork& work = Zooms(source, percent);
          auto pass = [&] {
            for (const ZoomPlace& place : work.places)
              DrawSpriteZoom(place.centreX, place.centreY, screen, &frames[place.frame], place.width,
                             place.height, effect.flags, SOLID_COLOUR, BLEND_LEVEL);
          };
          double best[2];
          const int64_t at = AlternatedFastest(
              passes, screen, [](int side) { UseWideBlits(side == 1); }, pass, best);
          const std::string family = Family(percent, effect.name, runLength);
          if (at >= 0) {
            std::printf("%s/%s: the two kernel sets drew different screens, first at byte %lld\n",
                        family.c_str(), Sprites(source).name, static_cast<long long>(at));
            ++failures;
          }
          std::printf("%-20s %-10s %12.1f %12.1f %8.2f\n", family.c_str(), Sprites(source).name, best[0],
                      best[1], best[0] / best[1]);
        }
      }
    }
  }
  UseWideBlits(true);
  return failures == 0 ? 0 : 1;
}

const ZoomWork& Zooms(int source, int percentIndex) {
  static ZoomWork works[SOURCE_COUNT][ZOOM_PERCENT_COUNT];
  ZoomWork& work = works[source][percentIndex];
  if (work.places.empty()) {
    const SpriteWork& sprites = Sprites(source);
    work.coveredPixels = 0;
    for (const Place& place : sprites.places) {
      const Frame& frame = sprites.frames[place.frame];
      ZoomPlace zoom;
      zoom.centreX = place.x + frame.width / 2;
      zoom.centreY = place.y + frame.height / 2;
      zoom.width = frame.width * ZOOM_PERCENTS[percentIndex] / 100;
      zoom.height = frame.height * ZOOM_PERCENTS[percentIndex] / 100;
      zoom.left = zoom.centreX - (zoom.width >> 1);
      zoom.top = zoom.centreY - (zoom.height >> 1);
      zoom.frame = place.frame;
      work.places.push_back(zoom);
      work.coveredPixels += Covered(zoom.left, zoom.top, zoom.width, zoom.height);
    }
  }
  return work;
}

const std::vector<Place>& BoxPlaces() { return Sprites(0).places; }

int64_t BoxCoveredPixels() {
  int64_t covered = 0;
  for (const Place& place : BoxPlaces()) covered += Covered(place.x, place.y, BOX_WIDTH, BOX_HEIGHT);
  return covered;
}

void RegisterZoomBenchmarks() {
  for (int source = 0; source < SOURCE_COUNT; ++source) {
    for (int percent = 0; percent < ZOOM_PERCENT_COUNT; ++percent) {
      for (const Effect& effect : kEffects) {
        for (bool runLength : {false, true}) {
          Register(Family(percent, effect.name, runLength) + "/ours/" + Sprites(source).name,
                   [=](benchmark::State& state) { OursZoom(state, source, percent, runLength, effect); });
        }
      }
    }
  }
  Register("box_blend/ours/150x30", OursBoxes);
  if (!RegisterZoomSdlBenchmarks()) std::fprintf(stderr, "render_bench: SDL2 zoom peers not run\n");
  if (!RegisterZoomAllegroBenchmarks())
    std::fprintf(stderr, "render_bench: Allegro 4 zoom peers not built in or not started\n");
}

void PrintZoomRatios(const std::function<double(const std::string&)>& best) {
  std::printf("\n%-20s %-10s %10s %14s %10s %10s\n", "family", "source", "ours us", "fastest peer", "peer us",
              "peer/ours");
  auto line = [&](const std::string& family, const std::string& peersOf, const std::string& source,
                  std::initializer_list<const char*> peers) {
    const double ours = best(family + "/ours/" + source);
    if (ours <= 0) return;
    double fastest = 0;
    const char* name = "(none ran)";
    for (const char* peer : peers) {
      const double t = best(peersOf + "/" + peer + "/" + source);
      if (t > 0 && (fastest == 0 || t < fastest)) fastest = t, name = peer;
    }
    if (fastest > 0)
      std::printf("%-20s %-10s %10.2f %14s %10.2f %9.2fx\n", family.c_str(), source.c_str(), ours, name,
                  fastest, fastest / ours);
    else
      std::printf("%-20s %-10s %10.2f %14s %10s %10s\n", family.c_str(), source.c_str(), ours, name, "-",
                  "-");
  };
  for (int percent = 0; percent < ZOOM_PERCENT_COUNT; ++percent) {
    for (const Effect& effect : kEffects) {
      for (bool runLength : {false, true}) {
        for (int source = 0; source < SOURCE_COUNT; ++source) {
          const std::string family = Family(percent, effect.name, runLength);
          line(family, Family(percent, effect.name, false), Sprites(source).name,
               {"sdl_key", "allegro", "allegro_2step"});
        }
      }
    }
  }
  line("box_blend", "box_blend", "150x30", {"allegro"});
}

}  // namespace render_bench
