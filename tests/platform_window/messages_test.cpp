// The message queue: filters, order, the quit message and posting from other
// threads.
#include <chrono>
#include <thread>

#include "recorder.h"
#include "support/headless.h"

namespace {

class Messages : public vantor_test::Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    vantor_test::HeardMessages().clear();
    first_ = MakeWindow(vantor_test::RecordingProc);
    second_ = CreateWindowExA(0, "VantorTest", "second", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr);
    ASSERT_NE(second_, nullptr);
  }
  HWND first_ = nullptr;
  HWND second_ = nullptr;
};

TEST_F(Messages, QuitComesAfterEverythingPosted) {
  PostMessageA(first_, WM_USER + 1, 0, 0);
  PostQuitMessage(3);
  PostMessageA(first_, WM_USER + 2, 0, 0);
  platform_test::InjectKeyDown('A');
  MSG msg;
  ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
  ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
  ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
  // Looking at the quit message leaves it there; taking it ends the loop.
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Messages, QuitPassesAnyFilter) {
  PostMessageA(first_, WM_USER, 0, 0);
  PostQuitMessage(0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, second_, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
}

TEST_F(Messages, FiltersByWindowAndRange) {
  PostMessageA(first_, WM_USER + 1, 11, 0);
  PostMessageA(second_, WM_USER + 2, 22, 0);
  PostMessageA(nullptr, WM_USER + 3, 33, 0);
  PostMessageA(first_, WM_USER + 4, 44, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, second_, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 22u);
  EXPECT_EQ(msg.hwnd, second_);
  EXPECT_FALSE(PeekMessageA(&msg, second_, 0, 0, PM_REMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));  // thread messages only
  EXPECT_EQ(msg.wParam, 33u);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 4, WM_USER + 9, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 44u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER + 4, WM_USER + 9, PM_REMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, first_, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 11u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Messages, MessagesCarryTheClockAndReachTheProcedure) {
  platform_test::SetClockManual(5000);
  PostMessageA(first_, WM_USER, 7, 8);
  platform_test::AdvanceClock(10);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.time, 5000u);
  DispatchMessageA(&msg);
  ASSERT_FALSE(vantor_test::HeardMessages().empty());
  const vantor_test::Heard& heard = vantor_test::HeardMessages().back();
  EXPECT_EQ(heard.window, first_);
  EXPECT_EQ(heard.message, static_cast<UINT>(WM_USER));
  EXPECT_EQ(heard.wParam, 7u);
  EXPECT_EQ(heard.lParam, 8);
  EXPECT_EQ(SendMessageA(first_, WM_USER + 5, 0, 0), 0);
  EXPECT_EQ(vantor_test::HeardMessages().back().message, static_cast<UINT>(WM_USER + 5));
}

TEST_F(Messages, DeadWindowsGetNothing) {
  PostMessageA(second_, WM_USER, 0, 0);
  PostMessageA(first_, WM_USER + 1, 0, 0);
  ASSERT_TRUE(DestroyWindow(second_));
  EXPECT_FALSE(PostMessageA(second_, WM_USER, 0, 0));
  EXPECT_EQ(SendMessageA(second_, WM_USER, 0, 0), 0);
  int badPointer = 0;
  EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(&badPointer), WM_USER, 0, 0));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, first_);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(GetMessageA(&msg, second_, 0, 0), -1);
  EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
}

TEST_F(Messages, PostFromAnotherThreadWakesGetMessage) {
  std::thread poster([this] {
    // Give the main thread the chance to block first; the result does not
    // depend on it.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    PostMessageA(first_, WM_USER + 9, 1, 2);
  });
  MSG msg;
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  poster.join();
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 9));
  EXPECT_EQ(msg.hwnd, first_);

  // Many posters at once: none of their messages is lost.
  const int perThread = 200;
  std::vector<std::thread> posters;
  for (int t = 0; t < 4; ++t) {
    posters.emplace_back([this, t] {
      for (int i = 0; i < perThread; ++i) PostMessageA(first_, WM_USER, static_cast<WPARAM>(t), i);
    });
  }
  int received[4] = {};
  int total = 0;
  while (total < 4 * perThread && GetMessageA(&msg, nullptr, 0, 0) == TRUE) {
    ASSERT_LT(msg.wParam, 4u);
    // Each thread's messages arrive in the order it posted them.
    EXPECT_EQ(msg.lParam, received[msg.wParam]);
    ++received[msg.wParam];
    ++total;
  }
  for (std::thread& t : posters) t.join();
  EXPECT_EQ(total, 4 * perThread);
}

TEST_F(Messages, QuitFromAnotherThreadEndsGetMessage) {
  std::thread quitter([] { PostQuitMessage(5); });
  MSG msg;
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
  quitter.join();
  EXPECT_EQ(msg.wParam, 5u);
}

}  // namespace
