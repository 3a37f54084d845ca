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
// Keys typed ahead to windows that are going away belong to the window that
// takes the focus after them, as keyboard input goes to the focus window when
// it is read; without one they are dropped.
void RetargetInput(const std::vector<HWND>& from, HWND to);
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
HICON SystemIcon(int id);  // LoadIconA with no instance

// Resources (resources.cpp).
}  // namespace vt
namespace resource_script {
struct IconImage;
}
namespace vt {
const resource_script::IconImage* IconOfHandle(HICON handle);
// A new surface with the icon's pixels (the caller frees it), or null.
SDL_Surface* MakeIconSurface(const resource_script::IconImage& icon);

// Dialogs (dialog.cpp).
// The innermost modal dialog running, or null: pointer input that names no
// window of ours goes there.
HWND ModalDialogWindow();
// The windowing system lost a dialog's picture: draw it again.
void OnDialogExposed(HWND window);
void DialogsReset();

}  // namespace vt
