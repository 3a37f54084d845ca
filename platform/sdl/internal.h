// Shared between the parts of our platform layer: the window and message side
// (window.cpp, messages.cpp, keyboard.cpp, msgbox.cpp, clock.cpp) and the
// display side (ddraw.cpp, screen.cpp, gdi.cpp). Not seen by the program.
#pragma once

#include <SDL.h>
#include <windows.h>

#include <string>

struct HWND__ {
  SDL_Window* sdl = nullptr;  // null when headless without a window
  WNDPROC proc = nullptr;
  std::string className;
  std::string title;
  DWORD style = 0;
  DWORD threadId = 0;
  bool destroyed = false;
  bool destroying = false;  // inside DestroyWindow
};

namespace vt {

// Brings up SDL's video subsystem once (with the driver the tests chose);
// false when there is no display at all.
bool EnsureVideo();
// True after platform_test::UseHeadless().
bool IsHeadless();
// The SDL window behind a window handle, or null.
SDL_Window* SdlWindow(HWND window);
// A window of the platform's own (a dialog or one of its controls), without a
// class; `sdl` may be null. Destroyed with DestroyWindow like any other.
HWND CreateOwnWindow(DWORD style, const std::string& title, WNDPROC proc, SDL_Window* sdl);
// Gives an SDL window the picture of a registered icon, if `icon` is one.
void SetWindowIcon(SDL_Window* sdl, HICON icon);
// The program's main window: the first of its windows still open, which
// takes the input focus back when our own boxes and dialogs close.
HWND MainWindow();

// Display side, called by the message pump: re-show the primary when it was
// drawn into since the screen was last updated, outside the frame loop.
void ScreenRefreshIfDirty();
// Display side: a window is going away; drop what refers to it.
void ScreenWindowDestroyed(HWND window);
// Display side: forget every DirectDraw object (platform_test::ResetPlatform).
void ScreenReset();
// Window side: forget every window, hook and queued message.
void WindowReset();

// A modal box or dialog of our own is up: focus changes it causes must not
// deactivate the application. Counted, so they nest.
void BeginOwnModal();
void EndOwnModal();

// Code page 949 text to UTF-8 (for SDL); invalid bytes become U+FFFD.
std::string Cp949ToUtf8(const char* text, size_t length);

}  // namespace vt

namespace vt {

// GNU Unifont glyphs embedded at build time, for code page 949 text (GDI text
// on surfaces, our own message boxes and dialogs). 16 rows of `width` pixels
// (8 or 16), each row width / 8 bytes, leftmost pixel in the highest bit.
struct UnifontGlyph {
  const uint8_t* bits;
  int width;
};
// The glyph of the character starting at text[*index], which is advanced past
// it (one byte below 0x80, two for a code page 949 pair). Unknown codes give a
// replacement glyph; a lead byte at the end of the text is taken alone.
UnifontGlyph NextCp949Glyph(const char* text, size_t length, size_t* index);

}  // namespace vt
