#include "plughost/commands/host_options.h"

#include <cerrno>
#include <cstdlib>

namespace plughost {

namespace {

// The whole text as a decimal number within [low, high].
bool ParseNumber(const std::string& text, long low, long high, long* value) {
  if (text.empty() || text.size() > 12) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < low || v > high) return false;
  *value = v;
  return true;
}

bool SplitAtEquals(const std::string& text, std::string* key, std::string* value) {
  const size_t at = text.find('=');
  if (at == std::string::npos) return false;
  *key = text.substr(0, at);
  *value = text.substr(at + 1);
  return true;
}

constexpr const char* kSuiteNames = "buffer, resource, handle, read-descriptor or write-descriptor";

SuiteSettings* SuiteNamed(const std::string& name, HostSettings* s) {
  if (name == "buffer") return &s->buffer;
  if (name == "resource") return &s->resource;
  if (name == "handle") return &s->handle;
  if (name == "read-descriptor") return &s->readDescriptor;
  if (name == "write-descriptor") return &s->writeDescriptor;
  return nullptr;
}

// "SUITE=N" with N from 0 to 32767 puts N in `field` of the suite named. The
// descriptor block is no suite: "descriptor" names `descriptor` instead, for
// the one option that has a field there (null for the others).
bool SetSuiteNumber(const std::string& text, int SuiteSettings::*field, int* descriptor,
                    HostSettings* settings) {
  std::string name, number;
  long value = 0;
  if (!SplitAtEquals(text, &name, &number) || !ParseNumber(number, 0, 32767, &value))
    return false;
  SuiteSettings* suite = SuiteNamed(name, settings);
  int* target = suite != nullptr ? &(suite->*field) : name == "descriptor" ? descriptor : nullptr;
  if (target == nullptr) return false;
  *target = int(value);
  return true;
}

// What a SUITE=N option takes, said when it was given something else;
// `alsoSuite` is the name it takes besides the suites, or "".
std::string SuiteNumberError(const char* option, const char* alsoSuite, const std::string& text) {
  return std::string(option) + " takes SUITE=N with SUITE " + kSuiteNames + alsoSuite +
         ", and N from 0 to 32767, not \"" + text + "\"";
}

}  // namespace

bool ParseParam(const std::string& text, DescriptorEntry* entry, std::string* error) {
  std::string key, value;
  if (!SplitAtEquals(text, &key, &value) || key.size() != 4 ||
      (value != "true" && value != "false")) {
    *error = "--param takes KEY=true or KEY=false with a four-character KEY, not \"" + text + "\"";
    return false;
  }
  entry->key = MakeFourCharCode(key.c_str());
  entry->type = MakeFourCharCode("bool");
  entry->value = value == "true" ? 1 : 0;
  return true;
}

bool ApplyWithout(const std::string& what, HostSettings* settings, std::string* error) {
  if (what == "buffer") {
    settings->buffer.present = false;
  } else if (what == "handle") {
    settings->handle.present = false;
  } else if (what == "resource") {
    settings->resource.present = false;
  } else if (what == "descriptor") {
    settings->descriptorParams = false;
  } else if (what == "advance") {
    settings->advanceState = false;
  } else {
    *error =
        "--without takes buffer, handle, resource, descriptor or advance, not \"" + what + "\"";
    return false;
  }
  return true;
}

bool ApplySuiteVersion(const std::string& text, HostSettings* settings, std::string* error) {
  if (SetSuiteNumber(text, &SuiteSettings::version, &settings->descriptorParamsVersion, settings))
    return true;
  *error = SuiteNumberError("--suite-version", " or descriptor", text);
  return false;
}

bool ApplyRoutineCount(const std::string& text, HostSettings* settings, std::string* error) {
  if (SetSuiteNumber(text, &SuiteSettings::routineCount, nullptr, settings)) return true;
  *error = SuiteNumberError("--routine-count", "", text);
  return false;
}

bool ApplyAdvanceFailure(const std::string& text, HostSettings* settings, std::string* error) {
  const size_t colon = text.find(':');
  long row = 0, code = kDefaultAdvanceFailure;
  const bool rowOk = ParseNumber(text.substr(0, colon), 0, 32767, &row);
  const bool codeOk =
      colon == std::string::npos || ParseNumber(text.substr(colon + 1), -32768, 32767, &code);
  if (!rowOk || !codeOk || code == 0) {
    *error =
        "--advance-fails-at takes ROW or ROW:CODE, a row from 0 and a non-zero 16-bit "
        "code, not \"" +
        text + "\"";
    return false;
  }
  settings->advanceFailsAtRow = int(row);
  settings->advanceFailCode = int16_t(code);
  return true;
}

bool ParseResultCode(const std::string& text, int16_t* code, std::string* error) {
  long value = 0;
  if (!ParseNumber(text, -32768, 32767, &value)) {
    *error = "a result code is a number from -32768 to 32767, not \"" + text + "\"";
    return false;
  }
  *code = int16_t(value);
  return true;
}

}  // namespace plughost
