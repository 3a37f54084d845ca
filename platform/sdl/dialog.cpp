// Modal dialogs from the program's templates: the controls a dialog of its
// time offers (push buttons, a default button, static text, group boxes, auto
// radio buttons, auto check boxes, an icon), their keyboard and mouse
// handling, and their picture, drawn into memory in the classic grey 3D look
// with the System font (our embedded Unifont glyphs) and shown in an SDL
// window of its own, centred and scaled by a whole factor to suit the screen.
//
// Dialog units are measured in the System font's character cell, 8 x 16:
// one horizontal unit is 2 pixels, one vertical unit 2 pixels. Latin text is
// set proportionally (each glyph as wide as its ink plus a column), as the
// System font was, so the texts fit the controls they were written for.
#include <vantor/platform_test.h>
#include <vantor/resource_script.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "winstate.h"

namespace {

using resource_script::DialogControl;
using resource_script::DialogTemplate;
using resource_script::IconImage;

constexpr uint32_t FACE = 0xFFC0C0C0;
constexpr uint32_t LIGHT = 0xFFDFDFDF;
constexpr uint32_t HIGHLIGHT = 0xFFFFFFFF;
constexpr uint32_t SHADOW = 0xFF808080;
constexpr uint32_t DARK = 0xFF000000;
constexpr uint32_t INK = 0xFF000000;
constexpr uint32_t BOX = 0xFFFFFFFF;
constexpr uint32_t CAPTION_LEFT = 0xFF000080;
constexpr uint32_t CAPTION_RIGHT = 0xFF1084D0;

constexpr int BASE_X = 8;  // the System font's cell
constexpr int BASE_Y = 16;
constexpr int GLYPH_HEIGHT = 16;
constexpr int FRAME = 3;     // modal frame
constexpr int CAPTION = 18;  // caption bar, one face line below it
constexpr int SPACE_WIDTH = 4;
constexpr int CLOSE_BOX_WIDTH = 16;
constexpr int CLOSE_BOX_HEIGHT = 14;

enum class Kind { kPush, kCheck, kRadio, kGroup, kText, kIcon };

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  bool Contains(int px, int py) const { return px >= x && py >= y && px < x + width && py < y + height; }
};

struct Control {
  HWND window = nullptr;
  int id = 0;
  Kind kind = Kind::kText;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string text;
  Rect rect;  // in client pixels
  const IconImage* icon = nullptr;
  bool checked = false;
  bool pushed = false;
};

constexpr int CAPTURE_NONE = -1;
constexpr int CAPTURE_CLOSE = -2;
constexpr int CAPTURE_CAPTION = -3;

struct Dialog {
  HWND window = nullptr;
  HWND owner = nullptr;
  DLGPROC proc = nullptr;
  const DialogTemplate* resource = nullptr;
  std::vector<Control> controls;
  int focused = -1;  // control that has (or gets back) the keyboard focus
  bool ended = false;
  INT_PTR result = 0;

  int scale = 1;
  int width = 0, height = 0;  // the window, unscaled
  Rect client;                // within the window
  Rect closeBox;              // within the window; empty without a system menu
  bool caption = false;
  std::vector<uint32_t> picture;
  bool dirty = true;

  int capture = CAPTURE_NONE;
  bool closePushed = false;
  bool spacePushed = false;
  int dragX = 0, dragY = 0;  // pointer on the screen minus window position
};

std::vector<Dialog*> running;  // innermost last
std::function<void(HWND, int)> onIdle;

Dialog* DialogOf(HWND window) {
  for (Dialog* dialog : running)
    if (dialog->window == window) return dialog;
  return nullptr;
}

// The dialog and index of a control window.
Dialog* DialogOfControl(HWND window, int* index) {
  for (Dialog* dialog : running) {
    for (size_t i = 0; i < dialog->controls.size(); ++i) {
      if (dialog->controls[i].window == window) {
        *index = static_cast<int>(i);
        return dialog;
      }
    }
  }
  return nullptr;
}

Control* ControlById(Dialog& dialog, int id) {
  for (Control& control : dialog.controls)
    if (control.id == id) return &control;
  return nullptr;
}

bool IsButton(const Control& control) {
  return control.kind == Kind::kPush || control.kind == Kind::kCheck || control.kind == Kind::kRadio;
}

Kind KindOf(const DialogControl& control) {
  std::string name = control.windowClass != nullptr ? control.windowClass : "";
  for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  if (name == "BUTTON") {
    switch (control.style & BS_TYPEMASK) {
      case BS_GROUPBOX:
        return Kind::kGroup;
      case BS_CHECKBOX:
      case BS_AUTOCHECKBOX:
        return Kind::kCheck;
      case BS_RADIOBUTTON:
      case BS_AUTORADIOBUTTON:
        return Kind::kRadio;
      default:
        return Kind::kPush;
    }
  }
  if ((control.style & SS_TYPEMASK) == SS_ICON) return Kind::kIcon;
  return Kind::kText;
}

// ------------------------------------------------------------------ text

struct Glyph {
  vt::UnifontGlyph glyph;
  int first;    // first column drawn
  int advance;  // columns taken
};

bool Ink(const vt::UnifontGlyph& glyph, int row, int column) {
  int bytesPerRow = glyph.width / 8;
  return (glyph.bits[row * bytesPerRow + column / 8] & (0x80 >> (column % 8))) != 0;
}

// Half-width glyphs shrink to their ink and one column of spacing; full-width
// glyphs (Hangul) keep their cell.
Glyph Measure(const vt::UnifontGlyph& glyph) {
  if (glyph.width != 8) return {glyph, 0, glyph.width};
  int left = glyph.width, right = -1;
  for (int row = 0; row < GLYPH_HEIGHT; ++row) {
    for (int column = 0; column < glyph.width; ++column) {
      if (Ink(glyph, row, column)) {
        left = std::min(left, column);
        right = std::max(right, column);
      }
    }
  }
  if (right < 0) return {glyph, 0, SPACE_WIDTH};
  return {glyph, left, right - left + 2};
}

int TextWidth(const std::string& text) {
  int width = 0;
  size_t index = 0;
  while (index < text.size()) width += Measure(vt::NextCp949Glyph(text.data(), text.size(), &index)).advance;
  return width;
}

// ------------------------------------------------------------------ drawing

class Canvas {
 public:
  Canvas(std::vector<uint32_t>& pixels, int width, int height)
      : pixels_(pixels), width_(width), height_(height) {}

  // Drawing is moved by the origin and clipped to `clip`, both given in the
  // same coordinates as the drawing.
  void SetOrigin(int x, int y) { originX_ = x, originY_ = y; }
  void SetClip(const Rect& clip) { clip_ = {clip.x + originX_, clip.y + originY_, clip.width, clip.height}; }
  void ClearClip() { clip_ = {0, 0, width_, height_}; }

  void Pixel(int x, int y, uint32_t color) {
    x += originX_, y += originY_;
    if (!clip_.Contains(x, y) || x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = color;
  }
  void Fill(const Rect& r, uint32_t color) {
    for (int y = r.y; y < r.y + r.height; ++y)
      for (int x = r.x; x < r.x + r.width; ++x) Pixel(x, y, color);
  }
  void HLine(int x, int y, int length, uint32_t color) {
    for (int i = 0; i < length; ++i) Pixel(x + i, y, color);
  }
  void VLine(int x, int y, int length, uint32_t color) {
    for (int i = 0; i < length; ++i) Pixel(x, y + i, color);
  }
  // One ring of a 3D edge: top and left in one colour, bottom and right in
  // the other.
  void Edge(const Rect& r, uint32_t topLeft, uint32_t bottomRight) {
    HLine(r.x, r.y, r.width - 1, topLeft);
    VLine(r.x, r.y, r.height - 1, topLeft);
    HLine(r.x, r.y + r.height - 1, r.width, bottomRight);
    VLine(r.x + r.width - 1, r.y, r.height, bottomRight);
  }
  void Frame(const Rect& r, uint32_t color) { Edge(r, color, color); }
  // The focus rectangle: every other pixel of the outline.
  void Dotted(const Rect& r) {
    for (int x = r.x; x < r.x + r.width; ++x) {
      if ((x - r.x) % 2 == 0) Pixel(x, r.y, INK);
      if ((x - r.x + r.height - 1) % 2 == 0) Pixel(x, r.y + r.height - 1, INK);
    }
    for (int y = r.y; y < r.y + r.height; ++y) {
      if ((y - r.y) % 2 == 0) Pixel(r.x, y, INK);
      if ((y - r.y + r.width - 1) % 2 == 0) Pixel(r.x + r.width - 1, y, INK);
    }
  }
  void Text(int x, int y, const std::string& text, uint32_t color) {
    size_t index = 0;
    while (index < text.size()) {
      Glyph g = Measure(vt::NextCp949Glyph(text.data(), text.size(), &index));
      for (int row = 0; row < GLYPH_HEIGHT; ++row)
        for (int column = g.first; column < g.glyph.width; ++column)
          if (Ink(g.glyph, row, column)) Pixel(x + column - g.first, y + row, color);
      x += g.advance;
    }
  }

 private:
  std::vector<uint32_t>& pixels_;
  int width_, height_;
  int originX_ = 0, originY_ = 0;
  Rect clip_{0, 0, width_, height_};
};

Rect Inset(const Rect& r, int by) { return {r.x + by, r.y + by, r.width - 2 * by, r.height - 2 * by}; }

// A sunken edge two pixels wide, as around a client area.
void SunkenEdge(Canvas& canvas, const Rect& r) {
  canvas.Edge(r, SHADOW, HIGHLIGHT);
  canvas.Edge(Inset(r, 1), DARK, LIGHT);
}

void RaisedEdge(Canvas& canvas, const Rect& r) {
  canvas.Edge(r, LIGHT, DARK);
  canvas.Edge(Inset(r, 1), HIGHLIGHT, SHADOW);
}

// The push button that Enter presses and that shows the heavy border: the
// focused push button, else the template's default button.
int DefaultButton(const Dialog& dialog) {
  if (dialog.focused >= 0 && dialog.controls[static_cast<size_t>(dialog.focused)].kind == Kind::kPush)
    return dialog.focused;
  for (size_t i = 0; i < dialog.controls.size(); ++i) {
    const Control& control = dialog.controls[i];
    if (control.kind == Kind::kPush && (control.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
      return static_cast<int>(i);
  }
  return -1;
}

void DrawPush(Canvas& canvas, const Dialog& dialog, const Control& control, int index) {
  Rect r = control.rect;
  // Static and client edges around the button itself.
  if (control.exStyle & WS_EX_STATICEDGE) {
    canvas.Edge(r, SHADOW, HIGHLIGHT);
    r = Inset(r, 1);
  }
  if (control.exStyle & WS_EX_CLIENTEDGE) {
    SunkenEdge(canvas, r);
    r = Inset(r, 2);
  }
  Rect face = r;
  bool isDefault = DefaultButton(dialog) == index;
  if (isDefault) {
    canvas.Frame(face, DARK);
    face = Inset(face, 1);
  }
  if (control.pushed) {
    canvas.Frame(face, SHADOW);
    canvas.Fill(Inset(face, 1), FACE);
  } else {
    canvas.Edge(face, HIGHLIGHT, DARK);
    canvas.Edge(Inset(face, 1), LIGHT, SHADOW);
    canvas.Fill(Inset(face, 2), FACE);
  }
  int shift = control.pushed ? 1 : 0;
  int textX = face.x + (face.width - TextWidth(control.text)) / 2 + shift;
  int textY = face.y + (face.height - GLYPH_HEIGHT) / 2 + shift;
  canvas.SetClip(Inset(face, 2));
  canvas.Text(textX, textY, control.text, INK);
  canvas.ClearClip();
  if (dialog.focused == index) canvas.Dotted(Inset(face, 3));
}

// 12 x 12: o outer ring, i inner ring, w inside.
constexpr const char* RADIO[12] = {
    "....oooo....", "..ooiiiioo..", ".oiiwwwwiio.", ".oiwwwwwwio.", "oiwwwwwwwwio", "oiwwwwwwwwio",
    "oiwwwwwwwwio", "oiwwwwwwwwio", ".oiwwwwwwio.", ".oiiwwwwiio.", "..ooiiiioo..", "....oooo....",
};
constexpr const char* RADIO_DOT[4] = {".xx.", "xxxx", "xxxx", ".xx."};
constexpr const char* CHECK_MARK[7] = {
    "......x", ".....xx", "x...xxx", "xx.xxx.", "xxxxx..", ".xxx...", "..x....",
};

void DrawMark(Canvas& canvas, int x, int y, const char* const* rows, int count) {
  for (int row = 0; row < count; ++row)
    for (int column = 0; rows[row][column] != '\0'; ++column)
      if (rows[row][column] == 'x') canvas.Pixel(x + column, y + row, INK);
}

void DrawCheckOrRadio(Canvas& canvas, const Dialog& dialog, const Control& control, int index) {
  const Rect& r = control.rect;
  int boxSize = control.kind == Kind::kRadio ? 12 : 13;
  int boxY = r.y + (r.height - boxSize) / 2;
  if (control.kind == Kind::kRadio) {
    for (int row = 0; row < 12; ++row) {
      for (int column = 0; column < 12; ++column) {
        char c = RADIO[row][column];
        bool upperLeft = row + column < 11;
        uint32_t color = c == 'o'   ? (upperLeft ? SHADOW : HIGHLIGHT)
                         : c == 'i' ? (upperLeft ? DARK : LIGHT)
                         : c == 'w' ? (control.pushed ? FACE : BOX)
                                    : 0;
        if (color != 0) canvas.Pixel(r.x + column, boxY + row, color);
      }
    }
    if (control.checked) DrawMark(canvas, r.x + 4, boxY + 4, RADIO_DOT, 4);
  } else {
    Rect box{r.x, boxY, boxSize, boxSize};
    SunkenEdge(canvas, box);
    canvas.Fill(Inset(box, 2), control.pushed ? FACE : BOX);
    if (control.checked) DrawMark(canvas, box.x + 3, box.y + 3, CHECK_MARK, 7);
  }
  int textX = r.x + boxSize + 4;
  int textY = r.y + (r.height - GLYPH_HEIGHT) / 2;
  canvas.SetClip(r);
  canvas.Text(textX, textY, control.text, INK);
  if (dialog.focused == index) {
    int textWidth = std::min(TextWidth(control.text), r.x + r.width - textX);
    canvas.Dotted({textX - 2, std::max(r.y, textY - 1), textWidth + 4, std::min(r.height, GLYPH_HEIGHT + 2)});
  }
  canvas.ClearClip();
}

void DrawGroup(Canvas& canvas, const Control& control) {
  const Rect& r = control.rect;
  Rect line{r.x, r.y + GLYPH_HEIGHT / 2, r.width - 1, r.height - GLYPH_HEIGHT / 2 - 1};
  canvas.Frame(line, SHADOW);
  canvas.Frame({line.x + 1, line.y + 1, line.width, line.height}, HIGHLIGHT);
  if (control.text.empty()) return;
  int textX = r.x + 8;
  int textWidth = std::min(TextWidth(control.text), r.width - 16);
  canvas.Fill({textX - 2, r.y, textWidth + 4, GLYPH_HEIGHT}, FACE);
  canvas.SetClip({textX, r.y, textWidth, GLYPH_HEIGHT});
  canvas.Text(textX, r.y, control.text, INK);
  canvas.ClearClip();
}

// Static text, centred or left, broken into lines at blanks where it is too
// wide for its control.
void DrawText(Canvas& canvas, const Control& control) {
  const Rect& r = control.rect;
  std::vector<std::string> lines;
  std::string line, word;
  auto flushWord = [&] {
    std::string joined = line.empty() ? word : line + " " + word;
    if (!line.empty() && TextWidth(joined) > r.width) {
      lines.push_back(line);
      line = word;
    } else {
      line = joined;
    }
    word.clear();
  };
  for (char c : control.text) {
    if (c == ' ') {
      flushWord();
    } else {
      word += c;
    }
  }
  flushWord();
  lines.push_back(line);
  canvas.SetClip(r);
  DWORD align = control.style & SS_TYPEMASK;
  for (size_t i = 0; i < lines.size(); ++i) {
    int width = TextWidth(lines[i]);
    int x = align == SS_CENTER  ? r.x + (r.width - width) / 2
            : align == SS_RIGHT ? r.x + r.width - width
                                : r.x;
    canvas.Text(x, r.y + static_cast<int>(i) * GLYPH_HEIGHT, lines[i], INK);
  }
  canvas.ClearClip();
}

void DrawIcon(Canvas& canvas, const Control& control) {
  if (control.icon == nullptr) return;
  std::vector<uint32_t> pixels(static_cast<size_t>(control.icon->width) *
                               static_cast<size_t>(control.icon->height));
  if (!resource_script::IconPixels(*control.icon, pixels.data())) return;
  for (int y = 0; y < control.icon->height; ++y) {
    for (int x = 0; x < control.icon->width; ++x) {
      uint32_t color = pixels[static_cast<size_t>(y * control.icon->width + x)];
      if ((color >> 24) != 0) canvas.Pixel(control.rect.x + x, control.rect.y + y, color | 0xFF000000u);
    }
  }
}

void DrawCaption(Canvas& canvas, const Dialog& dialog) {
  Rect bar{FRAME, FRAME, dialog.width - 2 * FRAME, CAPTION};
  auto channel = [](uint32_t color, int shift) { return static_cast<int>((color >> shift) & 0xFF); };
  for (int x = 0; x < bar.width; ++x) {
    uint32_t color = 0xFF000000u;
    for (int shift : {16, 8, 0}) {
      int from = channel(CAPTION_LEFT, shift), to = channel(CAPTION_RIGHT, shift);
      int value = from + (to - from) * x / std::max(1, bar.width - 1);
      color |= static_cast<uint32_t>(value) << shift;
    }
    canvas.VLine(bar.x + x, bar.y, bar.height, color);
  }
  std::string title = dialog.resource->caption != nullptr ? dialog.resource->caption : "";
  canvas.SetClip(
      {bar.x, bar.y, dialog.closeBox.width > 0 ? dialog.closeBox.x - bar.x : bar.width, bar.height});
  canvas.Text(bar.x + 3, bar.y + (bar.height - GLYPH_HEIGHT) / 2, title, HIGHLIGHT);
  canvas.ClearClip();
  if (dialog.closeBox.width == 0) return;
  const Rect& box = dialog.closeBox;
  if (dialog.closePushed) {
    canvas.Edge(box, DARK, HIGHLIGHT);
    canvas.Edge(Inset(box, 1), SHADOW, LIGHT);
  } else {
    canvas.Edge(box, HIGHLIGHT, DARK);
    canvas.Edge(Inset(box, 1), LIGHT, SHADOW);
  }
  canvas.Fill(Inset(box, 2), FACE);
  // The cross, two pixels thick.
  int shift = dialog.closePushed ? 1 : 0;
  int left = box.x + 4 + shift, top = box.y + 3 + shift;
  for (int i = 0; i < 7; ++i) {
    canvas.Pixel(left + i, top + i, INK);
    canvas.Pixel(left + i + 1, top + i, INK);
    canvas.Pixel(left + 6 - i, top + i, INK);
    canvas.Pixel(left + 7 - i, top + i, INK);
  }
}

void Render(Dialog& dialog) {
  dialog.picture.assign(static_cast<size_t>(dialog.width) * static_cast<size_t>(dialog.height), FACE);
  Canvas canvas(dialog.picture, dialog.width, dialog.height);
  RaisedEdge(canvas, {0, 0, dialog.width, dialog.height});
  if (dialog.caption) DrawCaption(canvas, dialog);
  if (dialog.resource->exStyle & WS_EX_CLIENTEDGE) {
    SunkenEdge(canvas, Inset(dialog.client, -2));
  }
  canvas.SetOrigin(dialog.client.x, dialog.client.y);
  for (size_t i = 0; i < dialog.controls.size(); ++i) {
    const Control& control = dialog.controls[i];
    int index = static_cast<int>(i);
    switch (control.kind) {
      case Kind::kPush:
        DrawPush(canvas, dialog, control, index);
        break;
      case Kind::kCheck:
      case Kind::kRadio:
        DrawCheckOrRadio(canvas, dialog, control, index);
        break;
      case Kind::kGroup:
        DrawGroup(canvas, control);
        break;
      case Kind::kText:
        DrawText(canvas, control);
        break;
      case Kind::kIcon:
        DrawIcon(canvas, control);
        break;
    }
  }
  dialog.dirty = false;
}

// The picture, enlarged by the dialog's scale, into its window.
void Present(Dialog& dialog) {
  SDL_Window* window = vt::SdlWindow(dialog.window);
  if (window == nullptr) return;
  SDL_Surface* target = SDL_GetWindowSurface(window);
  if (target == nullptr) return;
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(dialog.picture.data(), dialog.width, dialog.height,
                                                           32, dialog.width * 4, SDL_PIXELFORMAT_ARGB8888);
  if (source == nullptr) return;
  SDL_Rect to{0, 0, dialog.width * dialog.scale, dialog.height * dialog.scale};
  SDL_BlitScaled(source, nullptr, target, &to);
  SDL_FreeSurface(source);
  SDL_UpdateWindowSurface(window);
}

void Refresh(Dialog& dialog) {
  if (!dialog.dirty) return;
  Render(dialog);
  Present(dialog);
}

// ------------------------------------------------------------------ behaviour

LRESULT CallProc(Dialog& dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return dialog.proc != nullptr ? dialog.proc(dialog.window, message, wParam, lParam) : 0;
}

void Command(Dialog& dialog, int id, HWND control) {
  CallProc(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

void Cancel(Dialog& dialog) {
  Control* control = ControlById(dialog, IDCANCEL);
  Command(dialog, IDCANCEL, control != nullptr ? control->window : nullptr);
}

// The WS_GROUP range a control belongs to: from the nearest control at or
// before it that starts a group, up to the next one that does.
void GroupOf(const Dialog& dialog, int index, int* first, int* last) {
  int count = static_cast<int>(dialog.controls.size());
  int start = index;
  while (start > 0 && (dialog.controls[static_cast<size_t>(start)].style & WS_GROUP) == 0) --start;
  int end = index + 1;
  while (end < count && (dialog.controls[static_cast<size_t>(end)].style & WS_GROUP) == 0) ++end;
  *first = start;
  *last = end - 1;
}

// A button's click: an auto check box flips its mark, an auto radio button
// checks itself and clears the others of its group; then the dialog hears of
// it.
void Click(Dialog& dialog, int index) {
  Control& control = dialog.controls[static_cast<size_t>(index)];
  DWORD type = control.style & BS_TYPEMASK;
  if (control.kind == Kind::kCheck && type == BS_AUTOCHECKBOX) control.checked = !control.checked;
  if (control.kind == Kind::kRadio && type == BS_AUTORADIOBUTTON) {
    int first = 0, last = 0;
    GroupOf(dialog, index, &first, &last);
    for (int i = first; i <= last; ++i) {
      Control& other = dialog.controls[static_cast<size_t>(i)];
      if (other.kind == Kind::kRadio) other.checked = i == index;
    }
  }
  dialog.dirty = true;
  Command(dialog, control.id, control.window);
}

void Focus(Dialog& dialog, int index) {
  if (index < 0) return;
  SetFocus(dialog.controls[static_cast<size_t>(index)].window);
}

// Tabbing into a group of radio buttons lands on the checked one.
int TabTarget(const Dialog& dialog, int index) {
  if (dialog.controls[static_cast<size_t>(index)].kind != Kind::kRadio) return index;
  int first = 0, last = 0;
  GroupOf(dialog, index, &first, &last);
  for (int i = first; i <= last; ++i) {
    const Control& control = dialog.controls[static_cast<size_t>(i)];
    if (control.kind == Kind::kRadio && control.checked) return i;
  }
  return index;
}

void MoveTab(Dialog& dialog, bool backwards) {
  int count = static_cast<int>(dialog.controls.size());
  if (count == 0) return;
  int from = dialog.focused >= 0 ? dialog.focused : (backwards ? 0 : count - 1);
  // Past the whole group the focus is in, so that Tab leaves a radio group.
  int first = from, last = from;
  if (dialog.focused >= 0) GroupOf(dialog, from, &first, &last);
  for (int step = 1; step <= count; ++step) {
    int i = ((backwards ? from - step : from + step) % count + count) % count;
    const Control& control = dialog.controls[static_cast<size_t>(i)];
    if (!IsButton(control) || (control.style & WS_TABSTOP) == 0) continue;
    if (dialog.focused >= 0 && i >= first && i <= last && control.kind == Kind::kRadio &&
        dialog.controls[static_cast<size_t>(from)].kind == Kind::kRadio)
      continue;
    Focus(dialog, TabTarget(dialog, i));
    return;
  }
}

// Arrow keys walk the buttons of the focus's group, round; an auto radio
// button reached this way is chosen.
void MoveInGroup(Dialog& dialog, bool backwards) {
  if (dialog.focused < 0) return;
  int first = 0, last = 0;
  GroupOf(dialog, dialog.focused, &first, &last);
  int size = last - first + 1;
  for (int step = 1; step < size; ++step) {
    int offset = dialog.focused - first + (backwards ? -step : step);
    int i = first + (offset % size + size) % size;
    const Control& control = dialog.controls[static_cast<size_t>(i)];
    if (!IsButton(control)) continue;
    Focus(dialog, i);
    if (control.kind == Kind::kRadio && (control.style & BS_TYPEMASK) == BS_AUTORADIOBUTTON &&
        !control.checked)
      Click(dialog, i);
    return;
  }
}

void EndSpace(Dialog& dialog) {
  if (!dialog.spacePushed) return;
  dialog.spacePushed = false;
  if (dialog.focused >= 0) dialog.controls[static_cast<size_t>(dialog.focused)].pushed = false;
  dialog.dirty = true;
}

bool HandleKey(Dialog& dialog, const MSG& msg) {
  int key = static_cast<int>(msg.wParam);
  bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
  if (msg.message == WM_SYSKEYDOWN) {
    if (key == VK_F4) Cancel(dialog);
    return true;
  }
  if (!down) {
    if (key == VK_SPACE && dialog.spacePushed) {
      int index = dialog.focused;
      EndSpace(dialog);
      if (index >= 0) Click(dialog, index);
    }
    return true;
  }
  bool repeat = (static_cast<uint32_t>(msg.lParam) & (1u << 30)) != 0;
  switch (key) {
    case VK_TAB:
      EndSpace(dialog);
      MoveTab(dialog, vt::IsKeyStateDown(VK_SHIFT));
      break;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
      EndSpace(dialog);
      MoveInGroup(dialog, key == VK_LEFT || key == VK_UP);
      break;
    case VK_RETURN: {
      int index = DefaultButton(dialog);
      if (index >= 0) {
        Command(dialog, dialog.controls[static_cast<size_t>(index)].id,
                dialog.controls[static_cast<size_t>(index)].window);
      } else {
        Command(dialog, IDOK, nullptr);
      }
      break;
    }
    case VK_ESCAPE:
      Cancel(dialog);
      break;
    case VK_SPACE:
      if (!repeat && dialog.focused >= 0 && IsButton(dialog.controls[static_cast<size_t>(dialog.focused)])) {
        dialog.spacePushed = true;
        dialog.controls[static_cast<size_t>(dialog.focused)].pushed = true;
        dialog.dirty = true;
      }
      break;
    default:
      break;
  }
  return true;
}

int HitControl(const Dialog& dialog, int x, int y) {
  for (size_t i = 0; i < dialog.controls.size(); ++i) {
    const Control& control = dialog.controls[i];
    // Group boxes, text and icons let the pointer through.
    if (IsButton(control) && control.rect.Contains(x - dialog.client.x, y - dialog.client.y))
      return static_cast<int>(i);
  }
  return -1;
}

void HandleMouse(Dialog& dialog, const MSG& msg) {
  int x = static_cast<int16_t>(LOWORD(msg.lParam)) / dialog.scale;
  int y = static_cast<int16_t>(HIWORD(msg.lParam)) / dialog.scale;
  switch (msg.message) {
    case WM_LBUTTONDOWN: {
      if (dialog.closeBox.Contains(x, y)) {
        dialog.capture = CAPTURE_CLOSE;
        dialog.closePushed = true;
      } else if (dialog.caption && y >= FRAME && y < FRAME + CAPTION) {
        dialog.capture = CAPTURE_CAPTION;
        SDL_Window* window = vt::SdlWindow(dialog.window);
        if (window != nullptr) {
          int windowX = 0, windowY = 0, pointerX = 0, pointerY = 0;
          SDL_GetWindowPosition(window, &windowX, &windowY);
          SDL_GetGlobalMouseState(&pointerX, &pointerY);
          dialog.dragX = pointerX - windowX;
          dialog.dragY = pointerY - windowY;
        }
      } else {
        int index = HitControl(dialog, x, y);
        if (index < 0) break;
        EndSpace(dialog);
        Focus(dialog, index);
        dialog.capture = index;
        dialog.controls[static_cast<size_t>(index)].pushed = true;
      }
      dialog.dirty = true;
      break;
    }
    case WM_MOUSEMOVE:
      if (dialog.capture == CAPTURE_NONE) break;
      if (dialog.capture == CAPTURE_CLOSE) {
        dialog.closePushed = dialog.closeBox.Contains(x, y);
      } else if (dialog.capture == CAPTURE_CAPTION) {
        SDL_Window* window = vt::SdlWindow(dialog.window);
        if (window != nullptr) {
          int pointerX = 0, pointerY = 0;
          SDL_GetGlobalMouseState(&pointerX, &pointerY);
          SDL_SetWindowPosition(window, pointerX - dialog.dragX, pointerY - dialog.dragY);
        }
        break;
      } else if (dialog.capture >= 0) {
        Control& control = dialog.controls[static_cast<size_t>(dialog.capture)];
        control.pushed = control.rect.Contains(x - dialog.client.x, y - dialog.client.y);
      }
      dialog.dirty = true;
      break;
    case WM_LBUTTONUP: {
      int capture = dialog.capture;
      dialog.capture = CAPTURE_NONE;
      dialog.dirty = true;
      if (capture == CAPTURE_CLOSE) {
        dialog.closePushed = false;
        if (dialog.closeBox.Contains(x, y)) Cancel(dialog);
      } else if (capture >= 0) {
        Control& control = dialog.controls[static_cast<size_t>(capture)];
        control.pushed = false;
        if (control.rect.Contains(x - dialog.client.x, y - dialog.client.y)) Click(dialog, capture);
      }
      break;
    }
    default:
      break;
  }
}

bool IsInput(UINT message) {
  return vt::IsKeyMessage(message) || message == WM_CHAR || message == WM_SYSCHAR ||
         message == WM_MOUSEMOVE || message == WM_LBUTTONDOWN || message == WM_LBUTTONUP;
}

bool BelongsTo(const Dialog& dialog, HWND window) {
  if (window == dialog.window) return true;
  for (const Control& control : dialog.controls)
    if (control.window == window) return true;
  return false;
}

// What the dialog manager takes from the queue itself; true when handled.
bool HandleInput(Dialog& dialog, const MSG& msg) {
  if (!IsInput(msg.message)) return false;
  // The owner and the windows behind the dialog are disabled while it runs.
  if (!BelongsTo(dialog, msg.hwnd)) return true;
  if (vt::IsKeyMessage(msg.message)) return HandleKey(dialog, msg);
  if (msg.message == WM_CHAR || msg.message == WM_SYSCHAR) return true;
  HandleMouse(dialog, msg);
  return true;
}

LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  int index = -1;
  Dialog* dialog = DialogOfControl(window, &index);
  if (dialog == nullptr) return 0;
  Control& control = dialog->controls[static_cast<size_t>(index)];
  switch (message) {
    case WM_SETFOCUS:
      dialog->focused = index;
      dialog->dirty = true;
      return 0;
    case WM_KILLFOCUS:
      if (dialog->spacePushed) EndSpace(*dialog);
      dialog->dirty = true;
      return 0;
    case BM_GETCHECK:
      return control.checked ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK:
      if (control.kind == Kind::kCheck || control.kind == Kind::kRadio) {
        control.checked = wParam == BST_CHECKED;
        dialog->dirty = true;
      }
      return 0;
    case BM_GETSTATE:
      return (control.checked ? BST_CHECKED : 0) | (control.pushed ? BST_PUSHED : 0) |
             (dialog->focused == index ? BST_FOCUS : 0);
    case BM_CLICK:
      if (IsButton(control)) Click(*dialog, index);
      return 0;
    default:
      return 0;
  }
}

LRESULT CALLBACK DialogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Dialog* dialog = DialogOf(window);
  if (dialog == nullptr) return 0;
  LRESULT handled = CallProc(*dialog, message, wParam, lParam);
  if (handled != 0) return handled;
  switch (message) {
    case WM_SETFOCUS:
      // The dialog gives the focus on to the control that last had it.
      if (dialog->focused >= 0) Focus(*dialog, dialog->focused);
      return 0;
    case WM_CLOSE:
      Cancel(*dialog);
      return 0;
    default:
      return 0;
  }
}

// The largest whole factor that keeps the dialog within half the screen's
// height and width, at least 1.
int ScaleFor(int width, int height) {
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0 || mode.w <= 0 || mode.h <= 0) return 1;
  int scale = std::min(mode.w / 2 / std::max(1, width), mode.h / 2 / std::max(1, height));
  return std::max(1, scale);
}

void Layout(Dialog& dialog) {
  const DialogTemplate& t = *dialog.resource;
  dialog.caption = (t.style & WS_CAPTION) == WS_CAPTION;
  int edge = (t.exStyle & WS_EX_CLIENTEDGE) != 0 ? 2 : 0;
  int top = FRAME + (dialog.caption ? CAPTION + 1 : 0) + edge;
  int clientWidth = t.width * BASE_X / 4;
  int clientHeight = t.height * BASE_Y / 8;
  dialog.client = {FRAME + edge, top, clientWidth, clientHeight};
  dialog.width = clientWidth + 2 * (FRAME + edge);
  dialog.height = top + clientHeight + edge + FRAME;
  if (dialog.caption && (t.style & WS_SYSMENU) != 0) {
    dialog.closeBox = {dialog.width - FRAME - 2 - CLOSE_BOX_WIDTH, FRAME + (CAPTION - CLOSE_BOX_HEIGHT) / 2,
                       CLOSE_BOX_WIDTH, CLOSE_BOX_HEIGHT};
  }
}

void MakeControls(Dialog& dialog, HINSTANCE instance) {
  const DialogTemplate& t = *dialog.resource;
  for (int i = 0; i < t.controlCount; ++i) {
    const DialogControl& source = t.controls[i];
    Control control;
    control.id = source.id;
    control.kind = KindOf(source);
    control.style = source.style;
    control.exStyle = source.exStyle;
    control.text = source.text != nullptr ? source.text : "";
    control.rect = {source.x * BASE_X / 4, source.y * BASE_Y / 8, source.width * BASE_X / 4,
                    source.height * BASE_Y / 8};
    if (control.kind == Kind::kIcon) {
      HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(source.iconId));
      control.icon = vt::IconOfHandle(icon);
      // An icon control takes the size of its icon.
      if (control.icon != nullptr)
        control.rect.width = control.icon->width, control.rect.height = control.icon->height;
    }
    control.window =
        vt::CreateOwnWindow(WS_CHILD | WS_VISIBLE | source.style, control.text, ControlProc, nullptr);
    dialog.controls.push_back(control);
  }
}

SDL_Window* MakeSdlWindow(Dialog& dialog) {
  if (vt::IsHeadless()) return nullptr;
  dialog.scale = ScaleFor(dialog.width, dialog.height);
  std::string caption = dialog.resource->caption != nullptr ? dialog.resource->caption : "";
  std::string title = vt::Cp949ToUtf8(caption.data(), caption.size());
  SDL_Window* window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                        dialog.width * dialog.scale, dialog.height * dialog.scale,
                                        SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
  if (window == nullptr) return nullptr;
  SDL_Window* owner = vt::SdlWindow(dialog.owner);
  if (owner != nullptr) SDL_SetWindowModalFor(window, owner);
  return window;
}

void Destroy(Dialog& dialog) {
  std::vector<HWND> windows{dialog.window};
  for (const Control& control : dialog.controls) windows.push_back(control.window);
  HWND next = IsWindow(dialog.owner) ? dialog.owner : nullptr;
  if (next == nullptr) {
    for (HWND window : vt::LiveWindows()) {
      if (std::find(windows.begin(), windows.end(), window) == windows.end() &&
          (window->style & WS_CHILD) == 0) {
        next = window;
        break;
      }
    }
  }
  vt::RetargetInput(windows, next);
  // DestroyWindow passes over any already gone.
  for (const Control& control : dialog.controls) DestroyWindow(control.window);
  DestroyWindow(dialog.window);
}

}  // namespace

namespace vt {

HWND ModalDialogWindow() { return running.empty() ? nullptr : running.back()->window; }

void DialogsReset() {
  running.clear();
  onIdle = nullptr;
}

void OnDialogExposed(HWND window) {
  Dialog* dialog = DialogOf(window);
  if (dialog == nullptr) return;
  if (dialog->dirty) Render(*dialog);
  Present(*dialog);
}

}  // namespace vt

extern "C" {

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC dialogProc,
                               LPARAM initParam) {
  auto id = reinterpret_cast<uintptr_t>(templateName);
  const DialogTemplate* resource = id < 0x10000 ? resource_script::FindDialog(static_cast<int>(id)) : nullptr;
  if (resource == nullptr || dialogProc == nullptr) return -1;
  if (owner != nullptr && !IsWindow(owner)) return -1;
  if (!vt::EnsureVideo()) {
    // Nobody could answer a dialog that cannot be shown.
    std::fprintf(stderr, "[dialog %d] no display to show it on\n", resource->id);
    std::fflush(stderr);
    return -1;
  }

  auto dialog = std::make_unique<Dialog>();
  dialog->owner = owner;
  dialog->proc = dialogProc;
  dialog->resource = resource;
  Layout(*dialog);
  SDL_Window* sdl = MakeSdlWindow(*dialog);
  if (!vt::IsHeadless() && sdl == nullptr) return -1;
  std::string caption = resource->caption != nullptr ? resource->caption : "";
  dialog->window = vt::CreateOwnWindow(WS_POPUP | resource->style, caption, DialogWindowProc, sdl);
  running.push_back(dialog.get());
  vt::BeginOwnModal();
  MakeControls(*dialog, instance);

  // A procedure that returns zero has placed the focus itself.
  if (CallProc(*dialog, WM_INITDIALOG, 0, initParam) != 0) {
    for (size_t i = 0; i < dialog->controls.size(); ++i) {
      const Control& control = dialog->controls[i];
      if (IsButton(control) && (control.style & WS_TABSTOP) != 0) {
        Focus(*dialog, TabTarget(*dialog, static_cast<int>(i)));
        break;
      }
    }
  }
  bool quit = false;
  int quitCode = 0;
  if (!dialog->ended) {
    Render(*dialog);
    ShowWindow(dialog->window, SW_SHOW);
    Present(*dialog);
  }
  int idleCount = 0;
  bool idleTold = false;
  while (!dialog->ended) {
    Refresh(*dialog);
    MSG msg;
    // Tests hear once each time the dialog has dealt with all its input.
    if (onIdle && !idleTold && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      idleTold = true;
      auto callback = onIdle;
      callback(dialog->window, idleCount++);
      continue;
    }
    idleTold = false;
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got <= 0) {
      // The program is being ended: the dialog is cancelled and the quit
      // message handed on to the loop outside.
      quit = got == 0;
      quitCode = static_cast<int>(msg.wParam);
      Cancel(*dialog);
      break;
    }
    if (!HandleInput(*dialog, msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (!IsWindow(dialog->owner) && dialog->owner != nullptr && !dialog->ended) Cancel(*dialog);
    if (!IsWindow(dialog->window)) break;
  }
  // A dialog destroyed by its procedure rather than ended has no result.
  INT_PTR result = dialog->ended ? dialog->result : -1;
  Destroy(*dialog);
  running.erase(std::find(running.begin(), running.end(), dialog.get()));
  vt::EndOwnModal();
  if (quit) PostQuitMessage(quitCode);
  return result;
}

BOOL WINAPI EndDialog(HWND window, INT_PTR result) {
  Dialog* dialog = DialogOf(window);
  if (dialog == nullptr) return FALSE;
  dialog->ended = true;
  dialog->result = result;
  return TRUE;
}

HWND WINAPI GetDlgItem(HWND window, int id) {
  Dialog* dialog = DialogOf(window);
  if (dialog == nullptr) return nullptr;
  Control* control = ControlById(*dialog, id);
  return control != nullptr ? control->window : nullptr;
}

int WINAPI GetDlgCtrlID(HWND window) {
  int index = -1;
  Dialog* dialog = DialogOfControl(window, &index);
  return dialog != nullptr ? dialog->controls[static_cast<size_t>(index)].id : 0;
}

BOOL WINAPI CheckDlgButton(HWND window, int id, UINT check) {
  HWND control = GetDlgItem(window, id);
  if (control == nullptr) return FALSE;
  SendMessageA(control, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND window, int id) {
  HWND control = GetDlgItem(window, id);
  return control != nullptr ? static_cast<UINT>(SendMessageA(control, BM_GETCHECK, 0, 0)) : 0;
}

BOOL WINAPI CheckRadioButton(HWND window, int firstId, int lastId, int checkId) {
  Dialog* dialog = DialogOf(window);
  if (dialog == nullptr) return FALSE;
  for (Control& control : dialog->controls) {
    if (control.id < firstId || control.id > lastId) continue;
    SendMessageA(control.window, BM_SETCHECK, control.id == checkId ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return TRUE;
}

}  // extern "C"

namespace platform_test {

void OnDialogIdle(std::function<void(HWND dialog, int idleCount)> callback) { onIdle = std::move(callback); }

bool ReadDialog(HWND window, DialogPicture& picture) {
  Dialog* dialog = DialogOf(window);
  if (dialog == nullptr) return false;
  if (dialog->dirty) Render(*dialog);
  picture.width = dialog->width;
  picture.height = dialog->height;
  picture.scale = dialog->scale;
  picture.pixels = dialog->picture;
  return true;
}

bool DialogItemRect(HWND window, int id, RECT* rect) {
  Dialog* dialog = DialogOf(window);
  if (dialog == nullptr || rect == nullptr) return false;
  Rect r;
  if (id == 0) {
    r = dialog->closeBox;
  } else {
    Control* control = ControlById(*dialog, id);
    if (control == nullptr) return false;
    r = {control->rect.x + dialog->client.x, control->rect.y + dialog->client.y, control->rect.width,
         control->rect.height};
  }
  SetRect(rect, r.x, r.y, r.x + r.width, r.y + r.height);
  return r.width > 0;
}

namespace {

// Where an injected mouse event goes: the modal dialog's window, and the
// factor from dialog pixels to window pixels.
struct MouseTarget {
  Uint32 windowId;
  int scale;
};

MouseTarget InjectedMouseTarget() {
  HWND target = vt::ModalDialogWindow();
  Dialog* dialog = DialogOf(target);
  SDL_Window* window = vt::SdlWindow(target);
  return MouseTarget{window != nullptr ? SDL_GetWindowID(window) : 0, dialog != nullptr ? dialog->scale : 1};
}

}  // namespace

void InjectMouseButton(int x, int y, bool down) {
  if (!vt::EnsureEvents()) return;
  const MouseTarget target = InjectedMouseTarget();
  SDL_Event event = {};
  event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  event.button.timestamp = SDL_GetTicks();
  event.button.windowID = target.windowId;
  event.button.button = SDL_BUTTON_LEFT;
  event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.button.clicks = 1;
  event.button.x = x * target.scale;
  event.button.y = y * target.scale;
  SDL_PushEvent(&event);
}

void InjectMouseMove(int x, int y, bool leftDown) {
  if (!vt::EnsureEvents()) return;
  const MouseTarget target = InjectedMouseTarget();
  SDL_Event event = {};
  event.type = SDL_MOUSEMOTION;
  event.motion.timestamp = SDL_GetTicks();
  event.motion.windowID = target.windowId;
  event.motion.state = leftDown ? SDL_BUTTON_LMASK : 0;
  event.motion.x = x * target.scale;
  event.motion.y = y * target.scale;
  SDL_PushEvent(&event);
}

void InjectMouseClick(int x, int y) {
  InjectMouseMove(x, y, false);
  InjectMouseButton(x, y, true);
  InjectMouseButton(x, y, false);
}

bool ClickDialogItem(HWND dialog, int id) {
  RECT rect;
  if (!DialogItemRect(dialog, id, &rect)) return false;
  // Inside the box or the button face, left of any text, half way down.
  int x = id == 0 ? (rect.left + rect.right) / 2 : std::min<int>(rect.left + 6, (rect.left + rect.right) / 2);
  InjectMouseClick(x, (rect.top + rect.bottom) / 2);
  return true;
}

}  // namespace platform_test
