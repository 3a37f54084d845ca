// Answers the program's options dialog the way a user would, for tests that
// run the whole program headless.
#pragma once

#include <vantor/platform_test.h>
#include <windows.h>

#include <vector>

namespace vantor_test {

// When the dialog opens: if the options file checked no video mode, clicks
// the radio button of `fallbackMode` (none for 0); then Enter for OK, then
// the keys `after` for what comes next (the help screen's key, say).
inline void AnswerOptions(int fallbackMode, std::vector<int> after = {}) {
  platform_test::OnDialogIdle([fallbackMode, after](HWND dialog, int idle) {
    if (idle != 0) return;
    bool checked = false;
    for (int id = 1000; id <= 1003; ++id) checked = checked || IsDlgButtonChecked(dialog, id) == BST_CHECKED;
    if (!checked && fallbackMode != 0) platform_test::ClickDialogItem(dialog, 1000 + fallbackMode - 1);
    platform_test::InjectKeyPress(VK_RETURN);
    for (int key : after) platform_test::InjectKeyPress(key);
  });
}

}  // namespace vantor_test
