// Window classes and windows on SDL windows, focus, and the application's
// activation.
#include <unistd.h>
#include <vantor/platform_test.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "audio.h"
#include "winstate.h"

namespace {

struct WindowClass {
  ATOM atom;
  std::string name;
  WNDPROC proc;
  HICON icon;
};

// Every window ever made stays allocated until the next reset, so a stale
// handle can be asked about (IsWindow) without touching freed memory.
std::vector<std::unique_ptr<HWND__>> windows;  // guarded by StateMutex
std::vector<WindowClass> classes;              // window's thread only
ATOM nextAtom = 0xC000;
HWND focus = nullptr;

bool headless = false;
std::atomic<bool> noDisplay{false};

// Activation of the application: unknown until first shown, then on or off.
enum class Activation { kNever, kActive, kInactive };
Activation activation = Activation::kNever;
int ownModal = 0;

constexpr int DEFAULT_WIDTH = 640;
constexpr int DEFAULT_HEIGHT = 480;

std::string Lower(const char* text) {
  std::string s = text;
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Class names may be atoms: small integers in the pointer.
bool IsAtom(LPCSTR name) { return reinterpret_cast<uintptr_t>(name) < 0x10000; }

const WindowClass* FindClass(LPCSTR name) {
  if (name == nullptr) return nullptr;
  if (IsAtom(name)) {
    auto atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
    for (const WindowClass& c : classes) {
      if (c.atom == atom) return &c;
    }
    return nullptr;
  }
  std::string key = Lower(name);
  for (const WindowClass& c : classes) {
    if (c.name == key) return &c;
  }
  return nullptr;
}

ATOM AddClass(LPCSTR name, WNDPROC proc, HICON icon) {
  if (name == nullptr || proc == nullptr || IsAtom(name) || name[0] == '\0') return 0;
  if (FindClass(name) != nullptr) return 0;
  classes.push_back({nextAtom, Lower(name), proc, icon});
  return nextAtom++;
}

bool IsLive(HWND window) {
  std::lock_guard<std::mutex> lock(vt::StateMutex());
  return vt::IsLiveWindowLocked(window);
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc = window->proc;
  return proc != nullptr ? proc(window, message, wParam, lParam) : 0;
}

// WM_ACTIVATEAPP goes to every window of the application, once per change.
void SetActive(bool active) {
  Activation wanted = active ? Activation::kActive : Activation::kInactive;
  if (activation == wanted) return;
  if (activation == Activation::kNever && !active) return;  // nothing to lose yet
  activation = wanted;
  for (HWND window : vt::LiveWindows()) {
    if (IsLive(window))
      Send(window, WM_ACTIVATEAPP, active ? TRUE : FALSE, static_cast<LPARAM>(window->threadId));
  }
}

void ChangeFocus(HWND window) {
  HWND previous = focus;
  if (previous == window) return;
  focus = window;
  if (previous != nullptr && IsLive(previous))
    Send(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
  if (window != nullptr && IsLive(window)) Send(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
}

// Drops focus losses of our windows still waiting in SDL's queue: they were
// caused by our own modal box, which has just gone.
void AbsorbFocusLosses() {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  SDL_PumpEvents();
  std::vector<SDL_Event> kept;
  SDL_Event event;
  while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1) {
    bool loss = event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_FOCUS_LOST &&
                vt::WindowFromSdlId(event.window.windowID) != nullptr;
    if (!loss) kept.push_back(event);
  }
  if (!kept.empty()) SDL_PeepEvents(kept.data(), static_cast<int>(kept.size()), SDL_ADDEVENT, 0, 0);
}

// After WM_DESTROY and WM_NCDESTROY: the handle goes dead and its SDL window
// and everything queued for it go away.
void FinishDestroy(HWND window) {
  {
    std::lock_guard<std::mutex> lock(vt::StateMutex());
    window->destroyed = true;
  }
  vt::PurgeMessagesFor(window);
  if (focus == window) focus = nullptr;
  vt::ScreenWindowDestroyed(window);
  if (window->sdl != nullptr) SDL_DestroyWindow(window->sdl);
  window->sdl = nullptr;
}

bool ShowActivates(int showCommand) {
  switch (showCommand) {
    case SW_HIDE:
    case 4:  // SW_SHOWNOACTIVATE
    case 6:  // SW_MINIMIZE
    case 7:  // SW_SHOWMINNOACTIVE
    case 8:  // SW_SHOWNA
      return false;
    default:
      return true;
  }
}

}  // namespace

namespace vt {

std::mutex& StateMutex() {
  static std::mutex mutex;
  return mutex;
}

bool IsLiveWindowLocked(HWND window) {
  if (window == nullptr) return false;
  for (const auto& w : windows) {
    if (w.get() == window) return !w->destroyed;
  }
  return false;
}

HWND WindowFromSdlId(uint32_t sdlId) {
  if (sdlId == 0) return nullptr;
  std::lock_guard<std::mutex> lock(StateMutex());
  for (const auto& w : windows) {
    if (!w->destroyed && w->sdl != nullptr && SDL_GetWindowID(w->sdl) == sdlId) return w.get();
  }
  return nullptr;
}

std::vector<HWND> LiveWindows() {
  std::lock_guard<std::mutex> lock(StateMutex());
  std::vector<HWND> live;
  for (const auto& w : windows) {
    if (!w->destroyed) live.push_back(w.get());
  }
  return live;
}

HWND KeyTarget() {
  if (focus != nullptr && IsLive(focus)) return focus;
  return MainWindow();
}

void OnSdlFocus(HWND window, bool gained) {
  if (gained) {
    if (IsLive(window)) ChangeFocus(window);
    SetActive(true);
    return;
  }
  // Focus moving to a box or dialog of our own, or between our windows, keeps
  // the application active.
  if (ownModal > 0) return;
  SDL_Event pending[16];
  int count = SDL_PeepEvents(pending, 16, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
  for (int i = 0; i < count; ++i) {
    if (pending[i].window.event == SDL_WINDOWEVENT_FOCUS_GAINED &&
        WindowFromSdlId(pending[i].window.windowID))
      return;
  }
  SetActive(false);
}

void OnInjectedActivation(bool active) {
  if (active) {
    HWND main = MainWindow();
    if (main != nullptr && focus == nullptr) ChangeFocus(main);
  }
  // Stated by the test as another program taking over, so it counts even while
  // a box of ours is up.
  SetActive(active);
}

bool EnsureVideo() {
  if (noDisplay.load()) return false;
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
  // Closing the last window is the window's own business (WM_CLOSE), not a
  // reason for SDL to ask the whole program to quit.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  if (headless) SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  EnsureEvents();
  return true;
}

bool IsHeadless() { return headless; }

HWND CreateOwnWindow(DWORD style, const std::string& title, WNDPROC proc, SDL_Window* sdl) {
  auto owned = std::make_unique<HWND__>();
  HWND window = owned.get();
  window->sdl = sdl;
  window->proc = proc;
  window->title = title;
  window->style = style;
  window->threadId = GetCurrentThreadId();
  std::lock_guard<std::mutex> lock(StateMutex());
  windows.push_back(std::move(owned));
  return window;
}

void SetWindowIcon(SDL_Window* sdl, HICON icon) {
  const resource_script::IconImage* image = IconOfHandle(icon);
  if (sdl == nullptr || image == nullptr) return;
  SDL_Surface* surface = MakeIconSurface(*image);
  if (surface == nullptr) return;
  SDL_SetWindowIcon(sdl, surface);
  SDL_FreeSurface(surface);
}

SDL_Window* SdlWindow(HWND window) {
  std::lock_guard<std::mutex> lock(StateMutex());
  return IsLiveWindowLocked(window) ? window->sdl : nullptr;
}

HWND MainWindow() {
  // The first window the program made that is still there: the one that owns
  // the display, whatever box or dialog has the focus for the moment.
  std::lock_guard<std::mutex> lock(StateMutex());
  for (const auto& w : windows) {
    if (!w->destroyed && (w->style & WS_CHILD) == 0) return w.get();
  }
  return nullptr;
}

void BeginOwnModal() { ++ownModal; }

void EndOwnModal() {
  if (ownModal == 0) return;
  if (--ownModal > 0) return;
  AbsorbFocusLosses();
  HWND main = MainWindow();
  if (main == nullptr) return;
  if (main->sdl != nullptr && (SDL_GetWindowFlags(main->sdl) & SDL_WINDOW_SHOWN) != 0)
    SDL_RaiseWindow(main->sdl);
  ChangeFocus(main);
}

void WindowReset() {
  std::vector<std::unique_ptr<HWND__>> gone;
  {
    std::lock_guard<std::mutex> lock(StateMutex());
    gone.swap(windows);
  }
  for (auto& w : gone) {
    if (w->destroyed) continue;
    w->destroyed = true;
    ScreenWindowDestroyed(w.get());
    if (w->sdl != nullptr) SDL_DestroyWindow(w->sdl);
    w->sdl = nullptr;
  }
  classes.clear();
  nextAtom = 0xC000;
  focus = nullptr;
  activation = Activation::kNever;
  ownModal = 0;
  DialogsReset();
  HooksReset();
  MessagesReset();
  KeyboardReset();
  MessageBoxesReset();
  CursorReset();
}

}  // namespace vt

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA* wndClass) {
  if (wndClass == nullptr) return 0;
  return AddClass(wndClass->lpszClassName, wndClass->lpfnWndProc, wndClass->hIcon);
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wndClass) {
  if (wndClass == nullptr || wndClass->cbSize != sizeof(WNDCLASSEXA)) return 0;
  return AddClass(wndClass->lpszClassName, wndClass->lpfnWndProc, wndClass->hIcon);
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                            LPVOID param) {
  const WindowClass* windowClass = FindClass(className);
  if (windowClass == nullptr || !vt::EnsureVideo()) return nullptr;

  auto owned = std::make_unique<HWND__>();
  HWND window = owned.get();
  window->proc = windowClass->proc;
  window->className = windowClass->name;
  window->title = windowName != nullptr ? windowName : "";
  window->style = style;
  window->threadId = GetCurrentThreadId();

  int w = width == CW_USEDEFAULT || width <= 0 ? DEFAULT_WIDTH : width;
  int h = height == CW_USEDEFAULT || height <= 0 ? DEFAULT_HEIGHT : height;
  int left = x == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_CENTERED) : x;
  int top = y == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_CENTERED) : y;
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if ((style & WS_POPUP) != 0 || (style & WS_CAPTION) != WS_CAPTION) flags |= SDL_WINDOW_BORDERLESS;
  std::string title = vt::Cp949ToUtf8(window->title.data(), window->title.size());
  window->sdl = SDL_CreateWindow(title.c_str(), left, top, w, h, flags);
  if (window->sdl == nullptr) return nullptr;
  vt::SetWindowIcon(window->sdl, windowClass->icon);
  {
    std::lock_guard<std::mutex> lock(vt::StateMutex());
    windows.push_back(std::move(owned));
  }

  CREATESTRUCTA create = {};
  create.lpCreateParams = param;
  create.hInstance = instance;
  create.hMenu = menu;
  create.hwndParent = parent;
  create.cy = h;
  create.cx = w;
  create.y = y;
  create.x = x;
  create.style = static_cast<LONG>(style);
  create.lpszName = windowName;
  create.lpszClass = className;
  create.dwExStyle = exStyle;
  auto createParam = reinterpret_cast<LPARAM>(&create);
  if (Send(window, WM_NCCREATE, 0, createParam) == 0) {
    // It never got as far as WM_CREATE, so it hears of no WM_DESTROY either.
    window->destroying = true;
    Send(window, WM_NCDESTROY, 0, 0);
    FinishDestroy(window);
    return nullptr;
  }
  if (Send(window, WM_CREATE, 0, createParam) == -1) {
    DestroyWindow(window);
    return nullptr;
  }
  if (!IsLive(window)) return nullptr;  // destroyed during creation
  if ((style & WS_VISIBLE) != 0) ShowWindow(window, SW_SHOW);
  return window;
}

BOOL WINAPI ShowWindow(HWND window, int showCommand) {
  if (!IsLive(window)) return FALSE;
  bool wasVisible = window->sdl != nullptr && (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN) != 0;
  if (showCommand == SW_HIDE) {
    if (window->sdl != nullptr) SDL_HideWindow(window->sdl);
    if (focus == window) ChangeFocus(nullptr);
    return wasVisible ? TRUE : FALSE;
  }
  if (window->sdl != nullptr) SDL_ShowWindow(window->sdl);
  if (ShowActivates(showCommand)) {
    if (window->sdl != nullptr) SDL_RaiseWindow(window->sdl);
    ChangeFocus(window);
    // The first window shown activates the application at once, as on the
    // platform; later changes come from the windowing system.
    if (activation == Activation::kNever) SetActive(true);
  }
  return wasVisible ? TRUE : FALSE;
}

BOOL WINAPI UpdateWindow(HWND window) { return IsLive(window) ? TRUE : FALSE; }

BOOL WINAPI DestroyWindow(HWND window) {
  {
    std::lock_guard<std::mutex> lock(vt::StateMutex());
    // Also refuses a second destruction from inside WM_DESTROY.
    if (!vt::IsLiveWindowLocked(window) || window->destroying) return FALSE;
    window->destroying = true;
  }
  // The window is still a window while it hears of its end.
  Send(window, WM_DESTROY, 0, 0);
  Send(window, WM_NCDESTROY, 0, 0);
  FinishDestroy(window);
  return TRUE;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // A direct call: the program sends only on the window's own thread.
  return IsLive(window) ? Send(window, message, wParam, lParam) : 0;
}

BOOL WINAPI IsWindow(HWND window) { return IsLive(window) ? TRUE : FALSE; }

HWND WINAPI SetFocus(HWND window) {
  if (window != nullptr && !IsLive(window)) return nullptr;
  HWND previous = focus;
  if (window != nullptr && window->sdl != nullptr &&
      (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN) != 0) {
    SDL_RaiseWindow(window->sdl);
  }
  ChangeFocus(window);
  return previous;
}

HWND WINAPI GetFocus(void) { return focus != nullptr && IsLive(focus) ? focus : nullptr; }

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      return TRUE;  // creation goes on
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_SYSKEYDOWN:
      // Alt+F4 closes, as the platform's system menu does.
      if (wParam == VK_F4 && (lParam & (1 << 29)) != 0) PostMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    default:
      return 0;
  }
}

DWORD WINAPI GetWindowThreadProcessId(HWND window, LPDWORD processId) {
  std::lock_guard<std::mutex> lock(vt::StateMutex());
  if (!vt::IsLiveWindowLocked(window)) return 0;
  if (processId != nullptr) *processId = static_cast<DWORD>(getpid());
  return window->threadId;
}

}  // extern "C"

namespace platform_test {

void UseHeadless() {
  headless = true;
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
  SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
  // A video driver chosen before (a real display) is replaced while no
  // window depends on it.
  const char* driver = SDL_WasInit(SDL_INIT_VIDEO) != 0 ? SDL_GetCurrentVideoDriver() : nullptr;
  if (driver != nullptr && std::string(driver) != "offscreen" && vt::LiveWindows().empty()) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
}

void SetNoDisplay(bool value) { noDisplay.store(value); }

void ResetPlatform() {
  vt::AudioReset();
  vt::ScreenReset();
  vt::WindowReset();
  noDisplay.store(false);
}

void InjectAppActivation(bool active) {
  uint32_t type = vt::ActivationEventType();
  if (type == 0) return;
  SDL_Event event = {};
  event.type = type;
  event.user.code = active ? 1 : 0;
  SDL_PushEvent(&event);
}

}  // namespace platform_test
