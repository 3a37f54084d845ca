// The program's dialog templates and icons, registered by the program's own
// resource description before the entry point runs and found here by number.
#include <vantor/resource_script.h>

#include <cstring>
#include <vector>

#include "winstate.h"

namespace {

// Function-local so that registrations from other static initialisers find
// them ready whatever the order of initialisation.
std::vector<const resource_script::DialogTemplate*>& Dialogs() {
  static std::vector<const resource_script::DialogTemplate*> dialogs;
  return dialogs;
}

std::vector<const resource_script::IconImage*>& Icons() {
  static std::vector<const resource_script::IconImage*> icons;
  return icons;
}

}  // namespace

namespace resource_script {

void RegisterDialog(const DialogTemplate& dialog) {
  for (auto& known : Dialogs()) {
    if (known->id == dialog.id) {
      known = &dialog;
      return;
    }
  }
  Dialogs().push_back(&dialog);
}

void RegisterIcon(const IconImage& icon) {
  for (auto& known : Icons()) {
    if (known->id == icon.id) {
      known = &icon;
      return;
    }
  }
  Icons().push_back(&icon);
}

const DialogTemplate* FindDialog(int id) {
  for (const DialogTemplate* dialog : Dialogs())
    if (dialog->id == id) return dialog;
  return nullptr;
}

const IconImage* FindIcon(int id) {
  for (const IconImage* icon : Icons())
    if (icon->id == id) return icon;
  return nullptr;
}

bool IconPixels(const IconImage& icon, uint32_t* out) {
  if (icon.rows == nullptr || icon.keys == nullptr || icon.colors == nullptr || icon.width <= 0 ||
      icon.height <= 0)
    return false;
  size_t keyCount = std::strlen(icon.keys);
  for (int y = 0; y < icon.height; ++y) {
    const char* row = icon.rows[y];
    size_t length = row != nullptr ? std::strlen(row) : 0;
    for (int x = 0; x < icon.width; ++x) {
      // A short row or an unknown character is transparent.
      uint32_t color = 0;
      if (static_cast<size_t>(x) < length) {
        const void* key = std::memchr(icon.keys, row[x], keyCount);
        if (key != nullptr) color = icon.colors[static_cast<const char*>(key) - icon.keys];
      }
      out[y * icon.width + x] = color;
    }
  }
  return true;
}

}  // namespace resource_script

namespace vt {

const resource_script::IconImage* IconOfHandle(HICON handle) {
  for (const resource_script::IconImage* icon : Icons())
    if (reinterpret_cast<HICON>(const_cast<resource_script::IconImage*>(icon)) == handle) return icon;
  return nullptr;
}

SDL_Surface* MakeIconSurface(const resource_script::IconImage& icon) {
  std::vector<uint32_t> pixels(static_cast<size_t>(icon.width) * static_cast<size_t>(icon.height));
  if (!resource_script::IconPixels(icon, pixels.data())) return nullptr;
  SDL_Surface* surface =
      SDL_CreateRGBSurfaceWithFormat(0, icon.width, icon.height, 32, SDL_PIXELFORMAT_ARGB8888);
  if (surface == nullptr) return nullptr;
  for (int y = 0; y < icon.height; ++y)
    std::memcpy(static_cast<uint8_t*>(surface->pixels) + y * surface->pitch, pixels.data() + y * icon.width,
                static_cast<size_t>(icon.width) * 4);
  return surface;
}

}  // namespace vt

extern "C" HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
  auto id = reinterpret_cast<uintptr_t>(name);
  if (id >= 0x10000) return nullptr;  // icons by name: the program has none
  if (instance == nullptr) return vt::SystemIcon(static_cast<int>(id));
  const resource_script::IconImage* icon = resource_script::FindIcon(static_cast<int>(id));
  return icon != nullptr ? reinterpret_cast<HICON>(const_cast<resource_script::IconImage*>(icon)) : nullptr;
}
