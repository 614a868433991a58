// The host emulation switches of the command line: for each, the CLI11
// validator of the text it takes, and what a text the validator accepted
// changes in the HostSettings a Host is built with. An Apply function is
// only ever given a text its validator accepted.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "plughost/host/host.h"

namespace plughost {

// A whole number from `min` to `max` in decimal digits (and a leading
// minus): "010" is ten, never eight; "0x10" and "1e3" are refused. The text
// is rewritten as plain decimal, so that an option that reads it as a number
// (CLI11 would take "010" for octal) reads it so when checked by transform.
CLI::Validator Decimal(int min, int max);

// `check`, saying what the option takes when it refuses a text:
// "takes WHAT, not "TEXT"" (CLI11 puts the option's name in front).
CLI::Validator Takes(const CLI::Validator& check, const std::string& what);

// --param KEY=true|false: a four-character key and a boolean for the
// descriptor the module reads.
CLI::Validator ParamCheck();
DescriptorEntry ParamEntry(const std::string& text);

// --without buffer|handle|resource|descriptor|advance
CLI::Validator WithoutCheck();
void ApplyWithout(const std::string& what, HostSettings* settings);

// --suite-version SUITE=N and --routine-count SUITE=N, N from 0 to 32767.
// SUITE: buffer, resource, handle, read-descriptor, write-descriptor;
// "descriptor" names the version of the scripting parameters block, which
// has no routines to count.
CLI::Validator SuiteVersionCheck();
CLI::Validator RoutineCountCheck();
void ApplySuiteVersion(const std::string& text, HostSettings* settings);
void ApplyRoutineCount(const std::string& text, HostSettings* settings);

// --advance-fails-at ROW[:CODE]: the exchange whose top row is ROW answers
// CODE, never 0, and -108 (out of memory) when CODE is left out.
constexpr int16_t kDefaultAdvanceFailure = -108;
CLI::Validator AdvanceFailureCheck();
void ApplyAdvanceFailure(const std::string& text, HostSettings* settings);

// --close-read-result CODE: a 16-bit result code, "-1715".
CLI::Validator ResultCodeCheck();

}  // namespace plughost
