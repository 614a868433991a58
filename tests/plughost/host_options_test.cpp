// The host emulation switches: each accepted text lands in the settings,
// each rejected one says so.
#include <gtest/gtest.h>

#include "plughost/commands/host_options.h"

namespace {

using plughost::HostSettings;

struct ParamCase {
  const char* text;
  bool accepted;
  FourCharCode key;
  uint8_t value;
};

class Params : public testing::TestWithParam<ParamCase> {};

TEST_P(Params, TakeFourCharacterKeysAndBooleans) {
  const ParamCase& c = GetParam();
  plughost::DescriptorEntry entry;
  std::string error;
  ASSERT_EQ(plughost::ParseParam(c.text, &entry, &error), c.accepted) << c.text;
  if (!c.accepted) {
    EXPECT_NE(error.find(c.text), std::string::npos) << "the message quotes the text: " << error;
    return;
  }
  EXPECT_EQ(entry.key, c.key);
  EXPECT_EQ(entry.type, MakeFourCharCode("bool"));
  EXPECT_EQ(entry.value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Params,
    testing::Values(ParamCase{"fooB=true", true, MakeFourCharCode("fooB"), 1},
                    ParamCase{"barF=false", true, MakeFourCharCode("barF"), 0},
                    ParamCase{"a b =true", true, MakeFourCharCode("a b "), 1},
                    ParamCase{"fooB=TRUE", false, 0, 0}, ParamCase{"fooB=1", false, 0, 0},
                    ParamCase{"foo=true", false, 0, 0}, ParamCase{"fooBar=true", false, 0, 0},
                    ParamCase{"fooB", false, 0, 0}, ParamCase{"=true", false, 0, 0}));

struct SwitchCase {
  const char* name;
  bool (*apply)(const std::string&, HostSettings*, std::string*);
  const char* text;
  bool accepted;
  bool (*holds)(const HostSettings&);
};

bool Unchanged(const HostSettings&) { return true; }

class Switches : public testing::TestWithParam<SwitchCase> {};

TEST_P(Switches, ChangeOnlyWhatTheyName) {
  const SwitchCase& c = GetParam();
  HostSettings settings;
  std::string error;
  ASSERT_EQ(c.apply(c.text, &settings, &error), c.accepted) << c.text << ": " << error;
  EXPECT_EQ(error.empty(), c.accepted);
  EXPECT_TRUE(c.holds(settings)) << c.text;
}

using plughost::ApplyAdvanceFailure;
using plughost::ApplyRoutineCount;
using plughost::ApplySuiteVersion;
using plughost::ApplyWithout;

INSTANTIATE_TEST_SUITE_P(
    Table, Switches,
    testing::Values(
        SwitchCase{"WithoutBuffer", ApplyWithout, "buffer", true,
                   [](const HostSettings& s) { return !s.buffer.present && s.handle.present; }},
        SwitchCase{"WithoutHandle", ApplyWithout, "handle", true,
                   [](const HostSettings& s) { return !s.handle.present && s.buffer.present; }},
        SwitchCase{"WithoutResource", ApplyWithout, "resource", true,
                   [](const HostSettings& s) { return !s.resource.present; }},
        SwitchCase{"WithoutDescriptor", ApplyWithout, "descriptor", true,
                   [](const HostSettings& s) { return !s.descriptorParams; }},
        SwitchCase{"WithoutAdvance", ApplyWithout, "advance", true,
                   [](const HostSettings& s) { return !s.advanceState; }},
        SwitchCase{"WithoutUnknown", ApplyWithout, "progress", false,
                   [](const HostSettings& s) { return s.buffer.present && s.advanceState; }},
        SwitchCase{"BufferVersion", ApplySuiteVersion, "buffer=3", true,
                   [](const HostSettings& s) { return s.buffer.version == 3; }},
        SwitchCase{"NegativeVersion", ApplySuiteVersion, "handle=-2", false, Unchanged},
        SwitchCase{"LargestVersion", ApplySuiteVersion, "handle=32767", true,
                   [](const HostSettings& s) { return s.handle.version == 32767; }},
        SwitchCase{"ReadDescriptorVersion", ApplySuiteVersion, "read-descriptor=1", true,
                   [](const HostSettings& s) { return s.readDescriptor.version == 1; }},
        SwitchCase{"DescriptorBlockVersion", ApplySuiteVersion, "descriptor=4", true,
                   [](const HostSettings& s) { return s.descriptorParamsVersion == 4; }},
        SwitchCase{"VersionTooLarge", ApplySuiteVersion, "buffer=40000", false, Unchanged},
        SwitchCase{"VersionNotANumber", ApplySuiteVersion, "buffer=two", false, Unchanged},
        SwitchCase{"VersionNoSuite", ApplySuiteVersion, "pixels=2", false, Unchanged},
        SwitchCase{"RoutineCount", ApplyRoutineCount, "write-descriptor=15", true,
                   [](const HostSettings& s) { return s.writeDescriptor.routineCount == 15; }},
        SwitchCase{"RoutineCountZero", ApplyRoutineCount, "resource=0", true,
                   [](const HostSettings& s) { return s.resource.routineCount == 0; }},
        SwitchCase{"RoutineCountLargest", ApplyRoutineCount, "buffer=32767", true,
                   [](const HostSettings& s) { return s.buffer.routineCount == 32767; }},
        SwitchCase{"RoutineCountTooLarge", ApplyRoutineCount, "buffer=32768", false, Unchanged},
        SwitchCase{"RoutineCountNegative", ApplyRoutineCount, "buffer=-1", false, Unchanged},
        SwitchCase{"RoutineCountOfBlock", ApplyRoutineCount, "descriptor=3", false, Unchanged},
        SwitchCase{"AdvanceRow", ApplyAdvanceFailure, "5", true,
                   [](const HostSettings& s) {
                     return s.advanceFailsAtRow == 5 && s.advanceFailCode == -108;
                   }},
        SwitchCase{"AdvanceRowAndCode", ApplyAdvanceFailure, "0:-39", true,
                   [](const HostSettings& s) {
                     return s.advanceFailsAtRow == 0 && s.advanceFailCode == -39;
                   }},
        SwitchCase{"AdvanceCodeZero", ApplyAdvanceFailure, "3:0", false,
                   [](const HostSettings& s) { return s.advanceFailsAtRow == -1; }},
        SwitchCase{"AdvanceNegativeRow", ApplyAdvanceFailure, "-1", false, Unchanged},
        SwitchCase{"AdvanceEmptyCode", ApplyAdvanceFailure, "3:", false, Unchanged},
        SwitchCase{"AdvanceTrailing", ApplyAdvanceFailure, "3x", false, Unchanged}),
    [](const testing::TestParamInfo<SwitchCase>& p) { return p.param.name; });

TEST(ResultCodes, AreSixteenBitNumbers) {
  int16_t code = 0;
  std::string error;
  EXPECT_TRUE(plughost::ParseResultCode("-1715", &code, &error));
  EXPECT_EQ(code, -1715);
  EXPECT_TRUE(plughost::ParseResultCode("-32768", &code, &error));
  EXPECT_EQ(code, -32768);
  EXPECT_FALSE(plughost::ParseResultCode("32768", &code, &error));
  EXPECT_FALSE(plughost::ParseResultCode("", &code, &error));
  EXPECT_FALSE(plughost::ParseResultCode("-50 ", &code, &error));
}

}  // namespace
