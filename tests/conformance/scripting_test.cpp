// The two scripting parameters and the history note.
#include <ostream>

#include <gtest/gtest.h>

#include "interface/result_codes.h"
#include "tests/conformance/harness.h"

namespace {

using conformance::Module;
using conformance::Palette24;
using conformance::TempFile;
using plughost::DescriptorEntry;
using plughost::Host;
using plughost::HostSettings;

const FourCharCode kFoo = MakeFourCharCode("fooB");
const FourCharCode kBar = MakeFourCharCode("barF");
const FourCharCode kBool = MakeFourCharCode("bool");

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Open with the given read descriptor; what was recorded at the finish.
std::vector<DescriptorEntry> OpenRecording(HostSettings settings, int16_t* result = nullptr) {
  TempFile in(Palette24(256, 256, 1));
  Host host(Module(), settings);
  host.descriptorParams().recordInfo = 3;
  const int16_t answer = host.Open(in.ref());
  if (result != nullptr) *result = answer;
  if (answer == kNoError) {
    EXPECT_EQ(host.descriptorParams().recordInfo, 0);
  }
  return host.RecordedParams();
}

TEST(Scripting, OpenParameterIsReadAndRecorded) {
  HostSettings settings;
  settings.readParams = {{MakeFourCharCode("othr"), kBool, 1}, {kFoo, kBool, 1}};
  const auto recorded = OpenRecording(settings);
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0].key, kFoo);
  EXPECT_EQ(recorded[0].value, 1);
}

TEST(Scripting, AKeyThatComesTwiceIsReadTwiceTheLaterWinning) {
  HostSettings settings;
  settings.readParams = {{kFoo, kBool, 1}, {kFoo, kBool, 0}};
  const auto recorded = OpenRecording(settings);
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0].value, 0);
}

TEST(Scripting, MissingOpenParameterRecordsFalseOnAFreshRecord) {
  HostSettings settings;
  settings.readParams = {{kBar, kBool, 1}};
  const auto recorded = OpenRecording(settings);
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0].key, kFoo);
  EXPECT_EQ(recorded[0].value, 0);
}

TEST(Scripting, TheReadDescriptorIsConsumed) {
  TempFile in(Palette24(256, 256, 1));
  HostSettings settings;
  settings.readParams = {{kFoo, kBool, 1}};
  Host host(Module(), settings);
  host.block().fileRef = in.ref();
  ASSERT_EQ(host.Call(kSelectorReadStart), kNoError);
  EXPECT_EQ(host.descriptorParams().descriptor, nullptr);
  EXPECT_EQ(host.counts().handlesLive, 1) << "only the record is left";
}

TEST(Scripting, SaveWithoutATokenKeepsTheDefaultAndTheDescriptor) {
  HostSettings settings;
  settings.openReadGivesNoToken = true;
  settings.readParams = {{kBar, kBool, 0}};
  TempFile out;
  Host host(Module(), settings);
  ASSERT_EQ(host.Save(out.ref(), plughost::Image::Blank(16, 16, 3)), kNoError);
  const auto recorded = host.RecordedParams();
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0].key, kBar);
  EXPECT_EQ(recorded[0].value, 1) << "a new record saves with true";
  EXPECT_EQ(host.counts().handlesLive, 2) << "the untouched descriptor was replaced, not leaked";
}

TEST(Scripting, CloseReadResults) {
  struct Case {
    int16_t closeRead;
    int16_t expected;
  };
  for (const Case& c : {Case{kParameterMissing, kNoError}, Case{-50, -50}, Case{0, kNoError}}) {
    HostSettings settings;
    settings.closeReadResult = c.closeRead;
    settings.advanceState = false;  // would warn, were the check reached
    settings.advanceState = c.expected == kNoError;
    conformance::BoxWatcher boxes;
    int16_t result = 0;
    OpenRecording(settings, &result);
    EXPECT_EQ(result, c.expected) << c.closeRead;
    EXPECT_TRUE(boxes.Boxes().empty());
  }
}

struct UnusableCase {
  const char* name;
  void (*apply)(HostSettings&);
};
void PrintTo(const UnusableCase& c, std::ostream* os) { *os << c.name; }

class UnusableDescriptors : public testing::TestWithParam<UnusableCase> {};

TEST_P(UnusableDescriptors, NothingIsReadOrRecordedAndNothingIsSaid) {
  HostSettings settings;
  settings.readParams = {{kFoo, kBool, 1}};
  GetParam().apply(settings);
  TempFile in(Palette24(256, 256, 1));
  Host host(Module(), settings);
  host.descriptorParams().recordInfo = 3;
  conformance::BoxWatcher boxes;
  ASSERT_EQ(host.Open(in.ref()), kNoError);
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(host.descriptorParams().recordInfo, 3) << "nothing was recorded";
  const auto left = host.RecordedParams();
  ASSERT_EQ(left.size(), 1u) << "the host's descriptor is left as it gave it";
  EXPECT_EQ(left[0].value, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, UnusableDescriptors,
    testing::Values(
        UnusableCase{"NoParams", [](HostSettings& s) { s.descriptorParams = false; }},
        UnusableCase{"ParamsVersion1", [](HostSettings& s) { s.descriptorParamsVersion = 1; }},
        UnusableCase{"NoReadSuite", [](HostSettings& s) { s.readDescriptor.present = false; }},
        UnusableCase{"ReadSuiteVersion1", [](HostSettings& s) { s.readDescriptor.version = 1; }},
        UnusableCase{"ReadSuite17Routines",
                     [](HostSettings& s) { s.readDescriptor.routineCount = 17; }},
        UnusableCase{"ReadSuiteLacksRoutine18",
                     [](HostSettings& s) { s.readDescriptor.nullRoutine = 18; }},
        UnusableCase{"WriteSuiteLacksRoutine5",
                     [](HostSettings& s) { s.writeDescriptor.nullRoutine = 5; }},
        UnusableCase{"WriteSuite15Routines",
                     [](HostSettings& s) { s.writeDescriptor.routineCount = 15; }}),
    [](const testing::TestParamInfo<UnusableCase>& p) { return p.param.name; });

TEST(HistoryNote, NamesTheFileReference) {
  for (int32_t ref : {7, -12, 0, 2147483647}) {
    Host host(Module());
    host.block().fileRef = ref;
    ASSERT_EQ(host.Call(kSelectorReadFinish), kNoError);
    ASSERT_EQ(host.resources().size(), 1u);
    EXPECT_EQ(host.resources()[0].type, MakeFourCharCode("hist"));
    EXPECT_EQ(Text(host.resources()[0].bytes), "Morvid: ref num=" + std::to_string(ref) + ".");
  }
  Host seven(Module());
  seven.block().fileRef = 7;
  seven.Call(kSelectorReadFinish);
  EXPECT_EQ(seven.resources()[0].bytes.size(), 18u);
}

TEST(HistoryNote, AttachedAfterEveryOpeningAndHandledBack) {
  TempFile in(Palette24(256, 256, 1));
  Host host(Module());
  ASSERT_EQ(host.Open(in.ref()), kNoError);
  ASSERT_EQ(host.resources().size(), 1u);
  EXPECT_EQ(Text(host.resources()[0].bytes), "Morvid: ref num=" + std::to_string(in.ref()) + ".");
  EXPECT_EQ(host.counts().handlesLive, 2) << "the note's handle was disposed of";
}

TEST(HistoryNote, SkippedQuietlyWithoutAUsableResourceSuite) {
  for (int variant = 0; variant < 3; ++variant) {
    HostSettings settings;
    if (variant == 0) settings.resource.present = false;
    if (variant == 1) settings.resource.version = 4;
    if (variant == 2) settings.resource.nullRoutine = 4;
    TempFile in(Palette24(256, 256, 1));
    Host host(Module(), settings);
    conformance::BoxWatcher boxes;
    EXPECT_EQ(host.Open(in.ref()), kNoError) << variant;
    EXPECT_TRUE(host.resources().empty()) << variant;
    EXPECT_TRUE(boxes.Boxes().empty()) << variant;
  }
}

}  // namespace
