// The work every renderer in render_bench draws: the frames, the positions
// they go to and the 640 x 480 8-bit screen. Kept free of our own headers so
// the peer libraries' drawing code, whose names clash with ours, can be
// compiled on its own.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace render_bench {

constexpr int32_t SCREEN_WIDTH = 640;
constexpr int32_t SCREEN_HEIGHT = 480;
constexpr int32_t BLEND_LEVEL = 3;
constexpr int32_t SOLID_COLOUR = 15;

// One raw frame, rows back to back, index 0 transparent.
struct Frame {
  int32_t width;
  int32_t height;
  std::vector<uint8_t> pixels;
};

struct Place {
  int32_t x;
  int32_t y;
  int32_t frame;  // index into the source's frames
};

// A frame source: the demo's test2 frames or the synthetic one, with the
// fixed sequence of places one pass draws them at.
struct SpriteWork {
  const char* name;
  std::vector<Frame> frames;
  std::vector<Place> places;
  int64_t coveredPixels;        // screen pixels the clipped frame rectangles cover, one pass
  int64_t turnedCoveredPixels;  // the same for the quarter-turned frames
};

constexpr int SOURCE_COUNT = 2;
const SpriteWork& Sprites(int source);

// The 320 x 200 background, rows top-down, and the places it is copied to
// (always wholly on the screen, like the demo's background).
struct OpaqueWork {
  int32_t width;
  int32_t height;
  std::vector<uint8_t> rows;
  std::vector<Place> places;
  int64_t coveredPixels;
};
const OpaqueWork& Background();

// The 256 x 256 mixing table at the benchmark's level: entry [dest << 8 | drawn].
const uint8_t* BlendTable();
// The background's palette, 256 x blue, green, red, reserved.
const uint8_t* Palette();

// Before timing, every benchmark draws one pass onto its screen filled with
// the same start picture and notes what came out under `key` (family and
// source). Ours, run first, gives the reference; the others are labelled
// with whether they drew the same pixels (no label when ours did not run).
void StartScreen(uint8_t* rows, int32_t pitch);
void NoteResult(benchmark::State& state, const std::string& key, bool reference, const uint8_t* rows,
                int32_t pitch);

// An A/B comparison in one process: `choose(side)` sets up side 0 or 1 and
// `pass` draws the same work. Each side first draws once onto the start
// picture; then `passes` passes of each are timed, alternated, so that slow
// spells of a shared machine fall on both alike. Returns the first byte at
// which the two screens differ (-1 when they are the same) and stores each
// side's fastest pass in us in `best`.
int64_t AlternatedFastest(int passes, uint8_t* screen, const std::function<void(int)>& choose,
                          const std::function<void()>& pass, double best[2]);

// Counters every benchmark reports: time per draw and per covered pixel.
void SetCounters(benchmark::State& state, int64_t draws, int64_t pixels);

// The peers are registered by their own files; each returns false when its
// library cannot be started here.
bool RegisterSdlBenchmarks();
bool RegisterAllegroBenchmarks();

}  // namespace render_bench
