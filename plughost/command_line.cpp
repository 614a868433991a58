#include "plughost/command_line.h"

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "plughost/commands.h"
#include "plughost/host_options.h"

#ifndef ZENTROW_VERSION
#define ZENTROW_VERSION "unknown"
#endif

namespace plughost {

namespace {

constexpr const char* kFooter = R"(Exit status: 0 success; 1 the module answered a non-zero result;
2 a bad command line; 3 the host failed (cannot read an input, load the
module or write an output). Every option of plughost may follow the command.)";

constexpr const char* kCommands = "open, save, probe, about or info";

// The switches as given, checked and applied once parsing is done.
struct Switches {
  std::vector<std::string> params, without, suiteVersions, routineCounts;
  std::string advanceFails, closeRead;
};

// Options given once at most, gathered so that a repeat is told in words.
struct Singles {
  std::vector<std::string> out, outDir, format, swatch;
};

bool ApplySwitches(const Switches& s, Options* options, std::string* error) {
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

// One value each time it is given: a vector option would otherwise take the
// file names that follow it too.
CLI::Option* Each(CLI::Option* option) {
  return option->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

// On every command, so that each one's --help lists them.
void AddHostOptions(CLI::App& app, Options& options, Switches& s) {
  // Given twice, the last one counts, so scripts can override a default.
  const auto last = CLI::MultiOptionPolicy::TakeLast;
  app.add_option("--module", options.module,
                 "The module file to load (default: the one next to this program)")
      ->multi_option_policy(last);
  Each(app.add_option("--param", s.params,
                 "KEY=true|false: put a boolean under KEY in the read descriptor (repeatable)"));
  app.add_flag("-v,--verbose", options.verbose,
               "Print each selector's result and what the module recorded in its descriptor");
  app.add_option("--trace", options.traceFile,
                 "Write one JSON line per selector call and per host callback to FILE")
      ->multi_option_policy(last);
  app.add_flag("--answer-boxes", options.answerBoxes,
               "Print each message box of the module on stderr and close it with OK at once "
               "(Windows; the native build always prints them)");
  auto* group = app.add_option_group("host emulation", "Drive the module as other hosts would");
  Each(group->add_option("--without", s.without,
                    "Offer no buffer|handle|resource suite, no descriptor (scripting) block, "
                    "or no advance (advanceState) (repeatable)"));
  Each(group->add_option("--suite-version", s.suiteVersions,
                    "SUITE=N: give a suite another version, 0 to 32767; SUITE is buffer, "
                    "resource, handle, read-descriptor, write-descriptor or descriptor"));
  Each(group->add_option("--routine-count", s.routineCounts,
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

CLI::App* AddCommand(CLI::App& app, const char* name, const char* description, Options& options,
                     Switches& switches) {
  CLI::App* command = app.add_subcommand(name, description);
  command->allow_windows_style_options(false);
  command->allow_extras();
  AddHostOptions(*command, options, switches);
  return command;
}

// The value of an option given at most once, or a sentence saying it was not.
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
  if (text != "png" && text != "ppm") {
    *error = "--format takes png or ppm, not \"" + text + "\"";
    return false;
  }
  *format = text == "ppm" ? ImageFormat::kPpm : ImageFormat::kPng;
  return true;
}

bool Usage(std::ostream& err, const std::string& text) {
  err << "plughost: " << text << "\nRun with --help for more information.\n";
  return false;
}

// What CLI11 left over: an unknown option or an argument of no command.
bool CheckLeftOver(const CLI::App& command, std::ostream& err) {
  for (const std::string& arg : command.remaining()) {
    if (arg.size() > 1 && arg[0] == '-')
      return Usage(err, "\"" + arg + "\" is not an option of " + command.get_name());
    return Usage(err, command.get_name() + " takes no argument \"" + arg + "\"");
  }
  return true;
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{
      "plughost: a host for file-format plug-in modules such as Zentrow, "
      "which opens and saves KiSS palettes (.kcf)",
      "plughost"};
  // "/home/me/a.kcf" is a path on every platform, never an option.
  app.allow_windows_style_options(false);
  app.allow_extras();
  app.footer(kFooter);
  app.fallthrough();
  app.set_version_flag("--version", std::string("plughost ") + ZENTROW_VERSION,
                       "Print the version and exit");
  // Gathered and checked after parsing, so that a mistyped command is named.
  std::vector<std::string> stray;
  app.add_option("COMMAND", stray, std::string("One of: ") + kCommands);
  Options options;
  Switches switches;
  AddHostOptions(app, options, switches);

  OpenRequest open;
  Singles openSingles;
  CLI::App* openCommand =
      AddCommand(app, "open", "Open palette files through the module and write them as images",
                 options, switches);
  openCommand->add_option("FILE", open.inputs, "Palette files");
  Each(openCommand->add_option("--out", openSingles.out, "The image to write, .png or .ppm (one FILE)"));
  Each(openCommand->add_option("--out-dir", openSingles.outDir,
                          "Write each FILE's image here, under its own name (any number of "
                          "FILEs; a bad file is reported and the rest still converted; DIR is "
                          "made if missing)"));
  Each(openCommand->add_option("--format", openSingles.format,
                          "png or ppm: the image format (default: by --out's extension, or png)"));
  Each(openCommand->add_option("--swatch", openSingles.swatch,
                          "N: scale each colour to an N x N tile in a thin grid (1 to 255)"));
  openCommand->add_flag("--force", open.force, "Replace an existing file that holds a palette");

  SaveRequest save;
  Singles saveSingles;
  CLI::App* saveCommand = AddCommand(
      app, "save", "Save images (PNG, PPM, BMP, JPEG ...) as palettes through the module", options,
      switches);
  saveCommand->add_option("IMAGE", save.images, "Images; the first 16 x 16 pixels of each are saved");
  Each(saveCommand->add_option("--out", saveSingles.out, "The palette file to write (one IMAGE)"));
  Each(saveCommand->add_option("--out-dir", saveSingles.outDir,
                          "Write each IMAGE's palette here as NAME.kcf (any number of IMAGEs; "
                          "DIR is made if missing)"));
  Each(saveCommand->add_option("--swatch", saveSingles.swatch,
                          "N: each image is a swatch of N x N tiles, as open --swatch N writes"));
  saveCommand->add_flag("--force", save.force, "Replace an existing file that holds an image");

  std::vector<std::string> probeFiles;
  CLI::App* probeCommand = AddCommand(
      app, "probe", "Ask the module whether each file is a palette, one line each", options,
      switches);
  probeCommand->add_option("FILE", probeFiles, "Files to ask about");

  CLI::App* aboutCommand = AddCommand(app, "about", "Show the module's About box (selector 0)",
                                      options, switches);

  std::string infoModule;
  CLI::App* infoCommand = AddCommand(
      app, "info", "Print the module's property list, decoded, without running its code", options,
      switches);
  infoCommand->add_option("MODULE", infoModule, "The module file (default: as --module)");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e, out, err) == 0 ? kExitSuccess : kExitUsage;
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e, out, err) == 0 ? kExitSuccess : kExitUsage;
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e, out, err) == 0 ? kExitSuccess : kExitUsage;
  } catch (const CLI::ArgumentMismatch&) {
    Usage(err, "an option is missing its value");
    return kExitUsage;
  } catch (const CLI::ParseError&) {
    Usage(err, "the command line could not be read");
    return kExitUsage;
  }
  if (app.get_subcommands().empty()) {
    Usage(err, stray.empty() ? std::string("a command is required: ") + kCommands
                             : "\"" + stray.front() + "\" is not a command: " + kCommands);
    return kExitUsage;
  }
  CLI::App* command = app.get_subcommands().front();
  if (!stray.empty()) {
    Usage(err, command->get_name() + " takes no argument \"" + stray.front() + "\"");
    return kExitUsage;
  }
  std::string error;
  const bool read = CheckLeftOver(app, err) && CheckLeftOver(*command, err) &&
                    (ApplySwitches(switches, &options, &error) || Usage(err, error)) &&
                    ((TakeSingle(openSingles.out, "--out", &open.out, &error) &&
                      TakeSingle(openSingles.outDir, "--out-dir", &open.outDir, &error) &&
                      ParseFormat(openSingles.format, &open.format, &error) &&
                      ParseSwatch(openSingles.swatch, &open.swatch, &error) &&
                      TakeSingle(saveSingles.out, "--out", &save.out, &error) &&
                      TakeSingle(saveSingles.outDir, "--out-dir", &save.outDir, &error) &&
                      ParseSwatch(saveSingles.swatch, &save.swatch, &error)) ||
                     Usage(err, error));
  if (!read) return kExitUsage;
  Streams io{out, err};
  if (command == openCommand) return RunOpen(options, open, io);
  if (command == saveCommand) return RunSave(options, save, io);
  if (command == probeCommand) return RunProbe(options, probeFiles, io);
  if (command == aboutCommand) return RunAbout(options, io);
  if (command == infoCommand) return RunInfo(options, infoModule, io);
  return kExitUsage;
}

}  // namespace plughost
