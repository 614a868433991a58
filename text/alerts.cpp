#include "text/alerts.h"

#include "resources/copyright.h"
#include "text/pstring.h"

const char kAboutText[] = "Version 1.00 Release 1 (11/2003)\n" ZENTROW_COPYRIGHT
                          "\n"
                          "\n"
                          "\n"
                          "An plug-in file format module for Vellory ImagingR.";

namespace {

constexpr int kAlertLoadSize = 255;  // leaves the buffer's last byte zero
constexpr int kCaptionSize = 60;
constexpr int kAboutTextSize = 256;

static_assert(sizeof kAboutText <= kAboutTextSize, "About text outgrew its buffer");

int16_t TextLength(const char* text) {
  int16_t length = 0;
  while (text[length] != '\0') ++length;
  return length;
}

}  // namespace

int16_t ShowAlert(HINSTANCE moduleInstance, HWND owner, int16_t show, int16_t stringId,
                  const uint8_t* value1, const uint8_t* value2) {
  if (show == 0) return 0;
  PString message = {};
  char chars[kPStringSize] = {};
  ResetPString(message);
  if (stringId > 0) {
    LoadStringA(moduleInstance, static_cast<UINT>(stringId), chars, kAlertLoadSize);
    AppendChars(message, chars, 0, TextLength(chars));
  }
  // The message texts hold no "^0".
  SubstitutePlaceholders(message, nullptr, value1, value2);
  ++message[0];
  message[message[0]] = 0;
  CopyBytes(chars, message + 1, message[0]);
  return static_cast<int16_t>(MessageBoxA(owner, chars, nullptr, MB_ICONWARNING));
}

int ShowAbout(const AboutBlock* about, HINSTANCE moduleInstance, int16_t stringId) {
  HWND owner = nullptr;
  if (about != nullptr && about->platformData != nullptr) {
    owner = reinterpret_cast<HWND>(about->platformData->ownerWindow);
  }
  // The table has no caption string, so the title bar stays empty.
  char caption[kCaptionSize] = {};
  LoadStringA(moduleInstance, static_cast<UINT>(stringId + 1), caption, kCaptionSize);
  char text[kAboutTextSize] = {};
  CopyBytes(text, kAboutText, sizeof kAboutText);
  return MessageBoxA(owner, text, caption, MB_ICONINFORMATION);
}
