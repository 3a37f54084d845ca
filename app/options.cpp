#include "app/options.h"

#include <cstdio>
#include <initializer_list>

#include "app/resources.h"

GameConfig gameConfig = {};

namespace {

constexpr const char* CONFIG_FILE = "game.cfg";

// The fields in file order.
constexpr int32_t GameConfig::*FIELDS[] = {&GameConfig::videoMode, &GameConfig::backBufferInVideo,
                                           &GameConfig::offscreenInVideo, &GameConfig::soundFx,
                                           &GameConfig::music};

struct Switch {
  int32_t GameConfig::*field;
  int control;
};
constexpr Switch SWITCHES[] = {
    {&GameConfig::backBufferInVideo, IDC_BACKBUFFER_IN_VIDEO},
    {&GameConfig::offscreenInVideo, IDC_OFFSCREEN_IN_VIDEO},
    {&GameConfig::soundFx, IDC_SOUND_FX},
    {&GameConfig::music, IDC_MUSIC},
};

void InitDialog(HWND dialog) {
  if (ReadGameConfig(CONFIG_FILE)) {
    if (gameConfig.videoMode >= 1 && gameConfig.videoMode <= 4)
      CheckRadioButton(dialog, IDC_MODE_320X200, IDC_MODE_640X480,
                       IDC_MODE_320X200 + gameConfig.videoMode - 1);
    for (const Switch& option : SWITCHES)
      if (gameConfig.*option.field == 1) CheckDlgButton(dialog, option.control, BST_CHECKED);
  }
  // The keyboard works from the start, file or no file.
  SetFocus(GetDlgItem(dialog, IDOK));
}

}  // namespace

void RunOptionsDialog(HWND window, HINSTANCE instance) {
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_OPTIONS), window, OptionsDialogProc, 0);
}

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  if (message == WM_INITDIALOG) {
    InitDialog(dialog);
    return FALSE;  // the focus is set
  }
  if (message != WM_COMMAND) return FALSE;
  int command = LOWORD(wParam);
  switch (command) {
    case IDC_MODE_320X200:
    case IDC_MODE_512X384:
    case IDC_MODE_640X480_SMALL:
    case IDC_MODE_640X480:
      gameConfig.videoMode = command - IDC_MODE_320X200 + 1;
      return TRUE;
    case IDC_SAVE_CONFIG:
      return WriteGameConfig(CONFIG_FILE) ? TRUE : FALSE;
    case IDOK:
      // No mode chosen yet: the dialog stays.
      if (gameConfig.videoMode != 0) EndDialog(dialog, 0);
      return TRUE;
    case IDCANCEL:
      gameConfig.videoMode = 0;
      EndDialog(dialog, 0);
      return TRUE;
    default:
      break;
  }
  for (const Switch& option : SWITCHES) {
    if (command == option.control) {
      gameConfig.*option.field ^= 1;
      return TRUE;
    }
  }
  return FALSE;
}

bool ReadGameConfig(const char* path) {
  gameConfig.videoMode = 0;
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  uint8_t bytes[sizeof(GameConfig)];
  size_t got = std::fread(bytes, 1, sizeof bytes, file);
  std::fclose(file);
  // Little-endian on disk whatever the machine; only whole fields count.
  for (size_t i = 0; i < 5 && (i + 1) * 4 <= got; ++i) {
    const uint8_t* b = bytes + i * 4;
    gameConfig.*FIELDS[i] = static_cast<int32_t>(uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 |
                                                 uint32_t{b[3]} << 24);
  }
  for (const Switch& option : SWITCHES)
    if (gameConfig.*option.field != 1) gameConfig.*option.field = 0;
  return true;
}

bool WriteGameConfig(const char* path) {
  uint8_t bytes[sizeof(GameConfig)];
  for (size_t i = 0; i < 5; ++i) {
    auto value = static_cast<uint32_t>(gameConfig.*FIELDS[i]);
    for (size_t b = 0; b < 4; ++b) bytes[i * 4 + b] = static_cast<uint8_t>(value >> (8 * b));
  }
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  bool written = std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
  return std::fclose(file) == 0 && written;
}
