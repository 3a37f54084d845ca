// Keyboard: SDL key events to key messages with the platform's virtual-key
// codes and lParam bits, the thread and asynchronous key states, and key
// injection for tests.
#include <vantor/platform_test.h>

#include <array>
#include <atomic>
#include <cstring>

#include "winstate.h"

namespace {

struct KeyInfo {
  SDL_Scancode scancode;
  uint8_t virtualKey;
  uint8_t scan;  // set 1 make code, as the platform reports it
  bool extended;
};

// Windows codes our header does not name.
constexpr uint8_t VK_SNAPSHOT_CODE = 0x2C;
constexpr uint8_t VK_APPS_CODE = 0x5D;
constexpr uint8_t VK_OEM_102_CODE = 0xE2;
constexpr uint8_t VK_HANGUL_CODE = 0x15;
constexpr uint8_t VK_HANJA_CODE = 0x19;

// By physical key. Letters and digits come from the layout when it gives
// them (see VirtualKeyOf); the keypad is always the keypad.
constexpr KeyInfo KEYS[] = {
    {SDL_SCANCODE_A, 'A', 0x1E, false},
    {SDL_SCANCODE_B, 'B', 0x30, false},
    {SDL_SCANCODE_C, 'C', 0x2E, false},
    {SDL_SCANCODE_D, 'D', 0x20, false},
    {SDL_SCANCODE_E, 'E', 0x12, false},
    {SDL_SCANCODE_F, 'F', 0x21, false},
    {SDL_SCANCODE_G, 'G', 0x22, false},
    {SDL_SCANCODE_H, 'H', 0x23, false},
    {SDL_SCANCODE_I, 'I', 0x17, false},
    {SDL_SCANCODE_J, 'J', 0x24, false},
    {SDL_SCANCODE_K, 'K', 0x25, false},
    {SDL_SCANCODE_L, 'L', 0x26, false},
    {SDL_SCANCODE_M, 'M', 0x32, false},
    {SDL_SCANCODE_N, 'N', 0x31, false},
    {SDL_SCANCODE_O, 'O', 0x18, false},
    {SDL_SCANCODE_P, 'P', 0x19, false},
    {SDL_SCANCODE_Q, 'Q', 0x10, false},
    {SDL_SCANCODE_R, 'R', 0x13, false},
    {SDL_SCANCODE_S, 'S', 0x1F, false},
    {SDL_SCANCODE_T, 'T', 0x14, false},
    {SDL_SCANCODE_U, 'U', 0x16, false},
    {SDL_SCANCODE_V, 'V', 0x2F, false},
    {SDL_SCANCODE_W, 'W', 0x11, false},
    {SDL_SCANCODE_X, 'X', 0x2D, false},
    {SDL_SCANCODE_Y, 'Y', 0x15, false},
    {SDL_SCANCODE_Z, 'Z', 0x2C, false},
    {SDL_SCANCODE_1, '1', 0x02, false},
    {SDL_SCANCODE_2, '2', 0x03, false},
    {SDL_SCANCODE_3, '3', 0x04, false},
    {SDL_SCANCODE_4, '4', 0x05, false},
    {SDL_SCANCODE_5, '5', 0x06, false},
    {SDL_SCANCODE_6, '6', 0x07, false},
    {SDL_SCANCODE_7, '7', 0x08, false},
    {SDL_SCANCODE_8, '8', 0x09, false},
    {SDL_SCANCODE_9, '9', 0x0A, false},
    {SDL_SCANCODE_0, '0', 0x0B, false},
    {SDL_SCANCODE_RETURN, VK_RETURN, 0x1C, false},
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE, 0x01, false},
    {SDL_SCANCODE_BACKSPACE, VK_BACK, 0x0E, false},
    {SDL_SCANCODE_TAB, VK_TAB, 0x0F, false},
    {SDL_SCANCODE_SPACE, VK_SPACE, 0x39, false},
    {SDL_SCANCODE_MINUS, VK_OEM_MINUS, 0x0C, false},
    {SDL_SCANCODE_EQUALS, VK_OEM_PLUS, 0x0D, false},
    {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4, 0x1A, false},
    {SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6, 0x1B, false},
    {SDL_SCANCODE_BACKSLASH, VK_OEM_5, 0x2B, false},
    {SDL_SCANCODE_NONUSHASH, VK_OEM_5, 0x2B, false},
    {SDL_SCANCODE_SEMICOLON, VK_OEM_1, 0x27, false},
    {SDL_SCANCODE_APOSTROPHE, VK_OEM_7, 0x28, false},
    {SDL_SCANCODE_GRAVE, VK_OEM_3, 0x29, false},
    {SDL_SCANCODE_COMMA, VK_OEM_COMMA, 0x33, false},
    {SDL_SCANCODE_PERIOD, VK_OEM_PERIOD, 0x34, false},
    {SDL_SCANCODE_SLASH, VK_OEM_2, 0x35, false},
    {SDL_SCANCODE_NONUSBACKSLASH, VK_OEM_102_CODE, 0x56, false},
    {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL, 0x3A, false},
    {SDL_SCANCODE_F1, VK_F1, 0x3B, false},
    {SDL_SCANCODE_F2, VK_F2, 0x3C, false},
    {SDL_SCANCODE_F3, VK_F3, 0x3D, false},
    {SDL_SCANCODE_F4, VK_F4, 0x3E, false},
    {SDL_SCANCODE_F5, VK_F5, 0x3F, false},
    {SDL_SCANCODE_F6, VK_F6, 0x40, false},
    {SDL_SCANCODE_F7, VK_F7, 0x41, false},
    {SDL_SCANCODE_F8, VK_F8, 0x42, false},
    {SDL_SCANCODE_F9, VK_F9, 0x43, false},
    {SDL_SCANCODE_F10, VK_F10, 0x44, false},
    {SDL_SCANCODE_F11, VK_F11, 0x57, false},
    {SDL_SCANCODE_F12, VK_F12, 0x58, false},
    {SDL_SCANCODE_PRINTSCREEN, VK_SNAPSHOT_CODE, 0x37, true},
    {SDL_SCANCODE_SCROLLLOCK, VK_SCROLL, 0x46, false},
    {SDL_SCANCODE_PAUSE, VK_PAUSE, 0x45, false},
    {SDL_SCANCODE_INSERT, VK_INSERT, 0x52, true},
    {SDL_SCANCODE_HOME, VK_HOME, 0x47, true},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR, 0x49, true},
    {SDL_SCANCODE_DELETE, VK_DELETE, 0x53, true},
    {SDL_SCANCODE_END, VK_END, 0x4F, true},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT, 0x51, true},
    {SDL_SCANCODE_RIGHT, VK_RIGHT, 0x4D, true},
    {SDL_SCANCODE_LEFT, VK_LEFT, 0x4B, true},
    {SDL_SCANCODE_DOWN, VK_DOWN, 0x50, true},
    {SDL_SCANCODE_UP, VK_UP, 0x48, true},
    {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK, 0x45, true},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE, 0x35, true},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY, 0x37, false},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT, 0x4A, false},
    {SDL_SCANCODE_KP_PLUS, VK_ADD, 0x4E, false},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN, 0x1C, true},
    {SDL_SCANCODE_KP_1, VK_NUMPAD1, 0x4F, false},
    {SDL_SCANCODE_KP_2, VK_NUMPAD2, 0x50, false},
    {SDL_SCANCODE_KP_3, VK_NUMPAD3, 0x51, false},
    {SDL_SCANCODE_KP_4, VK_NUMPAD4, 0x4B, false},
    {SDL_SCANCODE_KP_5, VK_NUMPAD5, 0x4C, false},
    {SDL_SCANCODE_KP_6, VK_NUMPAD6, 0x4D, false},
    {SDL_SCANCODE_KP_7, VK_NUMPAD7, 0x47, false},
    {SDL_SCANCODE_KP_8, VK_NUMPAD8, 0x48, false},
    {SDL_SCANCODE_KP_9, VK_NUMPAD9, 0x49, false},
    {SDL_SCANCODE_KP_0, VK_NUMPAD0, 0x52, false},
    {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL, 0x53, false},
    {SDL_SCANCODE_APPLICATION, VK_APPS_CODE, 0x5D, true},
    {SDL_SCANCODE_LCTRL, VK_CONTROL, 0x1D, false},
    {SDL_SCANCODE_LSHIFT, VK_SHIFT, 0x2A, false},
    {SDL_SCANCODE_LALT, VK_MENU, 0x38, false},
    {SDL_SCANCODE_LGUI, VK_LWIN, 0x5B, true},
    {SDL_SCANCODE_RCTRL, VK_CONTROL, 0x1D, true},
    {SDL_SCANCODE_RSHIFT, VK_SHIFT, 0x36, false},
    {SDL_SCANCODE_RALT, VK_MENU, 0x38, true},
    {SDL_SCANCODE_RGUI, VK_RWIN, 0x5C, true},
    {SDL_SCANCODE_LANG1, VK_HANGUL_CODE, 0x72, false},
    {SDL_SCANCODE_LANG2, VK_HANJA_CODE, 0x71, false},
};

const KeyInfo* InfoOfScancode(SDL_Scancode scancode) {
  for (const KeyInfo& key : KEYS) {
    if (key.scancode == scancode) return &key;
  }
  return nullptr;
}

bool IsKeypad(SDL_Scancode scancode) {
  return scancode >= SDL_SCANCODE_KP_DIVIDE && scancode <= SDL_SCANCODE_KP_PERIOD;
}

// The side-specific code of a modifier, from which physical key sent it.
int SideKeyOf(int virtualKey, uint8_t scan, bool extended) {
  switch (virtualKey) {
    case VK_SHIFT:
      return scan == 0x36 ? VK_RSHIFT : VK_LSHIFT;
    case VK_CONTROL:
      return extended ? VK_RCONTROL : VK_LCONTROL;
    case VK_MENU:
      return extended ? VK_RMENU : VK_LMENU;
    default:
      return 0;
  }
}

int GenericOf(int sideKey) {
  switch (sideKey) {
    case VK_LSHIFT:
    case VK_RSHIFT:
      return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL:
      return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU:
      return VK_MENU;
    default:
      return 0;
  }
}

// Physical state, as events are translated (GetAsyncKeyState); written and
// read on the window's thread except for the occasional asynchronous query.
std::array<std::atomic<uint8_t>, 256> asyncDown{};
// The thread's key state, as key messages are handed out (GetKeyboardState).
std::array<uint8_t, 256> threadState{};
// Keys the tests hold down, by scancode, so that a second down repeats.
std::array<bool, SDL_NUM_SCANCODES> injectedDown{};

void SetDown(std::array<std::atomic<uint8_t>, 256>& table, int sideKey, int virtualKey, bool down) {
  if (sideKey != 0) {
    table[sideKey] = down ? 1 : 0;
    int generic = GenericOf(sideKey);
    int left = generic == VK_SHIFT ? VK_LSHIFT : generic == VK_CONTROL ? VK_LCONTROL : VK_LMENU;
    table[generic] = (table[left] | table[left + 1]) ? 1 : 0;
  } else {
    table[virtualKey] = down ? 1 : 0;
  }
}

}  // namespace

namespace vt {

bool IsKeyMessage(UINT message) {
  return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
}

bool TranslateKeyEvent(const SDL_KeyboardEvent& event, HWND target, MSG* out) {
  SDL_Scancode scancode = event.keysym.scancode;
  const KeyInfo* info = InfoOfScancode(scancode);
  SDL_Keycode sym = event.keysym.sym;
  int virtualKey = 0;
  if (!IsKeypad(scancode) && sym >= 'a' && sym <= 'z') {
    virtualKey = static_cast<int>(sym - 'a' + 'A');
  } else if (!IsKeypad(scancode) && sym >= '0' && sym <= '9') {
    virtualKey = static_cast<int>(sym);
  } else if (info != nullptr) {
    virtualKey = info->virtualKey;
  }
  if (virtualKey == 0) return false;
  uint8_t scan = info != nullptr ? info->scan : 0;
  bool extended = info != nullptr && info->extended;
  bool down = event.type == SDL_KEYDOWN;
  int sideKey = SideKeyOf(virtualKey, scan, extended);
  bool wasDown = asyncDown[sideKey != 0 ? sideKey : virtualKey] != 0;
  bool altBefore = asyncDown[VK_MENU] != 0;
  SetDown(asyncDown, sideKey, virtualKey, down);
  bool altNow = asyncDown[VK_MENU] != 0;
  bool control = asyncDown[VK_CONTROL] != 0;

  // Alt held (without Ctrl, which makes AltGr) and F10 make system keys.
  bool alt = (down ? altNow : altBefore) && !control;
  bool system = alt || virtualKey == VK_F10;
  bool previous = down ? (event.repeat != 0 || wasDown) : true;

  uint32_t lParam = 1u | (static_cast<uint32_t>(scan) << 16);
  if (extended) lParam |= 1u << 24;
  if (alt) lParam |= 1u << 29;
  if (previous) lParam |= 1u << 30;
  if (!down) lParam |= 1u << 31;

  out->hwnd = target;
  out->message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
  out->wParam = static_cast<WPARAM>(virtualKey);
  // The platform's lParam is a sign-extended 32-bit value.
  out->lParam = static_cast<LPARAM>(static_cast<int32_t>(lParam));
  out->time = ClockNow();
  out->pt = {0, 0};
  return true;
}

void ApplyRetrievedKey(const MSG& msg) {
  int virtualKey = static_cast<int>(msg.wParam & 0xFF);
  bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
  auto lParam = static_cast<uint32_t>(msg.lParam);
  int sideKey = SideKeyOf(virtualKey, static_cast<uint8_t>(lParam >> 16), (lParam >> 24) & 1);
  bool repeat = ((lParam >> 30) & 1) != 0;
  auto set = [&](int key) {
    // High bit: down. Low bit: toggled by each fresh press, as for Caps Lock.
    if (down && !repeat && (threadState[key] & 0x80) == 0) threadState[key] ^= 0x01;
    threadState[key] = static_cast<uint8_t>((threadState[key] & 0x01) | (down ? 0x80 : 0));
  };
  if (sideKey != 0) {
    set(sideKey);
    int generic = GenericOf(sideKey);
    int left = generic == VK_SHIFT ? VK_LSHIFT : generic == VK_CONTROL ? VK_LCONTROL : VK_LMENU;
    bool any = ((threadState[left] | threadState[left + 1]) & 0x80) != 0;
    bool fresh = down && (threadState[generic] & 0x80) == 0;
    if (fresh) threadState[generic] ^= 0x01;
    threadState[generic] = static_cast<uint8_t>((threadState[generic] & 0x01) | (any ? 0x80 : 0));
  } else {
    set(virtualKey);
  }
}

bool IsKeyStateDown(int virtualKey) { return (threadState[virtualKey & 0xFF] & 0x80) != 0; }

char CharacterOfKey(int virtualKey, bool shift) {
  if (virtualKey >= 'A' && virtualKey <= 'Z')
    return static_cast<char>(shift ? virtualKey : virtualKey - 'A' + 'a');
  if (virtualKey >= '0' && virtualKey <= '9')
    return shift ? ")!@#$%^&*("[virtualKey - '0'] : static_cast<char>(virtualKey);
  if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD9)
    return static_cast<char>('0' + virtualKey - VK_NUMPAD0);
  switch (virtualKey) {
    case VK_SPACE:
      return ' ';
    case VK_RETURN:
      return '\r';
    case VK_BACK:
      return '\b';
    case VK_TAB:
      return '\t';
    case VK_ESCAPE:
      return 0x1B;
    case VK_OEM_1:
      return shift ? ':' : ';';
    case VK_OEM_PLUS:
      return shift ? '+' : '=';
    case VK_OEM_COMMA:
      return shift ? '<' : ',';
    case VK_OEM_MINUS:
      return shift ? '_' : '-';
    case VK_OEM_PERIOD:
      return shift ? '>' : '.';
    case VK_OEM_2:
      return shift ? '?' : '/';
    case VK_OEM_3:
      return shift ? '~' : '`';
    case VK_OEM_4:
      return shift ? '{' : '[';
    case VK_OEM_5:
      return shift ? '|' : '\\';
    case VK_OEM_6:
      return shift ? '}' : ']';
    case VK_OEM_7:
      return shift ? '"' : '\'';
    case VK_MULTIPLY:
      return '*';
    case VK_ADD:
      return '+';
    case VK_SUBTRACT:
      return '-';
    case VK_DECIMAL:
      return '.';
    case VK_DIVIDE:
      return '/';
    default:
      return 0;
  }
}

void KeyboardReset() {
  for (auto& entry : asyncDown) entry = 0;
  threadState.fill(0);
  injectedDown.fill(false);
}

}  // namespace vt

extern "C" BOOL WINAPI GetKeyboardState(PBYTE keyState) {
  if (keyState == nullptr) return FALSE;
  std::memcpy(keyState, threadState.data(), threadState.size());
  return TRUE;
}

extern "C" SHORT WINAPI GetAsyncKeyState(int virtualKey) {
  if (virtualKey < 0 || virtualKey > 255) return 0;
  return asyncDown[virtualKey] != 0 ? static_cast<SHORT>(0x8000) : 0;
}

namespace {

// The physical key a test means by a virtual-key code: the left one of a
// pair, the main Enter, the cursor block's arrows.
SDL_Scancode ScancodeOfVirtualKey(int virtualKey) {
  switch (virtualKey) {
    case VK_LSHIFT:
      return SDL_SCANCODE_LSHIFT;
    case VK_RSHIFT:
      return SDL_SCANCODE_RSHIFT;
    case VK_LCONTROL:
      return SDL_SCANCODE_LCTRL;
    case VK_RCONTROL:
      return SDL_SCANCODE_RCTRL;
    case VK_LMENU:
      return SDL_SCANCODE_LALT;
    case VK_RMENU:
      return SDL_SCANCODE_RALT;
    default:
      break;
  }
  for (const KeyInfo& key : KEYS) {
    if (key.virtualKey == virtualKey) return key.scancode;
  }
  return SDL_SCANCODE_UNKNOWN;
}

void InjectKey(int virtualKey, bool down) {
  SDL_Scancode scancode = ScancodeOfVirtualKey(virtualKey);
  if (scancode == SDL_SCANCODE_UNKNOWN || !vt::EnsureEvents()) return;
  SDL_Event event = {};
  event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  event.key.timestamp = SDL_GetTicks();
  SDL_Window* sdl = vt::SdlWindow(vt::KeyTarget());
  event.key.windowID = sdl != nullptr ? SDL_GetWindowID(sdl) : 0;
  event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.key.repeat = down && injectedDown[scancode] ? 1 : 0;
  event.key.keysym.scancode = scancode;
  // The key a US layout gives, as a real keyboard event would carry it.
  SDL_Keycode sym = SDL_SCANCODE_TO_KEYCODE(scancode);
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) {
    sym = 'a' + (scancode - SDL_SCANCODE_A);
  } else if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) {
    sym = '1' + (scancode - SDL_SCANCODE_1);
  } else if (scancode == SDL_SCANCODE_0) {
    sym = '0';
  }
  event.key.keysym.sym = sym;
  injectedDown[scancode] = down;
  SDL_PushEvent(&event);
}

}  // namespace

namespace platform_test {

void InjectKeyDown(int virtualKey) { InjectKey(virtualKey, true); }
void InjectKeyUp(int virtualKey) { InjectKey(virtualKey, false); }
void InjectKeyPress(int virtualKey) {
  InjectKey(virtualKey, true);
  InjectKey(virtualKey, false);
}

}  // namespace platform_test
