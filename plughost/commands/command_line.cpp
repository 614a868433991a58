#include "plughost/commands/command_line.h"

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "plughost/commands/command_line_options.h"
#include "plughost/commands/commands.h"

#ifndef ZENTROW_VERSION
#define ZENTROW_VERSION "unknown"
#endif

namespace plughost {

namespace {

constexpr const char* kFooter = R"(Exit status: 0 success; 1 the module answered a non-zero result;
2 a bad command line; 3 the host failed (cannot read an input, load the
module or write an output). Every option of plughost may follow the command.)";

constexpr const char* kCommands = "open, save, probe, about or info";

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

// Everything the command line fills in. CLI11 keeps the address of each
// field, so it stays in one place until the command has run.
struct Given {
  std::vector<std::string> stray;  // words where a command should be
  Options options;
  HostSwitches switches;
  OpenRequest open;
  SingleUseOptions openSingles;
  SaveRequest save;
  SingleUseOptions saveSingles;
  std::vector<std::string> probeFiles;
  std::string infoModule;
};

struct Commands {
  CLI::App* open;
  CLI::App* save;
  CLI::App* probe;
  CLI::App* about;
  CLI::App* info;
};

void SetUpProgram(CLI::App& app, Given& given) {
  // "/home/me/a.kcf" is a path on every platform, never an option.
  app.allow_windows_style_options(false);
  app.allow_extras();
  app.footer(kFooter);
  app.fallthrough();
  app.set_version_flag("--version", std::string("plughost ") + ZENTROW_VERSION,
                       "Print the version and exit");
  // Gathered and checked after parsing, so that a mistyped command is named.
  app.add_option("COMMAND", given.stray, std::string("One of: ") + kCommands);
  AddHostOptions(app, given.options, given.switches);
}

// A command with the host options, which it may be given anywhere on the line.
CLI::App* AddCommand(CLI::App& app, const char* name, const char* description, Given& given) {
  CLI::App* command = app.add_subcommand(name, description);
  command->allow_windows_style_options(false);
  command->allow_extras();
  AddHostOptions(*command, given.options, given.switches);
  return command;
}

CLI::App* AddOpenCommand(CLI::App& app, Given& given) {
  CLI::App* open = AddCommand(
      app, "open", "Open palette files through the module and write them as images", given);
  SingleUseOptions& once = given.openSingles;
  open->add_option("FILE", given.open.inputs, "Palette files");
  OneValueEach(
      open->add_option("--out", once.out,
                       "The image to write, .png or .ppm, or a palette, .gpl or .pal (one FILE)"));
  OneValueEach(open->add_option("--out-dir", once.outDir,
                                "Write each FILE's image here, under its own name (any number "
                                "of FILEs; a bad file is reported and the rest still "
                                "converted; DIR is made if missing)"));
  OneValueEach(open->add_option(
      "--format", once.format,
      "png or ppm, or gpl or pal for a GIMP or JASC palette (default: by --out's extension, "
      "or png)"));
  OneValueEach(open->add_option(
      "--swatch", once.swatch, "N: scale each colour to an N x N tile in a thin grid (1 to 255)"));
  open->add_flag("--force", given.open.force, "Replace an existing file that holds a palette");
  return open;
}

CLI::App* AddSaveCommand(CLI::App& app, Given& given) {
  CLI::App* save = AddCommand(
      app, "save",
      "Save images (PNG, PPM, BMP, JPEG ...) or GIMP/JASC palettes (.gpl, .pal) as KiSS "
      "palettes through the module",
      given);
  SingleUseOptions& once = given.saveSingles;
  save->add_option("IMAGE", given.save.images,
                   "Images; the first 16 x 16 pixels of each are saved");
  OneValueEach(save->add_option("--out", once.out, "The palette file to write (one IMAGE)"));
  OneValueEach(save->add_option("--out-dir", once.outDir,
                                "Write each IMAGE's palette here as NAME.kcf (any number of "
                                "IMAGEs; DIR is made if missing)"));
  OneValueEach(save->add_option(
      "--swatch", once.swatch,
      "N: each image is a swatch of N x N tiles, as open --swatch N writes"));
  save->add_flag("--force", given.save.force, "Replace an existing file that holds an image");
  return save;
}

CLI::App* AddProbeCommand(CLI::App& app, Given& given) {
  CLI::App* probe = AddCommand(
      app, "probe", "Ask the module whether each file is a palette, one line each", given);
  probe->add_option("FILE", given.probeFiles, "Files to ask about");
  return probe;
}

CLI::App* AddAboutCommand(CLI::App& app, Given& given) {
  return AddCommand(app, "about", "Show the module's About box (selector 0)", given);
}

CLI::App* AddInfoCommand(CLI::App& app, Given& given) {
  CLI::App* info = AddCommand(
      app, "info", "Print the module's property list, decoded, without running its code", given);
  info->add_option("MODULE", given.infoModule, "The module file (default: as --module)");
  return info;
}

// What Parse answers when the line names a command to run.
constexpr int kRunCommand = -1;

// The exit status when parsing ends the run (help, version, a bad line), or
// kRunCommand.
int Parse(CLI::App& app, int argc, const char* const* argv, Streams io) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {  // --help or --version
    return app.exit(e, io.out, io.err) == 0 ? kExitSuccess : kExitUsage;
  } catch (const CLI::ArgumentMismatch&) {
    Usage(io.err, "an option is missing its value");
    return kExitUsage;
  } catch (const CLI::ParseError&) {
    Usage(io.err, "the command line could not be read");
    return kExitUsage;
  }
  return kRunCommand;
}

// The one command given, or null once a usage message has said what is wrong.
CLI::App* ChosenCommand(const CLI::App& app, const Given& given, std::ostream& err) {
  if (app.get_subcommands().empty()) {
    Usage(err, given.stray.empty()
                   ? std::string("a command is required: ") + kCommands
                   : "\"" + given.stray.front() + "\" is not a command: " + kCommands);
    return nullptr;
  }
  CLI::App* command = app.get_subcommands().front();
  if (!given.stray.empty()) {
    Usage(err, command->get_name() + " takes no argument \"" + given.stray.front() + "\"");
    return nullptr;
  }
  return command;
}

// The options given at most once, into the requests.
bool TakeSingleUseOptions(Given& given, std::string* error) {
  return TakeSingle(given.openSingles.out, "--out", &given.open.out, error) &&
         TakeSingle(given.openSingles.outDir, "--out-dir", &given.open.outDir, error) &&
         ParseFormat(given.openSingles.format, &given.open.format, error) &&
         ParseSwatch(given.openSingles.swatch, &given.open.swatch, error) &&
         TakeSingle(given.saveSingles.out, "--out", &given.save.out, error) &&
         TakeSingle(given.saveSingles.outDir, "--out-dir", &given.save.outDir, error) &&
         ParseSwatch(given.saveSingles.swatch, &given.save.swatch, error);
}

// Whatever is left to check once CLI11 has parsed the line; false once a
// usage message has said what is wrong.
bool CheckGiven(const CLI::App& app, const CLI::App& command, Given& given, std::ostream& err) {
  std::string error;
  return CheckLeftOver(app, err) && CheckLeftOver(command, err) &&
         (ApplySwitches(given.switches, &given.options, &error) || Usage(err, error)) &&
         (TakeSingleUseOptions(given, &error) || Usage(err, error));
}

int RunCommand(const Commands& commands, const CLI::App* command, const Given& given,
               Streams io) {
  if (command == commands.open) return RunOpen(given.options, given.open, io);
  if (command == commands.save) return RunSave(given.options, given.save, io);
  if (command == commands.probe) return RunProbe(given.options, given.probeFiles, io);
  if (command == commands.about) return RunAbout(given.options, io);
  if (command == commands.info) return RunInfo(given.options, given.infoModule, io);
  return kExitUsage;
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{
      "plughost: a host for file-format plug-in modules such as Zentrow, "
      "which opens and saves KiSS palettes (.kcf)",
      "plughost"};
  Given given;
  SetUpProgram(app, given);
  const Commands commands = {AddOpenCommand(app, given), AddSaveCommand(app, given),
                             AddProbeCommand(app, given), AddAboutCommand(app, given),
                             AddInfoCommand(app, given)};
  const Streams io{out, err};
  const int parsed = Parse(app, argc, argv, io);
  if (parsed != kRunCommand) return parsed;
  const CLI::App* command = ChosenCommand(app, given, err);
  if (command == nullptr || !CheckGiven(app, *command, given, err)) return kExitUsage;
  return RunCommand(commands, command, given, io);
}

}  // namespace plughost
