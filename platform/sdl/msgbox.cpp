// Message boxes: SDL's modal box with the code page 949 text in UTF-8, or the
// caption and text on standard error where there is no display.
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <vantor/platform_test.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>

#include "winstate.h"

namespace {

std::mutex boxesMutex;
std::vector<std::string> boxes;

const char REPLACEMENT[] = "\xEF\xBF\xBD";  // U+FFFD

bool IsAscii(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool LocaleIsUtf8(const char* name) {
  locale_t locale = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return false;
  bool utf8 = std::strcmp(nl_langinfo_l(CODESET, locale), "UTF-8") == 0;
  freelocale(locale);
  return utf8;
}

// SDL's X11 box takes its font set from the environment's locale; in a
// locale without UTF-8 it drops every non-ASCII character. For the time the
// box is up the environment names a UTF-8 locale instead.
class Utf8Environment {
 public:
  explicit Utf8Environment(bool needed) {
    if (!needed || LocaleIsUtf8("") || !LocaleIsUtf8("C.UTF-8")) return;
    const char* old = std::getenv("LC_ALL");
    if (old != nullptr) saved_ = old;
    changed_ = true;
    setenv("LC_ALL", "C.UTF-8", 1);
  }
  ~Utf8Environment() {
    if (!changed_) return;
    if (saved_) {
      setenv("LC_ALL", saved_->c_str(), 1);
    } else {
      unsetenv("LC_ALL");
    }
  }
  Utf8Environment(const Utf8Environment&) = delete;
  Utf8Environment& operator=(const Utf8Environment&) = delete;

 private:
  bool changed_ = false;
  std::optional<std::string> saved_;
};

bool ShowSdlBox(HWND owner, const std::string& caption, const std::string& text, UINT type, int* result) {
  SDL_MessageBoxButtonData buttons[2] = {};
  int count = 1;
  buttons[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK,
                "OK"};
  if ((type & 0x0F) == MB_OKCANCEL) {
    buttons[0].flags = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    buttons[1] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDCANCEL, "Cancel"};
    count = 2;
  }
  Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
  switch (type & 0xF0) {
    case MB_ICONERROR:
      flags = SDL_MESSAGEBOX_ERROR;
      break;
    case MB_ICONEXCLAMATION:
      flags = SDL_MESSAGEBOX_WARNING;
      break;
    default:
      break;
  }
  SDL_MessageBoxData data = {};
  data.flags = flags;
  data.window = vt::SdlWindow(owner);
  data.title = caption.c_str();
  data.message = text.c_str();
  data.numbuttons = count;
  data.buttons = buttons;
  int pressed = -1;
  Utf8Environment environment(!IsAscii(caption) || !IsAscii(text));
  if (SDL_ShowMessageBox(&data, &pressed) != 0) return false;
  // Closing the box without a button is the platform's Cancel, or OK when
  // that is the only button.
  *result = pressed == IDOK || pressed == IDCANCEL ? pressed : (count == 2 ? IDCANCEL : IDOK);
  return true;
}

}  // namespace

namespace vt {

std::string Cp949ToUtf8(const char* text, size_t length) {
  std::string out;
  if (text == nullptr || length == 0) return out;
  iconv_t converter = iconv_open("UTF-8", "CP949");
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    // No converter on this system: ASCII stays readable, the rest is marked.
    for (size_t i = 0; i < length; ++i) {
      auto c = static_cast<unsigned char>(text[i]);
      if (c < 0x80) {
        out += static_cast<char>(c);
      } else {
        out += REPLACEMENT;
      }
    }
    return out;
  }
  auto* in = const_cast<char*>(text);
  size_t inLeft = length;
  char buffer[256];
  while (inLeft > 0) {
    char* outPointer = buffer;
    size_t outLeft = sizeof buffer;
    size_t done = iconv(converter, &in, &inLeft, &outPointer, &outLeft);
    out.append(buffer, static_cast<size_t>(outPointer - buffer));
    if (done != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // An invalid or cut-off sequence: one replacement for its first byte,
    // then go on with the next byte.
    out += REPLACEMENT;
    ++in;
    --inLeft;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(converter);
  return out;
}

void MessageBoxesReset() {
  std::lock_guard<std::mutex> lock(boxesMutex);
  boxes.clear();
}

}  // namespace vt

extern "C" int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  std::string body = text != nullptr ? vt::Cp949ToUtf8(text, std::strlen(text)) : std::string();
  // The platform's caption when none is given.
  std::string title =
      caption != nullptr ? vt::Cp949ToUtf8(caption, std::strlen(caption)) : std::string("Error");
  {
    std::lock_guard<std::mutex> lock(boxesMutex);
    boxes.push_back(title + "|" + body);
  }
  int result = IDOK;
  bool shown = false;
  if (!vt::IsHeadless() && vt::EnsureVideo()) {
    vt::BeginOwnModal();
    shown = ShowSdlBox(owner, title, body, type, &result);
    vt::EndOwnModal();
  }
  if (!shown) {
    std::fprintf(stderr, "[%s] %s\n", title.c_str(), body.c_str());
    std::fflush(stderr);
    result = IDOK;
  }
  return result;
}

namespace platform_test {

std::vector<std::string> TakeMessageBoxes() {
  std::lock_guard<std::mutex> lock(boxesMutex);
  std::vector<std::string> taken;
  taken.swap(boxes);
  return taken;
}

}  // namespace platform_test
