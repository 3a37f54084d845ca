// The thread keyboard hook: run inside message retrieval for every key
// message looked at, with the code telling whether it is being removed.
#include <thread>
#include <vector>

#include "recorder.h"
#include "support/headless.h"

namespace {

struct HookCall {
  int code;
  WPARAM virtualKey;
  LPARAM flags;
};

std::vector<HookCall> calls;
std::vector<HookCall> olderCalls;
LRESULT answer = 0;
HHOOK newerHandle = nullptr;

// Written as the program writes its hook.
LRESULT CALLBACK NewerHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code < 0) return CallNextHookEx(newerHandle, code, wParam, lParam);
  calls.push_back({code, wParam, lParam});
  return answer;
}

LRESULT CALLBACK OlderHook(int code, WPARAM wParam, LPARAM lParam) {
  olderCalls.push_back({code, wParam, lParam});
  return 7;
}

class Hook : public vantor_test::Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    calls.clear();
    olderCalls.clear();
    vantor_test::HeardMessages().clear();
    answer = 0;
    window_ = MakeWindow(vantor_test::RecordingProc);
    hook_ = SetWindowsHookExA(WH_KEYBOARD, NewerHook, nullptr, GetWindowThreadProcessId(window_, nullptr));
    ASSERT_NE(hook_, nullptr);
  }
  HWND window_ = nullptr;
  HHOOK hook_ = nullptr;
};

TEST_F(Hook, PeekedKeyReachesTheHookTwice) {
  platform_test::InjectKeyDown('F');
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].code, HC_NOREMOVE);
  EXPECT_EQ(calls[1].code, HC_ACTION);
  for (const HookCall& call : calls) {
    EXPECT_EQ(call.virtualKey, static_cast<WPARAM>('F'));
    EXPECT_EQ(call.flags, msg.lParam);
  }
}

TEST_F(Hook, GetMessageRunsTheHookAndOtherMessagesDoNot) {
  PostMessageA(window_, WM_USER, 0, 0);
  platform_test::InjectKeyUp(VK_ESCAPE);
  MSG msg;
  ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
  EXPECT_TRUE(calls.empty());
  ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].code, HC_ACTION);
  EXPECT_NE(static_cast<uint32_t>(calls[0].flags) & (1u << 31), 0u);
}

TEST_F(Hook, NonZeroAnswerDropsTheKey) {
  answer = 1;
  platform_test::InjectKeyPress(VK_ESCAPE);
  MSG msg;
  // Pumps the keys into the queue without looking at them.
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE));
  EXPECT_TRUE(calls.empty());
  PostMessageA(window_, WM_USER, 0, 0);
  // Only peeking, yet the keys taken by the hook are gone.
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
  EXPECT_EQ(calls.size(), 2u);
  answer = 0;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  EXPECT_EQ(vantor_test::HeardOf({WM_KEYDOWN, WM_KEYUP, WM_DESTROY}).size(), 0u);
  EXPECT_TRUE(IsWindow(window_));
}

TEST_F(Hook, ChainRunsNewestFirstAndPassesNegativeCodesOn) {
  UnhookWindowsHookEx(hook_);
  HHOOK older = SetWindowsHookExA(WH_KEYBOARD, OlderHook, nullptr, 0);
  hook_ = SetWindowsHookExA(WH_KEYBOARD, NewerHook, nullptr, 0);
  newerHandle = hook_;
  ASSERT_NE(older, nullptr);
  ASSERT_NE(hook_, older);
  platform_test::InjectKeyDown('A');
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(calls.size(), 1u);
  EXPECT_TRUE(olderCalls.empty());  // the newer hook did not pass it on

  // A negative code is handed down the chain, with the older hook's answer.
  EXPECT_EQ(NewerHook(-1, 'A', 0), 7);
  ASSERT_EQ(olderCalls.size(), 1u);
  EXPECT_EQ(olderCalls[0].code, -1);
  // The last hook of the chain has no one to pass to.
  EXPECT_EQ(CallNextHookEx(older, -1, 'A', 0), 0);

  EXPECT_TRUE(UnhookWindowsHookEx(hook_));
  EXPECT_FALSE(UnhookWindowsHookEx(hook_));
  platform_test::InjectKeyDown('A');
  // Now the older hook is first, and it takes the key.
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  ASSERT_EQ(olderCalls.size(), 2u);
  EXPECT_EQ(olderCalls[1].code, HC_ACTION);
  EXPECT_TRUE(UnhookWindowsHookEx(older));
  hook_ = nullptr;
}

TEST_F(Hook, OnlyKeyboardHooksOfThisThreadRun) {
  EXPECT_EQ(SetWindowsHookExA(13, NewerHook, nullptr, 0), nullptr);  // low-level keyboard
  EXPECT_EQ(SetWindowsHookExA(WH_KEYBOARD, nullptr, nullptr, 0), nullptr);
  DWORD other = 0;
  std::thread([&] { other = GetCurrentThreadId(); }).join();
  ASSERT_NE(other, GetCurrentThreadId());
  UnhookWindowsHookEx(hook_);
  hook_ = SetWindowsHookExA(WH_KEYBOARD, NewerHook, nullptr, other);
  ASSERT_NE(hook_, nullptr);
  platform_test::InjectKeyDown('A');
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_TRUE(calls.empty());
}

}  // namespace
