// Keys: virtual-key codes and the lParam bits of key messages, from injected
// keys and from raw SDL key events, and the key states that follow them.
#include <vector>

#include "internal.h"
#include "support/headless.h"

namespace {

constexpr uint32_t BIT_EXTENDED = 1u << 24;
constexpr uint32_t BIT_ALT = 1u << 29;
constexpr uint32_t BIT_PREVIOUS = 1u << 30;
constexpr uint32_t BIT_UP = 1u << 31;

uint32_t Bits(const MSG& msg) { return static_cast<uint32_t>(msg.lParam); }
int ScanOf(const MSG& msg) { return (Bits(msg) >> 16) & 0xFF; }

class Keys : public vantor_test::Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    window_ = MakeWindow();
  }
  // Every key message now waiting, taken from the queue.
  std::vector<MSG> TakeKeys() {
    std::vector<MSG> keys;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_SYSKEYUP, PM_REMOVE)) keys.push_back(msg);
    return keys;
  }
  // A key event as SDL gives it for a real keyboard.
  void PushRaw(SDL_Scancode scancode, SDL_Keycode sym, bool down, bool repeat = false) {
    SDL_Event event = {};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.windowID = SDL_GetWindowID(vt::SdlWindow(window_));
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = sym;
    SDL_PushEvent(&event);
  }
  HWND window_ = nullptr;
};

TEST_F(Keys, EveryKeyTheProgramNamesComesBackWithItsCode) {
  std::vector<int> codes = {VK_RETURN,     VK_ESCAPE,    VK_SPACE,    VK_BACK,   VK_TAB,     VK_LEFT,
                            VK_UP,         VK_RIGHT,     VK_DOWN,     VK_HOME,   VK_END,     VK_PRIOR,
                            VK_NEXT,       VK_INSERT,    VK_DELETE,   VK_SHIFT,  VK_CONTROL, VK_MENU,
                            VK_ADD,        VK_SUBTRACT,  VK_MULTIPLY, VK_DIVIDE, VK_DECIMAL, VK_OEM_COMMA,
                            VK_OEM_PERIOD, VK_OEM_MINUS, VK_OEM_2};
  for (int c = 'A'; c <= 'Z'; ++c) codes.push_back(c);
  for (int c = '0'; c <= '9'; ++c) codes.push_back(c);
  for (int c = VK_NUMPAD0; c <= VK_NUMPAD9; ++c) codes.push_back(c);
  for (int c = VK_F1; c <= VK_F12; ++c) codes.push_back(c);
  for (int code : codes) {
    platform_test::InjectKeyPress(code);
    std::vector<MSG> keys = TakeKeys();
    ASSERT_EQ(keys.size(), 2u) << "key " << code;
    EXPECT_EQ(keys[0].wParam, static_cast<WPARAM>(code));
    EXPECT_EQ(keys[1].wParam, static_cast<WPARAM>(code));
    EXPECT_EQ(keys[0].hwnd, window_);
    EXPECT_NE(ScanOf(keys[0]), 0) << "key " << code;
    EXPECT_EQ(ScanOf(keys[0]), ScanOf(keys[1]));
    // Alt and F10 are system keys on the platform; the rest are plain.
    UINT down = code == VK_F10 || code == VK_MENU ? WM_SYSKEYDOWN : WM_KEYDOWN;
    EXPECT_EQ(keys[0].message, down) << "key " << code;
  }
}

TEST_F(Keys, DownRepeatAndUpCarryThePlatformBits) {
  platform_test::InjectKeyDown('V');
  platform_test::InjectKeyDown('V');
  platform_test::InjectKeyDown('V');
  platform_test::InjectKeyUp('V');
  std::vector<MSG> keys = TakeKeys();
  ASSERT_EQ(keys.size(), 4u);
  for (const MSG& key : keys) {
    EXPECT_EQ(Bits(key) & 0xFFFF, 1u);  // repeat count
    EXPECT_EQ(ScanOf(key), 0x2F);
    EXPECT_EQ(Bits(key) & BIT_EXTENDED, 0u);
  }
  EXPECT_EQ(keys[0].message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(Bits(keys[0]) & (BIT_PREVIOUS | BIT_UP), 0u);
  EXPECT_EQ(Bits(keys[1]) & (BIT_PREVIOUS | BIT_UP), BIT_PREVIOUS);
  EXPECT_EQ(Bits(keys[2]) & (BIT_PREVIOUS | BIT_UP), BIT_PREVIOUS);
  EXPECT_EQ(keys[3].message, static_cast<UINT>(WM_KEYUP));
  EXPECT_EQ(Bits(keys[3]) & (BIT_PREVIOUS | BIT_UP), BIT_PREVIOUS | BIT_UP);
  // The key is fresh again after its release.
  platform_test::InjectKeyDown('V');
  keys = TakeKeys();
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(Bits(keys[0]) & BIT_PREVIOUS, 0u);
}

TEST_F(Keys, ExtendedBitMarksTheCursorBlockNotTheKeypad) {
  platform_test::InjectKeyPress(VK_LEFT);
  platform_test::InjectKeyPress(VK_NUMPAD4);
  std::vector<MSG> keys = TakeKeys();
  ASSERT_EQ(keys.size(), 4u);
  EXPECT_NE(Bits(keys[0]) & BIT_EXTENDED, 0u);
  EXPECT_EQ(Bits(keys[2]) & BIT_EXTENDED, 0u);
  // Both keys share a scan code; only the extended bit tells them apart.
  EXPECT_EQ(ScanOf(keys[0]), ScanOf(keys[2]));
}

TEST_F(Keys, KeypadIsNumbersWhateverNumLockSays) {
  // Without Num Lock a keyboard reports the keypad's 4 as a cursor key.
  PushRaw(SDL_SCANCODE_KP_4, SDLK_KP_4, true);
  PushRaw(SDL_SCANCODE_KP_4, SDLK_LEFT, true, true);
  PushRaw(SDL_SCANCODE_KP_8, SDLK_UP, true);
  PushRaw(SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, true);
  PushRaw(SDL_SCANCODE_RETURN, SDLK_RETURN, true);
  std::vector<MSG> keys = TakeKeys();
  ASSERT_EQ(keys.size(), 5u);
  EXPECT_EQ(keys[0].wParam, static_cast<WPARAM>(VK_NUMPAD4));
  EXPECT_EQ(keys[1].wParam, static_cast<WPARAM>(VK_NUMPAD4));
  EXPECT_NE(Bits(keys[1]) & BIT_PREVIOUS, 0u);
  EXPECT_EQ(keys[2].wParam, static_cast<WPARAM>(VK_NUMPAD8));
  EXPECT_EQ(keys[3].wParam, static_cast<WPARAM>(VK_RETURN));
  EXPECT_NE(Bits(keys[3]) & BIT_EXTENDED, 0u);
  EXPECT_EQ(keys[4].wParam, static_cast<WPARAM>(VK_RETURN));
  EXPECT_EQ(Bits(keys[4]) & BIT_EXTENDED, 0u);
}

TEST_F(Keys, LettersFollowTheLayoutAndKeysWithoutCodeAreDropped) {
  // A French keyboard's A key sits where a US keyboard has Q.
  PushRaw(SDL_SCANCODE_Q, SDLK_a, true);
  PushRaw(SDL_SCANCODE_MUTE, SDLK_MUTE, true);
  std::vector<MSG> keys = TakeKeys();
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].wParam, static_cast<WPARAM>('A'));
}

TEST_F(Keys, AltMakesSystemKeys) {
  platform_test::InjectKeyDown(VK_MENU);
  platform_test::InjectKeyPress('X');
  platform_test::InjectKeyUp(VK_MENU);
  platform_test::InjectKeyPress('X');
  std::vector<MSG> keys = TakeKeys();
  ASSERT_EQ(keys.size(), 6u);
  EXPECT_EQ(keys[0].message, static_cast<UINT>(WM_SYSKEYDOWN));
  EXPECT_EQ(keys[1].message, static_cast<UINT>(WM_SYSKEYDOWN));
  EXPECT_NE(Bits(keys[1]) & BIT_ALT, 0u);
  EXPECT_EQ(keys[2].message, static_cast<UINT>(WM_SYSKEYUP));
  EXPECT_EQ(keys[4].message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(Bits(keys[4]) & BIT_ALT, 0u);
}

TEST_F(Keys, KeyStateFollowsTakenMessagesAndAsyncStateFollowsInput) {
  BYTE state[256];
  platform_test::InjectKeyDown(VK_RSHIFT);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  // Seen by the pump but not yet handed out.
  EXPECT_NE(GetAsyncKeyState(VK_SHIFT) & 0x8000, 0);
  ASSERT_TRUE(GetKeyboardState(state));
  EXPECT_EQ(state[VK_SHIFT] & 0x80, 0);

  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_SHIFT));
  ASSERT_TRUE(GetKeyboardState(state));
  EXPECT_EQ(state[VK_SHIFT] & 0x80, 0x80);
  EXPECT_EQ(state[VK_RSHIFT] & 0x80, 0x80);
  EXPECT_EQ(state[VK_LSHIFT] & 0x80, 0);

  platform_test::InjectKeyUp(VK_RSHIFT);
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  ASSERT_TRUE(GetKeyboardState(state));
  EXPECT_EQ(state[VK_SHIFT] & 0x80, 0);
  EXPECT_EQ(GetAsyncKeyState(VK_SHIFT), 0);
  EXPECT_FALSE(GetKeyboardState(nullptr));
}

TEST_F(Keys, TranslateMessageTypesTheCharacterNext) {
  platform_test::InjectKeyPress('Q');
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_TRUE(TranslateMessage(&msg));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_CHAR));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>('q'));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYUP));
}

}  // namespace
