#include "plughost/commands/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <string>
#include <vector>

#include "plughost/commands/command_line_options.h"
#include "plughost/commands/commands.h"
#include "plughost/commands/terminal.h"

#ifndef ZENTROW_VERSION
#define ZENTROW_VERSION "unknown"
#endif

namespace plughost {

namespace {

constexpr const char* kFooter = R"(Exit status: 0 success; 1 the module answered a non-zero result;
2 a bad command line; 3 the host failed (cannot read an input, load the
module or write an output), every target as it was; 4 some outputs in place
and others not, named in the last line. Host options may also stand before the command;
a command's own options go after it, before or after the files; -- ends the
options, so that a file name may begin with -.)";

// Every command, one row each: a new command is a file with its row, and
// a line here.
std::vector<CommandRow> CommandTable() {
  return {OpenCommand(), SaveCommand(), ProbeCommand(), AboutCommand(), InfoCommand()};
}

// "open, save, probe, about or info"
std::string CommandNames(const std::vector<CommandRow>& table) {
  std::string names;
  for (size_t i = 0; i < table.size(); ++i)
    names += (i == 0 ? "" : i + 1 == table.size() ? " or " : ", ") + table[i].name;
  return names;
}

// What the program itself takes before any command: every host option.
// The module reads its key from the scripting parameters and records it
// back, which --verbose shows.
const HostOptionUse kProgramUses = {
    true, true,
    "Hand the module a boolean under KEY among the scripting parameters it reads (open "
    "reads fooB, save barF)",
    true};

bool Usage(std::ostream& err, const std::string& text) {
  err << "plughost: " << Printable(text) << "\nRun with --help for more information.\n";
  return false;
}

// What the command line fills in for every command: the host options.
// CLI11 keeps the address of each field, so it stays in one place until
// the command has run.
struct Given {
  Options options;
};

// Each command's CLI::App, and how it runs once its options are parsed.
struct Command {
  CLI::App* app;
  CommandRun run;
};

void SetUpProgram(CLI::App& app, Given& given) {
  // "/home/me/a.kcf" is a path on every platform, never an option; the
  // commands and their option groups take this over as they are added.
  app.allow_windows_style_options(false);
  // Unknown options and stray words are told in words once parsing is done.
  app.allow_extras();
  app.require_subcommand(1);
  // A switch takes no value: "--verbose=2" and "--force=maybe" are refused
  // rather than read as a count or a boolean.
  app.option_defaults()->disable_flag_override();
  app.footer(kFooter);
  // Set before the commands are added, which take it over.
  HideTestingOptions(app);
  app.get_formatter()->label("SUBCOMMAND", "COMMAND");
  app.set_version_flag("--version", std::string("plughost ") + ZENTROW_VERSION,
                       "Print the version and exit");
  AddHostOptions(app, given.options, kProgramUses);
}

// A command with the host options it uses, which may follow it too.
Command AddCommand(CLI::App& app, const CommandRow& row, Given& given) {
  CLI::App* command = app.add_subcommand(row.name, row.description);
  command->group("Commands");
  command->allow_extras();
  // The command's own options first in its --help, then the host's.
  CommandRun run = row.setUp(*command);
  AddHostOptions(*command, given.options, row.uses);
  return {command, run};
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// CLI11's refusal, in our words where its own are unclear. Each message it
// throws here begins with the option's name.
std::string Reason(const CLI::ParseError& e) {
  const std::string what = e.what();
  const std::string name = what.substr(0, what.find_first_of(": "));
  // Our validators say "takes ..., not ..." after the name and a colon.
  if (dynamic_cast<const CLI::ValidationError*>(&e) != nullptr)
    return name + " " + what.substr(std::min(what.size(), name.size() + 2));
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) == nullptr)
    return "the command line could not be read";
  if (EndsWith(what, " missing")) return name + " needs a value";
  // This one names the switch without its dashes.
  if (EndsWith(what, " flag override"))
    return (name.size() == 1 ? "-" : "--") + name + " takes no value";
  // "At Most 1 required but received 2"
  return name + " is given " + what.substr(what.rfind(' ') + 1) + " times; give it once";
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
  } catch (const CLI::RequiredError&) {
    // No command: the whole line is parsed, and what was left over says why.
    return kRunCommand;
  } catch (const CLI::ParseError& e) {
    Usage(io.err, Reason(e));
    return kExitUsage;
  }
  return kRunCommand;
}

// An option that `where` does not take; told where it goes when it is the
// command's, given before the command.
std::string UnknownOption(const std::string& arg, const CLI::App& where, const CLI::App* command) {
  const std::string name = arg.substr(0, arg.find('='));
  if (command != nullptr && command != &where && command->get_option_no_throw(name) != nullptr)
    return name + " is an option of " + command->get_name() + ": give it after the command";
  return "\"" + arg + "\" is not an option of " + where.get_name();
}

// What CLI11 left over in `where`, the program or the command: an unknown
// option or a word where none is taken. Empty when nothing was.
std::string LeftOver(const CLI::App& where, const CLI::App* command, const std::string& commands) {
  for (const std::string& arg : where.remaining()) {
    // The end of the options, which CLI11 keeps here too. Before the command
    // it also hides the command from CLI11.
    if (arg == "--" && command == nullptr) return "give -- after the command, not before it";
    if (arg == "--") continue;
    if (arg.size() > 1 && arg[0] == '-') return UnknownOption(arg, where, command);
    if (command == nullptr) return "\"" + arg + "\" is not a command: " + commands;
    return command->get_name() + " takes no argument \"" + arg + "\"";
  }
  return "";
}

// The one command given, or null once a usage message has said what is wrong.
const CLI::App* ChosenCommand(const CLI::App& app, const std::string& commands, std::ostream& err) {
  const std::vector<CLI::App*> chosen = app.get_subcommands();
  const CLI::App* command = chosen.empty() ? nullptr : chosen.front();
  std::string wrong = LeftOver(app, command, commands);
  if (wrong.empty() && command != nullptr) wrong = LeftOver(*command, command, commands);
  if (wrong.empty() && command == nullptr) wrong = "a command is required: " + commands;
  if (wrong.empty()) return command;
  Usage(err, wrong);
  return nullptr;
}

// --help-host: the options for testing a module that the command given
// takes, or that the program takes before any command.
int HelpHost(const CLI::App& app, const std::vector<CommandRow>& table, Streams io) {
  const std::vector<CLI::App*> chosen = app.get_subcommands();
  for (const CommandRow& row : table) {
    if (!chosen.empty() && chosen.front()->get_name() == row.name) {
      io.out << TestingHelp("plughost " + row.name, row.uses);
      return kExitSuccess;
    }
  }
  io.out << TestingHelp("plughost", kProgramUses);
  return kExitSuccess;
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{
      "plughost: a host for file-format plug-in modules such as Zentrow, "
      "which opens and saves KiSS palettes (.kcf)",
      "plughost"};
  Given given;
  SetUpProgram(app, given);
  const std::vector<CommandRow> table = CommandTable();
  std::vector<Command> commands;
  for (const CommandRow& row : table) commands.push_back(AddCommand(app, row, given));
  const Streams io{out, err};
  const int parsed = Parse(app, argc, argv, io);
  if (parsed != kRunCommand) return parsed;
  if (given.options.helpHost) return HelpHost(app, table, io);
  const CLI::App* chosen = ChosenCommand(app, CommandNames(table), err);
  if (chosen != nullptr && given.options.verbose && given.options.quiet) {
    Usage(err, "give --verbose or --quiet, not both");
    return kExitUsage;
  }
  for (const Command& command : commands) {
    if (command.app == chosen) return command.run(given.options, io);
  }
  return kExitUsage;
}

}  // namespace plughost
