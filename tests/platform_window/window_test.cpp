// Windows: creation and destruction messages, closing, focus, and the
// application's activation.
#include "internal.h"
#include "recorder.h"
#include "support/headless.h"

namespace {

using vantor_test::HeardMessages;
using vantor_test::HeardOf;

LRESULT CALLBACK RefusingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  HeardMessages().push_back({window, message, wParam, lParam});
  if (message == WM_CREATE) return -1;
  return DefWindowProcA(window, message, wParam, lParam);
}

LPVOID createParam = nullptr;
LRESULT CALLBACK ParamProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) createParam = reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams;
  return vantor_test::RecordingProc(window, message, wParam, lParam);
}

class Windows : public vantor_test::Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    HeardMessages().clear();
  }
  HWND Make(const char* className, WNDPROC proc, LPVOID param = nullptr) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = proc;
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, className, "t", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleA(nullptr), param);
  }
  void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  std::vector<WPARAM> Activations() {
    std::vector<WPARAM> seen;
    for (const auto& h : HeardMessages()) {
      if (h.message == WM_ACTIVATEAPP) seen.push_back(h.wParam);
    }
    return seen;
  }
  void PushFocusLost(HWND window) {
    SDL_Event event = {};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    event.window.windowID = SDL_GetWindowID(vt::SdlWindow(window));
    SDL_PushEvent(&event);
  }
};

TEST_F(Windows, CreationSendsCreateMessages) {
  int param = 0;
  HWND window = Make("Params", ParamProc, &param);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(HeardOf({WM_NCCREATE, WM_CREATE}), (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
  EXPECT_EQ(createParam, &param);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_NE(vt::SdlWindow(window), nullptr);
  EXPECT_EQ(vt::MainWindow(), window);
}

TEST_F(Windows, CreateAnsweringMinusOneFails) {
  HWND window = Make("Refusing", RefusingProc);
  EXPECT_EQ(window, nullptr);
  EXPECT_EQ(HeardOf({WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}),
            (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
  EXPECT_EQ(vt::MainWindow(), nullptr);
}

TEST_F(Windows, ClassesAreUniqueWhateverTheCase) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = vantor_test::RecordingProc;
  windowClass.lpszClassName = "Vantor";
  ATOM atom = RegisterClassA(&windowClass);
  EXPECT_NE(atom, 0);
  windowClass.lpszClassName = "VANTOR";
  EXPECT_EQ(RegisterClassA(&windowClass), 0);
  windowClass.lpfnWndProc = nullptr;
  windowClass.lpszClassName = "Other";
  EXPECT_EQ(RegisterClassA(&windowClass), 0);
  EXPECT_EQ(CreateWindowExA(0, "Missing", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  HWND byAtom = CreateWindowExA(0, MAKEINTRESOURCEA(atom), "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
  EXPECT_NE(byAtom, nullptr);
}

TEST_F(Windows, CloseDestroysThroughTheDefaultProcedure) {
  HWND window = Make("Closing", vantor_test::RecordingProc);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PostMessageA(window, WM_CLOSE, 0, 0));
  PostMessageA(window, WM_USER, 0, 0);
  Pump();
  EXPECT_EQ(HeardOf({WM_CLOSE, WM_DESTROY, WM_NCDESTROY, WM_USER}),
            (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(vt::SdlWindow(window), nullptr);
  EXPECT_FALSE(DestroyWindow(window));
}

TEST_F(Windows, TheWindowSystemsCloseBecomesWmClose) {
  HWND window = Make("Closing", vantor_test::RecordingProc);
  ASSERT_NE(window, nullptr);
  SDL_Event event = {};
  event.type = SDL_WINDOWEVENT;
  event.window.event = SDL_WINDOWEVENT_CLOSE;
  event.window.windowID = SDL_GetWindowID(vt::SdlWindow(window));
  SDL_PushEvent(&event);
  Pump();
  EXPECT_EQ(HeardOf({WM_CLOSE, WM_DESTROY}), (std::vector<UINT>{WM_CLOSE, WM_DESTROY}));
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(Windows, FirstShowActivatesOnce) {
  HWND window = Make("Shown", vantor_test::RecordingProc);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(Activations().empty());
  ShowWindow(window, SW_SHOWDEFAULT);
  UpdateWindow(window);
  ShowWindow(window, SW_SHOW);
  Pump();
  EXPECT_EQ(Activations(), (std::vector<WPARAM>{TRUE}));
  EXPECT_EQ(GetFocus(), window);
}

TEST_F(Windows, OwnBoxesKeepTheApplicationActiveOtherProgramsDoNot) {
  HWND window = Make("Active", vantor_test::RecordingProc);
  ASSERT_NE(window, nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  Pump();

  // A box of ours takes the focus: losses while it is up, and those still
  // queued when it closes, do not deactivate.
  vt::BeginOwnModal();
  vt::BeginOwnModal();
  PushFocusLost(window);
  Pump();
  vt::EndOwnModal();
  PushFocusLost(window);
  vt::EndOwnModal();
  Pump();
  EXPECT_EQ(Activations(), (std::vector<WPARAM>{TRUE}));
  EXPECT_EQ(GetFocus(), window);

  platform_test::InjectAppActivation(false);
  platform_test::InjectAppActivation(false);
  Pump();
  platform_test::InjectAppActivation(true);
  Pump();
  EXPECT_EQ(Activations(), (std::vector<WPARAM>{TRUE, FALSE, TRUE}));

  // A real loss of focus with no box of ours up is another program's turn.
  PushFocusLost(window);
  Pump();
  EXPECT_EQ(Activations(), (std::vector<WPARAM>{TRUE, FALSE, TRUE, FALSE}));
}

TEST_F(Windows, NoDisplayMeansNoWindow) {
  platform_test::SetNoDisplay(true);
  EXPECT_FALSE(vt::EnsureVideo());
  EXPECT_EQ(Make("Nowhere", vantor_test::RecordingProc), nullptr);
  // Messages still work without a display.
  PostQuitMessage(2);
  MSG msg;
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.wParam, 2u);
}

TEST_F(Windows, ResetForgetsEverything) {
  HWND window = Make("Again", vantor_test::RecordingProc);
  ASSERT_NE(window, nullptr);
  ShowWindow(window, SW_SHOW);
  SetWindowsHookExA(
      WH_KEYBOARD, [](int, WPARAM, LPARAM) -> LRESULT { return 1; }, nullptr, 0);
  PostMessageA(window, WM_USER, 0, 0);
  PostQuitMessage(0);
  EXPECT_EQ(ShowCursor(FALSE), -1);
  platform_test::ResetPlatform();
  platform_test::UseHeadless();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(GetFocus(), nullptr);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  HeardMessages().clear();
  HWND again = Make("Again", vantor_test::RecordingProc);
  ASSERT_NE(again, nullptr);
  ShowWindow(again, SW_SHOW);
  EXPECT_EQ(Activations(), (std::vector<WPARAM>{TRUE}));
  // The old hook is gone: keys reach the window again.
  platform_test::InjectKeyDown('K');
  Pump();
  EXPECT_EQ(HeardOf({WM_KEYDOWN}).size(), 1u);
  EXPECT_EQ(ShowCursor(FALSE), -1);
}

}  // namespace
