#include "text/alerts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/posix/posix_test_hooks.h"
#include "text/pstring.h"

namespace {

HINSTANCE attachedInstance = nullptr;

const char kExpectedAbout[] =
    "Version 1.00 Release 1 (11/2003)\n"
    "Copyright (c) 2003 Brackenwold. Free software under the MIT License.\n"
    "\n"
    "\n"
    "An plug-in file format module for Vellory ImagingR.";

void Set(uint8_t* text, const char* chars) {
  text[0] = static_cast<uint8_t>(std::strlen(chars));
  std::memcpy(text + 1, chars, text[0]);
}

class AlertsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(attachedInstance, nullptr);
    posix_hooks::CaptureMessageBoxes(true);
    posix_hooks::ClearCapturedMessageBoxes();
    posix_hooks::ResetCounters();
  }
  void TearDown() override { posix_hooks::CaptureMessageBoxes(false); }

  const posix_hooks::MessageBoxRecord& OnlyBox() {
    EXPECT_EQ(posix_hooks::CapturedMessageBoxes().size(), 1u);
    return posix_hooks::CapturedMessageBoxes().front();
  }
};

TEST_F(AlertsTest, ShowZeroShowsNothing) {
  PString value = {};
  Set(value, "2.5");
  EXPECT_EQ(ShowAlert(attachedInstance, nullptr, 0, 16992, value, nullptr), 0);
  EXPECT_TRUE(posix_hooks::CapturedMessageBoxes().empty());
  EXPECT_EQ(posix_hooks::GetCounters().stringLoads, 0);
}

TEST_F(AlertsTest, WarningTexts) {
  struct Case {
    const char* name;
    int16_t show;
    int16_t stringId;
    const char* value1;  // null: absent
    const char* value2;
    const char* expected;
  };
  const Case cases[] = {
      {"version filled in", 1, 16992, "2.5", nullptr,
       "This plug-in requires Vellory Imaging\xAE 2.5 or later functionality."},
      {"value passed but no placeholder", 1, 16993, "2.5", nullptr,
       "This plug-in is incompatible with this version of the host program."},
      {"both values", -1, 16990, "1", "9", "An integer is required between 1 and 9."},
      {"^0 never gets a value", 1, 16989, "7", "7", "Morvid: ref num=."},
      {"identifier 0 is an empty message", 1, 0, "2.5", nullptr, ""},
      {"negative identifier is an empty message", 1, -16992, "2.5", nullptr, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    posix_hooks::ClearCapturedMessageBoxes();
    PString value1 = {}, value2 = {};
    if (c.value1 != nullptr) Set(value1, c.value1);
    if (c.value2 != nullptr) Set(value2, c.value2);
    const int16_t answer = ShowAlert(attachedInstance, nullptr, c.show, c.stringId,
                                     c.value1 ? value1 : nullptr, c.value2 ? value2 : nullptr);
    EXPECT_EQ(answer, IDOK);
    const posix_hooks::MessageBoxRecord& box = OnlyBox();
    EXPECT_EQ(box.text, c.expected);
    EXPECT_FALSE(box.captionGiven);  // the system's default title
    EXPECT_EQ(box.type, MB_ICONWARNING);
    EXPECT_EQ(box.owner, 0);
  }
}

TEST_F(AlertsTest, WarningKeepsTheOwnerGiven) {
  ShowAlert(attachedInstance, reinterpret_cast<HWND>(intptr_t{0x5150}), 1, 16993, nullptr, nullptr);
  EXPECT_EQ(OnlyBox().owner, 0x5150);
}

TEST_F(AlertsTest, AboutTextIsFixed) { EXPECT_STREQ(kAboutText, kExpectedAbout); }

TEST_F(AlertsTest, AboutBoxOwnerComesFromTheBlock) {
  struct Case {
    const char* name;
    bool block;
    bool platformData;
    intptr_t expectedOwner;
  };
  const Case cases[] = {
      {"owner named by the host", true, true, 0x7A11},
      {"no platform data", true, false, 0},
      {"no block", false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    posix_hooks::ClearCapturedMessageBoxes();
    PlatformData data = {0x7A11};
    AboutBlock about = {c.platformData ? &data : nullptr};
    EXPECT_EQ(ShowAbout(c.block ? &about : nullptr, attachedInstance, 16000), IDOK);
    const posix_hooks::MessageBoxRecord& box = OnlyBox();
    EXPECT_EQ(box.owner, c.expectedOwner);
    EXPECT_EQ(box.text, kExpectedAbout);
    EXPECT_TRUE(box.captionGiven);
    EXPECT_EQ(box.caption, "");  // there is no string 16001
    EXPECT_EQ(box.type, MB_ICONINFORMATION);
  }
}

TEST_F(AlertsTest, AboutCaptionIsTheNextStringCutTo59) {
  AboutBlock about = {nullptr};
  ShowAbout(&about, attachedInstance, 16988);
  EXPECT_EQ(OnlyBox().caption, "Morvid: ref num=^0.");
  posix_hooks::ClearCapturedMessageBoxes();
  ShowAbout(&about, attachedInstance, 16991);
  EXPECT_EQ(
      OnlyBox().caption,
      std::string("This plug-in requires Vellory Imaging\xAE ^1 or later functionality.", 59));
}

}  // namespace

// The layer hands its instance to the attach routine, as Windows does; the
// module is not linked here, so this program takes the module's place.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) attachedInstance = instance;
  return 1;
}
