#include "plughost/commands/host_options.h"

#include <cstdlib>
#include <vector>

namespace plughost {

namespace {

constexpr int kMaxSuiteNumber = 32767;

bool SplitAt(char mark, const std::string& text, std::string* before, std::string* after) {
  const size_t at = text.find(mark);
  if (at == std::string::npos) return false;
  *before = text.substr(0, at);
  *after = text.substr(at + 1);
  return true;
}

// A number its validator (Decimal) accepted: decimal digits only.
int Number(const std::string& text) { return int(std::strtol(text.c_str(), nullptr, 10)); }

// "NAME=N" with NAME one of `names` and N from 0 to kMaxSuiteNumber.
CLI::Validator NamedNumber(const std::vector<std::string>& names) {
  const CLI::Validator name = CLI::IsMember(names);
  const CLI::Validator number = Decimal(0, kMaxSuiteNumber);
  return CLI::Validator(
      [name, number](std::string& text) {
        std::string suite, value;
        if (!SplitAt('=', text, &suite, &value)) return std::string("no SUITE=");
        const std::string refused = name(suite);
        return refused.empty() ? number(value) : refused;
      },
      "");
}

const std::vector<std::string> kSuites = {"buffer", "resource", "handle", "read-descriptor",
                                          "write-descriptor"};
constexpr const char* kSuitesText = "buffer, resource, handle, read-descriptor, write-descriptor";

SuiteSettings& SuiteNamed(const std::string& name, HostSettings* s) {
  if (name == "buffer") return s->buffer;
  if (name == "resource") return s->resource;
  if (name == "handle") return s->handle;
  if (name == "read-descriptor") return s->readDescriptor;
  return s->writeDescriptor;
}

}  // namespace

CLI::Validator Decimal(int min, int max) {
  return CLI::Validator(
      [min, max](std::string& text) {
        const size_t digits = text.size() > 1 && text[0] == '-' ? 1 : 0;
        if (digits == text.size() || text.find_first_not_of("0123456789", digits) != std::string::npos)
          return std::string("not a decimal number");
        // Past a few digits the value is out of any range here: no overflow.
        const size_t first = text.find_first_not_of('0', digits);
        if (first != std::string::npos && text.size() - first > 9) return std::string("out of range");
        const long value = std::strtol(text.c_str(), nullptr, 10);
        if (value < min || value > max) return std::string("out of range");
        text = std::to_string(value);
        return std::string();
      },
      "");
}

CLI::Validator Takes(const CLI::Validator& check, const std::string& what) {
  return CLI::Validator(
      [check, what](std::string& text) {
        const std::string given = text;
        // A transforming check rewrites the text in place for the option to read.
        if (check(text).empty()) return std::string();
        return "takes " + what + ", not \"" + given + "\"";
      },
      "");
}

CLI::Validator ParamCheck() {
  const CLI::Validator boolean = CLI::IsMember(std::vector<std::string>{"true", "false"});
  const CLI::Validator check(
      [boolean](std::string& text) {
        std::string key, value;
        if (!SplitAt('=', text, &key, &value) || key.size() != 4) return std::string("no KEY=");
        return boolean(value);
      },
      "");
  return Takes(check, "KEY=true or KEY=false with a four-character KEY");
}

DescriptorEntry ParamEntry(const std::string& text) {
  DescriptorEntry entry;
  entry.key = MakeFourCharCode(text.substr(0, 4).c_str());
  entry.type = MakeFourCharCode("bool");
  entry.value = text.substr(5) == "true" ? 1 : 0;
  return entry;
}

CLI::Validator WithoutCheck() {
  return Takes(CLI::IsMember(std::vector<std::string>{"buffer", "handle", "resource",
                                                      "descriptor", "advance"}),
               "buffer, handle, resource, descriptor or advance");
}

void ApplyWithout(const std::string& what, HostSettings* settings) {
  if (what == "descriptor") {
    settings->descriptorParams = false;
  } else if (what == "advance") {
    settings->advanceState = false;
  } else {
    SuiteNamed(what, settings).present = false;
  }
}

CLI::Validator SuiteVersionCheck() {
  std::vector<std::string> names = kSuites;
  names.push_back("descriptor");
  return Takes(NamedNumber(names), std::string("SUITE=N with SUITE ") + kSuitesText +
                                       " or descriptor, and N from 0 to 32767");
}

CLI::Validator RoutineCountCheck() {
  return Takes(NamedNumber(kSuites),
               std::string("SUITE=N with SUITE ") + kSuitesText + ", and N from 0 to 32767");
}

void ApplySuiteVersion(const std::string& text, HostSettings* settings) {
  std::string name, number;
  SplitAt('=', text, &name, &number);
  if (name == "descriptor") {
    settings->descriptorParamsVersion = Number(number);
  } else {
    SuiteNamed(name, settings).version = Number(number);
  }
}

void ApplyRoutineCount(const std::string& text, HostSettings* settings) {
  std::string name, number;
  SplitAt('=', text, &name, &number);
  SuiteNamed(name, settings).routineCount = Number(number);
}

CLI::Validator AdvanceFailureCheck() {
  const CLI::Validator row = Decimal(0, kMaxSuiteNumber);
  const CLI::Validator code = Decimal(-32768, -1) | Decimal(1, 32767);
  const CLI::Validator check(
      [row, code](std::string& text) {
        std::string rowText, codeText;
        if (!SplitAt(':', text, &rowText, &codeText)) return row(text);
        const std::string refused = row(rowText);
        return refused.empty() ? code(codeText) : refused;
      },
      "");
  return Takes(check, "ROW or ROW:CODE, a row from 0 to 32767 and a non-zero 16-bit code");
}

void ApplyAdvanceFailure(const std::string& text, HostSettings* settings) {
  std::string row = text, code;
  const bool coded = SplitAt(':', text, &row, &code);
  settings->advanceFailsAtRow = Number(row);
  settings->advanceFailCode = coded ? int16_t(Number(code)) : kDefaultAdvanceFailure;
}

CLI::Validator ResultCodeCheck() {
  return Takes(Decimal(-32768, 32767), "a result code from -32768 to 32767");
}

}  // namespace plughost
