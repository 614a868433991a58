// The options of plughost's command line that CLI11 only gathers: the host
// options every command takes, and the options a command takes at most once.
// Both are checked once parsing is done, so that a mistake is told in words.
#pragma once

#include <string>
#include <vector>

#include "plughost/commands/commands.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace plughost {

// The host emulation switches as given, each value as its text.
struct HostSwitches {
  std::vector<std::string> params, without, suiteVersions, routineCounts;
  std::string advanceFails, closeRead;
};

// Options given once at most, gathered so that a repeat is told in words.
struct SingleUseOptions {
  std::vector<std::string> out, outDir, format, swatch;
};

// Adds --module, --param, --verbose, --trace, --answer-boxes and the host
// emulation group to a command, so that its --help lists them.
void AddHostOptions(CLI::App& app, Options& options, HostSwitches& switches);

// One value each time the option is given: a vector option would otherwise
// take the file names that follow it too. Answers the option.
CLI::Option* OneValueEach(CLI::Option* option);

// Checks the switches and puts them in options->settings; false with a
// sentence at the first that is not what its switch takes.
bool ApplySwitches(const HostSwitches& switches, Options* options, std::string* error);

// The value of an option given at most once (left alone when it was not
// given), or a sentence saying it was given more often.
bool TakeSingle(const std::vector<std::string>& given, const char* name, std::string* value,
                std::string* error);
// --swatch N, from 1 to kMaxSwatchTile.
bool ParseSwatch(const std::vector<std::string>& given, int* tile, std::string* error);
// --format png|ppm.
bool ParseFormat(const std::vector<std::string>& given, ImageFormat* format, std::string* error);

}  // namespace plughost
