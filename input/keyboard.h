// Keyboard input through a thread keyboard hook on the window's thread. The
// hook keeps two tables the frame reads: keys down and keys that went down
// since the reader last looked.
#pragma once

#include <windows.h>

#include <cstdint>

struct KeyTables {
  uint8_t held[256];     // 1 while down (hook); 0x80 or 0 after PollKeyboard
  uint8_t pressed[256];  // set on the down transition; the reader clears it
  uint8_t latch[256];    // PollKeyboard's memory of the previous state
};

extern KeyTables keyTables;

int InstallKeyboardHook(HWND window);
BOOL RemoveKeyboardHook();
LRESULT CALLBACK KeyboardHookProc(int code, WPARAM virtualKey, LPARAM keyFlags);

// Fills the tables from the platform's keyboard state instead of the hook.
int PollKeyboard();
// Dispatches waiting messages without blocking. Stops at the quit message and
// leaves it queued for the main loop. Returns the wParam of the last message
// looked at.
WPARAM PumpMessages();
void ClearKeyTables();
// Pumps messages until a fresh key press; returns with the tables cleared.
// Sleeps on the queue after each fruitless pass over the table. Also ends
// when the quit message is waiting, so that a window closed by
// other means than a key cannot leave it spinning for ever.
void WaitAnyKey();
