// sfxgen: synthesises the demo's sound effect, the whoosh of something
// thrown past the listener, from a small parameter file, and writes it as a
// 16-bit mono PCM WAV file.
//
//   sfxgen PARAMS OUT.wav
//
// The sound is white noise from a fixed-seed generator of our own, passed
// twice through a band-pass filter whose centre frequency rises to a top and
// falls again (the object coming closer and moving away), under an envelope
// that rises and then dies away. Only +, -, * and / on doubles are used (no
// library transcendental functions, no fused multiply-add), so the file is
// byte for byte the same on every machine.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tools/wavwrite.h"

namespace {

const char* const USAGE =
    "usage: sfxgen PARAMS OUT.wav\n"
    "Synthesises a whoosh from the parameters in PARAMS (lines of `name value`,\n"
    "integers, `#` starts a comment) and writes it as 16-bit mono PCM WAV.\n"
    "Parameters: rate, length_ms, attack_ms, seed, peak_permille, sweep_start_hz,\n"
    "sweep_top_hz, sweep_end_hz, sweep_top_ms, damping_permille.\n";

struct Params {
  long rate = 22050;
  long lengthMs = 420;
  long attackMs = 140;
  long seed = 1;
  long peakPermille = 250;
  long sweepStartHz = 300;
  long sweepTopHz = 2400;
  long sweepEndHz = 500;
  long sweepTopMs = 150;
  long dampingPermille = 400;
};

// Reads the parameter file; returns an empty string on success, else why not.
std::string ReadParams(const char* path, Params& params) {
  std::ifstream in(path);
  if (!in) return std::string("cannot open ") + path;
  std::map<std::string, long*> fields = {
      {"rate", &params.rate},
      {"length_ms", &params.lengthMs},
      {"attack_ms", &params.attackMs},
      {"seed", &params.seed},
      {"peak_permille", &params.peakPermille},
      {"sweep_start_hz", &params.sweepStartHz},
      {"sweep_top_hz", &params.sweepTopHz},
      {"sweep_end_hz", &params.sweepEndHz},
      {"sweep_top_ms", &params.sweepTopMs},
      {"damping_permille", &params.dampingPermille},
  };
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    std::string name, value, extra;
    if (!(words >> name)) continue;
    std::string where = std::string(path) + ":" + std::to_string(number) + ": ";
    auto field = fields.find(name);
    if (field == fields.end()) return where + "unknown parameter '" + name + "'";
    if (!(words >> value) || (words >> extra)) return where + "expected one value for " + name;
    char* end = nullptr;
    errno = 0;
    long parsed = std::strtol(value.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || parsed < 0 || parsed > 100000000)
      return where + "'" + value + "' is not a whole number from 0 to 100000000";
    *field->second = parsed;
  }
  // Ranges within which the filter stays stable and the output meaningful.
  if (params.rate < 8000 || params.rate > 96000) return "rate must be 8000..96000";
  if (params.lengthMs < 10 || params.lengthMs > 10000) return "length_ms must be 10..10000";
  if (params.attackMs < 1 || params.attackMs >= params.lengthMs) return "attack_ms must be 1..length_ms-1";
  if (params.sweepTopMs < 1 || params.sweepTopMs >= params.lengthMs)
    return "sweep_top_ms must be 1..length_ms-1";
  if (params.peakPermille < 1 || params.peakPermille > 1000) return "peak_permille must be 1..1000";
  if (params.dampingPermille < 50 || params.dampingPermille > 2000)
    return "damping_permille must be 50..2000";
  for (long hz : {params.sweepStartHz, params.sweepTopHz, params.sweepEndHz})
    if (hz < 20 || hz * 4 > params.rate) return "sweep frequencies must be 20 Hz..a quarter of the rate";
  return "";
}

// xorshift32: a generator whose sequence we define ourselves.
struct Noise {
  uint32_t state;
  explicit Noise(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
  double Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<double>(static_cast<int32_t>(state)) / 2147483648.0;
  }
};

// sin(x) for 0 <= x <= pi/2 by its Taylor series, which is exact to double
// precision well before the last term here.
double Sine(double x) {
  double term = x, sum = x, square = x * x;
  for (int n = 1; n < 12; ++n) {
    term = -term * square / static_cast<double>((2 * n) * (2 * n + 1));
    sum += term;
  }
  return sum;
}

double Smooth(double u) { return u * u * (3.0 - 2.0 * u); }

// Chamberlin state-variable filter, band-pass output.
struct BandPass {
  double low = 0, band = 0;
  double Step(double input, double tuning, double damping) {
    low += tuning * band;
    double high = input - low - damping * band;
    band += tuning * high;
    return band;
  }
};

std::vector<int16_t> Synthesise(const Params& params) {
  const double pi = 3.14159265358979323846;
  long count = params.rate * params.lengthMs / 1000;
  long attack = params.rate * params.attackMs / 1000;
  long top = params.rate * params.sweepTopMs / 1000;
  double damping = static_cast<double>(params.dampingPermille) / 1000.0;
  Noise noise(static_cast<uint32_t>(params.seed));
  BandPass first, second;
  std::vector<double> wave(static_cast<size_t>(count));
  for (long i = 0; i < count; ++i) {
    double centre;
    if (i < top) {
      centre =
          static_cast<double>(params.sweepStartHz) +
          static_cast<double>(params.sweepTopHz - params.sweepStartHz) * Smooth(static_cast<double>(i) / top);
    } else {
      centre = static_cast<double>(params.sweepTopHz) +
               static_cast<double>(params.sweepEndHz - params.sweepTopHz) *
                   Smooth(static_cast<double>(i - top) / static_cast<double>(count - 1 - top));
    }
    double tuning = 2.0 * Sine(pi * centre / static_cast<double>(params.rate));
    // Quadratic rise and fall: a quick swell and a longer tail, reaching
    // zero on the last sample so the sound ends without a click.
    double envelope;
    if (i < attack) {
      double u = static_cast<double>(i) / attack;
      envelope = u * u;
    } else {
      double u = static_cast<double>(count - 1 - i) / static_cast<double>(count - 1 - attack);
      envelope = u * u;
    }
    double filtered = second.Step(first.Step(noise.Next(), tuning, damping), tuning, damping);
    wave[static_cast<size_t>(i)] = filtered * envelope;
  }

  // Normalise to the requested peak so that several overlapping copies of
  // the effect still leave headroom.
  double loudest = 0;
  for (double v : wave) loudest = v < 0 ? (-v > loudest ? -v : loudest) : (v > loudest ? v : loudest);
  double target = 32767.0 * static_cast<double>(params.peakPermille) / 1000.0;
  double scale = loudest > 0 ? target / loudest : 0;
  std::vector<int16_t> samples;
  samples.reserve(wave.size());
  for (double v : wave) {
    double scaled = v * scale;
    long rounded = static_cast<long>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
    samples.push_back(static_cast<int16_t>(rounded > 32767 ? 32767 : (rounded < -32767 ? -32767 : rounded)));
  }
  return samples;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(USAGE, stdout);
    return 0;
  }
  if (argc != 3) {
    std::fputs(USAGE, stderr);
    return 2;
  }
  Params params;
  std::string error = ReadParams(argv[1], params);
  if (!error.empty()) {
    std::fprintf(stderr, "sfxgen: %s\n", error.c_str());
    return 1;
  }
  std::vector<uint8_t> file = EncodeWave16(1, static_cast<int>(params.rate), Synthesise(params));
  if (!WriteBytesToFile(argv[2], file)) {
    std::fprintf(stderr, "sfxgen: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
