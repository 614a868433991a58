#include "plughost/command_line.h"

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "plughost/commands.h"
#include "plughost/host_options.h"

namespace plughost {

namespace {

constexpr const char* kFooter = R"(Exit status: 0 success; 1 the module answered a non-zero result;
2 a bad command line; 3 the host failed (cannot read an image, load the
module or write an output). Every option of plughost may follow the command.)";

// The switches as given, checked and applied once parsing is done.
struct Switches {
  std::vector<std::string> params, without, suiteVersions, routineCounts;
  std::string advanceFails, closeRead;
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
  if (!s.closeRead.empty()) {
    if (!ParseResultCode(s.closeRead, &settings.closeReadResult, error)) {
      *error = "--close-read-result: " + *error;
      return false;
    }
  }
  return true;
}

void AddHostOptions(CLI::App& app, Options& options, Switches& s) {
  // Given twice, the last one counts, so scripts can override a default.
  const auto last = CLI::MultiOptionPolicy::TakeLast;
  app.add_option("--module", options.module,
                 "The module to load (default: the one next to this program)")
      ->multi_option_policy(last);
  app.add_option("--param", s.params,
                 "KEY=true|false: put a boolean under KEY in the read descriptor (repeatable)");
  app.add_flag("-v,--verbose", options.verbose,
               "Print each selector's result and what the module recorded in its descriptor");
  app.add_option("--trace", options.traceFile,
                 "Write one JSON line per selector call and per host callback to FILE")
      ->multi_option_policy(last);
  app.add_flag("--answer-boxes", options.answerBoxes,
               "Print each message box of the module on stderr and close it with OK at once "
               "(Windows; the native build always prints them)");
  auto* group = app.add_option_group("host emulation", "Drive the module as other hosts would");
  group->add_option("--without", s.without,
                    "Offer no buffer|handle|resource suite, no descriptor (scripting) block, "
                    "or no advance (advanceState) (repeatable)");
  group->add_option("--suite-version", s.suiteVersions,
                    "SUITE=N: give a suite another version; SUITE is buffer, resource, handle, "
                    "read-descriptor, write-descriptor or descriptor (repeatable)");
  group->add_option("--routine-count", s.routineCounts,
                    "SUITE=N: give a suite another routine count (repeatable)");
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

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{
      "plughost: a host for file-format plug-in modules such as Zentrow, "
      "which opens and saves KiSS palettes (.kcf)",
      "plughost"};
  app.footer(kFooter);
  app.fallthrough();
  // Checked after parsing, so that a mistyped command is named.
  std::string stray;
  app.add_option("COMMAND", stray, "One of the commands below");
  Options options;
  Switches switches;
  AddHostOptions(app, options, switches);

  OpenRequest open;
  std::string dirFormat = "png";
  CLI::App* openCommand = app.add_subcommand(
      "open", "Open palette files through the module and write them as PNG or PPM images");
  openCommand->add_option("FILE", open.inputs, "Palette files")->required();
  openCommand->add_option("--out", open.out, "The image to write, .png or .ppm (one FILE)");
  openCommand->add_option("--out-dir", open.outDir,
                          "Write each FILE's image here, under its own name (any number of "
                          "FILEs; a bad file is reported and the rest still converted; DIR is "
                          "made if missing)");
  openCommand->add_option("--format", dirFormat, "Image format with --out-dir")
      ->check(CLI::IsMember({"png", "ppm"}));
  openCommand
      ->add_option("--swatch", open.swatch, "Scale each colour to an N x N tile in a thin grid")
      ->check(CLI::Range(1, 255));

  SaveRequest save;
  CLI::App* saveCommand = app.add_subcommand(
      "save", "Save an image (PNG, PPM, BMP, JPEG ...) as a palette through the module");
  saveCommand->add_option("IMAGE", save.image, "The image; its first 16 x 16 pixels are saved")
      ->required();
  saveCommand->add_option("--out", save.out, "The palette file to write")->required();
  saveCommand
      ->add_option("--swatch", save.swatch,
                   "The image is a swatch of N x N tiles, as open --swatch N writes")
      ->check(CLI::Range(1, 255));

  std::vector<std::string> probeFiles;
  CLI::App* probeCommand =
      app.add_subcommand("probe", "Ask the module whether each file is a palette, one line each");
  probeCommand->add_option("FILE", probeFiles, "Files to ask about")->required();

  CLI::App* aboutCommand = app.add_subcommand("about", "Show the module's About box (selector 0)");

  std::string infoModule;
  CLI::App* infoCommand = app.add_subcommand(
      "info", "Print the module's property list, decoded, without running its code");
  infoCommand->add_option("MODULE", infoModule, "The module file (default: as --module)");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e, out, err);
    return code == 0 ? kExitSuccess : kExitUsage;
  }
  if (app.get_subcommands().empty()) {
    err << "plughost: "
        << (stray.empty() ? "a command is required" : "\"" + stray + "\" is not a command")
        << ": open, save, probe, about or info\nRun with --help for more information.\n";
    return kExitUsage;
  }
  if (!stray.empty()) {
    err << "plughost: unexpected argument \"" << stray
        << "\"\nRun with --help for more information.\n";
    return kExitUsage;
  }
  std::string error;
  if (!ApplySwitches(switches, &options, &error)) {
    err << "plughost: " << error << "\nRun with --help for more information.\n";
    return kExitUsage;
  }
  open.dirFormat = dirFormat == "ppm" ? ImageFormat::kPpm : ImageFormat::kPng;
  Streams io{out, err};
  if (*openCommand) return RunOpen(options, open, io);
  if (*saveCommand) return RunSave(options, save, io);
  if (*probeCommand) return RunProbe(options, probeFiles, io);
  if (*aboutCommand) return RunAbout(options, io);
  if (*infoCommand) return RunInfo(options, infoModule, io);
  return kExitUsage;
}

}  // namespace plughost
