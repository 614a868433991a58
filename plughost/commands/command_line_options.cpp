#include "plughost/commands/command_line_options.h"

#include <CLI/CLI.hpp>

#include "plughost/commands/host_options.h"

namespace plughost {

namespace {

// The switches that make the host behave as other hosts do, as a group of
// their own in --help.
void AddHostEmulation(CLI::App& app, HostSwitches& s) {
  const auto last = CLI::MultiOptionPolicy::TakeLast;
  auto* group = app.add_option_group("host emulation", "Drive the module as other hosts would");
  OneValueEach(group->add_option(
      "--without", s.without,
      "Offer no buffer|handle|resource suite, no descriptor (scripting) block, "
      "or no advance (advanceState) (repeatable)"));
  OneValueEach(group->add_option(
      "--suite-version", s.suiteVersions,
      "SUITE=N: give a suite another version, 0 to 32767; SUITE is buffer, "
      "resource, handle, read-descriptor, write-descriptor or descriptor"));
  OneValueEach(group->add_option(
      "--routine-count", s.routineCounts,
      "SUITE=N: give a suite another routine count, 0 to 32767 (repeatable)"));
  group
      ->add_option("--advance-fails-at", s.advanceFails,
                   "ROW[:CODE]: advanceState answers CODE (default -108) for the exchange "
                   "starting at ROW")
      ->multi_option_policy(last);
  group
      ->add_option("--close-read-result", s.closeRead,
                   "CODE: what closing the read descriptor answers (default 0)")
      ->multi_option_policy(last);
}

}  // namespace

CLI::Option* OneValueEach(CLI::Option* option) {
  return option->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

void AddHostOptions(CLI::App& app, Options& options, HostSwitches& s) {
  // Given twice, the last one counts, so scripts can override a default.
  const auto last = CLI::MultiOptionPolicy::TakeLast;
  app.add_option("--module", options.module,
                 "The module file to load (default: the one next to this program)")
      ->multi_option_policy(last);
  OneValueEach(app.add_option(
      "--param", s.params,
      "KEY=true|false: put a boolean under KEY in the read descriptor (repeatable)"));
  app.add_flag("-v,--verbose", options.verbose,
               "Print each selector's result and what the module recorded in its descriptor");
  app.add_option("--trace", options.traceFile,
                 "Write one JSON line per selector call and per host callback to FILE")
      ->multi_option_policy(last);
  app.add_flag("--answer-boxes", options.answerBoxes,
               "Print each message box of the module on stderr and close it with OK at once "
               "(Windows; the native build always prints them)");
  AddHostEmulation(app, s);
}

bool ApplySwitches(const HostSwitches& s, Options* options, std::string* error) {
  HostSettings& settings = options->settings;
  for (const std::string& p : s.params) {
    DescriptorEntry entry;
    if (!ParseParam(p, &entry, error)) return false;
    settings.readParams.push_back(entry);
  }
  for (const std::string& w : s.without)
    if (!ApplyWithout(w, &settings, error)) return false;
  for (const std::string& v : s.suiteVersions)
    if (!ApplySuiteVersion(v, &settings, error)) return false;
  for (const std::string& c : s.routineCounts)
    if (!ApplyRoutineCount(c, &settings, error)) return false;
  if (!s.advanceFails.empty() && !ApplyAdvanceFailure(s.advanceFails, &settings, error))
    return false;
  if (!s.closeRead.empty() && !ParseResultCode(s.closeRead, &settings.closeReadResult, error)) {
    *error = "--close-read-result: " + *error;
    return false;
  }
  return true;
}

bool TakeSingle(const std::vector<std::string>& given, const char* name, std::string* value,
                std::string* error) {
  if (given.size() > 1) {
    *error = std::string(name) + " is given " + std::to_string(given.size()) +
             " times; give it once";
    return false;
  }
  if (!given.empty()) *value = given.front();
  return true;
}

bool ParseSwatch(const std::vector<std::string>& given, int* tile, std::string* error) {
  std::string text;
  if (!TakeSingle(given, "--swatch", &text, error)) return false;
  if (text.empty()) return true;
  size_t used = 0;
  int value = 0;
  try {
    value = std::stoi(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || value < 1 || value > kMaxSwatchTile) {
    *error = "--swatch takes a tile size from 1 to " + std::to_string(kMaxSwatchTile) +
             " pixels, not \"" + text + "\"";
    return false;
  }
  *tile = value;
  return true;
}

bool ParseFormat(const std::vector<std::string>& given, ImageFormat* format, std::string* error) {
  std::string text;
  if (!TakeSingle(given, "--format", &text, error)) return false;
  if (text.empty()) return true;
  *format = FormatFromPath("x." + text);
  if (*format != ImageFormat::kUnknown) return true;
  *error = "--format takes png or ppm, or gpl or pal for a palette, not \"" + text + "\"";
  return false;
}

}  // namespace plughost
