// The program's resources for our platform layer: the same options dialog
// and icon that vantor.rc describes for Windows, registered by number before
// the entry point runs. Linked into the executable (and the tests that run the
// program) the way a compiled resource script is.
#include "app/resources.h"

#include <vantor/resource_script.h>
#include <windows.h>

#include "app/icon_art.h"

namespace {

using resource_script::DialogControl;

constexpr WORD LANGUAGE_KOREAN = 1042;

constexpr DialogControl OPTIONS_CONTROLS[] = {
    {IDOK, "BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 88, 174, 68, 22, 0},
    {IDC_STATIC, "STATIC", "Select a option for this game!", SS_CENTER, 0, 55, 16, 99, 8, 0},
    {IDC_VIDEO_MODE_GROUP, "BUTTON", "Video mode", BS_GROUPBOX, 0, 20, 33, 138, 55, 0},
    {IDC_MODE_320X200, "BUTTON", "320 x 200 x 8bit color  (full size)",
     BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 0, 26, 42, 120, 10, 0},
    {IDC_MODE_512X384, "BUTTON", "512 x 384 x 8bit color  (full size)", BS_AUTORADIOBUTTON, 0, 26, 53, 120,
     10, 0},
    {IDC_MODE_640X480_SMALL, "BUTTON", "640 x 480 x 8bit color  (4/5 size)", BS_AUTORADIOBUTTON, 0, 26, 64,
     120, 10, 0},
    {IDC_MODE_640X480, "BUTTON", "640 x 480 x 8bit color  (full size)", BS_AUTORADIOBUTTON, 0, 26, 75, 120,
     10, 0},
    // WS_GROUP closes the group of radio buttons above.
    {IDC_STATIC, "STATIC", "", SS_ICON | WS_GROUP, 0, 29, 10, 20, 20, IDI_PROGRAM},
    {IDC_VIDEO_OPTION_GROUP, "BUTTON", "Video option", BS_GROUPBOX, 0, 20, 91, 138, 32, 0},
    {IDC_BACKBUFFER_IN_VIDEO, "BUTTON", "Create BackBuffer to Video memory", BS_AUTOCHECKBOX | WS_TABSTOP, 0,
     26, 101, 127, 8, 0},
    {IDC_SAVE_CONFIG, "BUTTON", "Save config", BS_PUSHBUTTON | WS_TABSTOP,
     WS_EX_STATICEDGE | WS_EX_CLIENTEDGE, 26, 178, 46, 13, 0},
    {IDC_OFFSCREEN_IN_VIDEO, "BUTTON", "Create Offscreen to Video memory", BS_AUTOCHECKBOX | WS_TABSTOP, 0,
     26, 111, 126, 8, 0},
    {IDC_SOUND_GROUP, "BUTTON", "Sound option", BS_GROUPBOX, 0, 20, 129, 139, 34, 0},
    {IDC_SOUND_FX, "BUTTON", "Sound FX", BS_AUTOCHECKBOX | WS_TABSTOP, 0, 26, 139, 128, 9, 0},
    {IDC_MUSIC, "BUTTON", "Music", BS_AUTOCHECKBOX | WS_TABSTOP, 0, 26, 151, 128, 8, 0},
};

constexpr resource_script::DialogTemplate OPTIONS_DIALOG = {
    IDD_OPTIONS,
    LANGUAGE_KOREAN,
    DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU,
    WS_EX_CLIENTEDGE,
    0,
    0,
    180,
    212,
    "",
    "System",
    10,
    OPTIONS_CONTROLS,
    static_cast<int>(sizeof OPTIONS_CONTROLS / sizeof OPTIONS_CONTROLS[0]),
};

constexpr resource_script::IconImage PROGRAM_ICON = {
    IDI_PROGRAM, icon_art::SIZE, icon_art::SIZE, icon_art::ROWS, icon_art::KEYS, icon_art::COLORS,
};

const bool registered =
    (resource_script::RegisterDialog(OPTIONS_DIALOG), resource_script::RegisterIcon(PROGRAM_ICON), true);

}  // namespace

// Referenced by nothing but the linker's inclusion of this file; keeps the
// registration from being optimised away.
extern const bool vantorResourcesRegistered = registered;
