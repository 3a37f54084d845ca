// Shared by the tests that run parts of the program through our platform
// layer headless: a window to hang things on, the generated run files, and a
// clean platform after every test.
#pragma once

#include <gtest/gtest.h>
#include <vantor/platform_test.h>
#include <windows.h>

#include <cstdlib>
#include <string>

namespace vantor_test {

// Where the build put the program and the files it reads.
inline std::string RunDir() {
  const char* dir = std::getenv("VANTOR_RUN_DIR");
  return dir != nullptr ? dir : "run";
}

inline LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

class Headless : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_test::UseHeadless();
    platform_test::SetClockManual(1000);
  }
  void TearDown() override {
    platform_test::TakeMessageBoxes();
    platform_test::ResetPlatform();
    platform_test::UseRealClock();
  }
  HWND MakeWindow(WNDPROC proc = PlainWindowProc) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = proc;
    windowClass.lpszClassName = "VantorTest";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "VantorTest", "test", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(window, nullptr);
    return window;
  }
};

}  // namespace vantor_test
