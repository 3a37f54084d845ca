// Tests of the command-line tools: each test gets a fresh folder, and runs a
// tool as a user would, with its standard output and error captured.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vantor_test {

class ToolFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = std::filesystem::path(::testing::TempDir()) /
          (std::string(test->test_suite_name()) + "_" + std::to_string(getpid()) + "_" + test->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // Runs `tool` with `args`; returns its exit code (-1 when it did not exit).
  int Run(const std::string& tool, const std::vector<std::string>& args) {
    std::string command = "'" + tool + "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    command += " >'" + (dir / "stdout").string() + "' 2>'" + (dir / "stderr").string() + "'";
    int status = std::system(command.c_str());
    output = ReadText(dir / "stdout");
    errors = ReadText(dir / "stderr");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Writes `bytes` to a file in the test's folder.
  std::filesystem::path Make(const std::string& name, const std::string& bytes) {
    std::filesystem::path path = dir / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  static std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::filesystem::path dir;
  std::string output, errors;
};

}  // namespace vantor_test
