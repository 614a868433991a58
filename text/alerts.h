// The module's two message boxes: the warning about a missing host suite and
// the About box.
#pragma once

#include <cstdint>

#include "interface/host_interface.h"
#include "platform/platform.h"

// The fixed About text: five lines, no line feed after the last.
extern const char kAboutText[];

// Shows string `stringId` with "^1" and "^2" filled from value1 and value2
// (either may be null) in a warning box with the system's default caption.
// show 0 shows nothing and answers 0; otherwise the box's answer.
int16_t ShowAlert(HINSTANCE moduleInstance, HWND owner, int16_t show, int16_t stringId,
                  const uint8_t* value1, const uint8_t* value2);
// Shows the fixed About text, owned by the window the block names, with string
// stringId + 1 (absent, so empty) as the caption.
int ShowAbout(const AboutBlock* about, HINSTANCE moduleInstance, int16_t stringId);
