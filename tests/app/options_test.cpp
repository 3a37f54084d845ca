// The options dialog through the real dialog manager, headless: input is
// injected as a user gives it (mouse on the controls, keys) and the dialog is
// read back at each pause.
#include "app/options.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/resources.h"
#include "support/headless.h"

namespace fs = std::filesystem;

namespace {

using Step = std::function<void(HWND dialog)>;

class OptionsDialog : public vantor_test::Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    savedDirectory = fs::current_path();
    directory = fs::temp_directory_path() / ("vantor-options-" + std::to_string(getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(directory);
    fs::create_directories(directory);
    fs::current_path(directory);
    gameConfig = {};
    owner = MakeWindow();
    ShowWindow(owner, SW_SHOW);
  }
  void TearDown() override {
    platform_test::OnDialogIdle(nullptr);
    fs::current_path(savedDirectory);
    fs::remove_all(directory);
    Headless::TearDown();
  }

  static void WriteFile(const std::vector<int32_t>& fields, size_t bytes = 0) {
    std::vector<uint8_t> data;
    for (int32_t field : fields)
      for (int b = 0; b < 4; ++b)
        data.push_back(static_cast<uint8_t>(static_cast<uint32_t>(field) >> (8 * b)));
    if (bytes != 0) data.resize(bytes);
    std::FILE* file = std::fopen("game.cfg", "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(data.data(), 1, data.size(), file);
    std::fclose(file);
  }
  static std::vector<int32_t> ReadFile() {
    std::vector<int32_t> fields;
    std::FILE* file = std::fopen("game.cfg", "rb");
    if (file == nullptr) return fields;
    uint8_t b[4];
    while (std::fread(b, 1, 4, file) == 4)
      fields.push_back(
          static_cast<int32_t>(b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24));
    std::fclose(file);
    return fields;
  }

  // Runs the dialog; each step sees it at one pause (all input so far dealt
  // with) and gives the next input. A dialog still open after the last step
  // is a failure, and is closed.
  void RunDialog(std::vector<Step> steps) {
    platform_test::OnDialogIdle([&](HWND dialog, int idle) {
      MSG pending;
      if (static_cast<size_t>(idle) < steps.size()) {
        steps[static_cast<size_t>(idle)](dialog);
        // A step that stopped short (a failed assertion) gave no input: the
        // dialog would wait for ever.
        if (!PeekMessageA(&pending, nullptr, 0, 0, PM_NOREMOVE)) {
          ADD_FAILURE() << "no input after step " << idle;
          EndDialog(dialog, -1);
        }
      } else {
        ADD_FAILURE() << "the dialog is still open";
        EndDialog(dialog, -1);
      }
    });
    RunOptionsDialog(owner, GetModuleHandleA(nullptr));
    platform_test::OnDialogIdle(nullptr);
  }

  static bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
  static std::vector<int> CheckedOnes(HWND dialog) {
    std::vector<int> ids;
    for (int id : {1000, 1001, 1002, 1003, 1004, 1005, 1008, 1009})
      if (Checked(dialog, id)) ids.push_back(id);
    return ids;
  }
  // Dark pixels in the middle of a radio button's circle or a check box's
  // square: the dot or the mark.
  static int MarkPixels(HWND dialog, int id) {
    platform_test::DialogPicture picture;
    RECT rect;
    if (!platform_test::ReadDialog(dialog, picture) || !platform_test::DialogItemRect(dialog, id, &rect))
      return -1;
    int middle = (rect.top + rect.bottom) / 2;
    int dark = 0;
    for (int y = middle - 3; y <= middle + 3; ++y)
      for (int x = rect.left + 3; x <= rect.left + 9; ++x)
        dark += (picture.pixels[static_cast<size_t>(y * picture.width + x)] & 0xFFFFFF) == 0;
    return dark;
  }

  fs::path savedDirectory;
  fs::path directory;
  HWND owner = nullptr;
};

TEST_F(OptionsDialog, OpensWithTheChoiceTheFileHolds) {
  WriteFile({3, 0, 1, 1, 0});
  RunDialog({[](HWND dialog) {
    EXPECT_EQ(CheckedOnes(dialog), (std::vector<int>{1002, 1005, 1008}));
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));
    // What shows agrees: a dot in the third circle only, a mark in two boxes.
    EXPECT_GT(MarkPixels(dialog, 1002), 8);
    EXPECT_EQ(MarkPixels(dialog, 1000), 0);
    EXPECT_GT(MarkPixels(dialog, 1005), 8);
    EXPECT_EQ(MarkPixels(dialog, 1004), 0);
    platform_test::InjectKeyPress(VK_ESCAPE);
  }});
  EXPECT_EQ(gameConfig.videoMode, 0);  // cancelled
  EXPECT_EQ(gameConfig.offscreenInVideo, 1);
  EXPECT_EQ(gameConfig.soundFx, 1);
}

TEST_F(OptionsDialog, OddValuesInTheFile) {
  // Switches other than 1 open unchecked and become 0; a mode outside 1..4
  // checks nothing but stays, and OK takes it.
  WriteFile({9, 2, 1, -1, 7});
  RunDialog({[](HWND dialog) {
    EXPECT_EQ(CheckedOnes(dialog), std::vector<int>{1005});
    platform_test::InjectKeyPress(VK_RETURN);
  }});
  EXPECT_EQ(gameConfig.videoMode, 9);
  EXPECT_EQ(gameConfig.backBufferInVideo, 0);
  EXPECT_EQ(gameConfig.offscreenInVideo, 1);
  EXPECT_EQ(gameConfig.soundFx, 0);
  EXPECT_EQ(gameConfig.music, 0);
}

TEST_F(OptionsDialog, AShortFileSetsOnlyWhatItHolds) {
  gameConfig = {0, 1, 0, 1, 0};
  WriteFile({2, 0}, 6);  // the mode and half a field
  RunDialog({[](HWND dialog) {
    EXPECT_EQ(CheckedOnes(dialog), (std::vector<int>{1001, 1004, 1008}));
    platform_test::InjectKeyPress(VK_RETURN);
  }});
  EXPECT_EQ(gameConfig.videoMode, 2);
  EXPECT_EQ(gameConfig.backBufferInVideo, 1);
  EXPECT_EQ(gameConfig.soundFx, 1);
}

TEST_F(OptionsDialog, WithoutAFileNothingIsCheckedAndOkWaitsForAMode) {
  HWND seen = nullptr;
  RunDialog({
      [&](HWND dialog) {
        seen = dialog;
        EXPECT_TRUE(CheckedOnes(dialog).empty());
        platform_test::InjectKeyPress(VK_RETURN);
      },
      [](HWND dialog) {
        EXPECT_TRUE(IsWindow(dialog));
        platform_test::ClickDialogItem(dialog, IDOK);
      },
      [](HWND dialog) {
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_EQ(gameConfig.videoMode, 0);
        // Tab reaches the first radio button, the arrow moves on and chooses.
        platform_test::InjectKeyPress(VK_TAB);
        platform_test::InjectKeyPress(VK_DOWN);
      },
      [](HWND dialog) {
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 1001));
        EXPECT_EQ(CheckedOnes(dialog), std::vector<int>{1001});
        platform_test::InjectKeyPress(VK_RETURN);
      },
  });
  EXPECT_FALSE(IsWindow(seen));
  EXPECT_EQ(gameConfig.videoMode, 2);
}

TEST_F(OptionsDialog, KeyboardWalksTheControls) {
  WriteFile({1, 0, 0, 0, 0});
  RunDialog({
      [](HWND) {
        platform_test::InjectKeyPress(VK_TAB);  // into the group, on its checked button
        platform_test::InjectKeyPress(VK_UP);   // round to the last one
        platform_test::InjectKeyPress(VK_TAB);
        platform_test::InjectKeyPress(VK_SPACE);
        platform_test::InjectKeyPress(VK_TAB);
        platform_test::InjectKeyPress(VK_TAB);
      },
      [](HWND dialog) {
        EXPECT_EQ(CheckedOnes(dialog), (std::vector<int>{1003, 1004}));
        EXPECT_EQ(gameConfig.videoMode, 4);
        EXPECT_EQ(gameConfig.backBufferInVideo, 1);
        EXPECT_EQ(GetFocus(),
                  GetDlgItem(dialog, 1005));  // "Save config" comes between, as the template orders them
        platform_test::InjectKeyDown(VK_SHIFT);
        platform_test::InjectKeyPress(VK_TAB);
        platform_test::InjectKeyUp(VK_SHIFT);
        platform_test::InjectKeyPress(VK_SPACE);
      },
      [](HWND dialog) {
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_SAVE_CONFIG));
        EXPECT_EQ(ReadFile(), (std::vector<int32_t>{4, 1, 0, 0, 0}));
        // Enter presses the focused push button, not OK.
        platform_test::InjectKeyPress(VK_RETURN);
      },
      [](HWND dialog) {
        EXPECT_TRUE(IsWindow(dialog));
        platform_test::InjectKeyPress(VK_ESCAPE);
      },
  });
  EXPECT_EQ(gameConfig.videoMode, 0);
}

TEST_F(OptionsDialog, SaveWritesTheWholeRecordEachTimeAndCancelKeepsTheFile) {
  RunDialog({
      [](HWND dialog) { platform_test::ClickDialogItem(dialog, IDC_SAVE_CONFIG); },
      [](HWND dialog) {
        EXPECT_EQ(ReadFile(), (std::vector<int32_t>{0, 0, 0, 0, 0}));  // before any mode
        for (int id : {1001, 1008, IDC_SAVE_CONFIG}) platform_test::ClickDialogItem(dialog, id);
      },
      [](HWND dialog) {
        EXPECT_EQ(ReadFile(), (std::vector<int32_t>{2, 0, 0, 1, 0}));
        platform_test::ClickDialogItem(dialog, 1009);
        platform_test::ClickDialogItem(dialog, 0);  // the close box
      },
  });
  EXPECT_EQ(ReadFile(), (std::vector<int32_t>{2, 0, 0, 1, 0}));
  EXPECT_EQ(gameConfig.videoMode, 0);
  EXPECT_EQ(gameConfig.music, 1);
}

TEST_F(OptionsDialog, SaveOverADirectoryDoesNothing) {
  fs::create_directory("game.cfg");
  RunDialog({
      [](HWND dialog) {
        platform_test::ClickDialogItem(dialog, 1000);
        platform_test::ClickDialogItem(dialog, IDC_SAVE_CONFIG);
      },
      [](HWND dialog) {
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_TRUE(fs::is_directory("game.cfg"));
        platform_test::ClickDialogItem(dialog, IDOK);
      },
  });
  EXPECT_EQ(gameConfig.videoMode, 1);
}

TEST_F(OptionsDialog, APressTakenOffTheControlDoesNothing) {
  RunDialog({
      [](HWND dialog) {
        RECT box, mode;
        ASSERT_TRUE(platform_test::DialogItemRect(dialog, 1004, &box));
        ASSERT_TRUE(platform_test::DialogItemRect(dialog, 1000, &mode));
        platform_test::InjectMouseButton(box.left + 5, box.top + 5, true);
        platform_test::InjectMouseMove(box.left + 5, box.bottom + 30, true);
        platform_test::InjectMouseButton(box.left + 5, box.bottom + 30, false);
        // Text and group frames let clicks through to nothing.
        platform_test::InjectMouseClick(mode.left, mode.top - 14);
      },
      [](HWND dialog) {
        EXPECT_TRUE(CheckedOnes(dialog).empty());
        EXPECT_EQ(gameConfig.backBufferInVideo, 0);
        platform_test::InjectKeyPress(VK_ESCAPE);
      },
  });
}

TEST_F(OptionsDialog, EndingTheProgramCancelsTheDialogAndTheQuitGoesOn) {
  WriteFile({2, 0, 0, 0, 0});
  RunDialog({[](HWND) { PostQuitMessage(3); }});
  EXPECT_EQ(gameConfig.videoMode, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(OptionsDialog, ControlsSitWhereTheTemplatePutsThem) {
  RunDialog({[](HWND dialog) {
    // Two pixels per dialog unit each way (the System font's 8 x 16 cell).
    RECT ok, save, first, music;
    ASSERT_TRUE(platform_test::DialogItemRect(dialog, IDOK, &ok));
    ASSERT_TRUE(platform_test::DialogItemRect(dialog, IDC_SAVE_CONFIG, &save));
    ASSERT_TRUE(platform_test::DialogItemRect(dialog, 1000, &first));
    ASSERT_TRUE(platform_test::DialogItemRect(dialog, 1009, &music));
    EXPECT_EQ(ok.right - ok.left, 136);
    EXPECT_EQ(ok.bottom - ok.top, 44);
    EXPECT_EQ(ok.left - first.left, (88 - 26) * 2);
    EXPECT_EQ(music.top - first.top, (151 - 42) * 2);
    EXPECT_EQ(save.top - first.top, (178 - 42) * 2);
    // The icon keeps its own 32 x 32 and shows its art, not the face colour.
    platform_test::DialogPicture picture;
    ASSERT_TRUE(platform_test::ReadDialog(dialog, picture));
    int inked = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        int px = first.left + (29 - 26) * 2 + x, py = first.top + (10 - 42) * 2 + y;
        inked += picture.pixels[static_cast<size_t>(py * picture.width + px)] != 0xFFC0C0C0;
      }
    EXPECT_GT(inked, 500);
    platform_test::InjectKeyPress(VK_ESCAPE);
  }});
}

}  // namespace
