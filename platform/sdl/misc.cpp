// Cursor, icons, stock objects, the module handle and small helpers.
#include "winstate.h"

namespace {

// Handles that are only ever compared, never looked into: addresses inside
// one static block, distinct per object.
char handleBlock[64];

constexpr int STOCK_OBJECT_COUNT = 20;

int cursorCount = 0;  // shown while zero or more, as the platform counts

void ApplyCursor() {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_ShowCursor(cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
}

bool IsResourceId(LPCSTR name) { return reinterpret_cast<uintptr_t>(name) < 0x10000; }

}  // namespace

namespace vt {

HICON SystemIcon(int id) {
  // The system's own icons, 32512 (application) to 32518; only compared.
  if (id < 32512 || id > 32518) return nullptr;
  return reinterpret_cast<HICON>(&handleBlock[1]);
}

void CursorReset() {
  cursorCount = 0;
  ApplyCursor();
}

}  // namespace vt

extern "C" {

int WINAPI ShowCursor(BOOL show) {
  cursorCount += show ? 1 : -1;
  ApplyCursor();
  return cursorCount;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR name) {
  // The system cursors, 32512 (arrow) to 32651 (help); the program has none.
  auto id = reinterpret_cast<uintptr_t>(name);
  if (!IsResourceId(name) || id < 32512 || id > 32651) return nullptr;
  return reinterpret_cast<HCURSOR>(&handleBlock[0]);
}

HGDIOBJ WINAPI GetStockObject(int object) {
  if (object < 0 || object >= STOCK_OBJECT_COUNT || object == 9) return nullptr;
  return &handleBlock[8 + object];
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
  if (moduleName != nullptr) return nullptr;
  return reinterpret_cast<HMODULE>(&handleBlock[40]);
}

BOOL WINAPI SetRect(LPRECT rect, int left, int top, int right, int bottom) {
  if (rect == nullptr) return FALSE;
  rect->left = left;
  rect->top = top;
  rect->right = right;
  rect->bottom = bottom;
  return TRUE;
}

}  // extern "C"
