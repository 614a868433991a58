// The command line run in this process against the built module: exit
// statuses for each kind of outcome, and saves that fail in any way leave
// an existing palette byte for byte as it was.
#include <sstream>

#include <gtest/gtest.h>

#include "plughost/commands/command_line.h"
#include "plughost/images/image_files.h"
#include "plughost/images/swatch.h"
#include "tests/plughost/sample_palettes.h"
#include "tests/plughost/in_process.h"
#include "tests/plughost/test_files.h"

namespace {

using plughost_test::ReadAll;
using plughost_test::TempDir;
using plughost_test::WriteAll;

using plughost_test::Outcome;
using plughost_test::RunPlughost;

struct StatusCase {
  const char* name;
  std::vector<std::string> args;
  int status;
  const char* says;  // in stdout or stderr
};

// Named by its case in ctest, not by gtest's dump of its bytes.
void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.name; }

class Statuses : public testing::TestWithParam<StatusCase> {};

TEST_P(Statuses, TellWhatHappened) {
  TempDir dir;
  WriteAll(dir / "p24.kcf", samples::Palette24());
  WriteAll(dir / "bare.kcf", samples::Headerless());
  WriteAll(dir / "garbage.png", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
  WriteAll(dir / "p24.pal", samples::Palette24());
  const std::string one = "GIMP Palette\n1 2 3\n";
  WriteAll(dir / "one.gpl", std::vector<uint8_t>(one.begin(), one.end()));
  WriteAll(dir / "pal.png", samples::Palette24());  // a palette by another name
  WriteAll(dir / "big.png",
           plughost::EncodeImage(plughost::Image::Blank(20, 24, 3), plughost::ImageFormat::kPng));
  WriteAll(dir / "swatch.png",
           plughost::EncodeImage(plughost::MakeSwatch(plughost::Image::Blank(16, 16, 3), 16),
                                 plughost::ImageFormat::kPng));
  plughost::Image edited = plughost::MakeSwatch(plughost::Image::Blank(16, 16, 3), 16);
  edited.pixels[size_t(3 * (5 * edited.columns + 7))] = 0xFF;  // inside the first tile
  WriteAll(dir / "edited.png", plughost::EncodeImage(edited, plughost::ImageFormat::kPng));
  const Outcome run = RunPlughost(dir, GetParam().args);
  EXPECT_EQ(run.status, GetParam().status) << run.out << run.err;
  EXPECT_NE((run.out + run.err).find(GetParam().says), std::string::npos) << run.out << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Statuses,
    testing::Values(
        StatusCase{"Help", {"--help"}, 0, "Exit status"},
        StatusCase{"CommandHelp", {"open", "--help"}, 0, "--swatch"},
        StatusCase{"NoCommand", {}, 2, "a command is required"},
        StatusCase{"VerboseAndQuiet", {"open", "{dir}p24.kcf", "--out", "{dir}x.png", "-v", "-q"}, 2, "give --verbose or --quiet, not both"},
        StatusCase{"UnknownCommand", {"frobnicate"}, 2, "\"frobnicate\" is not a command"},
        StatusCase{"ExtraArgument", {"about", "now"}, 2, "takes no argument \"now\""},
        StatusCase{"OpenWithoutFile", {"open", "--out", "{dir}x.png"}, 2, "no palette files given"},
        StatusCase{"OpenWithoutOutput", {"open", "{dir}p24.kcf"}, 2, "--out"},
        StatusCase{"OpenBothOutputs", {"open", "{dir}p24.kcf", "--out", "{dir}x.png", "--out-dir", "{dir}"}, 2, "give --out IMAGE for one file or --out-dir DIR for several"},
        StatusCase{"SaveWithoutOutput", {"save", "{dir}big.png"}, 2, "give --out FILE.kcf for one file or --out-dir DIR for several"},
        StatusCase{"OpenTwoFilesOneOutput", {"open", "{dir}p24.kcf", "{dir}bare.kcf", "--out", "{dir}x.png"}, 2, "--out-dir"},
        StatusCase{"OpenToUnknownFormat", {"open", "{dir}p24.kcf", "--out", "{dir}x.gif"}, 2, ".png or .ppm"},
        StatusCase{"SwatchZero", {"open", "{dir}p24.kcf", "--out", "{dir}x.png", "--swatch", "0"}, 2, "--swatch"},
        StatusCase{"SameNameTwice", {"open", "{dir}p24.kcf", "{dir}p24.kcf", "--out-dir", "{dir}"}, 2, "both"},
        StatusCase{"BadWithout", {"--without", "pixels", "probe", "{dir}p24.kcf"}, 2, "pixels"},
        StatusCase{"BadParam", {"--param", "foo=yes", "probe", "{dir}p24.kcf"}, 2, "foo=yes"},
        StatusCase{"BadCloseRead", {"--close-read-result", "x", "probe", "{dir}p24.kcf"}, 2, "--close-read-result"},
        StatusCase{"OptionAfterCommand", {"probe", "{dir}p24.kcf", "--suite-version", "buffer=2"}, 0, "palette"},
        StatusCase{"OpenIntoNewDirectory", {"open", "{dir}p24.kcf", "--out-dir", "{dir}new/sub"}, 0, "new/sub/p24.png (16 x 16 RGB)"},
        StatusCase{"OpenDirectoryUnderAFile", {"open", "{dir}p24.kcf", "--out-dir", "{dir}p24.kcf/sub"}, 3, "cannot make the folder"},
        StatusCase{"ProbePalette", {"probe", "{dir}p24.kcf"}, 0, "p24.kcf: palette"},
        // The status says whether the file opens; the filter's answer is still shown.
        StatusCase{"ProbeHeaderless", {"probe", "{dir}bare.kcf"}, 0, "result -30501: file cannot be read"},
        StatusCase{"ProbeMissingFile", {"probe", "{dir}missing.kcf"}, 3, "missing.kcf"},
        StatusCase{"ModuleMissing", {"--module", "{dir}nothing.so", "probe", "{dir}p24.kcf"}, 3, "nothing.so"},
        StatusCase{"OpenRefusedByHost", {"--without", "advance", "open", "{dir}p24.kcf", "--out", "{dir}x.png"}, 1, "result -128"},
        StatusCase{"OpenAdvanceFails", {"--advance-fails-at", "2:-39", "open", "{dir}p24.kcf", "--out", "{dir}x.png"}, 1, "result -39: end of file"},
        StatusCase{"OpenOtherExtension", {"open", "{dir}p24.pal", "--out", "{dir}x.png"}, 0, "the module reads .KCF files; p24.pal has another extension"},
        StatusCase{"SaveOneColour", {"save", "{dir}one.gpl", "--out", "{dir}x.kcf"}, 0,
                   "one.gpl: it holds 1 colour, so entries 1 to 255 are black"},
        StatusCase{"SaveOtherExtension", {"save", "{dir}big.png", "--out", "{dir}x.pal"}, 0, "the module writes .KCF files; x.pal has another extension"},
        StatusCase{"SaveLargerImage", {"save", "{dir}big.png", "--out", "{dir}x.kcf"}, 0, "24 x 20 image are saved; 224 pixels are not in the palette"},
        StatusCase{"SwatchSavedWithoutSwatch", {"save", "{dir}swatch.png", "--out", "{dir}s.kcf"}, 0,
                   "swatch.png: read as a swatch of 16-pixel tiles, one colour a tile; give --swatch 0"},
        StatusCase{"EditedSwatchSavedAsItIs", {"save", "{dir}edited.png", "--out", "{dir}s.kcf"}, 0,
                   "if it is one, add --swatch 16"},
        StatusCase{"SwatchOfAnotherTile", {"save", "{dir}swatch.png", "--swatch", "12", "--out", "{dir}s.kcf"}, 3,
                   "it has the size of a swatch of 16-pixel tiles: give --swatch 16"},
        StatusCase{"SaveOverItsImage", {"save", "{dir}big.png", "--out", "{dir}big.png"}, 2, "would replace the input"},
        StatusCase{"ControlCharactersInAWordEscaped", {"bo\x1b[2J" "gus"}, 2, "\"bo\\033[2Jgus\" is not a command"},
        StatusCase{"OpenOverItsPalette", {"open", "{dir}pal.png", "--out", "{dir}pal.png"}, 2, "would replace"},
        StatusCase{"BatchOverAnInput", {"open", "{dir}p24.kcf", "{dir}pal.png", "--out-dir", "{dir}"}, 2, "would replace the input"},
        StatusCase{"SaveUnreadableImage", {"save", "{dir}garbage.png", "--out", "{dir}x.kcf"}, 3, "garbage.png is not an image plughost reads"},
        StatusCase{"SaveMissingImage", {"save", "{dir}none.png", "--out", "{dir}x.kcf"}, 3, "none.png"},
        StatusCase{"InfoOfMissingModule", {"info", "{dir}nothing.so"}, 3, "nothing.so"},
        StatusCase{"OutBeforeTheFile", {"open", "--out", "{dir}x.png", "{dir}p24.kcf"}, 0, "x.png (16 x 16 RGB)"},
        StatusCase{"SwatchBeforeTheFile", {"open", "--swatch", "4", "{dir}p24.kcf", "--out", "{dir}x.png"}, 0, "swatch of 4-pixel tiles"},
        StatusCase{"FormatBeforeTheFiles", {"open", "--format", "ppm", "--out-dir", "{dir}o", "{dir}p24.kcf", "{dir}bare.kcf"}, 0, "o/bare.ppm"},
        StatusCase{"OutDirBeforeTheImage", {"save", "--out-dir", "{dir}k", "{dir}big.png"}, 0, "k/big.kcf (800 bytes)"},
        StatusCase{"ProbeVerboseAfterTheCommand", {"probe", "{dir}p24.kcf", "-v"}, 0, "selector 17 FilterFile: result 0"},
        StatusCase{"ParamBeforeTheFile", {"open", "--param", "fooB=true", "{dir}p24.kcf", "--out", "{dir}x.png", "-v"}, 0, "fooB (bool) = true"},
        StatusCase{"WithoutBeforeTheFile", {"probe", "--without", "descriptor", "{dir}p24.kcf"}, 0, "p24.kcf: palette"},
        StatusCase{"SuiteVersionBeforeTheFile", {"probe", "--suite-version", "buffer=2", "{dir}p24.kcf"}, 0, "p24.kcf: palette"},
        StatusCase{"HostOptionsBeforeTheCommand", {"--verbose", "--trace", "{dir}t.jsonl", "open", "{dir}p24.kcf", "--out", "{dir}x.png"}, 0, "selector 3 ReadContinue"},
        StatusCase{"DashDashThenAFile", {"open", "--out", "{dir}x.png", "--", "{dir}p24.kcf"}, 0, "x.png (16 x 16 RGB)"},
        StatusCase{"DashDashEndsTheOptions", {"probe", "--", "-a.kcf"}, 3, "-a.kcf: "},
        StatusCase{"OutRepeated", {"open", "--out", "{dir}x.png", "--out", "{dir}y.png", "{dir}p24.kcf"}, 2, "--out is given 2 times"},
        StatusCase{"SwatchRepeated", {"save", "{dir}big.png", "--swatch", "2", "--out", "{dir}x.kcf", "--swatch", "2"}, 2, "--swatch is given 2 times"},
        StatusCase{"OutMissingItsValue", {"open", "{dir}p24.kcf", "--out"}, 2, "plughost: --out needs a value"},
        StatusCase{"TraceMissingItsValue", {"probe", "{dir}p24.kcf", "--trace"}, 2, "plughost: --trace needs a value"},
        StatusCase{"SwatchTooLarge", {"open", "{dir}p24.kcf", "--out", "{dir}x.png", "--swatch", "256"}, 2, "--swatch takes a tile size from 1 to 255, not \"256\""},
        StatusCase{"SuiteVersionTooLarge", {"--suite-version", "buffer=32768", "probe", "{dir}p24.kcf"}, 2, "\"buffer=32768\""},
        StatusCase{"FormatUnknown", {"open", "{dir}p24.kcf", "--out-dir", "{dir}", "--format", "gif"}, 2, "--format takes png, ppm, gpl or pal, not \"gif\""},
        StatusCase{"CommandOptionBeforeTheCommand", {"--out", "{dir}x.png", "open", "{dir}p24.kcf"}, 2, "--out is an option of open: give it after the command"},
        StatusCase{"AboutTakesNoEmulation", {"about", "--without", "buffer"}, 2, "\"--without\" is not an option of about"},
        StatusCase{"SwitchGivenAValue", {"open", "{dir}p24.kcf", "--out", "{dir}x.png", "--force=maybe"}, 2, "--force takes no value"},
        StatusCase{"DashDashBeforeTheCommand", {"--", "probe", "{dir}p24.kcf"}, 2, "give -- after the command"},
        StatusCase{"InfoTakesNoTrace", {"info", "--trace", "{dir}t.jsonl"}, 2, "\"--trace\" is not an option of info"}),
    [](const testing::TestParamInfo<StatusCase>& p) { return p.param.name; });

struct HelpCase {
  const char* name;
  std::vector<std::string> args;
  std::vector<std::string> lists, omits;
};

// Named by its case in ctest, not by gtest's dump of its bytes.
void PrintTo(const HelpCase& c, std::ostream* os) { *os << c.name; }

class Helps : public testing::TestWithParam<HelpCase> {};

TEST_P(Helps, ListWhatEachCommandTakesByName) {
  TempDir dir;
  const Outcome run = RunPlughost(dir, GetParam().args);
  ASSERT_EQ(run.status, 0) << run.err;
  for (const std::string& words : GetParam().lists)
    EXPECT_NE(run.out.find(words), std::string::npos) << words << " in\n" << run.out;
  for (const std::string& words : GetParam().omits)
    EXPECT_EQ(run.out.find(words), std::string::npos) << words << " in\n" << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Helps,
    testing::Values(
        HelpCase{"Program", {"--help"},
                 {"Usage: plughost [OPTIONS] COMMAND\n", "Commands:", "--module FILE", "--help-host"},
                 {"TEXT", "Positionals", "SUBCOMMAND", "--trace", "--param", "--without", "--close-read-result"}},
        // A user's options only; those for testing a module under --help-host.
        HelpCase{"Open", {"open", "--help"},
                 {"[FILE...]", "--out FILE", "--out-dir DIR", "--format FORMAT", "--swatch N", "--help-host", "Exit status"},
                 {"TEXT", "--param", "--trace", "--without", "--suite-version", "--advance-fails-at", "Excludes"}},
        HelpCase{"OpenHost", {"open", "--help-host"},
                 {"--param KEY=true|false", "it reads fooB", "--trace FILE", "--without PART", "--close-read-result CODE"},
                 {"--out", "--swatch", "--verbose"}},
        HelpCase{"Save", {"save", "--help"},
                 {"[IMAGE...]", "--out FILE", "--out-dir DIR", "--into-dir DIR", "--swatch N"},
                 {"TEXT", "--format", "--param", "--without"}},
        HelpCase{"SaveHost", {"save", "--help-host"}, {"it reads barF", "--without PART"}, {"in the read descriptor"}},
        HelpCase{"ProgramHost", {"--help-host"}, {"open reads fooB, save barF", "--trace FILE", "--suite-version SUITE=N"}, {"--out"}},
        HelpCase{"Probe", {"probe", "--help-host"}, {"--param KEY=true|false", "--without PART", "--trace FILE"}, {"TEXT"}},
        HelpCase{"About", {"about", "--help-host"}, {"--trace FILE", "--answer-boxes"}, {"--param", "--without"}},
        HelpCase{"Info", {"info", "--help"}, {"--module FILE", "[MODULE]"},
                 {"--trace", "--verbose", "--answer-boxes", "--param", "--without", "--help-host"}}),
    [](const testing::TestParamInfo<HelpCase>& p) { return p.param.name; });

struct FailedSave {
  const char* name;
  std::vector<std::string> args;  // before "save"
  const char* image;              // in the directory
  std::vector<std::string> after;  // after the image
  int status;
};

// Named by its case in ctest, not by gtest's dump of its bytes.
void PrintTo(const FailedSave& c, std::ostream* os) { *os << c.name; }

class FailedSaves : public testing::TestWithParam<FailedSave> {};

TEST_P(FailedSaves, LeaveTheOldPaletteByteForByte) {
  const FailedSave& c = GetParam();
  TempDir dir;
  const std::vector<uint8_t> old = samples::Palette12();
  WriteAll(dir / "old.kcf", old);
  // An image whose palette would differ from the old one in every byte that counts.
  const Outcome opened = RunPlughost(dir, {"open", "{dir}old.kcf", "--out", "{dir}colours.png"});
  ASSERT_EQ(opened.status, 0) << opened.err;
  const Outcome swatch = RunPlughost(dir, {"open", "{dir}old.kcf", "--out", "{dir}swatch.png", "--swatch", "8"});
  ASSERT_EQ(swatch.status, 0) << swatch.err;
  WriteAll(dir / "garbage.png", {1, 2, 3});
  std::vector<std::string> args = c.args;
  args.push_back("save");
  args.push_back(std::string("{dir}") + c.image);
  args.insert(args.end(), c.after.begin(), c.after.end());
  // old.kcf is 12-bit: only --force lets a save replace it at all, so each
  // failure here is the save's own.
  args.push_back("--force");
  args.push_back("--out");
  args.push_back("{dir}old.kcf");
  const Outcome run = RunPlughost(dir, args);
  EXPECT_EQ(run.status, c.status) << run.out << run.err;
  EXPECT_EQ(ReadAll(dir / "old.kcf"), old);
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"colours.png", "garbage.png", "old.kcf", "swatch.png"}))
      << "no temporary file is left";
}

INSTANTIATE_TEST_SUITE_P(
    Table, FailedSaves,
    testing::Values(
        FailedSave{"AdvanceFailsAtRow3", {"--advance-fails-at", "3"}, "colours.png", {}, 1},
        FailedSave{"AdvanceFailsAtRow0", {"--advance-fails-at", "0:-39"}, "colours.png", {}, 1},
        FailedSave{"AdvanceFailsAtLastRow", {"--advance-fails-at", "15:-1"}, "colours.png", {}, 1},
        FailedSave{"NoBufferSuite", {"--without", "buffer"}, "colours.png", {}, 1},
        FailedSave{"NoAdvanceState", {"--without", "advance"}, "colours.png", {}, 1},
        FailedSave{"OldBufferSuite", {"--suite-version", "buffer=1"}, "colours.png", {}, 1},
        FailedSave{"CloseReadRefuses", {"--close-read-result", "-50"}, "colours.png", {}, 1},
        FailedSave{"ImageUnreadable", {}, "garbage.png", {}, 3},
        FailedSave{"ImageMissing", {}, "none.png", {}, 3},
        FailedSave{"SwatchOfOtherSize", {}, "swatch.png", {"--swatch", "7"}, 3},
        FailedSave{"ModuleMissing", {"--module", "{dir}none.so"}, "colours.png", {}, 3}),
    [](const testing::TestParamInfo<FailedSave>& p) { return p.param.name; });

TEST(Save, ReplacesTheOldPaletteWhenEverySelectorAnswers0) {
  TempDir dir;
  WriteAll(dir / "p24.kcf", samples::Palette24());
  WriteAll(dir / "old.kcf", samples::Palette12());
  ASSERT_EQ(RunPlughost(dir, {"open", "{dir}p24.kcf", "--out", "{dir}p24.ppm"}).status, 0);
  // old.kcf is 12-bit: replacing a palette of another form takes --force.
  const Outcome run = RunPlughost(dir, {"save", "{dir}p24.ppm", "--out", "{dir}old.kcf", "--force"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadAll(dir / "old.kcf"), samples::Palette24());
  EXPECT_NE(run.out.find("(800 bytes)"), std::string::npos) << run.out;
}

TEST(Open, AFailedOpenLeavesAnExistingImage) {
  TempDir dir;
  WriteAll(dir / "p24.kcf", samples::Palette24());
  WriteAll(dir / "x.png", {'o', 'l', 'd'});
  EXPECT_EQ(RunPlughost(dir, {"--advance-fails-at", "9", "open", "{dir}p24.kcf", "--out", "{dir}x.png"}).status, 1);
  EXPECT_EQ(ReadAll(dir / "x.png"), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"p24.kcf", "x.png"}));
}

TEST(Open, ParamsReachTheModuleAndComeBackVerbose) {
  TempDir dir;
  WriteAll(dir / "p24.kcf", samples::Palette24());
  const Outcome on = RunPlughost(dir, {"--param", "fooB=true", "-v", "open", "{dir}p24.kcf", "--out", "{dir}x.png"});
  ASSERT_EQ(on.status, 0) << on.err;
  EXPECT_NE(on.out.find("recorded: fooB (bool) = true"), std::string::npos) << on.out;
  const Outcome off = RunPlughost(dir, {"open", "{dir}p24.kcf", "--out", "{dir}x.png", "--verbose"});
  EXPECT_NE(off.out.find("recorded: fooB (bool) = false"), std::string::npos) << off.out;
  EXPECT_NE(off.out.find("selector 3 ReadContinue: result 0: success"), std::string::npos) << off.out;
}

}  // namespace
