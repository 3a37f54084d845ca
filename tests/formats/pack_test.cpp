#include "formats/pack.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/cases.h"

namespace {

namespace fs = std::filesystem;

struct RawEntry {
  uint32_t auxB;
  int32_t offset;
  std::string name;  // 16 bytes stored at most
};

// Pack bytes written by hand, so that broken packs can be made too. auxA and
// auxC are the entry's index + 10 and + 20.
std::string PackBytes(int16_t count, const std::vector<RawEntry>& entries, const std::string& data = "") {
  std::string bytes(24 + 32 * entries.size(), '\0');
  std::memcpy(bytes.data(), "Tavek Resource file", 20);
  bytes[20] = static_cast<char>(count & 0xFF);
  bytes[21] = static_cast<char>((count >> 8) & 0xFF);
  for (size_t i = 0; i < entries.size(); ++i) {
    uint32_t words[4] = {uint32_t(i + 10), entries[i].auxB, uint32_t(entries[i].offset), uint32_t(i + 20)};
    for (int w = 0; w < 4; ++w) {
      for (int b = 0; b < 4; ++b) bytes[24 + 32 * i + 4 * w + b] = static_cast<char>(words[w] >> (8 * b));
    }
    std::memcpy(bytes.data() + 24 + 32 * i + 16, entries[i].name.data(),
                std::min<size_t>(16, entries[i].name.size()));
  }
  return bytes + data;
}

constexpr int32_t DataAt(int entries) { return 24 + 32 * entries; }

class PackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) / ("pack_test_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override {
    DestroyResourcePack(pack);
    fs::remove_all(dir);
  }
  int Open(const std::string& bytes) {
    DestroyResourcePack(pack);
    std::string path = (dir / "test.rsf").string();
    std::ofstream(path, std::ios::binary) << bytes;
    return OpenResourcePack(path.c_str(), &pack);
  }
  int32_t Found(const char* name) {
    PackEntryHandle* handle = OpenEntry(pack, name, "rb");
    int32_t index = handle != nullptr ? handle->entryIndex : -1;
    CloseEntry(pack, handle);
    return index;
  }

  fs::path dir;
  ResourcePack* pack = nullptr;
};

TEST_F(PackTest, LookupFoldsLetterCaseOnlyAndTakesTheFirstOfEqualNames) {
  ASSERT_EQ(Open(PackBytes(3, {{0, DataAt(3), "test2.spr"}, {0, 0, "DUP"}, {0, 0, "dup"}})), PACK_OK);
  PackEntryHandle* handle = OpenEntry(pack, "TEST2.SPR", "rb");
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(handle->entryIndex, 0);
  EXPECT_EQ(handle->auxA, 10u);
  EXPECT_EQ(handle->auxC, 20u);
  EXPECT_EQ(handle->start, DataAt(3));
  EXPECT_EQ(handle->position, DataAt(3));
  CloseEntry(pack, handle);
  EXPECT_EQ(Found("Dup"), 1);
  EXPECT_EQ(Found("test2_spr"), -1);
  EXPECT_EQ(Found("test2.sp"), -1);
  EXPECT_EQ(Found("test2.spr2"), -1);

  ASSERT_EQ(Open(PackBytes(0, {})), PACK_OK);
  EXPECT_EQ(pack->isOpen, 1);
  EXPECT_EQ(Found(""), -1);
}

TEST_F(PackTest, BadMagicAndMissingFilesAreRefused) {
  std::string bytes = PackBytes(0, {});
  bytes[19] = '!';
  EXPECT_EQ(Open(bytes), PACK_BAD_MAGIC);
  EXPECT_EQ(pack->isOpen, 0);
  EXPECT_EQ(Open(bytes.substr(0, 10)), PACK_BAD_MAGIC);

  // A pack that failed to open never reads the disk, even once the file exists.
  std::string path = (dir / "late.rsf").string();
  DestroyResourcePack(pack);
  EXPECT_EQ(OpenResourcePack(path.c_str(), &pack), PACK_NO_FILE);
  EXPECT_EQ(pack->isOpen, 0);
  std::ofstream(path, std::ios::binary) << PackBytes(1, {{4, DataAt(1), "a"}}, "DATA");
  EXPECT_EQ(Found("a"), -1);
  PackEntryHandle forged = {0, 0, 0, DataAt(1), DataAt(1)};
  char buffer[4];
  EXPECT_EQ(ReadEntry(pack, buffer, 1, 4, &forged), 0u);
}

TEST_F(PackTest, ReadsRunOnIntoTheFileAndStopAtItsEnd) {
  int32_t base = DataAt(2);
  ASSERT_EQ(Open(PackBytes(2, {{3, base, "one"}, {7, base + 3, "two"}}, "abcdefghij")), PACK_OK);
  PackEntryHandle* handle = OpenEntry(pack, "one", "rb");
  ASSERT_NE(handle, nullptr);
  char buffer[16] = {};
  EXPECT_EQ(ReadEntry(pack, buffer, 1, 5, handle), 5u);
  EXPECT_EQ(std::string(buffer, 5), "abcde");
  // Five bytes left: one whole 4-byte item, and the position moves by it alone.
  EXPECT_EQ(ReadEntry(pack, buffer, 4, 3, handle), 1u);
  EXPECT_EQ(std::string(buffer, 4), "fghi");
  EXPECT_EQ(handle->position, base + 9);
  EXPECT_EQ(ReadEntry(pack, buffer, 2, 1, handle), 0u);
  EXPECT_EQ(handle->position, base + 9);
  EXPECT_EQ(ReadEntry(pack, buffer, 1, 10, handle), 1u);
  EXPECT_EQ(handle->position, base + 10);

  // A second handle interleaved with the first keeps its own place.
  PackEntryHandle* other = OpenEntry(pack, "two", "rb");
  handle->position = base;
  std::string fromOne, fromTwo;
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(ReadEntry(pack, buffer, 1, 1, handle), 1u);
    fromOne += buffer[0];
    ASSERT_EQ(ReadEntry(pack, buffer, 1, 1, other), 1u);
    fromTwo += buffer[0];
  }
  EXPECT_EQ(fromOne, "abc");
  EXPECT_EQ(fromTwo, "def");
  CloseEntry(pack, handle);
  CloseEntry(pack, other);
}

TEST_F(PackTest, HostileDirectoriesAreRefusedAtOpen) {
  EXPECT_EQ(Open(PackBytes(-1, {})), PACK_NO_MEMORY);
  EXPECT_EQ(pack->isOpen, 0);
  EXPECT_EQ(Found("a"), -1);
  // Counts the file cannot hold, up to the largest, allocate nothing.
  EXPECT_EQ(Open(PackBytes(2, {{0, 0, "a"}})), PACK_TRUNCATED);
  EXPECT_EQ(Open(PackBytes(32767, {{0, 0, "a"}})), PACK_TRUNCATED);
  EXPECT_EQ(pack->entries, nullptr);
  std::string cut = PackBytes(2, {{0, 0, "a"}, {0, 0, "b"}});
  EXPECT_EQ(Open(cut.substr(0, cut.size() - 1)), PACK_TRUNCATED);
  EXPECT_EQ(Found("a"), -1);
  EXPECT_EQ(Open(cut.substr(0, 22)), PACK_TRUNCATED);
}

TEST_F(PackTest, EntriesOutsideTheFileAreRefused) {
  int32_t size = DataAt(5) + 4;
  ASSERT_EQ(Open(PackBytes(5,
                           {{0, -1, "negative"},
                            {0, size + 1, "beyond"},
                            {0, INT32_MIN, "lowest"},
                            {0, size, "atend"},
                            {0, 0, "sixteen_chars_xx"}},
                           "DATA")),
            PACK_OK);
  EXPECT_EQ(Found("negative"), -1);
  EXPECT_EQ(Found("beyond"), -1);
  EXPECT_EQ(Found("lowest"), -1);
  EXPECT_EQ(Found("sixteen_chars_xx"), -1);  // stored without a terminator

  // An entry at the very end is empty, not broken; a handle its owner moved
  // outside the file, or item sizes whose product overflows, read nothing.
  PackEntryHandle* handle = OpenEntry(pack, "atend", "rb");
  ASSERT_NE(handle, nullptr);
  char buffer[4];
  EXPECT_EQ(ReadEntry(pack, buffer, 1, 4, handle), 0u);
  for (int32_t position : {-100, INT32_MAX}) {
    handle->position = position;
    EXPECT_EQ(ReadEntry(pack, buffer, 1, 4, handle), 0u);
  }
  handle->position = DataAt(5);
  EXPECT_EQ(ReadEntry(pack, buffer, SIZE_MAX / 2, 4, handle), 0u);
  CloseEntry(pack, handle);

  // Closing twice, and using a closed pack, are harmless.
  CloseResourcePack(pack);
  CloseResourcePack(pack);
  EXPECT_EQ(Found("atend"), -1);
}

TEST_F(PackTest, RecordedLengthsCountOnlyWhenTheyFit) {
  int32_t base = DataAt(3);
  ASSERT_EQ(Open(PackBytes(3, {{4, base, "fits"}, {0, base, "zero"}, {5, base + 4, "over"}}, "12345678")),
            PACK_OK);
  const std::pair<const char*, int32_t> expected[] = {{"fits", 4}, {"zero", -1}, {"over", -1}};
  for (const auto& [name, length] : expected) {
    PackEntryHandle* handle = OpenEntry(pack, name, "rb");
    EXPECT_EQ(PackEntryLength(pack, handle), length) << name;
    CloseEntry(pack, handle);
  }
}

// Random packs written by our packer read back entry for entry.
TEST_F(PackTest, WrittenPacksReadBack) {
  const int cases = vantor_test::Cases(20);
  std::mt19937 random(1234);
  std::string path = (dir / "random.rsf").string();
  PackSource badName = {"sixteen_chars_xx", "x", 1};
  EXPECT_EQ(WriteResourcePack(path.c_str(), &badName, 1), PACK_WRITE_BAD_INPUT);
  EXPECT_FALSE(fs::exists(path));
  for (int c = 0; c < cases; ++c) {
    int count = static_cast<int>(random() % 12);
    std::vector<std::string> names(count), contents(count);
    std::vector<PackSource> sources;
    for (int i = 0; i < count; ++i) {
      names[i] = std::to_string(i);
      names[i].append(random() % 14, 'x');
      contents[i].resize(random() % 300);
      for (char& b : contents[i]) b = static_cast<char>(random());
      sources.push_back({names[i].c_str(), contents[i].data(), static_cast<uint32_t>(contents[i].size())});
    }
    ASSERT_EQ(WriteResourcePack(path.c_str(), sources.data(), count), PACK_WRITE_OK);
    DestroyResourcePack(pack);
    ASSERT_EQ(OpenResourcePack(path.c_str(), &pack), PACK_OK);
    ASSERT_EQ(pack->entryCount, count);
    for (int i = 0; i < count; ++i) {
      PackEntryHandle* handle = OpenEntry(pack, names[i].c_str(), "rb");
      ASSERT_NE(handle, nullptr);
      EXPECT_EQ(PackEntryLength(pack, handle), contents[i].empty() ? -1 : int32_t(contents[i].size()));
      std::string back(contents[i].size(), '\0');
      EXPECT_EQ(ReadEntry(pack, back.data(), 1, back.size(), handle), back.size());
      EXPECT_EQ(back, contents[i]) << "case " << c << " entry " << i;
      CloseEntry(pack, handle);
    }
  }
}

}  // namespace
