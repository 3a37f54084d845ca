// Shared by the window and message side of the platform layer only: the
// registry of windows, the message queue, activation and key translation.
#pragma once

#include <mutex>
#include <vector>

#include "internal.h"

namespace vt {

// Guards the set of windows and the message queue: PostMessageA may come from
// any thread. Never held while a window or hook procedure runs.
std::mutex& StateMutex();

// Windows (window.cpp).
bool IsLiveWindowLocked(HWND window);  // caller holds StateMutex
HWND WindowFromSdlId(uint32_t sdlId);
std::vector<HWND> LiveWindows();  // in creation order
// The window key messages go to: the focus window, else the main window.
HWND KeyTarget();
// Activation from the windowing system: `window` gained or lost the focus.
void OnSdlFocus(HWND window, bool gained);
// Activation as a test or the user switching programs states it.
void OnInjectedActivation(bool active);

// Messages (messages.cpp).
bool QueueMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PurgeMessagesFor(HWND window);
void MessagesReset();
// Registers our SDL event types once; false when SDL's events cannot start.
bool EnsureEvents();
uint32_t ActivationEventType();
void HooksReset();

// Keyboard (keyboard.cpp).
// Turns an SDL key event into a key message for `target`; false for keys
// that have no virtual-key code. Updates the asynchronous key state.
bool TranslateKeyEvent(const SDL_KeyboardEvent& event, HWND target, MSG* out);
bool IsKeyMessage(UINT message);
// A key message was handed to the program: the thread's key state follows it.
void ApplyRetrievedKey(const MSG& msg);
// The character a key-down types (US layout), or 0.
char CharacterOfKey(int virtualKey, bool shift);
bool IsKeyStateDown(int virtualKey);  // thread key state
void KeyboardReset();

// Clock (clock.cpp): the current time without stepping a manual clock.
DWORD ClockNow();

// Message boxes (msgbox.cpp).
void MessageBoxesReset();

// Miscellaneous (misc.cpp).
void CursorReset();

}  // namespace vt
