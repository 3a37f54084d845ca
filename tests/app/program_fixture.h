// The whole program run headless through the real platform layer, in a
// folder of its own: the options dialog answered, keys injected and the
// picture read back frame by frame.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/game.h"
#include "app/options.h"
#include "display/display.h"
#include "display/timing.h"
#include "input/keyboard.h"
#include "support/headless.h"
#include "support/options_answer.h"

namespace vantor_test {

namespace fs = std::filesystem;

class ProgramFixture : public Headless {
 protected:
  // The files of the run folder a test starts with: by default only what
  // start-up cannot do without, so that the rest shows its absence.
  virtual std::vector<const char*> RunFiles() const { return {"font.rsf", "test.bmp"}; }
  void SetUp() override {
    Headless::SetUp();
    // Every read moves the clock on, so the frame limiter's busy wait ends.
    platform_test::SetClockManual(1000, 1);
    savedDirectory = fs::current_path();
    directory = fs::temp_directory_path() / ("vantor-app-" + std::to_string(getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(directory);
    fs::create_directories(directory);
    for (const char* file : RunFiles())
      fs::copy_file(fs::path(vantor_test::RunDir()) / file, directory / file);
    fs::current_path(directory);
    ResetGameState();
    ResetFrameTiming();
    gameConfig = {};
    displayDevice = {};
    ClearKeyTables();
  }
  void TearDown() override {
    platform_test::OnScreenUpdate(nullptr);
    platform_test::OnDialogIdle(nullptr);
    fs::current_path(savedDirectory);
    fs::remove_all(directory);
    Headless::TearDown();
  }
  void WriteConfig(std::vector<int32_t> fields) {
    std::FILE* file = std::fopen("game.cfg", "wb");
    ASSERT_NE(file, nullptr);
    for (int32_t field : fields) {
      uint8_t bytes[4] = {uint8_t(field), uint8_t(field >> 8), uint8_t(field >> 16), uint8_t(field >> 24)};
      std::fwrite(bytes, 1, 4, file);
    }
    std::fclose(file);
  }
  static void AnswerOptions(int fallbackMode, std::vector<int> after = {}) {
    vantor_test::AnswerOptions(fallbackMode, std::move(after));
  }
  // Runs the program: the options as the file has them (640 x 480 when it
  // holds no mode), a key ends the help screen, then `frames` frames run
  // before ESC; `atFrame` sees the screen as each frame presents it (screen
  // updates during start-up are not frames and are not passed on).
  int Run(uint32_t frames, std::function<void(uint32_t, const platform_test::Screen&)> atFrame = nullptr,
          bool answerOptions = true) {
    if (answerOptions) AnswerOptions(4, {'A'});
    updates = 0;
    platform_test::OnScreenUpdate([this, frames, atFrame](uint32_t) {
      ++updates;
      uint32_t frame = gameState.framesRun;
      platform_test::Screen screen;
      if (frame == 0) {
        if (platform_test::ReadScreen(screen)) startupScreens.push_back(screen);
        return;
      }
      if (atFrame && platform_test::ReadScreen(screen)) atFrame(frame, screen);
      if (frame == frames) platform_test::InjectKeyPress(VK_ESCAPE);
    });
    return WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWDEFAULT);
  }
  // Every screen update of the run, start-up included.
  std::vector<platform_test::Screen> startupScreens;
  fs::path savedDirectory;
  fs::path directory;
  uint32_t updates = 0;
};

}  // namespace vantor_test
