// Temporary: the display side of the platform layer is being written.
#include "internal.h"
namespace vt {
void ScreenRefreshIfDirty() {}
void ScreenWindowDestroyed(HWND) {}
void ScreenReset() {}
UnifontGlyph NextCp949Glyph(const char*, size_t length, size_t* index) {
  static const uint8_t blank[16] = {};
  *index = length;
  return {blank, 8};
}
}  // namespace vt
