#include "input/keyboard.h"

#include <cstring>

KeyTables keyTables = {};

namespace {

HHOOK keyboardHook = nullptr;
// Set by PumpMessages when it stopped at the quit message.
bool quitPending = false;

bool AnyPressed() {
  for (uint8_t flag : keyTables.pressed)
    if (flag) return true;
  return false;
}

}  // namespace

int InstallKeyboardHook(HWND window) {
  DWORD thread = GetWindowThreadProcessId(window, nullptr);
  keyboardHook = SetWindowsHookExA(WH_KEYBOARD, KeyboardHookProc, nullptr, thread);
  return keyboardHook != nullptr ? 1 : 0;
}

BOOL RemoveKeyboardHook() {
  BOOL result = UnhookWindowsHookEx(keyboardHook);
  keyboardHook = nullptr;
  return result;
}

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM virtualKey, LPARAM keyFlags) {
  if (code < 0) return CallNextHookEx(keyboardHook, code, virtualKey, keyFlags);
  uint8_t key = static_cast<uint8_t>(virtualKey);
  if (static_cast<uint32_t>(keyFlags) & 0x80000000u) {
    keyTables.held[key] = 0;
    return 0;
  }
  // A message that is only peeked reaches us before it is removed, and
  // auto-repeats arrive while the key stays down: only the first counts.
  if (keyTables.held[key] == 0) {
    keyTables.held[key] = 1;
    keyTables.pressed[key] = 1;
  }
  return 0;
}

int PollKeyboard() {
  GetKeyboardState(keyTables.held);
  for (int key = 0; key < 256; ++key) {
    keyTables.held[key] &= 0x80;
    if (keyTables.held[key] != 0) {
      if (keyTables.latch[key] == 0) {
        keyTables.pressed[key] = 1;
        keyTables.latch[key] = 1;
      }
    } else {
      keyTables.latch[key] = 0;
    }
  }
  return 256;
}

WPARAM PumpMessages() {
  MSG message = {};
  quitPending = false;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
    if (message.message == WM_QUIT) {
      quitPending = true;
      break;
    }
    if (!GetMessageA(&message, nullptr, 0, 0)) {
      // The quit message overtook the one we looked at: put it back for the
      // main loop.
      PostQuitMessage(0);
      quitPending = true;
      break;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return message.wParam;
}

void ClearKeyTables() {
  std::memset(keyTables.latch, 0, sizeof keyTables.latch);
  std::memset(keyTables.pressed, 0, sizeof keyTables.pressed);
  std::memset(keyTables.held, 0, sizeof keyTables.held);
}

void WaitAnyKey() {
  ClearKeyTables();
  PumpMessages();
  if (!keyTables.pressed[0] && !quitPending) {
    for (int index = 1;; index = (index + 1) & 0xFF) {
      PumpMessages();
      if (keyTables.pressed[index] || quitPending) break;
      // A whole pass found nothing and the queue is empty: sleep until the
      // next message rather than keep a core busy while the user reads.
      if (index == 0 && !AnyPressed()) WaitMessage();
    }
  }
  ClearKeyTables();
}
