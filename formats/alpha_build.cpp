// The fast alpha table build. It gives exactly what the plain search gives
// for every entry, ties included, with far less work:
//
// - Palette indices with the same colour mix alike, so the mixes are worked
//   out once per pair of distinct colours (classes) and copied out at the end.
//   Level 8 - n with (background, foreground) mixes like level n with the two
//   swapped, so levels 5 and 6 come from 3 and 2, and level 4 is symmetric.
// - Within the search range, a colour met again at a higher index can never
//   win (equal distance, and ties go to the lower index): only the first of
//   each colour is searched.
// - Colour space is cut into cells of 16 x 16 x 16. For each cell a colour is
//   dropped when even its nearest point in the cell is farther than some
//   other colour's farthest point: it is then strictly farther everywhere in
//   the cell, so it can never be chosen, not even on a tie. What remains is
//   kept in index order, so the lowest index still wins ties. Cells take
//   their colours from their 32 x 32 x 32 parent's, which is smaller work.
// - The distance works on eight colours at a time (SSE2, 16-bit lanes) and the
//   work is shared by two threads.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "formats/alpha.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#if defined(_WIN32)
#include <windows.h>
#else
#include <system_error>
#include <thread>
#endif

namespace {

constexpr int CELL_SHIFT = 4;
constexpr int CELL_SIDE = 1 << CELL_SHIFT;
constexpr int CELLS_PER_AXIS = 256 / CELL_SIDE;
constexpr int CELL_COUNT = CELLS_PER_AXIS * CELLS_PER_AXIS * CELLS_PER_AXIS;
constexpr int PARENTS_PER_AXIS = CELLS_PER_AXIS / 2;
constexpr int PARENT_COUNT = PARENTS_PER_AXIS * PARENTS_PER_AXIS * PARENTS_PER_AXIS;

// Result slots: levels 1 to 4 by (background class, foreground class), then
// level 0 by foreground class.
constexpr int LEVEL0_SLOT = 4 << 16;
constexpr int SLOT_COUNT = LEVEL0_SLOT + 256;

constexpr int LANES = 8;
constexpr int LIST_CAPACITY = 256 + LANES;
// A cell keeps up to NODE_CAPACITY colours; one that would need more is cut
// into eight, down to single colours, as long as the node pool lasts. A node
// that still holds too many searches all the range's colours.
constexpr int NODE_CAPACITY = 16;
constexpr int POOL_NODES = 2 * CELL_COUNT;
constexpr int16_t NODE_SPLIT = 0;
constexpr int16_t NODE_ALL = -1;

// Colours in groups of eight: the eight reds, the eight greens, the eight
// blues. The last group is padded by repeating the last colour (a repeat sits
// at a higher position, so it never wins a tie).
constexpr int GROUP_WORDS = 3 * LANES;
constexpr int MAX_GROUPS = LIST_CAPACITY / LANES;

struct ColorView {
  const int16_t* groups;
  const uint8_t* index;
  int count;
  int Groups() const { return (count + LANES - 1) / LANES; }
};

struct ColorList {
  alignas(16) int16_t groups[MAX_GROUPS * GROUP_WORDS];
  uint8_t index[LIST_CAPACITY];
  int count;

  ColorView View() const { return {groups, index, count}; }
  void Add(int red, int green, int blue, uint8_t paletteIndex) {
    int16_t* group = groups + count / LANES * GROUP_WORDS + count % LANES;
    group[0] = static_cast<int16_t>(red);
    group[LANES] = static_cast<int16_t>(green);
    group[2 * LANES] = static_cast<int16_t>(blue);
    index[count] = paletteIndex;
    ++count;
  }
  void Pad() {
    const int last = count - 1;
    const int16_t* from = groups + last / LANES * GROUP_WORDS + last % LANES;
    while (count % LANES != 0) Add(from[0], from[LANES], from[2 * LANES], index[last]);
    count = last + 1;
  }
};

// A box of colour space: its colours, everything a search needs within two
// cache lines, or the eight halves it was cut into.
struct alignas(64) Node {
  int16_t count;     // colours here, or NODE_SPLIT or NODE_ALL
  int32_t children;  // NODE_SPLIT: the first of eight nodes, in red, green, blue bit order
  uint8_t index[NODE_CAPACITY];
  alignas(16) int16_t groups[NODE_CAPACITY / LANES * GROUP_WORDS];
};

struct BuildState {
  int classCount;
  uint8_t classOf[256];
  uint8_t classRed[256];
  uint8_t classGreen[256];
  uint8_t classBlue[256];
  uint8_t classOrder[256];  // classes by place in colour space, so that neighbours share cells
  ColorList candidates;
  Node nodes[CELL_COUNT + POOL_NODES];  // the cells, then the pool
  std::atomic<int32_t> poolUsed;
  uint8_t results[SLOT_COUNT];
};

BuildState state;

#if defined(__SSE2__)

inline __m128i Load(const int16_t* at) { return _mm_load_si128(reinterpret_cast<const __m128i*>(at)); }

inline __m128i Abs16(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }

inline __m128i Metric8(__m128i a, __m128i b, __m128i c) {
  __m128i sum = _mm_add_epi16(_mm_add_epi16(a, b), c);
  __m128i largest = _mm_max_epi16(_mm_max_epi16(a, b), c);
  __m128i smallest = _mm_min_epi16(_mm_min_epi16(a, b), c);
  return _mm_sub_epi16(_mm_add_epi16(sum, largest), smallest);
}

inline int MinLane(__m128i v) {
  v = _mm_min_epi16(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
  v = _mm_min_epi16(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
  v = _mm_min_epi16(v, _mm_srli_epi32(v, 16));
  return static_cast<int16_t>(_mm_cvtsi128_si32(v) & 0xFFFF);
}

// For every colour of `all`, the distance from the nearest point of the box
// with corner `low` and the given side; returns the smallest distance any
// colour has from the farthest point of the box.
int BoxDistances(const ColorView& all, const int low[3], int side, int16_t* nearest) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i loR = _mm_set1_epi16(static_cast<int16_t>(low[0]));
  const __m128i loG = _mm_set1_epi16(static_cast<int16_t>(low[1]));
  const __m128i loB = _mm_set1_epi16(static_cast<int16_t>(low[2]));
  const __m128i hiR = _mm_set1_epi16(static_cast<int16_t>(low[0] + side - 1));
  const __m128i hiG = _mm_set1_epi16(static_cast<int16_t>(low[1] + side - 1));
  const __m128i hiB = _mm_set1_epi16(static_cast<int16_t>(low[2] + side - 1));
  __m128i bestFarthest = _mm_set1_epi16(0x7FFF);
  for (int group = 0; group < all.Groups(); ++group) {
    const int16_t* colors = all.groups + group * GROUP_WORDS;
    const __m128i r = Load(colors), g = Load(colors + LANES), b = Load(colors + 2 * LANES);
    __m128i farthest = Metric8(_mm_max_epi16(_mm_sub_epi16(r, loR), _mm_sub_epi16(hiR, r)),
                               _mm_max_epi16(_mm_sub_epi16(g, loG), _mm_sub_epi16(hiG, g)),
                               _mm_max_epi16(_mm_sub_epi16(b, loB), _mm_sub_epi16(hiB, b)));
    bestFarthest = _mm_min_epi16(bestFarthest, farthest);
    __m128i closest =
        Metric8(_mm_max_epi16(_mm_max_epi16(_mm_sub_epi16(loR, r), _mm_sub_epi16(r, hiR)), zero),
                _mm_max_epi16(_mm_max_epi16(_mm_sub_epi16(loG, g), _mm_sub_epi16(g, hiG)), zero),
                _mm_max_epi16(_mm_max_epi16(_mm_sub_epi16(loB, b), _mm_sub_epi16(b, hiB)), zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(nearest + group * LANES), closest);
  }
  return MinLane(bestFarthest);
}

// Lowest index at the smallest distance. Each lane keeps its best distance
// times 32 plus the group it came from, so the smallest key across lanes is
// the smallest distance at the earliest group, and the lowest lane holding
// that key the earliest position. Distances stay below 766, keys below 32768.
inline uint8_t Nearest(const ColorView& list, int red, int green, int blue) {
  const __m128i wantR = _mm_set1_epi16(static_cast<int16_t>(red));
  const __m128i wantG = _mm_set1_epi16(static_cast<int16_t>(green));
  const __m128i wantB = _mm_set1_epi16(static_cast<int16_t>(blue));
  const __m128i one = _mm_set1_epi16(1);
  __m128i groupTag = _mm_setzero_si128();
  __m128i best = _mm_set1_epi16(0x7FFF);
  const int groups = list.Groups();
  for (int group = 0; group < groups; ++group) {
    const int16_t* colors = list.groups + group * GROUP_WORDS;
    __m128i dr = Abs16(_mm_sub_epi16(Load(colors), wantR));
    __m128i dg = Abs16(_mm_sub_epi16(Load(colors + LANES), wantG));
    __m128i db = Abs16(_mm_sub_epi16(Load(colors + 2 * LANES), wantB));
    best = _mm_min_epi16(best, _mm_add_epi16(_mm_slli_epi16(Metric8(dr, dg, db), 5), groupTag));
    groupTag = _mm_add_epi16(groupTag, one);
  }
  const int smallest = MinLane(best);
  const int lanes = _mm_movemask_epi8(_mm_cmpeq_epi16(best, _mm_set1_epi16(static_cast<int16_t>(smallest))));
  const int lane = __builtin_ctz(static_cast<unsigned>(lanes)) / 2;
  return list.index[(smallest & 31) * LANES + lane];
}

#else

int Metric(int a, int b, int c) {
  const int largest = a > b ? (a > c ? a : c) : (b > c ? b : c);
  const int smallest = a < b ? (a < c ? a : c) : (b < c ? b : c);
  return a + b + c + largest - smallest;
}

int BoxDistances(const ColorView& all, const int low[3], int side, int16_t* nearest) {
  int bound = 0x7FFF;
  for (int i = 0; i < all.count; ++i) {
    const int16_t* colors = all.groups + i / LANES * GROUP_WORDS + i % LANES;
    const int color[3] = {colors[0], colors[LANES], colors[2 * LANES]};
    int farthest[3], closest[3];
    for (int c = 0; c < 3; ++c) {
      const int high = low[c] + side - 1;
      farthest[c] = std::max(color[c] - low[c], high - color[c]);
      closest[c] = std::max({low[c] - color[c], color[c] - high, 0});
    }
    bound = std::min(bound, Metric(farthest[0], farthest[1], farthest[2]));
    nearest[i] = static_cast<int16_t>(Metric(closest[0], closest[1], closest[2]));
  }
  return bound;
}

uint8_t Nearest(const ColorView& list, int red, int green, int blue) {
  int bestDistance = 1000;
  uint8_t choice = list.index[0];
  for (int i = 0; i < list.count; ++i) {
    const int16_t* colors = list.groups + i / LANES * GROUP_WORDS + i % LANES;
    int distance = Metric(std::abs(red - colors[0]), std::abs(green - colors[LANES]),
                          std::abs(blue - colors[2 * LANES]));
    if (distance < bestDistance) {
      bestDistance = distance;
      choice = list.index[i];
    }
  }
  return choice;
}

#endif

// The colours of `all` that can be nearest somewhere in the box, in order.
void BoxCandidates(const ColorView& all, const int low[3], int side, ColorList& out) {
  alignas(16) int16_t nearest[LIST_CAPACITY];
  const int bound = BoxDistances(all, low, side, nearest);
  out.count = 0;
  for (int i = 0; i < all.count; ++i) {
    if (nearest[i] <= bound) {
      const int16_t* colors = all.groups + i / LANES * GROUP_WORDS + i % LANES;
      out.Add(colors[0], colors[LANES], colors[2 * LANES], all.index[i]);
    }
  }
  out.Pad();
}

int CellOf(int r, int g, int b) {
  return (r >> CELL_SHIFT) << (2 * CELL_SHIFT) | (g >> CELL_SHIFT) << CELL_SHIFT | (b >> CELL_SHIFT);
}

// Runs work(0) here and work(1) on a second thread at the same time, or
// after it when no second thread can be had.
#if defined(_WIN32)
template <typename Work>
DWORD WINAPI PartOne(LPVOID work) {
  (*static_cast<Work*>(work))(1);
  return 0;
}

template <typename Work>
void RunInTwoParts(Work work) {
  HANDLE thread = CreateThread(nullptr, 0, &PartOne<Work>, &work, 0, nullptr);
  work(0);
  if (thread == nullptr) {
    work(1);
    return;
  }
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}
#else
template <typename Work>
void RunInTwoParts(Work work) {
  std::thread thread;
  if (std::thread::hardware_concurrency() != 1) {
    try {
      thread = std::thread(work, 1);
    } catch (const std::system_error&) {
    }
  }
  work(0);
  if (thread.joinable()) {
    thread.join();
  } else {
    work(1);
  }
}
#endif

void FindClasses(const uint8_t* palette, int first, int last) {
  BuildState& s = state;
  ColorList& candidates = s.candidates;
  s.classCount = 0;
  candidates.count = 0;
  for (int index = 0; index < 256; ++index) {
    const uint8_t blue = palette[4 * index], green = palette[4 * index + 1], red = palette[4 * index + 2];
    int c = 0;
    while (c < s.classCount && !(s.classRed[c] == red && s.classGreen[c] == green && s.classBlue[c] == blue))
      ++c;
    if (c == s.classCount) {
      s.classRed[c] = red;
      s.classGreen[c] = green;
      s.classBlue[c] = blue;
      ++s.classCount;
    }
    s.classOf[index] = static_cast<uint8_t>(c);
    if (index < first || index > last) continue;
    // The first index of a colour is its lowest; later ones never win.
    bool seen = false;
    for (int i = 0; i < candidates.count && !seen; ++i) seen = s.classOf[candidates.index[i]] == c;
    if (!seen) candidates.Add(red, green, blue, static_cast<uint8_t>(index));
  }
  candidates.Pad();
  // Morton order: colours close together come one after another.
  uint32_t key[256];
  for (int c = 0; c < s.classCount; ++c) {
    key[c] = 0;
    for (int bit = 7; bit >= 0; --bit) {
      key[c] = key[c] << 3 | (s.classRed[c] >> bit & 1) << 2 | (s.classGreen[c] >> bit & 1) << 1 |
               (s.classBlue[c] >> bit & 1);
    }
    s.classOrder[c] = static_cast<uint8_t>(c);
  }
  std::sort(s.classOrder, s.classOrder + s.classCount,
            [&key](uint8_t a, uint8_t b) { return key[a] < key[b]; });
}

void BuildNode(const ColorView& from, const int low[3], int side, Node& node) {
  BuildState& s = state;
  ColorList list;
  BoxCandidates(from, low, side, list);
  if (list.count <= NODE_CAPACITY) {
    const int groups = list.View().Groups();
    std::memcpy(node.groups, list.groups, groups * GROUP_WORDS * sizeof(int16_t));
    std::memcpy(node.index, list.index, groups * LANES);
    node.count = static_cast<int16_t>(list.count);
    return;
  }
  const int32_t first = side > 1 ? s.poolUsed.fetch_add(8) : POOL_NODES;
  if (first + 8 > POOL_NODES) {
    node.count = NODE_ALL;
    return;
  }
  node.count = NODE_SPLIT;
  node.children = CELL_COUNT + first;
  const int half = side / 2;
  const ColorView view = list.View();
  for (int child = 0; child < 8; ++child) {
    const int childLow[3] = {low[0] + (child >> 2) * half, low[1] + (child >> 1 & 1) * half,
                             low[2] + (child & 1) * half};
    BuildNode(view, childLow, half, s.nodes[node.children + child]);
  }
}

// Each part takes every other 32 x 32 x 32 box and builds its eight cells
// from the colours that can be nearest in the box.
void FillCells(int part) {
  BuildState& s = state;
  const ColorView all = s.candidates.View();
  ColorList parentList;
  for (int parent = part; parent < PARENT_COUNT; parent += 2) {
    const int parentLow[3] = {(parent / (PARENTS_PER_AXIS * PARENTS_PER_AXIS)) * 2 * CELL_SIDE,
                              (parent / PARENTS_PER_AXIS % PARENTS_PER_AXIS) * 2 * CELL_SIDE,
                              (parent % PARENTS_PER_AXIS) * 2 * CELL_SIDE};
    BoxCandidates(all, parentLow, 2 * CELL_SIDE, parentList);
    const ColorView parentView = parentList.View();
    for (int child = 0; child < 8; ++child) {
      const int low[3] = {parentLow[0] + (child >> 2) * CELL_SIDE,
                          parentLow[1] + (child >> 1 & 1) * CELL_SIDE,
                          parentLow[2] + (child & 1) * CELL_SIDE};
      BuildNode(parentView, low, CELL_SIDE, s.nodes[CellOf(low[0], low[1], low[2])]);
    }
  }
}

inline uint8_t NearestInCell(int red, int green, int blue) {
  const Node* node = &state.nodes[CellOf(red, green, blue)];
  for (int shift = CELL_SHIFT - 1; node->count == NODE_SPLIT; --shift) {
    node = &state.nodes[node->children +
                        ((red >> shift & 1) << 2 | (green >> shift & 1) << 1 | (blue >> shift & 1))];
  }
  if (node->count == NODE_ALL) return Nearest(state.candidates.View(), red, green, blue);
  if (node->count == 1) return node->index[0];
  return Nearest({node->groups, node->index, node->count}, red, green, blue);
}

// Share 0 answers level 0 and the even background classes, share 1 the odd ones.
void AnswerMixes(int part) {
  BuildState& s = state;
  if (part == 0) {
    for (int c = 0; c < s.classCount; ++c) {
      s.results[LEVEL0_SLOT + c] = NearestInCell(s.classRed[c], s.classGreen[c], s.classBlue[c]);
    }
  }
  for (int level = 1; level <= 4; ++level) {
    const int foreWeight = 8 - level;
    for (int back = part; back < s.classCount; back += 2) {
      const int backRed = s.classRed[back] * level;
      const int backGreen = s.classGreen[back] * level;
      const int backBlue = s.classBlue[back] * level;
      uint8_t* row = s.results + ((level - 1) << 16 | back << 8);
      for (int i = 0; i < s.classCount; ++i) {
        const int fore = s.classOrder[i];
        if (level == 4 && fore < back) continue;
        row[fore] = NearestInCell((s.classRed[fore] * foreWeight + backRed) >> 3,
                                  (s.classGreen[fore] * foreWeight + backGreen) >> 3,
                                  (s.classBlue[fore] * foreWeight + backBlue) >> 3);
      }
    }
  }
}

// Copies the answers per class pair out to every index pair; each part fills
// half of the background rows of every level.
void FillTable(int part) {
  const BuildState& s = state;
  const uint8_t* classOf = s.classOf;
  const uint8_t* level1 = s.results;
  const uint8_t* level2 = s.results + (1 << 16);
  const uint8_t* level3 = s.results + (2 << 16);
  const uint8_t* level4 = s.results + (3 << 16);
  uint8_t levelZero[256];
  for (int fore = 0; fore < 256; ++fore) levelZero[fore] = s.results[LEVEL0_SLOT + classOf[fore]];
  for (int back = part * 128; back < part * 128 + 128; ++back) {
    const int b = classOf[back];
    uint8_t* row[ALPHA_LEVELS];
    for (int level = 0; level < ALPHA_LEVELS; ++level) row[level] = alphaTable + level * 65536 + back * 256;
    std::memcpy(row[0], levelZero, 256);
    for (int fore = 0; fore < 256; ++fore) {
      const int f = classOf[fore];
      row[1][fore] = level1[b << 8 | f];
      row[2][fore] = level2[b << 8 | f];
      row[3][fore] = level3[b << 8 | f];
      row[4][fore] = b <= f ? level4[b << 8 | f] : level4[f << 8 | b];
      row[5][fore] = level3[f << 8 | b];
      row[6][fore] = level2[f << 8 | b];
    }
  }
}

}  // namespace

void BuildAlphaTable(const uint8_t* palette, int32_t first, int32_t last) {
  if (palette == nullptr) return;
  searchFirst = first;
  searchLast = last;
  const int low = std::max(first, 0);
  const int high = std::min(last, 255);
  if (low > high) {
    std::memset(alphaTable, 0, sizeof alphaTable);
    AlphaTableChanged();
    return;
  }
  FindClasses(palette, low, high);
  state.poolUsed = 0;
  RunInTwoParts(FillCells);
  RunInTwoParts(AnswerMixes);
  RunInTwoParts(FillTable);
  AlphaTableChanged();
}
