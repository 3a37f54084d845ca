#include "formats/alpha.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "alpha/palettes.h"
#include "support/cases.h"

namespace {

namespace fs = std::filesystem;
using alpha_palettes::PaletteBytes;
using alpha_palettes::Put;

using vantor_test::Cases;

int Entry(int level, int background, int foreground) {
  return alphaTable[level * 65536 + background * 256 + foreground];
}

// The first entry for which `wrong` holds, or -1: one assertion per table
// rather than half a million keeps the sanitizer build quick.
template <typename Wrong>
int FirstWrongEntry(Wrong wrong) {
  for (int i = 0; i < ALPHA_TABLE_SIZE; ++i) {
    if (wrong(i, alphaTable[i])) return i;
  }
  return -1;
}

std::vector<uint8_t> TableCopy() { return std::vector<uint8_t>(alphaTable, alphaTable + ALPHA_TABLE_SIZE); }

void FillTable(uint8_t seed) {
  for (int i = 0; i < ALPHA_TABLE_SIZE; ++i) alphaTable[i] = static_cast<uint8_t>(i * 7 + seed);
  AlphaTableChanged();
}

// The copy by drawn colour holds exactly the table's entries, everywhere.
bool RowsMatchTable() {
  for (int level = 0; level < ALPHA_LEVELS; ++level) {
    const uint8_t* rows = AlphaRowsByDrawn(level);
    for (int fore = 0; fore < 256; ++fore) {
      for (int back = 0; back < 256; ++back) {
        if (rows[fore * 256 + back] != Entry(level, back, fore)) return false;
      }
    }
  }
  return true;
}

// Entries 1..254 all different and far apart from each other (steps of 8 in
// every component never give equal colours); 0 and 255 repeat colours near
// entries 77 and 200.
PaletteBytes DistinctPalette() {
  PaletteBytes palette{};
  for (int i = 1; i < 255; ++i) Put(palette, i, (i * 37 % 32) * 8, (i * 11 % 32) * 8, (i / 32) * 32 + 4);
  Put(palette, 0, palette[4 * 77 + 2], palette[4 * 77 + 1], palette[4 * 77]);
  Put(palette, 255, palette[4 * 200 + 2] + 1, palette[4 * 200 + 1], palette[4 * 200]);
  return palette;
}

// --- The search and the build ------------------------------------------------

TEST(AlphaBuild, LevelZeroKeepsDistinctColoursAndRemapsTheTwoReservedIndices) {
  const PaletteBytes palette = DistinctPalette();
  // Entries 1..254 really are distinct, or the identity below would not hold.
  for (int a = 1; a < 255; ++a) {
    for (int b = a + 1; b < 255; ++b)
      ASSERT_NE(std::memcmp(&palette[4 * a], &palette[4 * b], 3), 0) << a << " " << b;
  }
  BuildAlphaTable(palette.data(), 1, 254);
  EXPECT_EQ(searchFirst, 1);
  EXPECT_EQ(searchLast, 254);
  for (int background : {0, 1, 100, 255}) {
    for (int foreground = 1; foreground < 255; ++foreground) {
      ASSERT_EQ(Entry(0, background, foreground), foreground) << background;
      ASSERT_EQ(BlendColor(uint8_t(background), uint8_t(foreground), palette.data(), 0), foreground);
    }
    // Entry 0 has exactly the colour of 77, yet only 1..254 may be chosen.
    EXPECT_EQ(Entry(0, background, 0), 77);
    EXPECT_EQ(Entry(0, background, 255), 200);
  }
  EXPECT_EQ(BlendColor(5, 0, palette.data(), 0), 77);
  EXPECT_EQ(BlendColor(5, 255, palette.data(), 0), 200);
  // Nothing anywhere in the table comes from outside the range.
  EXPECT_EQ(FirstWrongEntry([](int, int entry) { return entry == 0 || entry == 255; }), -1);
}

TEST(AlphaBuild, MixesForegroundAndBackgroundByLevelInEighths) {
  // On a palette of all 256 greys every mix is itself a palette colour, so
  // each entry must be exactly the mixed grey: this pins down which index is
  // the background, which the foreground, and the rounding.
  PaletteBytes greys{};
  for (int i = 0; i < 256; ++i) Put(greys, i, i, i, i);
  BuildAlphaTable(greys.data(), 0, 255);
  EXPECT_EQ(FirstWrongEntry([](int at, int entry) {
              const int level = at >> 16, background = at >> 8 & 255, foreground = at & 255;
              return entry != (foreground * (8 - level) + background * level) / 8;
            }),
            -1);
  EXPECT_EQ(BlendColor(0, 255, greys.data(), 6), 63);
  EXPECT_EQ(BlendColor(255, 0, greys.data(), 6), 191);
}

TEST(AlphaBuild, EqualDistancesGoToTheLowestIndexInRange) {
  PaletteBytes palette{};
  for (int i = 0; i < 256; ++i) Put(palette, i, 250, 5, 250);  // far from everything below
  Put(palette, 5, 100, 100, 100);    // wanted at level 0, but outside every range below
  Put(palette, 112, 100, 98, 100);   // distance 4
  Put(palette, 130, 102, 100, 100);  // distance 4 too
  Put(palette, 125, 97, 100, 100);   // distance 6
  Put(palette, 3, 20, 20, 20);       // one colour four times
  Put(palette, 40, 20, 20, 20);
  Put(palette, 41, 20, 20, 20);
  Put(palette, 42, 20, 20, 20);
  for (int first : {10, 41, 120}) {
    SCOPED_TRACE(first);
    BuildAlphaTable(palette.data(), first, 254);
    const int nearGrey = first <= 112 ? 112 : 130;
    EXPECT_EQ(Entry(0, 0, 5), nearGrey);
    EXPECT_EQ(BlendColor(0, 5, palette.data(), 0), nearGrey);
    if (first <= 41) {
      const int dark = first <= 40 ? 40 : 41;
      EXPECT_EQ(Entry(0, 7, 3), dark);
      EXPECT_EQ(Entry(0, 7, 42), dark);
      EXPECT_EQ(Entry(4, 42, 3), dark);
      EXPECT_EQ(BlendColor(7, 3, palette.data(), 0), dark);
    }
  }
  // Within the range the first of the four wins at every level.
  BuildAlphaTable(palette.data(), 1, 254);
  for (int level = 0; level < ALPHA_LEVELS; ++level) {
    EXPECT_EQ(Entry(level, 42, 40), 3);
    EXPECT_EQ(Entry(level, 3, 41), 3);
  }
}

TEST(AlphaBuild, RangesAreCutToThePaletteAndAnEmptyRangeGivesZero) {
  std::mt19937 random(7);
  const PaletteBytes palette = alpha_palettes::RandomPalette(random);
  BuildAlphaTable(palette.data(), 0, 255);
  const std::vector<uint8_t> whole = TableCopy();
  BuildAlphaTable(palette.data(), -40, 1000);
  EXPECT_EQ(searchFirst, -40);
  EXPECT_EQ(searchLast, 1000);
  EXPECT_TRUE(TableCopy() == whole);
  EXPECT_EQ(BlendColor(3, 9, palette.data(), 2), Entry(2, 3, 9));

  // A one-colour range leaves nothing to choose between.
  BuildAlphaTable(palette.data(), 77, 77);
  EXPECT_EQ(FirstWrongEntry([](int, int entry) { return entry != 77; }), -1);
  EXPECT_TRUE(RowsMatchTable());
  FillTable(4);
  BuildAlphaTableExhaustive(palette.data(), 78, 78);
  EXPECT_EQ(FirstWrongEntry([](int, int entry) { return entry != 78; }), -1);
  EXPECT_TRUE(RowsMatchTable());

  FillTable(3);
  BuildAlphaTable(palette.data(), 200, 100);
  EXPECT_EQ(FirstWrongEntry([](int, int entry) { return entry != 0; }), -1);
  EXPECT_TRUE(RowsMatchTable());
  EXPECT_EQ(NearestColor(10, 20, 30, palette.data()), 0);
  EXPECT_EQ(BlendColor(1, 2, palette.data(), 3), 0);
}

TEST(AlphaBuild, BadArgumentsGiveClearAnswers) {
  std::mt19937 random(11);
  const PaletteBytes palette = alpha_palettes::RandomPalette(random);
  BuildAlphaTable(palette.data(), 1, 254);
  FillTable(9);
  const std::vector<uint8_t> before = TableCopy();
  BuildAlphaTable(nullptr, 0, 255);
  EXPECT_TRUE(TableCopy() == before);
  EXPECT_TRUE(RowsMatchTable());
  EXPECT_EQ(searchFirst, 1);
  EXPECT_EQ(searchLast, 254);
  EXPECT_EQ(BlendColor(1, 2, nullptr, 0), 0);
  EXPECT_EQ(NearestColor(1, 2, 3, nullptr), 0);
  // Levels and components beyond their ranges are taken at the nearest limit.
  EXPECT_EQ(BlendColor(40, 50, palette.data(), 9), BlendColor(40, 50, palette.data(), 6));
  EXPECT_EQ(BlendColor(40, 50, palette.data(), -3), BlendColor(40, 50, palette.data(), 0));
  EXPECT_EQ(NearestColor(-50, 400, 128, palette.data()), NearestColor(0, 255, 128, palette.data()));
}

// The fast build against the plain search, on palettes chosen to be hard for
// it: random, clustered (few distinct values, so many repeats and ties),
// crowded (all colours close together, so far away nearly all are equally
// near), jittered (colours one step apart, so exact ties abound) and the VGA
// palette with a few entries nudged. Each case checks whole rows and
// a random sample of entries; VANTOR_CASES sets the number of cases.
TEST(AlphaBuild, FastBuildMatchesThePlainSearch) {
  std::mt19937 random(12345);
  const int cases = Cases(10);
  for (int c = 0; c < cases; ++c) {
    PaletteBytes palette;
    switch (c % 5) {
      case 0:
        palette = alpha_palettes::ClusteredPalette(random);
        break;
      case 3:
        palette = alpha_palettes::JitteredPalette(random);
        break;
      case 1:
        palette = alpha_palettes::RandomPalette(random);
        break;
      case 2:
        palette = alpha_palettes::CrowdedPalette(random);
        break;
      default: {
        palette = alpha_palettes::VgaPalette();
        for (int n = 0; n < 8; ++n) palette[random() % 1024] ^= static_cast<uint8_t>(1 << (random() % 3));
        break;
      }
    }
    int first = 1, last = 254;
    const int rangeKind = (c / 5 + c) % 3;  // each palette kind meets different ranges
    if (rangeKind == 1) {
      first = static_cast<int>(random() % 256);
      last = static_cast<int>(first + random() % (256 - first));
    } else if (rangeKind == 2) {
      first = static_cast<int>(random() % 40);
      last = first + static_cast<int>(random() % 4);
    }
    SCOPED_TRACE("case " + std::to_string(c) + " range " + std::to_string(first) + ".." +
                 std::to_string(last));
    BuildAlphaTable(palette.data(), first, last);
    ASSERT_TRUE(RowsMatchTable());

    auto check = [&](int level, int background, int foreground) {
      const int plain = BlendColor(uint8_t(background), uint8_t(foreground), palette.data(), level);
      ASSERT_EQ(Entry(level, background, foreground), plain)
          << level << " " << background << " " << foreground;
    };
    for (int row = 0; row < 3; ++row) {
      const int level = row == 0 ? 0 : static_cast<int>(random() % ALPHA_LEVELS);
      const int background = static_cast<int>(random() % 256);
      for (int foreground = 0; foreground < 256; ++foreground) check(level, background, foreground);
    }
    for (int n = 0; n < 3000; ++n) {
      check(static_cast<int>(random() % ALPHA_LEVELS), static_cast<int>(random() % 256),
            static_cast<int>(random() % 256));
    }
    if (HasFatalFailure()) return;
  }
}

// --- The cache file ------------------------------------------------------------

class AlphaFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) / ("alpha_test_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    path = (dir / "test.alp").string();
  }
  void TearDown() override { fs::remove_all(dir); }

  static std::string Header(const char* tag = "Alpha Table", uint8_t levels = 7, uint32_t size = 0x70000) {
    std::string header(ALPHA_HEADER_SIZE, '\0');
    std::memcpy(header.data(), tag, 11);
    header[16] = static_cast<char>(levels);
    for (int i = 0; i < 4; ++i) header[20 + i] = static_cast<char>(size >> (8 * i));
    return header;
  }
  static std::string Table(uint8_t seed) {
    std::string table(ALPHA_TABLE_SIZE, '\0');
    for (int i = 0; i < ALPHA_TABLE_SIZE; ++i) table[i] = static_cast<char>(i * 13 + seed);
    return table;
  }
  void Write(const std::string& bytes) const { std::ofstream(path, std::ios::binary) << bytes; }
  std::string Read(const std::string& from) const {
    std::ifstream in(from, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // The table, and the copy by drawn colour kept from it.
  bool TableIs(const std::string& table) const {
    return std::memcmp(alphaTable, table.data(), table.size()) == 0 && RowsMatchTable();
  }
  std::vector<std::string> DirEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    return names;
  }

  fs::path dir;
  std::string path;
};

TEST_F(AlphaFile, SavedFileIsHeaderAndTableAndLoadsBackExactly) {
  std::mt19937 random(3);
  const PaletteBytes palette = alpha_palettes::ClusteredPalette(random);
  BuildAlphaTable(palette.data(), 1, 254);
  const std::string built(reinterpret_cast<const char*>(alphaTable), ALPHA_TABLE_SIZE);

  ASSERT_EQ(SaveAlphaTable(path.c_str()), ALPHA_OK);
  const std::string bytes = Read(path);
  ASSERT_EQ(bytes.size(), size_t{ALPHA_HEADER_SIZE} + ALPHA_TABLE_SIZE);
  EXPECT_EQ(bytes.substr(0, ALPHA_HEADER_SIZE), Header());
  EXPECT_TRUE(bytes.substr(ALPHA_HEADER_SIZE) == built);
  EXPECT_EQ(DirEntries(), std::vector<std::string>{"test.alp"});

  FillTable(1);
  ASSERT_EQ(LoadAlphaTable(path.c_str()), ALPHA_OK);
  EXPECT_TRUE(TableIs(built));

  // Saving again replaces the old file whole.
  FillTable(2);
  const std::string second(reinterpret_cast<const char*>(alphaTable), ALPHA_TABLE_SIZE);
  ASSERT_EQ(SaveAlphaTable(path.c_str()), ALPHA_OK);
  EXPECT_EQ(Read(path), Header() + second);
}

TEST_F(AlphaFile, OnlyTheTagDecidesWhatLoads) {
  Write(Header("Alpha Table", 3, 12345) + Table(5));
  EXPECT_EQ(LoadAlphaTable(path.c_str()), ALPHA_OK);
  EXPECT_TRUE(TableIs(Table(5)));

  Write(Header("Alpha Table", 7, 0x70000) + Table(6) + "trailing bytes");
  EXPECT_EQ(LoadAlphaTable(path.c_str()), ALPHA_OK);
  EXPECT_TRUE(TableIs(Table(6)));

  for (const char* tag : {"alpha Table", "Alpha table", "ALPHA TABLE", "Alpha Tabl\0"}) {
    Write(Header(tag) + Table(7));
    EXPECT_EQ(LoadAlphaTable(path.c_str()), ALPHA_BAD_TAG) << tag;
    EXPECT_TRUE(TableIs(Table(6)));
  }
}

TEST_F(AlphaFile, FilesThatCannotBeReadWholeLeaveTheTableAsItWas) {
  const std::string kept = Table(40);
  std::memcpy(alphaTable, kept.data(), kept.size());
  AlphaTableChanged();

  // Too short for the table, the header or the tag.
  const std::string full = Header() + Table(41);
  for (size_t length :
       {full.size() - 1, size_t{ALPHA_HEADER_SIZE} + 1000, size_t{ALPHA_HEADER_SIZE}, size_t{20}}) {
    Write(full.substr(0, length));
    EXPECT_EQ(LoadAlphaTable(path.c_str()), ALPHA_TRUNCATED) << length;
    EXPECT_TRUE(TableIs(kept)) << length;
  }
  for (size_t length : {size_t{10}, size_t{0}}) {
    Write(full.substr(0, length));
    EXPECT_EQ(LoadAlphaTable(path.c_str()), ALPHA_BAD_TAG) << length;
  }
  EXPECT_EQ(LoadAlphaTable((dir / "missing.alp").string().c_str()), ALPHA_NO_FILE);
  EXPECT_EQ(LoadAlphaTable(dir.string().c_str()), ALPHA_NO_FILE);
  EXPECT_EQ(LoadAlphaTable(nullptr), ALPHA_NO_FILE);
  EXPECT_TRUE(TableIs(kept));

  // After all that, a whole file still loads.
  Write(full);
  EXPECT_EQ(LoadAlphaTable(path.c_str()), ALPHA_OK);
  EXPECT_TRUE(TableIs(Table(41)));
}

TEST_F(AlphaFile, FailedSavesLeaveNoFileBehindAndKeepTheOldCache) {
  const std::string kept = Table(50);
  std::memcpy(alphaTable, kept.data(), kept.size());
  AlphaTableChanged();

  // A directory where the cache should go: written, but it cannot take its place.
  const fs::path blocked = dir / "blocked.alp";
  fs::create_directory(blocked);
  EXPECT_EQ(SaveAlphaTable(blocked.string().c_str()), ALPHA_NO_FILE);
  EXPECT_TRUE(fs::is_directory(blocked));
  EXPECT_EQ(DirEntries(), std::vector<std::string>{"blocked.alp"});
  EXPECT_TRUE(TableIs(kept));

  // No place for the temporary file: an existing cache is left alone.
  const std::string old = Header() + Table(51);
  Write(old);
  fs::create_directory(path + ".tmp");
  EXPECT_EQ(SaveAlphaTable(path.c_str()), ALPHA_NO_FILE);
  EXPECT_EQ(Read(path), old);
  fs::remove(path + ".tmp");

  EXPECT_EQ(SaveAlphaTable((dir / "no" / "such" / "dir.alp").string().c_str()), ALPHA_NO_FILE);
  EXPECT_EQ(SaveAlphaTable(""), ALPHA_NO_FILE);
  EXPECT_EQ(SaveAlphaTable(nullptr), ALPHA_NO_FILE);
  EXPECT_TRUE(TableIs(kept));
}

}  // namespace
