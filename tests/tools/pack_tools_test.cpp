// rsftool run as users run it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "formats/pack.h"
#include "support/tool_run.h"

namespace {

namespace fs = std::filesystem;

using ToolsTest = vantor_test::ToolFolderTest;

TEST_F(ToolsTest, RsftoolRoundTrip) {
  std::string binary;
  for (int i = 0; i < 256; ++i) binary += static_cast<char>(i);
  fs::path a = Make("in/alpha.bin", binary);
  fs::path b = Make("in/empty", "");
  fs::path c = Make("in/Fifteen_chars_", "hello");
  fs::path pack = dir / "out.rsf";
  ASSERT_EQ(Run(RSFTOOL_PATH, {"create", pack.string(), a.string(), b.string(), c.string()}), 0) << errors;

  ASSERT_EQ(Run(RSFTOOL_PATH, {"list", pack.string()}), 0) << errors;
  std::istringstream lines(output);
  std::string name;
  long offset = 0, size = 0;
  const char* names[] = {"alpha.bin", "empty", "Fifteen_chars_"};
  const long sizes[] = {256, 0, 5};
  long expectedOffset = 24 + 3 * 32;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(lines >> name >> offset >> size) << output;
    EXPECT_EQ(name, names[i]);
    EXPECT_EQ(offset, expectedOffset);
    EXPECT_EQ(size, sizes[i]);
    expectedOffset += sizes[i];
  }

  ASSERT_EQ(Run(RSFTOOL_PATH, {"extract", pack.string(), "-o", (dir / "all").string()}), 0) << errors;
  EXPECT_EQ(ReadText(dir / "all/alpha.bin"), binary);
  EXPECT_TRUE(fs::exists(dir / "all/empty"));
  EXPECT_EQ(fs::file_size(dir / "all/empty"), 0u);
  EXPECT_EQ(ReadText(dir / "all/Fifteen_chars_"), "hello");

  // One entry, named in other letter case, is looked up as the program would.
  ASSERT_EQ(Run(RSFTOOL_PATH, {"extract", pack.string(), "ALPHA.BIN", "-o", (dir / "one").string()}), 0)
      << errors;
  EXPECT_EQ(ReadText(dir / "one/alpha.bin"), binary);
  EXPECT_FALSE(fs::exists(dir / "one/empty"));
}

TEST_F(ToolsTest, RsftoolFailuresExitNonZero) {
  fs::path ok = Make("ok.bin", "x"), pack = dir / "out.rsf";
  EXPECT_NE(Run(RSFTOOL_PATH, {"create", pack.string(), ok.string(), Make("sixteen_chars_xx", "x").string()}),
            0);
  EXPECT_NE(errors.find("sixteen_chars_xx"), std::string::npos) << errors;
  EXPECT_NE(Run(RSFTOOL_PATH, {"create", pack.string(), ok.string(), (dir / "none").string()}), 0);
  EXPECT_NE(Run(RSFTOOL_PATH, {"create", pack.string(), ok.string(), Make("sub/OK.BIN", "y").string()}), 0);
  EXPECT_FALSE(fs::exists(pack));
  ASSERT_EQ(Run(RSFTOOL_PATH, {"create", pack.string(), ok.string()}), 0) << errors;
  EXPECT_NE(Run(RSFTOOL_PATH, {"extract", pack.string(), "absent", "-o", (dir / "x").string()}), 0);
  EXPECT_NE(Run(RSFTOOL_PATH, {"list", ok.string()}), 0);
  EXPECT_NE(Run(RSFTOOL_PATH, {"frobnicate"}), 0);
  EXPECT_EQ(Run(RSFTOOL_PATH, {"--help"}), 0);
  EXPECT_NE(output.find("extract"), std::string::npos);

  // A hostile entry name must not become a path out of the target directory.
  std::string evil(56, '\0');
  std::memcpy(evil.data(), "Tavek Resource file", 20);
  evil[20] = 1;
  evil[24 + 8] = 56;  // an empty entry right after the directory
  std::memcpy(evil.data() + 24 + 16, "../escape", 9);
  fs::create_directories(dir / "inner");
  EXPECT_NE(Run(RSFTOOL_PATH, {"extract", Make("evil.rsf", evil).string(), "-o", (dir / "inner").string()}),
            0);
  EXPECT_FALSE(fs::exists(dir / "escape"));
}

}  // namespace
