// Temporary: the window side of the platform layer is being written.
#include "internal.h"
namespace vt {
bool EnsureVideo() { return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0; }
bool IsHeadless() { return false; }
SDL_Window* SdlWindow(HWND window) { return window ? window->sdl : nullptr; }
HWND MainWindow() { return nullptr; }
void WindowReset() {}
void BeginOwnModal() {}
void EndOwnModal() {}
std::string Cp949ToUtf8(const char* text, size_t length) { return std::string(text, length); }
}  // namespace vt
