// Message boxes without a display, code page 949 text, the millisecond clock
// and the small resources.
#include <mmsystem.h>
#include <vantor/resource_script.h>

#include <cstdlib>
#include <random>
#include <string>

#include "internal.h"
#include "support/cases.h"
#include "support/headless.h"

namespace {

using vantor_test::Headless;

// Decodes UTF-8, false on any malformed sequence.
bool DecodeUtf8(const std::string& text, std::vector<uint32_t>* out) {
  for (size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + static_cast<size_t>(extra) >= text.size() + (extra == 0 ? 1 : 0)) return false;
    uint32_t code = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    out->push_back(code);
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

class MessageBoxes : public Headless {};

TEST_F(MessageBoxes, HeadlessBoxGoesToStandardErrorInUtf8) {
  testing::internal::CaptureStderr();
  // "ERROR! ...\n" followed by the Korean for "read failed" (읽기 실패).
  int result = MessageBoxA(nullptr, "load\n \xC0\xD0\xB1\xE2 \xBD\xC7\xC6\xD0", "Message", MB_OK);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, IDOK);
  EXPECT_NE(err.find("Message"), std::string::npos);
  EXPECT_NE(err.find("load\n 읽기 실패"), std::string::npos);
  MessageBoxA(nullptr, "\xB0\xA1", nullptr, MB_OK);
  std::vector<std::string> boxes = platform_test::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], "Message|load\n 읽기 실패");
  EXPECT_EQ(boxes[1], "Error|가");
  EXPECT_TRUE(platform_test::TakeMessageBoxes().empty());
}

TEST_F(MessageBoxes, LongTextsArriveWhole) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "\xB0\xA1x";
  testing::internal::CaptureStderr();
  MessageBoxA(nullptr, text.c_str(), "", MB_OK);
  testing::internal::GetCapturedStderr();
  std::vector<std::string> boxes = platform_test::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  std::vector<uint32_t> codes;
  ASSERT_TRUE(DecodeUtf8(boxes[0], &codes));
  ASSERT_EQ(codes.size(), 1u + 2u * 20000u);
  EXPECT_EQ(codes[1], 0xAC00u);
  EXPECT_EQ(codes.back(), static_cast<uint32_t>('x'));
}

TEST(Cp949, BadBytesBecomeReplacementCharacters) {
  EXPECT_EQ(vt::Cp949ToUtf8("\xB0\xA1", 2), "가");
  EXPECT_EQ(vt::Cp949ToUtf8("a\xFF"
                            "b",
                            3),
            "a\xEF\xBF\xBD"
            "b");
  // A lead byte cut off by the end of the text.
  EXPECT_EQ(vt::Cp949ToUtf8("ab\xB0", 3), "ab\xEF\xBF\xBD");
  EXPECT_EQ(vt::Cp949ToUtf8(nullptr, 5), "");
  // The length counts, not a terminating zero.
  EXPECT_EQ(vt::Cp949ToUtf8("a\0b", 3), std::string("a\0b", 3));
}

TEST(Cp949, RandomBytesGiveValidUtf8AndHangulSurvives) {
  std::mt19937 random(949);
  for (int n = 0; n < vantor_test::Cases(200); ++n) {
    std::string bytes(random() % 64, '\0');
    for (char& b : bytes) b = static_cast<char>(random() & 0xFF);
    std::vector<uint32_t> codes;
    EXPECT_TRUE(DecodeUtf8(vt::Cp949ToUtf8(bytes.data(), bytes.size()), &codes));

    // The 2,350 common syllables: lead 0xB0..0xC8, trail 0xA1..0xFE.
    std::string hangul;
    int count = 1 + static_cast<int>(random() % 16);
    for (int i = 0; i < count; ++i) {
      hangul += static_cast<char>(0xB0 + random() % 25);
      hangul += static_cast<char>(0xA1 + random() % 94);
    }
    codes.clear();
    ASSERT_TRUE(DecodeUtf8(vt::Cp949ToUtf8(hangul.data(), hangul.size()), &codes));
    ASSERT_EQ(codes.size(), static_cast<size_t>(count));
    for (uint32_t code : codes) {
      EXPECT_GE(code, 0xAC00u);
      EXPECT_LE(code, 0xD7A3u);
    }
  }
}

TEST_F(Headless, ManualClockStepsAndWraps) {
  platform_test::SetClockManual(100, 5);
  EXPECT_EQ(timeGetTime(), 100u);
  EXPECT_EQ(timeGetTime(), 105u);
  platform_test::AdvanceClock(1000);
  EXPECT_EQ(timeGetTime(), 1110u);

  platform_test::SetClockManual(0xFFFFFFF0u, 0x20);
  EXPECT_EQ(timeGetTime(), 0xFFFFFFF0u);
  EXPECT_EQ(timeGetTime(), 0x10u);
  // Differences taken in 32 bits stay right across the wrap.
  platform_test::SetClockManual(0xFFFFFFFFu);
  DWORD before = timeGetTime();
  platform_test::AdvanceClock(2);
  EXPECT_EQ(timeGetTime() - before, 2u);
  Sleep(3);
  EXPECT_EQ(timeGetTime(), 4u);
}

TEST_F(Headless, CursorCountsAndResourcesExist) {
  EXPECT_EQ(ShowCursor(FALSE), -1);
  EXPECT_EQ(ShowCursor(FALSE), -2);
  EXPECT_EQ(ShowCursor(TRUE), -1);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  EXPECT_NE(instance, nullptr);
  // The program's icons are the ones its resources register.
  static const char* const rows[] = {"ab", "b."};
  static const uint32_t colors[] = {0xFF112233, 0xFF445566};
  static const resource_script::IconImage icon = {102, 2, 2, rows, "ab", colors};
  resource_script::RegisterIcon(icon);
  EXPECT_NE(LoadIconA(instance, MAKEINTRESOURCEA(102)), nullptr);
  uint32_t pixels[4] = {};
  ASSERT_TRUE(resource_script::IconPixels(icon, pixels));
  EXPECT_EQ(pixels[0], 0xFF112233u);
  EXPECT_EQ(pixels[2], 0xFF445566u);
  EXPECT_EQ(pixels[3], 0u);  // transparent
  EXPECT_NE(LoadIconA(nullptr, IDI_APPLICATION), nullptr);
  EXPECT_EQ(LoadIconA(instance, MAKEINTRESOURCEA(555)), nullptr);
  EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
  EXPECT_NE(GetStockObject(BLACK_BRUSH), nullptr);
  EXPECT_NE(GetStockObject(BLACK_BRUSH), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(GetStockObject(-1), nullptr);
}

}  // namespace
