// The program's resources on our platform. On Windows a resource script (.rc)
// is compiled into the executable and found by the instance handle; here the
// program links a source file that describes the same dialog templates and
// icons in these records and registers them before the entry point runs, and
// the platform finds them by their numbers.
#pragma once

#include <windows.h>

#include <cstdint>

namespace resource_script {

// One control of a dialog template, in dialog units. `windowClass` is
// "BUTTON" or "STATIC"; a static with SS_ICON names its icon in `iconId`.
struct DialogControl {
  int id;  // -1 for none
  const char* windowClass;
  const char* text;
  DWORD style;
  DWORD exStyle;
  short x, y, width, height;
  int iconId;
};

// An extended dialog template: the window's styles, its client size in
// dialog units, the font the units are measured in and the controls in tab
// order.
struct DialogTemplate {
  int id;
  WORD language;
  DWORD style;
  DWORD exStyle;
  short x, y, width, height;
  const char* caption;
  const char* fontName;
  int pointSize;
  const DialogControl* controls;
  int controlCount;
};

// An icon image: `width` x `height` pixels, each a character of `rows`
// looked up in `colors` (0xAARRGGBB; alpha 0 is transparent).
struct IconImage {
  int id;
  int width, height;
  const char* const* rows;
  const char* keys;        // the characters used in `rows`
  const uint32_t* colors;  // one colour per key
};

// Registration, from the program's static initialisers; a later entry with the
// same number replaces an earlier one. The records must outlive the program.
void RegisterDialog(const DialogTemplate& dialog);
void RegisterIcon(const IconImage& icon);

// Lookup by number (null when the program has no such resource).
const DialogTemplate* FindDialog(int id);
const IconImage* FindIcon(int id);
// The icon as 32-bit pixels (0xAARRGGBB), row by row; false when unknown.
bool IconPixels(const IconImage& icon, uint32_t* out);

}  // namespace resource_script
