// The scaled renderer's share of render_bench: frames zoomed about their
// centres at the places the unscaled benchmarks use, and translucent boxes.
// Free of our own headers, like render_bench_work.h, so the peers' files can
// include it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bench/render_bench_work.h"

namespace render_bench {

constexpr int ZOOM_PERCENT_COUNT = 3;
constexpr int32_t ZOOM_PERCENTS[ZOOM_PERCENT_COUNT] = {50, 150, 200};
constexpr int32_t BOX_WIDTH = 150;
constexpr int32_t BOX_HEIGHT = 30;
constexpr int32_t BOX_COLOUR = 15;

// One zoomed draw: the frame `frame` of the source drawn width x height with
// its top-left at (left, top), which is where DrawSpriteZoom puts it for the
// centre (centreX, centreY).
struct ZoomPlace {
  int32_t centreX, centreY;
  int32_t left, top, width, height;
  int32_t frame;
};
struct ZoomWork {
  std::vector<ZoomPlace> places;
  int64_t coveredPixels;  // screen pixels the clipped rectangles cover, one pass
};
const ZoomWork& Zooms(int source, int percentIndex);

// Boxes: BOX_WIDTH x BOX_HEIGHT at the sprites' places, blended at
// BLEND_LEVEL with BOX_COLOUR.
const std::vector<Place>& BoxPlaces();
int64_t BoxCoveredPixels();

// Registers ours and the peers; the peers' files return false when their
// library is missing or cannot start.
void RegisterZoomBenchmarks();
bool RegisterZoomSdlBenchmarks();
bool RegisterZoomAllegroBenchmarks();

// The ratio table for these families, from each benchmark's fastest
// repetition (`best` gives it in us, 0 when it did not run).
void PrintZoomRatios(const std::function<double(const std::string&)>& best);

// --zoom_wide_ab=N: every zoom family of ours drawn by the portable kernels
// and by the wide ones, alternated pass by pass in this one process, N passes
// each; prints each side's fastest pass. Both must draw the same screen.
// Returns the exit status.
int ZoomWideAB(int passes);

}  // namespace render_bench
