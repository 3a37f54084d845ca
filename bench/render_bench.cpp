// The sprite renderer against the libraries a user would otherwise draw
// 8-bit sprites with, on the same frames at the same places of the same
// 640 x 480 screen, in one run. Each benchmark is named family/drawer/source;
// after the runs a table gives, per family, how many times faster ours is
// than the fastest peer, and the opaque copy's time against plain memcpy of
// the same rows.
//
// The frames are the demo's own (test2.spr, test2.csp and test.bmp, from
// VANTOR_RUN_DIR or else the build's run folder) and a synthetic 64 x 44
// frame about 45 % transparent. Places are a fixed pseudo-random sequence,
// some reaching past the screen's edges so the clipping paths are timed too.
#if __has_include(<unistd.h>)
#include <unistd.h>
#define RENDER_BENCH_ON_TERMINAL() (isatty(fileno(stdout)) != 0)
#else
#define RENDER_BENCH_ON_TERMINAL() false
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/render_bench_work.h"
#include "bench/render_bench_zoom.h"
#include "formats/alpha.h"
#include "formats/bmp.h"
#include "formats/rle_encode.h"
#include "formats/sprite.h"
#include "render/blit.h"
#include "render/blit_internal.h"
#include "render/blit_wide.h"
#include "render/drawtarget.h"
#include "render/turned.h"

namespace render_bench {
namespace {

constexpr int32_t PLACES_PER_PASS = 256;
constexpr int32_t OPAQUE_PLACES_PER_PASS = 16;
constexpr int32_t SYNTHETIC_WIDTH = 64;
constexpr int32_t SYNTHETIC_HEIGHT = 44;
constexpr uint32_t SEED = 20240611;

std::string RunFile(const char* name) {
  const char* dir = std::getenv("VANTOR_RUN_DIR");
  return std::string(dir != nullptr && *dir != 0 ? dir : VANTOR_BENCH_RUN_DIR) + "/" + name;
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "render_bench: %s\n", what.c_str());
  std::exit(1);
}

// Runs of 1..9 transparent and 1..11 opaque pixels: 5 / 11 of the frame,
// about 45 %, is transparent, in runs the size real art has.
Frame SyntheticFrame() {
  std::mt19937 random(SEED);
  Frame frame{SYNTHETIC_WIDTH, SYNTHETIC_HEIGHT, std::vector<uint8_t>(SYNTHETIC_WIDTH * SYNTHETIC_HEIGHT)};
  for (int32_t row = 0; row < frame.height; ++row) {
    uint8_t* line = frame.pixels.data() + row * frame.width;
    int32_t column = 0;
    bool opaque = random() % 2 != 0;
    while (column < frame.width) {
      int32_t run = opaque ? 1 + random() % 11 : 1 + random() % 9;
      for (; run > 0 && column < frame.width; --run, ++column) line[column] = opaque ? 1 + random() % 255 : 0;
      opaque = !opaque;
    }
  }
  return frame;
}

int64_t Covered(int32_t x, int32_t y, int32_t width, int32_t height) {
  int64_t w = std::min(x + width, SCREEN_WIDTH) - std::max(x, 0);
  int64_t h = std::min(y + height, SCREEN_HEIGHT) - std::max(y, 0);
  return w > 0 && h > 0 ? w * h : 0;
}

// Top-lefts from 48 pixels left of (above) the screen to 16 past its right
// (bottom) edge: many draws are cut by an edge and a few miss the screen.
std::vector<Place> SpritePlaces(int32_t frameCount, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<Place> places;
  for (int32_t i = 0; i < PLACES_PER_PASS; ++i) {
    int32_t x = static_cast<int32_t>(random() % (SCREEN_WIDTH + 64)) - 48;
    int32_t y = static_cast<int32_t>(random() % (SCREEN_HEIGHT + 64)) - 48;
    places.push_back({x, y, i % frameCount});
  }
  return places;
}

struct Loaded {
  SpriteWork work[SOURCE_COUNT];
  // Our own frame records for each source, raw and run-length.
  std::vector<SpriteFrame> raw[SOURCE_COUNT];
  std::vector<SpriteFrame> rle[SOURCE_COUNT];
  std::vector<std::vector<uint8_t>> rleBlocks;
  OpaqueWork background;
  std::vector<uint8_t> backgroundBottomUp;
  std::vector<uint8_t> palette;
};

void Count(SpriteWork& work) {
  work.coveredPixels = 0;
  work.turnedCoveredPixels = 0;
  for (const Place& place : work.places) {
    const Frame& frame = work.frames[place.frame];
    work.coveredPixels += Covered(place.x, place.y, frame.width, frame.height);
    work.turnedCoveredPixels += Covered(place.x, place.y, frame.height, frame.width);
  }
}

SpriteFrame RecordFor(int32_t width, int32_t height, int32_t compressed, uint8_t* data, size_t size) {
  SpriteFrame record{};
  record.frameCount = 1;
  record.compressed = compressed;
  record.width = width;
  record.height = height;
  record.right = width - 1;
  record.bottom = height - 1;
  record.dataSize = static_cast<int32_t>(size);
  record.pixels = data;
  return record;
}

Loaded& Data() {
  static Loaded* loaded = [] {
    auto* data = new Loaded;
    static SpriteFrame rawSet[16], rleSet[16];
    std::string spr = RunFile("test2.spr"), csp = RunFile("test2.csp");
    if (LoadSprite(spr.c_str(), rawSet, nullptr) != SPRITE_OK) Fail("cannot load " + spr);
    if (LoadSprite(csp.c_str(), rleSet, nullptr) != SPRITE_OK) Fail("cannot load " + csp);
    if (rawSet[0].frameCount <= 0 || rawSet[0].compressed != 0 || rleSet[0].compressed == 0 ||
        rleSet[0].frameCount != rawSet[0].frameCount)
      Fail("test2 frames are not as expected");

    SpriteWork& demo = data->work[0];
    demo.name = "test2";
    for (int32_t i = 0; i < rawSet[0].frameCount; ++i) {
      const SpriteFrame& f = rawSet[i];
      demo.frames.push_back(
          {f.width, f.height, std::vector<uint8_t>(f.pixels, f.pixels + f.width * f.height)});
      data->raw[0].push_back(f);
    }
    for (int32_t i = 0; i < rleSet[0].frameCount; ++i) data->rle[0].push_back(rleSet[i]);
    demo.places = SpritePlaces(static_cast<int32_t>(demo.frames.size()), SEED + 1);
    Count(demo);

    SpriteWork& synthetic = data->work[1];
    synthetic.name = "synthetic";
    synthetic.frames.push_back(SyntheticFrame());
    Frame& frame = synthetic.frames[0];
    data->raw[1].push_back(RecordFor(frame.width, frame.height, 0, frame.pixels.data(), frame.pixels.size()));
    data->rleBlocks.push_back(EncodeRleFrame(frame.pixels.data(), frame.width, frame.height));
    std::vector<uint8_t>& block = data->rleBlocks.back();
    data->rle[1].push_back(RecordFor(frame.width, frame.height, 1, block.data(), block.size()));
    synthetic.places = SpritePlaces(1, SEED + 1);
    Count(synthetic);

    BmpImage bmp{};
    std::string bmpName = RunFile("test.bmp");
    std::vector<uint8_t> file;
    if (FILE* in = std::fopen(bmpName.c_str(), "rb")) {
      int c;
      while ((c = std::fgetc(in)) != EOF) file.push_back(static_cast<uint8_t>(c));
      std::fclose(in);
    }
    if (ParseBmp(file.data(), file.size(), &bmp) != BMP_OK) Fail("cannot load " + bmpName);
    OpaqueWork& background = data->background;
    background.width = bmp.width;
    background.height = bmp.height;
    data->backgroundBottomUp.assign(bmp.pixels, bmp.pixelsEnd);
    for (int32_t row = bmp.height - 1; row >= 0; --row) {
      const uint8_t* line = bmp.pixels + row * bmp.width;
      background.rows.insert(background.rows.end(), line, line + bmp.width);
    }
    data->palette.assign(bmp.palette, bmp.palette + BMP_PALETTE_BYTES);
    std::mt19937 random(SEED + 2);
    for (int32_t i = 0; i < OPAQUE_PLACES_PER_PASS; ++i) {
      int32_t x = static_cast<int32_t>(random() % (SCREEN_WIDTH - bmp.width + 1));
      int32_t y = static_cast<int32_t>(random() % (SCREEN_HEIGHT - bmp.height + 1));
      background.places.push_back({x, y, 0});
    }
    background.coveredPixels = int64_t{OPAQUE_PLACES_PER_PASS} * bmp.width * bmp.height;
    FreeBmp(&bmp);

    // The demo's cached table when there is one, else built from its palette.
    std::string alp = RunFile("test.alp");
    if (LoadAlphaTable(alp.c_str()) != ALPHA_OK) BuildAlphaTable(data->palette.data(), 1, 254);
    return data;
  }();
  return *loaded;
}

std::vector<uint8_t>& Screen() {
  static std::vector<uint8_t> screen(SCREEN_WIDTH * SCREEN_HEIGHT);
  return screen;
}

// One pass of DrawSprite over the places, with the given flags.
void OursSprites(benchmark::State& state, const char* family, int source, bool runLength, int32_t flags) {
  Loaded& data = Data();
  const SpriteWork& work = data.work[source];
  const std::vector<SpriteFrame>& frames = runLength ? data.rle[source] : data.raw[source];
  InitDrawTarget(nullptr, SCREEN_WIDTH, SCREEN_HEIGHT, nullptr, SCREEN_WIDTH, true);
  uint8_t* screen = Screen().data();
  auto pass = [&] {
    for (const Place& place : work.places)
      DrawSprite(place.x, place.y, screen, &frames[place.frame], flags, SOLID_COLOUR, BLEND_LEVEL);
  };
  StartScreen(screen, SCREEN_WIDTH);
  pass();
  NoteResult(state, std::string(family) + "/" + work.name, true, screen, SCREEN_WIDTH);
  for (auto _ : state) {
    pass();
    benchmark::ClobberMemory();
  }
  SetCounters(state, static_cast<int64_t>(work.places.size()), work.coveredPixels);
}

void OursTurned(benchmark::State& state, const char* family, int source, int32_t turns) {
  const SpriteWork& work = Data().work[source];
  InitDrawTarget(nullptr, SCREEN_WIDTH, SCREEN_HEIGHT, nullptr, SCREEN_WIDTH, true);
  uint8_t* screen = Screen().data();
  auto pass = [&] {
    for (const Place& place : work.places) {
      const Frame& frame = work.frames[place.frame];
      DrawSpriteTurned(place.x, place.y, frame.width, frame.height, screen, frame.pixels.data(), turns);
    }
  };
  StartScreen(screen, SCREEN_WIDTH);
  pass();
  NoteResult(state, std::string(family) + "/" + work.name, true, screen, SCREEN_WIDTH);
  for (auto _ : state) {
    pass();
    benchmark::ClobberMemory();
  }
  SetCounters(state, static_cast<int64_t>(work.places.size()), work.turnedCoveredPixels);
}

void OursOpaque(benchmark::State& state, bool bottomUp) {
  Loaded& data = Data();
  const OpaqueWork& work = data.background;
  InitDrawTarget(nullptr, SCREEN_WIDTH, SCREEN_HEIGHT, nullptr, SCREEN_WIDTH, true);
  uint8_t* screen = Screen().data();
  auto pass = [&] {
    for (const Place& place : work.places) {
      if (bottomUp)
        BlitOpaqueMirrorY(place.x, place.y, static_cast<int16_t>(work.width),
                          static_cast<int16_t>(work.height), screen, data.backgroundBottomUp.data());
      else
        BlitOpaque(place.x, place.y, work.width, work.height, screen, work.rows.data());
    }
  };
  StartScreen(screen, SCREEN_WIDTH);
  pass();
  NoteResult(state, "opaque/test.bmp", !bottomUp, screen, SCREEN_WIDTH);
  for (auto _ : state) {
    pass();
    benchmark::ClobberMemory();
  }
  SetCounters(state, static_cast<int64_t>(work.places.size()), work.coveredPixels);
}

// The limit: the same rows moved by memcpy, with no clipping to work out.
void MemcpyOpaque(benchmark::State& state) {
  const OpaqueWork& work = Data().background;
  uint8_t* screen = Screen().data();
  auto pass = [&] {
    for (const Place& place : work.places) {
      uint8_t* to = screen + place.y * SCREEN_WIDTH + place.x;
      const uint8_t* from = work.rows.data();
      for (int32_t row = 0; row < work.height; ++row, to += SCREEN_WIDTH, from += work.width)
        std::memcpy(to, from, work.width);
    }
  };
  StartScreen(screen, SCREEN_WIDTH);
  pass();
  NoteResult(state, "opaque/test.bmp", false, screen, SCREEN_WIDTH);
  for (auto _ : state) {
    pass();
    benchmark::ClobberMemory();
  }
  SetCounters(state, static_cast<int64_t>(work.places.size()), work.coveredPixels);
}

// The floor under every blend of a source: one pass's table look-ups and
// nothing else. The indices of every drawn pixel of a pass (old byte << 8 |
// drawn byte, with the screen changing as the draws go) are worked out
// beforehand by a per-pixel model; the loop then looks each up and stores it
// in a buffer: two loads and a store a pixel, no walk, no test, no reading
// of the screen. Any drawer that looks up each drawn pixel once, as the
// table's design asks, takes at least this long.
void LookupsAlone(benchmark::State& state, int source) {
  const SpriteWork& work = Data().work[source];
  const uint8_t* table = BlendTable();
  std::vector<uint8_t> screen(SCREEN_WIDTH * SCREEN_HEIGHT);
  StartScreen(screen.data(), SCREEN_WIDTH);
  std::vector<uint16_t> index;
  for (const Place& place : work.places) {
    const Frame& frame = work.frames[place.frame];
    for (int32_t r = 0; r < frame.height; ++r) {
      const int32_t y = place.y + r;
      if (y < 0 || y >= SCREEN_HEIGHT) continue;
      for (int32_t c = 0; c < frame.width; ++c) {
        const int32_t x = place.x + c;
        const uint8_t drawn = frame.pixels[r * frame.width + c];
        if (x < 0 || x >= SCREEN_WIDTH || drawn == 0) continue;
        uint8_t& old = screen[y * SCREEN_WIDTH + x];
        index.push_back(static_cast<uint16_t>(old << 8 | drawn));
        old = table[index.back()];
      }
    }
  }
  std::vector<uint8_t> out(index.size());
  for (auto _ : state) {
    const uint16_t* at = index.data();
    uint8_t* to = out.data();
    for (size_t k = 0, n = index.size(); k < n; ++k) to[k] = table[at[k]];
    benchmark::ClobberMemory();
  }
  state.counters["drawn"] = static_cast<double>(index.size());
  SetCounters(state, static_cast<int64_t>(work.places.size()), work.coveredPixels);
}

template <typename Body>
void Register(const std::string& name, Body body) {
  benchmark::RegisterBenchmark(name.c_str(), body)->Unit(benchmark::kMicrosecond)->UseRealTime();
}

void RegisterOurs() {
  struct Flagged {
    const char* family;
    bool runLength;
    int32_t flags;
  };
  static const Flagged kinds[] = {
      {"copy", false, 0},
      {"mirror_x", false, DRAW_MIRROR_X},
      {"mirror_y", false, DRAW_MIRROR_Y},
      {"mirror_xy", false, DRAW_MIRROR_X | DRAW_MIRROR_Y},
      {"blend", false, DRAW_BLEND},
      {"solid", false, DRAW_SOLID},
      {"rle_copy", true, 0},
      {"rle_blend", true, DRAW_BLEND},
  };
  for (int source = 0; source < SOURCE_COUNT; ++source) {
    const char* sourceName = Sprites(source).name;
    for (const Flagged& kind : kinds) {
      Register(std::string(kind.family) + "/ours/" + sourceName, [source, kind](benchmark::State& state) {
        OursSprites(state, kind.family, source, kind.runLength, kind.flags);
      });
    }
    Register(std::string("turn_left/ours/") + sourceName,
             [source](benchmark::State& state) { OursTurned(state, "turn_left", source, 1); });
    Register(std::string("turn_right/ours/") + sourceName,
             [source](benchmark::State& state) { OursTurned(state, "turn_right", source, 3); });
  }
  for (int source = 0; source < SOURCE_COUNT; ++source) {
    Register(std::string("blend/lookups_alone/") + Sprites(source).name,
             [source](benchmark::State& state) { LookupsAlone(state, source); });
  }
  Register("opaque/ours/test.bmp", [](benchmark::State& state) { OursOpaque(state, false); });
  Register("opaque_mirror_y/ours/test.bmp", [](benchmark::State& state) { OursOpaque(state, true); });
  Register("opaque/memcpy/test.bmp", MemcpyOpaque);
}

// --layout_ab=N: the blends read through the table by drawn colour against
// the table as stored, alternated pass by pass in this one process (so slow
// spells of a shared machine fall on both alike), N passes each; prints the
// fastest pass of each side, per kernel set (plain, and wide where the
// processor has it). Both sides must draw the same screen.
int LayoutAB(int passes) {
  Loaded& data = Data();
  InitDrawTarget(nullptr, SCREEN_WIDTH, SCREEN_HEIGHT, nullptr, SCREEN_WIDTH, true);
  uint8_t* screen = Screen().data();
  struct Kind {
    const char* family;
    bool runLength;
    int32_t flags;
  };
  static const Kind kinds[] = {{"blend", false, DRAW_BLEND},
                               {"rle_blend", true, DRAW_BLEND},
                               {"solid_blend", false, DRAW_SOLID | DRAW_BLEND},
                               {"rle_solid_blend", true, DRAW_SOLID | DRAW_BLEND}};
  const bool haveWide = UseWideBlits(true);
  std::printf("%-16s %-10s %-6s %12s %12s %8s\n", "family", "frames", "kernel", "stored us", "by drawn us",
              "gain");
  int failures = 0;
  for (int wide = haveWide ? 1 : 0; wide >= 0; --wide) {
    UseWideBlits(wide != 0);
    for (const Kind& kind : kinds) {
      for (int source = 0; source < SOURCE_COUNT; ++source) {
        const SpriteWork& work = data.work[source];
        const std::vector<SpriteFrame>& frames = kind.runLength ? data.rle[source] : data.raw[source];
        auto pass = [&] {
          for (const Place& place : work.places)
            DrawSprite(place.x, place.y, screen, &frames[place.frame], kind.flags, SOLID_COLOUR, BLEND_LEVEL);
        };
        double best[2];
        if (AlternatedFastest(
                passes, screen, [](int side) { UseBlendByDrawn(side == 1); }, pass, best) >= 0) {
          std::printf("%s/%s: the two layouts drew different screens\n", kind.family, work.name);
          ++failures;
        }
        std::printf("%-16s %-10s %-6s %12.1f %12.1f %8.2f\n", kind.family, work.name, wide ? "wide" : "plain",
                    best[0], best[1], best[0] / best[1]);
      }
    }
  }
  UseWideBlits(true);
  UseBlendByDrawn(true);
  return failures == 0 ? 0 : 1;
}

// The console report, keeping every repetition's wall time per iteration.
// The ratios at the end compare the fastest repetitions: on a shared or
// virtual machine the slow ones measure the neighbours, and running with
// --benchmark_enable_random_interleaving spreads those over all drawers.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colour only on a terminal: a reporter handed in does not follow
  // --benchmark_color.
  explicit RatioReporter(bool colour) : ConsoleReporter(colour ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !run.error_occurred)
        times_[run.run_name.function_name].push_back(run.GetAdjustedRealTime());
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Microseconds per pass of the fastest repetition, or 0 when the benchmark
  // did not run.
  double Best(const std::string& name) const {
    auto found = times_.find(name);
    if (found == times_.end() || found->second.empty()) return 0;
    return *std::min_element(found->second.begin(), found->second.end());
  }

  void PrintRatios() const {
    struct Family {
      const char* family;
      const char* peersOf;  // the family whose peer entries do the same work
      std::vector<const char*> peers;
    };
    static const Family families[] = {
        {"copy", "copy", {"sdl_key", "allegro"}},
        {"mirror_x", "mirror_x", {"allegro"}},
        {"mirror_y", "mirror_y", {"allegro"}},
        {"mirror_xy", "mirror_xy", {"allegro"}},
        {"blend", "blend", {"allegro"}},
        {"solid", "solid", {"allegro"}},
        {"rle_copy", "rle_copy", {"sdl_key_rle", "allegro"}},
        {"rle_blend", "rle_blend", {"allegro"}},
        {"turn_left", "turn_left", {"allegro"}},
        {"turn_right", "turn_right", {"allegro"}},
        {"opaque", "opaque", {"sdl", "allegro"}},
        {"opaque_mirror_y", "opaque", {"sdl", "allegro"}},
    };
    std::printf("\n%-16s %-10s %10s %14s %10s %10s\n", "family", "source", "ours us", "fastest peer",
                "peer us", "peer/ours");
    for (const Family& family : families) {
      bool opaque = std::strncmp(family.family, "opaque", 6) == 0;
      for (int source = 0; source < (opaque ? 1 : SOURCE_COUNT); ++source) {
        std::string suffix = std::string("/") + (opaque ? "test.bmp" : Sprites(source).name);
        double ours = Best(std::string(family.family) + "/ours" + suffix);
        double best = 0;
        const char* bestName = "-";
        for (const char* peer : family.peers) {
          double t = Best(std::string(family.peersOf) + "/" + peer + suffix);
          if (t > 0 && (best == 0 || t < best)) best = t, bestName = peer;
        }
        if (ours <= 0) continue;
        if (best > 0)
          std::printf("%-16s %-10s %10.2f %14s %10.2f %9.2fx\n", family.family, suffix.c_str() + 1, ours,
                      bestName, best, best / ours);
        else
          std::printf("%-16s %-10s %10.2f %14s %10s %10s\n", family.family, suffix.c_str() + 1, ours,
                      "(none ran)", "-", "-");
      }
    }
    double limit = Best("opaque/memcpy/test.bmp");
    for (const char* name : {"opaque/ours/test.bmp", "opaque_mirror_y/ours/test.bmp"}) {
      double ours = Best(name);
      if (ours > 0 && limit > 0)
        std::printf("%-30s %.2f us, memcpy %.2f us: %.2fx memcpy's time\n", name, ours, limit, ours / limit);
    }
    // The blends beside their floor: the aim is half the fastest peer's
    // time, which no drawer can reach where it is below the look-ups alone.
    for (int source = 0; source < SOURCE_COUNT; ++source) {
      const std::string name = Sprites(source).name;
      const double floor = Best("blend/lookups_alone/" + name);
      if (floor <= 0) continue;
      for (const char* family : {"blend", "rle_blend"}) {
        const double ours = Best(std::string(family) + "/ours/" + name);
        const double peer = Best(std::string(family) + "/allegro/" + name);
        if (ours <= 0 || peer <= 0) continue;
        std::printf(
            "%-10s %-10s look-ups alone %.2f us, ours %.2f us (%.2fx the floor), half the peer's %.2f us\n",
            family, name.c_str(), floor, ours, ours / floor, peer / 2);
      }
    }
  }

 private:
  std::map<std::string, std::vector<double>> times_;
};

}  // namespace

const SpriteWork& Sprites(int source) { return Data().work[source]; }
const OpaqueWork& Background() { return Data().background; }
const uint8_t* BlendTable() { return alphaTable + BLEND_LEVEL * 65536; }
const uint8_t* Palette() { return Data().palette.data(); }

void StartScreen(uint8_t* rows, int32_t pitch) {
  std::mt19937 random(SEED + 3);
  for (int32_t y = 0; y < SCREEN_HEIGHT; ++y)
    for (int32_t x = 0; x < SCREEN_WIDTH; ++x) rows[y * pitch + x] = static_cast<uint8_t>(random());
}

int64_t AlternatedFastest(int passes, uint8_t* screen, const std::function<void(int)>& choose,
                          const std::function<void()>& pass, double best[2]) {
  std::vector<uint8_t> drawn[2];
  for (int side = 0; side < 2; ++side) {
    choose(side);
    StartScreen(screen, SCREEN_WIDTH);
    pass();
    drawn[side].assign(screen, screen + SCREEN_WIDTH * SCREEN_HEIGHT);
  }
  best[0] = best[1] = 1e30;
  for (int i = 0; i < 2 * passes; ++i) {
    const int side = i & 1;
    choose(side);
    const auto start = std::chrono::steady_clock::now();
    pass();
    const auto stop = std::chrono::steady_clock::now();
    benchmark::ClobberMemory();
    best[side] = std::min(best[side], std::chrono::duration<double, std::micro>(stop - start).count());
  }
  const auto at = std::mismatch(drawn[0].begin(), drawn[0].end(), drawn[1].begin()).first;
  return at == drawn[0].end() ? -1 : at - drawn[0].begin();
}

void NoteResult(benchmark::State& state, const std::string& key, bool reference, const uint8_t* rows,
                int32_t pitch) {
  static std::map<std::string, std::vector<uint8_t>> references;
  std::vector<uint8_t> picture;
  for (int32_t y = 0; y < SCREEN_HEIGHT; ++y)
    picture.insert(picture.end(), rows + y * pitch, rows + y * pitch + SCREEN_WIDTH);
  if (reference) {
    references[key] = std::move(picture);
    return;
  }
  auto found = references.find(key);
  if (found == references.end()) return;
  int64_t differ = 0;
  for (size_t i = 0; i < picture.size(); ++i) differ += picture[i] != found->second[i];
  state.SetLabel(differ == 0 ? "same pixels as ours"
                             : "differs from ours in " + std::to_string(differ) + " px");
}

void SetCounters(benchmark::State& state, int64_t draws, int64_t pixels) {
  // Inverted rates: seconds per draw and per covered pixel (the console
  // shows them as ns).
  auto flags =
      benchmark::Counter::Flags(benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["per_draw"] = benchmark::Counter(static_cast<double>(draws), flags);
  state.counters["per_px"] = benchmark::Counter(static_cast<double>(pixels), flags);
}

// Without Allegro 4 neither of its peer files is built: both registrations
// report that nothing was registered.
#if !VANTOR_HAVE_ALLEGRO4
bool RegisterAllegroBenchmarks() { return false; }
bool RegisterZoomAllegroBenchmarks() { return false; }
#endif

}  // namespace render_bench

int main(int argc, char** argv) {
  // --plain: our drawing with the portable kernels only, as on a processor
  // without AVX2; --avx2: with the AVX2 kernels at most, as on one without
  // AVX-512 (taken out before Google Benchmark reads the rest).
  for (int i = 1; i < argc; ++i) {
    const bool plain = std::strcmp(argv[i], "--plain") == 0, avx2 = std::strcmp(argv[i], "--avx2") == 0;
    if (plain || avx2) {
      const KernelSet set = UseKernels(plain ? KernelSet::Plain : KernelSet::Avx2);
      std::fprintf(stderr, "render_bench: %s kernels\n",
                   set == KernelSet::Plain  ? "portable"
                   : set == KernelSet::Avx2 ? "AVX2"
                                            : "wide");
      for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
      --argc;
      break;
    }
  }
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--layout_ab=", 12) == 0) {
      render_bench::Data();
      return render_bench::LayoutAB(std::max(1, std::atoi(argv[i] + 12)));
    }
    if (std::strncmp(argv[i], "--zoom_wide_ab=", 15) == 0) {
      render_bench::Data();
      return render_bench::ZoomWideAB(std::max(1, std::atoi(argv[i] + 15)));
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  render_bench::Data();  // load everything before anything is timed
  render_bench::RegisterOurs();
  if (!render_bench::RegisterSdlBenchmarks()) std::fprintf(stderr, "render_bench: SDL2 peers not run\n");
  if (!render_bench::RegisterAllegroBenchmarks())
    std::fprintf(stderr, "render_bench: Allegro 4 not built in or not started; its peers are not run\n");
  render_bench::RegisterZoomBenchmarks();
  render_bench::RatioReporter reporter(RENDER_BENCH_ON_TERMINAL());
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  render_bench::PrintZoomRatios([&reporter](const std::string& name) { return reporter.Best(name); });
  benchmark::Shutdown();
  return 0;
}
