#include "plughost/commands/command_line_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "plughost/commands/host_options.h"
#include "plughost/usecases/jobs.h"

namespace plughost {

namespace {

using Apply = std::function<void(const std::string&)>;

// "png, ppm, gpl or pal"
std::string Listed(const std::vector<std::string>& names, const char* last) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i)
    text += (i == 0 ? "" : i + 1 == names.size() ? std::string(" ") + last + " " : ", ") + names[i];
  return text;
}

// ".png or .ppm": the extensions open writes of files of `kind`, from the table.
std::string WrittenExtensions(FileKind kind) {
  std::vector<std::string> extensions;
  for (const Format& f : Formats()) {
    if (f.kind == kind && f.encode != nullptr) extensions.push_back("." + f.extensions.front());
  }
  return Listed(extensions, "or");
}

CLI::Validator SwatchCheck(int least = 1) {
  return Takes(Decimal(least, kMaxSwatchTile),
               "a tile size from " + std::to_string(least) + " to " + std::to_string(kMaxSwatchTile));
}

// A group number its validator accepted, in decimal.
int GroupNumber(const std::string& text) {
  return text == "all" ? kAllGroups : int(std::strtol(text.c_str(), nullptr, 10));
}

CLI::Validator GroupCheck(bool all) {
  const std::string numbers = "a group number from 0 to " + std::to_string(kMaxGroup);
  if (!all) return Takes(Decimal(0, kMaxGroup), numbers);
  return Takes(Decimal(0, kMaxGroup) |
                   CLI::IsMember(std::vector<std::string>{"all"}, CLI::ignore_case),
               numbers + " or all");
}

// Given twice, the last one counts, so that a script can override its default.
CLI::Option* LastCounts(CLI::Option* option, const char* value) {
  return option->type_name(value)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

// Given twice, CLI11 refuses the line.
CLI::Option* Once(CLI::Option* option, const char* value) {
  return option->type_name(value)->multi_option_policy(CLI::MultiOptionPolicy::Throw);
}

// One value each time the option is given, checked and then applied in
// the order given.
void AddRepeatable(CLI::App& app, const char* name, const char* value, const std::string& help,
                   const CLI::Validator& check, const Apply& apply) {
  app.add_option(name)
      ->description(help + " (repeatable)")
      ->type_name(value)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->check(check)
      ->each(apply);
}

void AddParam(CLI::App& app, HostSettings& s, const char* help) {
  AddRepeatable(app, "--param", "KEY=true|false", help, ParamCheck(),
                [&s](const std::string& text) { s.readParams.push_back(ParamEntry(text)); });
}

// The options for testing a module are listed under this heading.
constexpr const char* kTestingGroup = "Testing a module";

// --help without them.
class UserHelp : public CLI::Formatter {
 public:
  std::string make_group(std::string group, bool positional,
                         std::vector<const CLI::Option*> options) const override {
    if (group == kTestingGroup) return "";
    return CLI::Formatter::make_group(std::move(group), positional, std::move(options));
  }
};

// The options for testing a module: the scripting parameters it is handed,
// a trace, its message boxes answered, and the switches that make the host
// behave as other hosts do. Every command that uses them takes them; they
// are listed under a group of their own, which --help leaves out.
void AddTestingOptions(CLI::App& app, Options& options, const HostOptionUse& use) {
  const std::vector<CLI::Option*> before = app.get_options();
  HostSettings& s = options.settings;
  if (use.param != nullptr) AddParam(app, s, use.param);
  if (use.trace) {
    LastCounts(app.add_option("--trace", options.traceFile,
                              "Write one JSON line per selector call and per host callback to "
                              "FILE"),
               "FILE");
    app.add_flag("--answer-boxes", options.answerBoxes,
                 "Print each message box of the module on stderr and close it with OK at once "
                 "(Windows; the native build always prints them)");
  }
  if (use.emulation) {
    AddRepeatable(app, "--without", "PART",
                  "Offer the module no PART: buffer, handle or resource (a suite), descriptor "
                  "(the scripting parameters block) or advance (advanceState)",
                  WithoutCheck(), [&s](const std::string& text) { ApplyWithout(text, &s); });
    AddRepeatable(app, "--suite-version", "SUITE=N",
                  "Give a suite another version, N from 0 to 32767; SUITE is buffer, resource, "
                  "handle, read-descriptor, write-descriptor, or descriptor for the block",
                  SuiteVersionCheck(), [&s](const std::string& text) { ApplySuiteVersion(text, &s); });
    AddRepeatable(app, "--routine-count", "SUITE=N",
                  "Give a suite another routine count, N from 0 to 32767", RoutineCountCheck(),
                  [&s](const std::string& text) { ApplyRoutineCount(text, &s); });
    LastCounts(app.add_option("--advance-fails-at"), "ROW[:CODE]")
        ->description("advanceState answers CODE (default -108) for the exchange starting at ROW")
        ->check(AdvanceFailureCheck())
        ->each([&s](const std::string& text) { ApplyAdvanceFailure(text, &s); });
    LastCounts(app.add_option("--close-read-result", s.closeReadResult,
                              "What closing the read descriptor answers (default 0)"),
               "CODE")
        ->transform(ResultCodeCheck());
  }
  for (CLI::Option* option : app.get_options()) {
    if (std::find(before.begin(), before.end(), option) == before.end()) option->group(kTestingGroup);
  }
}

}  // namespace

void HideTestingOptions(CLI::App& app) { app.formatter(std::make_shared<UserHelp>()); }

namespace {

std::string RequestFaultText(RequestFault fault, bool opening, const std::string& out) {
  const std::string inputs = opening ? "palette files" : "images";
  switch (fault) {
    case RequestFault::kNone:
      return "";
    case RequestFault::kNoInputs:
      return "no " + inputs + " given";
    case RequestFault::kOutputChoice:
      return std::string("give --out ") + (opening ? "IMAGE" : "FILE.kcf") +
             " for one file or --out-dir DIR for several";
    case RequestFault::kSeveralNeedFolder:
      return "several " + inputs + " need --out-dir DIR";
    case RequestFault::kOutputNotWritten:
      return "--out must end in " + WrittenExtensions(FileKind::kImage) + ", or " +
             WrittenExtensions(FileKind::kPaletteText) + " for a palette: " + out;
    case RequestFault::kFormatContradicts:
      return "--format contradicts the extension of --out " + out;
    case RequestFault::kSwatchOfPaletteText:
      return "--swatch makes tiles of an image; a palette file lists its colours";
    case RequestFault::kGroupWithoutInto:
      return "--group chooses a group of the palette given with --into";
    case RequestFault::kIntoAndOutputs:
      return "give --into PALETTE.kcf, or --out or --out-dir, not both";
    case RequestFault::kIntoTakesOne:
      return "--into takes one image; give --into-dir DIR to put each image back into the "
             "palette of its name";
    case RequestFault::kIntoBoth:
      return "give --into PALETTE.kcf or --into-dir DIR, not both";
    case RequestFault::kGroupFromNames:
      return "with --into-dir each image's name gives its group (NAME-N); give no --group";
    case RequestFault::kTwoForOnePlace:
    case RequestFault::kEitherPalette:
    case RequestFault::kFolderTooBig:
    case RequestFault::kNoPaletteFolder:
      return "";  // said with their files below
    case RequestFault::kCelWithoutPalette:
      return "give --palette PALETTE.kcf to draw a cel in its colours";
    case RequestFault::kPaletteWithoutCel:
      return "--palette gives the colours of cels: give a .cel file to draw";
    case RequestFault::kSetWithoutSet:
      return "--set chooses a set of a KiSS set: give its .lzh or .cnf file";
    case RequestFault::kDrawnAsPng:
      return "cels and sets are drawn as PNG images, transparent where no cel is: --out must "
             "end in .png";
    case RequestFault::kDrawnWhole:
      return "cels and sets are drawn in one group, as their sets choose; give no --group all "
             "or --swatch";
    case RequestFault::kDrawnWithPalettes:
      return "open draws cels and sets, or opens palettes, but not both at once: give the "
             "palette of cels with --palette";
  }
  return "";
}

}  // namespace

std::string FaultText(const Report& plan, bool opening, const std::string& out) {
  const std::string group = plan.group == kNoGroup ? "" : "group " + std::to_string(plan.group) + " of ";
  switch (plan.fault) {
    case RequestFault::kTwoForOnePlace:
      return plan.image + " and " + plan.other + " would both go into " + group + plan.palette +
             "; give one of them";
    case RequestFault::kEitherPalette:
      return plan.image + " could go into " + group + plan.palette + " or into the whole of " +
             plan.other + "; put it back with --into and --group";
    case RequestFault::kFolderTooBig:
      return "the folder " + plan.image + " holds too many files to list; give its images by name";
    case RequestFault::kNoPaletteFolder:
      return "--into-dir " + plan.palette + " is not a folder; give the folder that holds the palettes";
    default:
      return RequestFaultText(plan.fault, opening, out);
  }
}

void AddHostOptions(CLI::App& app, Options& options, const HostOptionUse& use) {
  LastCounts(app.add_option("--module", options.module,
                            "The module file to load (default: the one next to this program)"),
             "FILE");
  if (use.verbose) {
    app.add_flag("-v,--verbose", options.verbose,
                 "Print a line for each output, each selector's result, what the module "
                 "recorded in its descriptor, and each note of a batch");
    app.add_flag("-q,--quiet", options.quiet,
                 "Print refusals only: no line, note, progress bar or summary (without either, a "
                 "line for each output is printed unless standard output is a terminal and the "
                 "command has several files, whose notes are then counted in one line)");
  }
  AddTestingOptions(app, options, use);
  if (use.param != nullptr || use.trace || use.emulation)
    app.add_flag("--help-host", options.helpHost,
                 "Print the options for testing a module (its scripting parameters, a trace, "
                 "other hosts' ways) and exit");
}

std::string TestingHelp(const std::string& usage, const HostOptionUse& use) {
  CLI::App help{"Options for testing a module: what it is handed, a trace of what it does, "
                "and the ways of other hosts. They go before the command or after it.",
                usage};
  help.set_help_flag();
  Options scratch;
  AddTestingOptions(help, scratch, use);
  return help.help();
}

void AddOpenOptions(CLI::App& open, OpenRequest& request) {
  open.add_option("FILE", request.inputs, "Palette files, or cels and KiSS sets to draw")->type_name("");
  Once(open.add_option("--out", request.out,
                       "The image to write, " + WrittenExtensions(FileKind::kImage) +
                           ", or a palette, " + WrittenExtensions(FileKind::kPaletteText) +
                           " (one FILE)"),
       "FILE");
  Once(open.add_option("--out-dir", request.outDir,
                       "Write each FILE's image here, under its own name (any number of FILEs; "
                       "a bad file is reported and the rest still converted; DIR is made if "
                       "missing)"),
       "DIR");
  // Checked in any case, and then the one the option reads.
  Once(open.add_option("--format"), "FORMAT")
      ->description(Listed(FormatOptions(), "or") + " (default: by --out's extension, or " +
                    FormatOptions().front() + ")")
      ->transform(Takes(CLI::IsMember(FormatOptions(), CLI::ignore_case),
                        Listed(FormatOptions(), "or")))
      ->each([&request](const std::string& f) { request.format = FormatFromPath("x." + f); });
  Once(open.add_option("--swatch", request.swatch,
                       "Scale each colour to an N x N tile in a thin grid (1 to 255)"),
       "N")
      ->transform(SwatchCheck());
  Once(open.add_option("--group"), "N|all")
      ->description("Open group N of each FILE (from 0), or every group as NAME-N (all); a "
                    "palette of more than 256 colours opens only a group at a time")
      ->transform(GroupCheck(true))
      ->each([&request](const std::string& g) { request.group = GroupNumber(g); });
  Once(open.add_option("--palette", request.palette,
                       "Draw each cel FILE (.cel) in this palette's colours, in group --group "
                       "(0 by default)"),
       "PALETTE.kcf");
  Once(open.add_option("--set"), "S|all")
      ->description("Draw each KiSS set FILE (.lzh, or a .cnf beside its cels and palettes) as "
                    "its set S (0 to 9; 0 by default) places it, or every set it uses as NAME-S "
                    "(all)")
      ->check(CLI::IsMember({"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "all"}))
      ->each([&request](const std::string& s) { request.set = s == "all" ? kAllSets : std::stoi(s); });
  open.add_flag("--force", request.force, "Replace an existing file that holds a palette");
}

void AddSaveOptions(CLI::App& save, SaveRequest& request) {
  save.add_option("IMAGE", request.images, "Images; the first 16 x 16 pixels of each are saved")
      ->type_name("");
  Once(save.add_option("--out", request.out, "The palette file to write (one IMAGE)"), "FILE");
  Once(save.add_option("--out-dir", request.outDir,
                       "Write each IMAGE's palette here as NAME.kcf (any number of IMAGEs; DIR "
                       "is made if missing)"),
       "DIR");
  Once(save.add_option("--swatch", request.swatch,
                       "Each image is a swatch of N x N tiles, as open --swatch N writes; 0 "
                       "saves its first pixels as they are (default: an image that looks like "
                       "a swatch, every tile one colour, is read as one)"),
       "N")
      ->transform(SwatchCheck(0));
  Once(save.add_option("--into", request.into,
                       "An existing KiSS palette to put the IMAGE's colours into, in its own "
                       "form, keeping its header, other groups and any bytes after them (one "
                       "IMAGE)"),
       "FILE");
  Once(save.add_option("--into-dir", request.intoDir,
                       "Put each IMAGE back into the palette of its name in DIR, as open "
                       "--group all names them: NAME-N into group N of NAME.kcf, NAME into the "
                       "whole of it; each palette keeps its own form and every other byte, and "
                       "is rewritten once (any number of IMAGEs; a folder stands for the images "
                       "in it)"),
       "DIR");
  Once(save.add_option("--group"), "N")
      ->description("The group of the --into palette to put the colours into (from 0); "
                    "without it, every group the palette's image shows")
      ->transform(GroupCheck(false))
      ->each([&request](const std::string& g) { request.group = GroupNumber(g); });
  save.add_flag("--force", request.force,
                "Replace an existing file that holds an image, or a palette of another form");
}

}  // namespace plughost
