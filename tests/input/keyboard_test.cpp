#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "input/keyboard.h"
#include "support/headless.h"

namespace {

constexpr LPARAM KEY_UP_FLAGS = static_cast<LPARAM>(0xC0000001u);

TEST(KeyboardHookProc, DownSetsPressedOnceAndReleaseClearsHeld) {
  ClearKeyTables();
  // A peeked message and its removal both reach the hook: counted once.
  EXPECT_EQ(KeyboardHookProc(HC_NOREMOVE, 'V', 1), 0);
  EXPECT_EQ(KeyboardHookProc(HC_ACTION, 'V', 1), 0);
  EXPECT_EQ(keyTables.held['V'], 1);
  EXPECT_EQ(keyTables.pressed['V'], 1);
  // The reader acts on it; auto-repeats do not set it again.
  keyTables.pressed['V'] = 0;
  for (int i = 0; i < 5; ++i) KeyboardHookProc(HC_ACTION, 'V', 0x40000001);
  EXPECT_EQ(keyTables.pressed['V'], 0);
  EXPECT_EQ(KeyboardHookProc(HC_ACTION, 'V', KEY_UP_FLAGS), 0);
  EXPECT_EQ(keyTables.held['V'], 0);
  EXPECT_EQ(keyTables.pressed['V'], 0);
  // A second press before the reader looks again sets it again.
  KeyboardHookProc(HC_ACTION, 'V', 1);
  EXPECT_EQ(keyTables.pressed['V'], 1);
  // Virtual keys above 255 cannot index outside the tables.
  KeyboardHookProc(HC_ACTION, 0x1FF, 1);
  EXPECT_EQ(keyTables.held[0xFF], 1);
  ClearKeyTables();
  for (int i = 0; i < 256; ++i) ASSERT_EQ(keyTables.held[i] | keyTables.pressed[i] | keyTables.latch[i], 0);
}

class Keyboard : public vantor_test::Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    window = MakeWindow(Proc);
    ASSERT_EQ(InstallKeyboardHook(window), 1);
    ClearKeyTables();
    userMessages = 0;
  }
  void TearDown() override {
    RemoveKeyboardHook();
    Headless::TearDown();
  }
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER) {
      ++userMessages;
      PostQuitMessage(0);
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }
  static inline int userMessages = 0;
  HWND window = nullptr;
};

TEST_F(Keyboard, InjectedKeysReachTheTablesThroughTheHook) {
  platform_test::InjectKeyDown('V');
  PumpMessages();
  EXPECT_EQ(keyTables.held['V'], 1);
  EXPECT_EQ(keyTables.pressed['V'], 1);
  keyTables.pressed['V'] = 0;
  for (int i = 0; i < 5; ++i) platform_test::InjectKeyDown('V');  // auto-repeat
  PumpMessages();
  EXPECT_EQ(keyTables.pressed['V'], 0);
  EXPECT_EQ(keyTables.held['V'], 1);
  platform_test::InjectKeyUp('V');
  PumpMessages();
  EXPECT_EQ(keyTables.held['V'], 0);

  // Keypad digits and ENTER arrive as their virtual keys.
  platform_test::InjectKeyPress(VK_NUMPAD4);
  platform_test::InjectKeyPress(VK_RETURN);
  PumpMessages();
  EXPECT_EQ(keyTables.pressed[100], 1);
  EXPECT_EQ(keyTables.pressed[13], 1);
}

TEST_F(Keyboard, PumpStopsAtQuitAndLeavesItQueued) {
  PostQuitMessage(0);
  platform_test::InjectKeyPress('A');
  PumpMessages();
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
  // And it stays there for the next pump too.
  PumpMessages();
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
}

// Ends a wait that would otherwise never end, so that a fault fails the test
// instead of hanging it: after a generous grace time a WM_USER message ends
// the wait through the quit message, and the test sees it came.
class Watchdog {
 public:
  explicit Watchdog(HWND window)
      : thread_([this, window] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!done_.wait_for(lock, std::chrono::seconds(20), [this] { return finished_; }))
            PostMessageA(window, WM_USER, 0, 0);
        }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
    }
    done_.notify_all();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::thread thread_;
};

TEST_F(Keyboard, WaitAnyKeyEndsOnFreshPress) {
  platform_test::InjectKeyPress('Q');
  {
    Watchdog watchdog(window);
    WaitAnyKey();
  }
  EXPECT_EQ(userMessages, 0);
  EXPECT_EQ(keyTables.pressed['Q'], 0);  // the tables are cleared on the way out
  EXPECT_EQ(keyTables.held['Q'], 0);
}

TEST_F(Keyboard, WaitAnyKeyEndsOnTheNextRepeatOfAHeldKey) {
  platform_test::InjectKeyDown(VK_SPACE);
  PumpMessages();
  ASSERT_EQ(keyTables.held[VK_SPACE], 1);
  platform_test::InjectKeyDown(VK_SPACE);  // the key is still down: a repeat
  {
    Watchdog watchdog(window);
    WaitAnyKey();
  }
  EXPECT_EQ(userMessages, 0);
}

TEST_F(Keyboard, WaitAnyKeyEndsWhenTheProgramIsQuitting) {
  PostQuitMessage(0);
  {
    Watchdog watchdog(window);
    WaitAnyKey();
  }
  EXPECT_EQ(userMessages, 0);
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
}

TEST_F(Keyboard, PollingSetsPressedOnTheDownTransitionOnly) {
  platform_test::InjectKeyDown('B');
  PumpMessages();
  ClearKeyTables();
  EXPECT_EQ(PollKeyboard(), 256);
  EXPECT_EQ(keyTables.held['B'], 0x80);
  EXPECT_EQ(keyTables.pressed['B'], 1);
  keyTables.pressed['B'] = 0;
  PollKeyboard();
  EXPECT_EQ(keyTables.pressed['B'], 0);  // still down: no new press
  platform_test::InjectKeyUp('B');
  PumpMessages();
  PollKeyboard();
  EXPECT_EQ(keyTables.held['B'], 0);
  EXPECT_EQ(keyTables.latch['B'], 0);
  platform_test::InjectKeyDown('B');
  PumpMessages();
  PollKeyboard();
  EXPECT_EQ(keyTables.pressed['B'], 1);
}

}  // namespace
