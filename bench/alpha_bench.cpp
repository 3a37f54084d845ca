// The alpha table build against the plain search, on the VGA default palette
// and on a random one. After the runs, one line per palette gives how many
// times faster the build is.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "alpha/palettes.h"
#include "formats/alpha.h"

namespace {

using alpha_palettes::PaletteBytes;

const PaletteBytes& Palette(int which) {
  static const PaletteBytes vga = alpha_palettes::VgaPalette();
  static const PaletteBytes random = [] {
    std::mt19937 generator(20240611);
    return alpha_palettes::RandomPalette(generator);
  }();
  return which == 0 ? vga : random;
}

const char* PaletteName(int which) { return which == 0 ? "vga" : "random"; }

void BM_BuildAlphaTable(benchmark::State& state) {
  const PaletteBytes& palette = Palette(static_cast<int>(state.range(0)));
  state.SetLabel(PaletteName(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    BuildAlphaTable(palette.data(), 1, 254);
    benchmark::DoNotOptimize(alphaTable[ALPHA_TABLE_SIZE - 1]);
    benchmark::ClobberMemory();
  }
}

void BM_BuildAlphaTableExhaustive(benchmark::State& state) {
  const PaletteBytes& palette = Palette(static_cast<int>(state.range(0)));
  state.SetLabel(PaletteName(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    BuildAlphaTableExhaustive(palette.data(), 1, 254);
    benchmark::DoNotOptimize(alphaTable[ALPHA_TABLE_SIZE - 1]);
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_BuildAlphaTable)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BuildAlphaTableExhaustive)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The console report, keeping each run's wall time per iteration so the
// speed-up can be worked out at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
        times_[run.benchmark_name()] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    for (int which = 0; which < 2; ++which) {
      char fastName[64], plainName[64];
      std::snprintf(fastName, sizeof fastName, "BM_BuildAlphaTable/%d/real_time", which);
      std::snprintf(plainName, sizeof plainName, "BM_BuildAlphaTableExhaustive/%d/real_time", which);
      auto fast = times_.find(fastName);
      auto plain = times_.find(plainName);
      if (fast == times_.end() || plain == times_.end() || fast->second <= 0) continue;
      std::printf("%s palette: build %.2f ms, plain search %.1f ms, %.0f times faster\n", PaletteName(which),
                  fast->second, plain->second, plain->second / fast->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
