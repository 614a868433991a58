// The host emulation switches of the command line, turned into the
// HostSettings a Host is built with. Each parser answers false and says why
// when the text is not what the switch takes.
#pragma once

#include <string>

#include "plughost/host/host.h"

namespace plughost {

// "fooB=true": a four-character key and true or false, put in the read
// descriptor.
bool ParseParam(const std::string& text, DescriptorEntry* entry, std::string* error);

// --without buffer|handle|resource|descriptor|advance
bool ApplyWithout(const std::string& what, HostSettings* settings, std::string* error);

// --suite-version SUITE=N and --routine-count SUITE=N. SUITE: buffer,
// resource, handle, read-descriptor, write-descriptor; "descriptor" names
// the version of the scripting parameters block (version only).
bool ApplySuiteVersion(const std::string& text, HostSettings* settings, std::string* error);
bool ApplyRoutineCount(const std::string& text, HostSettings* settings, std::string* error);

// --advance-fails-at ROW[:CODE]: the exchange whose top row is ROW answers
// CODE, -108 (out of memory) by default.
constexpr int16_t kDefaultAdvanceFailure = -108;
bool ApplyAdvanceFailure(const std::string& text, HostSettings* settings, std::string* error);

// A 16-bit result code, "-1715".
bool ParseResultCode(const std::string& text, int16_t* code, std::string* error);

}  // namespace plughost
