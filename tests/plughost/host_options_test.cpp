// The host options as the command line parses them: each accepted text
// lands in the settings, each refused one is refused naming the option and
// quoting the text, and changes nothing.
#include <algorithm>

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

#include "plughost/commands/command_line_options.h"

namespace {

using plughost::HostSettings;

// The program's host options parsed from `args`; false with CLI11's error.
bool ParseHostOptions(std::vector<std::string> args, plughost::Options* options,
                      std::string* error) {
  CLI::App app;
  plughost::AddHostOptions(app, *options, {true, true, "", true});
  std::reverse(args.begin(), args.end());  // CLI11 takes the words last first
  try {
    app.parse(args);
  } catch (const CLI::ParseError& e) {
    *error = e.what();
    return false;
  }
  return true;
}

bool SuiteUnchanged(const plughost::SuiteSettings& s) {
  return s.present && s.version == -1 && s.routineCount == -1;
}

// Every setting a host option reaches, as a default host has it.
bool Unchanged(const HostSettings& s) {
  return SuiteUnchanged(s.buffer) && SuiteUnchanged(s.resource) && SuiteUnchanged(s.handle) &&
         SuiteUnchanged(s.readDescriptor) && SuiteUnchanged(s.writeDescriptor) &&
         s.descriptorParams && s.descriptorParamsVersion == 0 && s.advanceState &&
         s.advanceFailsAtRow == -1 && s.closeReadResult == 0 && s.readParams.empty();
}

struct ParamCase {
  const char* text;
  bool accepted;
  FourCharCode key;
  uint8_t value;
};

// Named by its case in ctest, not by gtest's dump of its bytes.
void PrintTo(const ParamCase& c, std::ostream* os) { *os << c.text; }

class Params : public testing::TestWithParam<ParamCase> {};

TEST_P(Params, TakeFourCharacterKeysAndBooleans) {
  const ParamCase& c = GetParam();
  plughost::Options options;
  std::string error;
  ASSERT_EQ(ParseHostOptions({"--param", c.text}, &options, &error), c.accepted) << c.text;
  if (!c.accepted) {
    EXPECT_NE(error.find(std::string("\"") + c.text + "\""), std::string::npos)
        << "the message quotes the text: " << error;
    EXPECT_EQ(error.rfind("--param", 0), 0u) << "and names the option: " << error;
    EXPECT_TRUE(Unchanged(options.settings));
    return;
  }
  ASSERT_EQ(options.settings.readParams.size(), 1u);
  EXPECT_EQ(options.settings.readParams[0].key, c.key);
  EXPECT_EQ(options.settings.readParams[0].type, MakeFourCharCode("bool"));
  EXPECT_EQ(options.settings.readParams[0].value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Params,
    testing::Values(ParamCase{"fooB=true", true, MakeFourCharCode("fooB"), 1},
                    ParamCase{"barF=false", true, MakeFourCharCode("barF"), 0},
                    ParamCase{"a b =true", true, MakeFourCharCode("a b "), 1},
                    ParamCase{"fooB=TRUE", false, 0, 0}, ParamCase{"fooB=1", false, 0, 0},
                    ParamCase{"foo=true", false, 0, 0}, ParamCase{"fooBar=true", false, 0, 0},
                    ParamCase{"fooB", false, 0, 0}, ParamCase{"=true", false, 0, 0}));

TEST(Params, EachOneGivenLandsInOrder) {
  plughost::Options options;
  std::string error;
  ASSERT_TRUE(ParseHostOptions({"--param", "fooB=true", "--param", "barF=false"}, &options,
                               &error))
      << error;
  ASSERT_EQ(options.settings.readParams.size(), 2u);
  EXPECT_EQ(options.settings.readParams[0].key, MakeFourCharCode("fooB"));
  EXPECT_EQ(options.settings.readParams[1].key, MakeFourCharCode("barF"));
}

struct SwitchCase {
  const char* name;
  std::vector<std::string> args;
  bool accepted;
  bool (*holds)(const HostSettings&);
};

// Named by its case in ctest, not by gtest's dump of its bytes.
void PrintTo(const SwitchCase& c, std::ostream* os) { *os << c.name; }

class Switches : public testing::TestWithParam<SwitchCase> {};

TEST_P(Switches, ChangeOnlyWhatTheyName) {
  const SwitchCase& c = GetParam();
  plughost::Options options;
  std::string error;
  ASSERT_EQ(ParseHostOptions(c.args, &options, &error), c.accepted) << error;
  if (!c.accepted) {
    EXPECT_EQ(error.rfind(c.args.front(), 0), 0u) << "names the option: " << error;
    EXPECT_NE(error.find("\"" + c.args.back() + "\""), std::string::npos)
        << "quotes the text: " << error;
  }
  EXPECT_TRUE(c.holds(options.settings));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Switches,
    testing::Values(
        SwitchCase{"WithoutBuffer", {"--without", "buffer"}, true,
                   [](const HostSettings& s) { return !s.buffer.present && s.handle.present; }},
        SwitchCase{"WithoutHandle", {"--without", "handle"}, true,
                   [](const HostSettings& s) { return !s.handle.present && s.buffer.present; }},
        SwitchCase{"WithoutResource", {"--without", "resource"}, true,
                   [](const HostSettings& s) { return !s.resource.present; }},
        SwitchCase{"WithoutDescriptor", {"--without", "descriptor"}, true,
                   [](const HostSettings& s) { return !s.descriptorParams; }},
        SwitchCase{"WithoutAdvance", {"--without", "advance"}, true,
                   [](const HostSettings& s) { return !s.advanceState; }},
        SwitchCase{"WithoutTwo", {"--without", "buffer", "--without", "advance"}, true,
                   [](const HostSettings& s) { return !s.buffer.present && !s.advanceState; }},
        SwitchCase{"WithoutUnknown", {"--without", "progress"}, false, Unchanged},
        SwitchCase{"BufferVersion", {"--suite-version", "buffer=3"}, true,
                   [](const HostSettings& s) { return s.buffer.version == 3; }},
        SwitchCase{"NegativeVersion", {"--suite-version", "handle=-2"}, false, Unchanged},
        SwitchCase{"LargestVersion", {"--suite-version", "handle=32767"}, true,
                   [](const HostSettings& s) { return s.handle.version == 32767; }},
        SwitchCase{"ReadDescriptorVersion", {"--suite-version", "read-descriptor=1"}, true,
                   [](const HostSettings& s) { return s.readDescriptor.version == 1; }},
        SwitchCase{"DescriptorBlockVersion", {"--suite-version", "descriptor=4"}, true,
                   [](const HostSettings& s) { return s.descriptorParamsVersion == 4; }},
        SwitchCase{"VersionTooLarge", {"--suite-version", "buffer=40000"}, false, Unchanged},
        SwitchCase{"VersionNotANumber", {"--suite-version", "buffer=two"}, false, Unchanged},
        SwitchCase{"VersionNoSuite", {"--suite-version", "pixels=2"}, false, Unchanged},
        SwitchCase{"VersionNoEquals", {"--suite-version", "buffer"}, false, Unchanged},
        SwitchCase{"RoutineCount", {"--routine-count", "write-descriptor=15"}, true,
                   [](const HostSettings& s) { return s.writeDescriptor.routineCount == 15; }},
        SwitchCase{"RoutineCountZero", {"--routine-count", "resource=0"}, true,
                   [](const HostSettings& s) { return s.resource.routineCount == 0; }},
        SwitchCase{"RoutineCountLargest", {"--routine-count", "buffer=32767"}, true,
                   [](const HostSettings& s) { return s.buffer.routineCount == 32767; }},
        SwitchCase{"RoutineCountTooLarge", {"--routine-count", "buffer=32768"}, false, Unchanged},
        SwitchCase{"RoutineCountNegative", {"--routine-count", "buffer=-1"}, false, Unchanged},
        SwitchCase{"RoutineCountOfBlock", {"--routine-count", "descriptor=3"}, false, Unchanged},
        SwitchCase{"AdvanceRow", {"--advance-fails-at", "5"}, true,
                   [](const HostSettings& s) {
                     return s.advanceFailsAtRow == 5 && s.advanceFailCode == -108;
                   }},
        SwitchCase{"AdvanceRowAndCode", {"--advance-fails-at", "0:-39"}, true,
                   [](const HostSettings& s) {
                     return s.advanceFailsAtRow == 0 && s.advanceFailCode == -39;
                   }},
        SwitchCase{"AdvanceLastOneCounts", {"--advance-fails-at", "3:-39", "--advance-fails-at", "7"}, true,
                   [](const HostSettings& s) {
                     return s.advanceFailsAtRow == 7 && s.advanceFailCode == -108;
                   }},
        SwitchCase{"AdvanceCodeZero", {"--advance-fails-at", "3:0"}, false,
                   [](const HostSettings& s) { return s.advanceFailsAtRow == -1; }},
        SwitchCase{"AdvanceNegativeRow", {"--advance-fails-at", "-1"}, false, Unchanged},
        SwitchCase{"AdvanceEmptyCode", {"--advance-fails-at", "3:"}, false, Unchanged},
        SwitchCase{"AdvanceTrailing", {"--advance-fails-at", "3x"}, false, Unchanged},
        SwitchCase{"CloseReadResult", {"--close-read-result", "-1715"}, true,
                   [](const HostSettings& s) { return s.closeReadResult == -1715; }},
        SwitchCase{"CloseReadSmallest", {"--close-read-result", "-32768"}, true,
                   [](const HostSettings& s) { return s.closeReadResult == -32768; }},
        SwitchCase{"CloseReadTooLarge", {"--close-read-result", "32768"}, false, Unchanged},
        SwitchCase{"CloseReadEmpty", {"--close-read-result", ""}, false, Unchanged},
        SwitchCase{"CloseReadTrailingSpace", {"--close-read-result", "-50 "}, false, Unchanged}),
    [](const testing::TestParamInfo<SwitchCase>& p) { return p.param.name; });

}  // namespace
