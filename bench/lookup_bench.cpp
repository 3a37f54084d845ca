// Ways of doing a blend's table look-ups, on their own: 64-pixel rows, all
// opaque, random bytes, one 64 KB table, the results written back over the
// old bytes as a blit does. Not the renderer's code but the shapes it chose
// between; bench/README.md gives the figures.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
// GCC 12's AVX-512 intrinsics start some results from a deliberately
// undefined register, which its flow analysis reports as uninitialised.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

namespace {

constexpr int kRow = 64, kRows = 176;

struct Work {
  std::vector<uint8_t> table, screen, sprite;
  Work() : table(65536), screen(65536), sprite(65536) {
    std::mt19937 random(1);
    for (auto& b : table) b = static_cast<uint8_t>(1 + random() % 254);
    for (auto& b : screen) b = static_cast<uint8_t>(random());
    for (auto& b : sprite) b = static_cast<uint8_t>(1 + random() % 255);
  }
};

using Row = void (*)(uint8_t* d, const uint8_t* s, const uint8_t* table);

// One pixel at a time.
void Single(uint8_t* d, const uint8_t* s, const uint8_t* table) {
  for (int i = 0; i < kRow; ++i) d[i] = table[size_t{s[i]} << 8 | d[i]];
}

// Eight at a time, the results put together in a register.
void EightMerged(uint8_t* d, const uint8_t* s, const uint8_t* table) {
  for (int i = 0; i < kRow; i += 8) {
    uint64_t r = 0;
    for (int k = 0; k < 8; ++k) r |= uint64_t{table[size_t{s[i + k]} << 8 | d[i + k]]} << (8 * k);
    std::memcpy(d + i, &r, 8);
  }
}

#if defined(__x86_64__)
// Sixteen indices from one interleave, each result stored on its own.
void InterleavedBytes(uint8_t* d, const uint8_t* s, const uint8_t* table) {
  for (int i = 0; i < kRow; i += 16) {
    const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    const __m128i halves[2] = {_mm_unpacklo_epi8(dv, sv), _mm_unpackhi_epi8(dv, sv)};
    for (int h = 0; h < 2; ++h) {
      for (int q = 0; q < 2; ++q) {
        uint64_t four = static_cast<uint64_t>(
            _mm_cvtsi128_si64(q ? _mm_unpackhi_epi64(halves[h], halves[h]) : halves[h]));
        for (int k = 0; k < 4; ++k, four >>= 16) d[i + h * 8 + q * 4 + k] = table[four & 0xFFFF];
      }
    }
  }
}

// The same indices, the results put together four to a word and stored
// sixteen at once.
void InterleavedMerged(uint8_t* d, const uint8_t* s, const uint8_t* table) {
  for (int i = 0; i < kRow; i += 16) {
    const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    const __m128i lo = _mm_unpacklo_epi8(dv, sv), hi = _mm_unpackhi_epi8(dv, sv);
    const uint64_t q[4] = {static_cast<uint64_t>(_mm_cvtsi128_si64(lo)),
                           static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(lo, lo))),
                           static_cast<uint64_t>(_mm_cvtsi128_si64(hi)),
                           static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(hi, hi)))};
    uint32_t r[4];
    for (int j = 0; j < 4; ++j) {
      r[j] = uint32_t{table[q[j] & 0xFFFF]} | uint32_t{table[(q[j] >> 16) & 0xFFFF]} << 8 |
             uint32_t{table[(q[j] >> 32) & 0xFFFF]} << 16 | uint32_t{table[q[j] >> 48]} << 24;
    }
    std::memcpy(d + i, r, 16);
  }
}

// Eight-lane AVX2 gathers.
__attribute__((target("avx2"))) void Gathered(uint8_t* d, const uint8_t* s, const uint8_t* table) {
  for (int i = 0; i < kRow; i += 8) {
    const __m128i sv = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + i));
    const __m128i dv = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(d + i));
    const __m256i index = _mm256_cvtepu16_epi32(_mm_unpacklo_epi8(dv, sv));
    __m256i g = _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), index, 1);
    g = _mm256_and_si256(g, _mm256_set1_epi32(255));
    __m128i p = _mm_packus_epi32(_mm256_castsi256_si128(g), _mm256_extracti128_si256(g, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(p, p));
  }
}

// Sixteen-lane AVX-512 gathers, the results narrowed with one truncating
// move.
__attribute__((target("avx512f,avx512bw"))) void Gathered16(uint8_t* d, const uint8_t* s,
                                                            const uint8_t* table) {
  for (int i = 0; i < kRow; i += 16) {
    const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    const __m512i index =
        _mm512_or_si512(_mm512_slli_epi32(_mm512_cvtepu8_epi32(sv), 8), _mm512_cvtepu8_epi32(dv));
    const __m512i g = _mm512_i32gather_epi32(index, reinterpret_cast<const int*>(table), 1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm512_cvtepi32_epi8(g));
  }
}

// The indices of a row stored first, then looked up in a loop of two loads
// and a store a pixel, the results copied back 16 at a time.
void TwoPass(uint8_t* d, const uint8_t* s, const uint8_t* table) {
  alignas(64) uint16_t index[kRow];
  alignas(64) uint8_t out[kRow];
  for (int i = 0; i < kRow; i += 16) {
    const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    _mm_store_si128(reinterpret_cast<__m128i*>(index + i), _mm_unpacklo_epi8(dv, sv));
    _mm_store_si128(reinterpret_cast<__m128i*>(index + i + 8), _mm_unpackhi_epi8(dv, sv));
  }
  for (int i = 0; i < kRow; ++i) out[i] = table[index[i]];
  std::memcpy(d, out, kRow);
}
#endif

void Run(benchmark::State& state, Row row) {
  static Work work;  // the table ends 3 bytes short of what a gather reads: give it slack
  static std::vector<uint8_t> table = [] {
    std::vector<uint8_t> t = work.table;
    t.resize(t.size() + 4);
    return t;
  }();
  for (auto _ : state) {
    for (int r = 0; r < kRows; ++r) {
      row(work.screen.data() + (r * 640) % 60000, work.sprite.data() + (r * kRow) % 60000, table.data());
    }
    benchmark::ClobberMemory();
  }
  state.counters["per_px"] = benchmark::Counter(double(state.iterations()) * kRows * kRow,
                                                benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK_CAPTURE(Run, single, Single);
BENCHMARK_CAPTURE(Run, eight_merged, EightMerged);
#if defined(__x86_64__)
BENCHMARK_CAPTURE(Run, interleaved_bytes, InterleavedBytes);
BENCHMARK_CAPTURE(Run, interleaved_merged, InterleavedMerged);
BENCHMARK_CAPTURE(Run, gathered, Gathered)->Name("Run/gathered_avx2");
BENCHMARK_CAPTURE(Run, gathered16, Gathered16)->Name("Run/gathered_avx512");
BENCHMARK_CAPTURE(Run, two_pass, TwoPass);
#endif

}  // namespace

BENCHMARK_MAIN();
