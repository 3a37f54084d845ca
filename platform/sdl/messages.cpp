// The message queue: posted messages and input in arrival order, SDL events
// turned into messages when retrieval pumps them, the keyboard hook chain run
// inside retrieval, and the quit flag.
//
// There is one queue for the process, because the program owns its windows on
// one thread; PostMessageA may be called from any thread and wakes a blocked
// GetMessageA. WM_QUIT is not queued: PostQuitMessage raises a flag and
// retrieval reports WM_QUIT only when no other message passes the filter, so
// it comes after everything posted before or after it, whatever the filter.
// WaitMessage returns as soon as anything at all is queued, not only on new
// input, so a caller that left a message in the queue cannot sleep past it.
#include <mmsystem.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>

#include "winstate.h"

namespace {

struct Entry {
  MSG msg;
  uint64_t serial;
};

std::deque<Entry> queue;  // guarded by StateMutex
uint64_t nextSerial = 1;
bool quitPending = false;
int quitCode = 0;
bool waiting = false;  // a GetMessageA or WaitMessage sleeps on SDL's queue

std::atomic<uint32_t> wakeEventType{0};
std::atomic<uint32_t> activationEventType{0};

struct Hook {
  uintptr_t id;
  HOOKPROC proc;
  DWORD threadId;  // 0: every thread
};
std::mutex hookMutex;
std::vector<Hook> hooks;  // newest first, as the chain is called
uintptr_t nextHookId = 1;
thread_local uintptr_t runningHook = 0;

bool Matches(const MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
  if (window == reinterpret_cast<HWND>(-1)) {
    if (msg.hwnd != nullptr) return false;
  } else if (window != nullptr && msg.hwnd != window) {
    return false;
  }
  if (filterMin == 0 && filterMax == 0) return true;
  return msg.message >= filterMin && msg.message <= filterMax;
}

void WakeWaiterLocked() {
  uint32_t type = wakeEventType.load();
  if (!waiting || type == 0) return;
  waiting = false;
  SDL_Event event = {};
  event.type = type;
  SDL_PushEvent(&event);
}

// Runs the keyboard hooks of this thread for a key message; non-zero means a
// hook took the message and it is dropped.
LRESULT RunKeyboardHooks(int code, const MSG& msg) {
  HOOKPROC proc = nullptr;
  uintptr_t id = 0;
  {
    DWORD self = GetCurrentThreadId();
    std::lock_guard<std::mutex> lock(hookMutex);
    for (const Hook& hook : hooks) {
      if (hook.threadId == 0 || hook.threadId == self) {
        proc = hook.proc;
        id = hook.id;
        break;
      }
    }
  }
  if (proc == nullptr) return 0;
  uintptr_t outer = runningHook;
  runningHook = id;
  LRESULT result = proc(code, msg.wParam, msg.lParam);
  runningHook = outer;
  return result;
}

void HandleWindowEvent(const SDL_WindowEvent& event) {
  HWND window = vt::WindowFromSdlId(event.windowID);
  if (window == nullptr) return;
  switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
      vt::QueueMessage(window, WM_CLOSE, 0, 0);
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      vt::OnSdlFocus(window, true);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      vt::OnSdlFocus(window, false);
      break;
    case SDL_WINDOWEVENT_EXPOSED:
      vt::OnDialogExposed(window);
      break;
    default:
      break;
  }
}

void QueueMouse(UINT message, uint32_t windowId, int x, int y, uint32_t buttons) {
  // Pointer input for no window of ours (a headless dialog has none) goes to
  // the dialog in front.
  HWND window = windowId != 0 ? vt::WindowFromSdlId(windowId) : vt::ModalDialogWindow();
  if (window == nullptr) return;
  WPARAM keys = 0;
  if (buttons & SDL_BUTTON_LMASK) keys |= 0x0001;  // MK_LBUTTON
  if (vt::IsKeyStateDown(VK_SHIFT)) keys |= 0x0004;
  if (vt::IsKeyStateDown(VK_CONTROL)) keys |= 0x0008;
  vt::QueueMessage(window, message, keys, MAKELONG(x, y));
}

// Moves everything SDL has into our queue, then lets the display show what
// was drawn into the primary since the last update.
void PumpSdl() {
  if (!vt::EnsureEvents()) return;
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    if (event.type == wakeEventType.load()) continue;
    if (event.type == activationEventType.load()) {
      vt::OnInjectedActivation(event.user.code != 0);
      continue;
    }
    switch (event.type) {
      case SDL_KEYDOWN:
      case SDL_KEYUP: {
        HWND target = vt::WindowFromSdlId(event.key.windowID);
        if (target == nullptr) target = vt::KeyTarget();
        MSG msg;
        if (target != nullptr && vt::TranslateKeyEvent(event.key, target, &msg)) {
          vt::QueueMessage(msg.hwnd, msg.message, msg.wParam, msg.lParam);
        }
        break;
      }
      case SDL_WINDOWEVENT:
        HandleWindowEvent(event.window);
        break;
      case SDL_QUIT: {
        // Only a signal or the session ending raise it (closing the last
        // window is left to the window's own close event).
        HWND main = vt::MainWindow();
        if (main != nullptr) vt::QueueMessage(main, WM_CLOSE, 0, 0);
        break;
      }
      case SDL_MOUSEMOTION:
        QueueMouse(WM_MOUSEMOVE, event.motion.windowID, event.motion.x, event.motion.y, event.motion.state);
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT) {
          bool down = event.type == SDL_MOUSEBUTTONDOWN;
          QueueMouse(down ? WM_LBUTTONDOWN : WM_LBUTTONUP, event.button.windowID, event.button.x,
                     event.button.y, down ? SDL_BUTTON_LMASK : 0);
        }
        break;
      default:
        break;
    }
  }
  vt::ScreenRefreshIfDirty();
}

enum class Look { kNone, kMessage, kQuit };

// One look at the queue: the first message that passes the filter, or the
// quit flag when nothing does. Removes the message when asked to.
Look LookAt(MSG* out, uint64_t* serial, HWND window, UINT filterMin, UINT filterMax, bool remove) {
  std::lock_guard<std::mutex> lock(vt::StateMutex());
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    if (!Matches(it->msg, window, filterMin, filterMax)) continue;
    *out = it->msg;
    *serial = it->serial;
    if (remove) queue.erase(it);
    return Look::kMessage;
  }
  if (quitPending) {
    *out = {};
    out->message = WM_QUIT;
    out->wParam = static_cast<WPARAM>(quitCode);
    out->time = vt::ClockNow();
    if (remove) quitPending = false;
    return Look::kQuit;
  }
  return Look::kNone;
}

void EraseSerial(uint64_t serial) {
  std::lock_guard<std::mutex> lock(vt::StateMutex());
  auto it = std::find_if(queue.begin(), queue.end(), [&](const Entry& e) { return e.serial == serial; });
  if (it != queue.end()) queue.erase(it);
}

bool Retrieve(MSG* out, HWND window, UINT filterMin, UINT filterMax, bool remove) {
  PumpSdl();
  for (;;) {
    MSG msg;
    uint64_t serial = 0;
    Look look = LookAt(&msg, &serial, window, filterMin, filterMax, remove);
    if (look == Look::kNone) return false;
    if (look == Look::kMessage && vt::IsKeyMessage(msg.message)) {
      // The hook sees every key message looked at: HC_NOREMOVE when it stays
      // queued, HC_ACTION when it is taken. A hook that answers non-zero has
      // consumed the key, so nobody else sees it.
      if (RunKeyboardHooks(remove ? HC_ACTION : HC_NOREMOVE, msg) != 0) {
        if (!remove) EraseSerial(serial);
        continue;
      }
      // The thread's key state follows the key messages as they are taken.
      if (remove) vt::ApplyRetrievedKey(msg);
    }
    *out = msg;
    return true;
  }
}

bool IsValidFilter(HWND window) {
  if (window == nullptr || window == reinterpret_cast<HWND>(-1)) return true;
  std::lock_guard<std::mutex> lock(vt::StateMutex());
  return vt::IsLiveWindowLocked(window);
}

// Sleeps until SDL has an event or a message is posted; returns at once when
// a message passing the filter is already queued.
void WaitForInput(HWND window, UINT filterMin, UINT filterMax) {
  {
    std::lock_guard<std::mutex> lock(vt::StateMutex());
    for (const Entry& entry : queue) {
      if (Matches(entry.msg, window, filterMin, filterMax)) return;
    }
    if (quitPending) return;
    waiting = true;
  }
  SDL_WaitEvent(nullptr);
  std::lock_guard<std::mutex> lock(vt::StateMutex());
  waiting = false;
}

}  // namespace

namespace vt {

bool EnsureEvents() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] {
    if (SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) return;
    uint32_t first = SDL_RegisterEvents(2);
    if (first == static_cast<uint32_t>(-1)) return;
    wakeEventType.store(first);
    activationEventType.store(first + 1);
    ready = true;
  });
  return ready;
}

uint32_t ActivationEventType() { return EnsureEvents() ? activationEventType.load() : 0; }

bool QueueMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  std::lock_guard<std::mutex> lock(StateMutex());
  if (window != nullptr && !IsLiveWindowLocked(window)) return false;
  Entry entry = {};
  entry.msg.hwnd = window;
  entry.msg.message = message;
  entry.msg.wParam = wParam;
  entry.msg.lParam = lParam;
  entry.msg.time = ClockNow();
  entry.serial = nextSerial++;
  queue.push_back(entry);
  WakeWaiterLocked();
  return true;
}

void PurgeMessagesFor(HWND window) {
  std::lock_guard<std::mutex> lock(StateMutex());
  queue.erase(
      std::remove_if(queue.begin(), queue.end(), [&](const Entry& e) { return e.msg.hwnd == window; }),
      queue.end());
}

void RetargetInput(const std::vector<HWND>& from, HWND to) {
  std::lock_guard<std::mutex> lock(StateMutex());
  if (to != nullptr && !IsLiveWindowLocked(to)) to = nullptr;
  for (auto it = queue.begin(); it != queue.end();) {
    bool ours = std::find(from.begin(), from.end(), it->msg.hwnd) != from.end();
    if (!ours || !IsKeyMessage(it->msg.message)) {
      ++it;
    } else if (to == nullptr) {
      it = queue.erase(it);
    } else {
      it->msg.hwnd = to;
      ++it;
    }
  }
}

void MessagesReset() {
  {
    std::lock_guard<std::mutex> lock(StateMutex());
    queue.clear();
    quitPending = false;
    quitCode = 0;
    waiting = false;
  }
  if (EnsureEvents()) {
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  }
}

void HooksReset() {
  std::lock_guard<std::mutex> lock(hookMutex);
  hooks.clear();
}

}  // namespace vt

extern "C" {

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
  if (msg == nullptr || !IsValidFilter(window)) return FALSE;
  return Retrieve(msg, window, filterMin, filterMax, (removeMsg & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
  if (msg == nullptr || !IsValidFilter(window)) return -1;
  while (!Retrieve(msg, window, filterMin, filterMax, true)) {
    if (!vt::EnsureEvents()) return -1;
    WaitForInput(window, filterMin, filterMax);
  }
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI WaitMessage(void) {
  if (!vt::EnsureEvents()) return FALSE;
  PumpSdl();
  WaitForInput(nullptr, 0, 0);
  return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
  if (msg == nullptr || !vt::IsKeyMessage(msg->message)) return FALSE;
  if (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) {
    char c = vt::CharacterOfKey(static_cast<int>(msg->wParam), vt::IsKeyStateDown(VK_SHIFT));
    if (c != 0 && !vt::IsKeyStateDown(VK_CONTROL)) {
      // Ahead of everything else, so that the character follows its key.
      std::lock_guard<std::mutex> lock(vt::StateMutex());
      if (msg->hwnd == nullptr || vt::IsLiveWindowLocked(msg->hwnd)) {
        Entry entry = {};
        entry.msg = *msg;
        entry.msg.message = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
        entry.msg.wParam = static_cast<unsigned char>(c);
        entry.serial = nextSerial++;
        queue.push_front(entry);
      }
    }
  }
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
  if (msg == nullptr || msg->hwnd == nullptr) return 0;
  return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return vt::QueueMessage(window, message, wParam, lParam) ? TRUE : FALSE;
}

void WINAPI PostQuitMessage(int exitCode) {
  std::lock_guard<std::mutex> lock(vt::StateMutex());
  quitPending = true;
  quitCode = exitCode;
  WakeWaiterLocked();
}

HHOOK WINAPI SetWindowsHookExA(int hookType, HOOKPROC proc, HINSTANCE, DWORD threadId) {
  if (hookType != WH_KEYBOARD || proc == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(hookMutex);
  Hook hook = {nextHookId++, proc, threadId};
  hooks.insert(hooks.begin(), hook);
  return reinterpret_cast<HHOOK>(hook.id);
}

LRESULT WINAPI CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
  // The next hook after the one running on this thread (the handle passed in
  // is only a hint, as on the platform).
  uintptr_t from = runningHook != 0 ? runningHook : reinterpret_cast<uintptr_t>(hook);
  HOOKPROC proc = nullptr;
  uintptr_t id = 0;
  {
    DWORD self = GetCurrentThreadId();
    std::lock_guard<std::mutex> lock(hookMutex);
    auto it = std::find_if(hooks.begin(), hooks.end(), [&](const Hook& h) { return h.id == from; });
    if (it == hooks.end()) return 0;
    for (++it; it != hooks.end(); ++it) {
      if (it->threadId == 0 || it->threadId == self) {
        proc = it->proc;
        id = it->id;
        break;
      }
    }
  }
  if (proc == nullptr) return 0;
  uintptr_t outer = runningHook;
  runningHook = id;
  LRESULT result = proc(code, wParam, lParam);
  runningHook = outer;
  return result;
}

BOOL WINAPI UnhookWindowsHookEx(HHOOK hook) {
  std::lock_guard<std::mutex> lock(hookMutex);
  auto id = reinterpret_cast<uintptr_t>(hook);
  auto it = std::find_if(hooks.begin(), hooks.end(), [&](const Hook& h) { return h.id == id; });
  if (it == hooks.end()) return FALSE;
  hooks.erase(it);
  return TRUE;
}

DWORD WINAPI GetCurrentThreadId(void) { return static_cast<DWORD>(syscall(SYS_gettid)); }

}  // extern "C"
