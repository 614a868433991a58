// The entry point: dispatch, the record kept between calls, and what each
// trivial selector may touch.
#include <cstring>

#include <ostream>

#include <gtest/gtest.h>

#include "interface/result_codes.h"
#include "tests/conformance/harness.h"

namespace {

using conformance::Module;
using plughost::Host;
using plughost::HostSettings;

TEST(EntryPoint, SelectorsOutsideTheTableAnswerBadParametersAndStillKeepARecord) {
  for (int16_t selector : {int16_t{18}, int16_t{-1}, int16_t{0x7FFF}, int16_t{-32768}}) {
    Host host(Module());
    EXPECT_EQ(host.Call(selector), kBadParameters) << selector;
    EXPECT_NE(host.dataSlot(), 0) << "a record is made even for a bad selector";
    EXPECT_EQ(host.counts().handlesLive, 1);
    EXPECT_TRUE(host.counts().violations.empty());
  }
}

TEST(EntryPoint, RecordIsMadeOnceAndReusedWithItsOptions) {
  HostSettings settings;
  settings.readParams = {{MakeFourCharCode("barF"), MakeFourCharCode("bool"), 0}};
  Host host(Module(), settings);
  conformance::TempFile out;
  host.block().fileRef = out.ref();
  host.SetDocument(plughost::Image::Blank(16, 16, 3));
  host.block().rows = host.block().columns = 16;
  ASSERT_EQ(host.Call(kSelectorWriteStart), kNoError);
  const intptr_t slot = host.dataSlot();
  const int made = host.counts().handlesMade;
  // A later call on the same slot finds "barF" false where a new record says true.
  ASSERT_EQ(host.Call(kSelectorWriteFinish), kNoError);
  EXPECT_EQ(host.dataSlot(), slot);
  EXPECT_EQ(host.counts().handlesMade, made + 1) << "only the recorded descriptor is new";
  const auto recorded = host.RecordedParams();
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0].key, MakeFourCharCode("barF"));
  EXPECT_EQ(recorded[0].value, 0);
}

TEST(EntryPoint, NoHandleForTheRecordIsOutOfMemoryWithTheSlotLeftEmpty) {
  HostSettings settings;
  settings.handleCreateFailsAt = 1;
  Host host(Module(), settings);
  EXPECT_EQ(host.Call(kSelectorReadPrepare), kOutOfMemory);
  EXPECT_EQ(host.dataSlot(), 0);
  EXPECT_EQ(host.block().dataLimit, 0);
}

TEST(EntryPoint, ANewHandleThatCannotBeLockedIsDisposedOf) {
  HostSettings settings;
  settings.handleLockFailsAt = 1;
  Host host(Module(), settings);
  host.block().dataLimit = 1234;
  EXPECT_EQ(host.Call(kSelectorReadPrepare), kOutOfMemory);
  EXPECT_EQ(host.dataSlot(), 0);
  EXPECT_EQ(host.counts().handlesLive, 0);
  EXPECT_EQ(host.block().dataLimit, 1234) << "nothing is dispatched";
}

TEST(EntryPoint, AStoredHandleThatCannotBeLockedStaysInTheSlot) {
  HostSettings settings;
  settings.handleLockFailsAt = 2;
  Host host(Module(), settings);
  ASSERT_EQ(host.Call(kSelectorReadPrepare), kNoError);
  const intptr_t slot = host.dataSlot();
  EXPECT_EQ(host.Call(kSelectorReadPrepare), kOutOfMemory);
  EXPECT_EQ(host.dataSlot(), slot);
  EXPECT_EQ(host.counts().handlesLive, 1);
  EXPECT_EQ(host.Call(kSelectorReadPrepare), kNoError) << "the next call starts from 0 again";
}

TEST(EntryPoint, AboutLeavesSlotAndResultAlone) {
  Host host(Module());
  host.dataSlot() = 0;
  conformance::BoxWatcher boxes;
  host.CallAbout(0);
  EXPECT_EQ(host.dataSlot(), 0);
  EXPECT_EQ(host.counts().handlesMade, 0);
  EXPECT_EQ(boxes.Boxes().size(), 1u);
}

TEST(EntryPoint, AboutLeavesAFilledSlotAndAFailedResultAlone) {
  Host host(Module());
  ASSERT_EQ(host.Call(18), kBadParameters);
  const intptr_t slot = host.dataSlot();
  conformance::BoxWatcher boxes;
  EXPECT_EQ(host.CallAbout(0), kBadParameters) << "the result is not written";
  EXPECT_EQ(host.dataSlot(), slot);
}

TEST(EntryPoint, PrepareSelectorsChangeOnlyTheDataLimit) {
  for (int16_t selector : {kSelectorReadPrepare, kSelectorOptionsPrepare,
                           kSelectorEstimatePrepare, kSelectorWritePrepare}) {
    Host host(Module());
    FormatBlock& block = host.block();
    block.dataLimit = 99999;
    block.minBytes = 7, block.maxBytes = 8, block.rows = 3, block.rowStep = 77;
    FormatBlock expected;
    std::memcpy(&expected, &block, sizeof expected);
    expected.dataLimit = 0;
    EXPECT_EQ(host.Call(selector), kNoError) << selector;
    EXPECT_EQ(std::memcmp(&expected, &block, sizeof expected), 0) << selector;
  }
}

TEST(EntryPoint, SelectorsWithNothingToDoLeaveTheBlockAlone) {
  for (int16_t selector : {kSelectorOptionsContinue, kSelectorOptionsFinish,
                           kSelectorEstimateContinue, kSelectorEstimateFinish,
                           kSelectorWriteContinue}) {
    Host host(Module());
    host.block().dataLimit = 5;
    FormatBlock before;
    std::memcpy(&before, &host.block(), sizeof before);
    EXPECT_EQ(host.Call(selector), kNoError) << selector;
    EXPECT_EQ(std::memcmp(&before, &host.block(), sizeof before), 0) << selector;
  }
}

TEST(EntryPoint, NullArgumentsAreRefusedWithoutTouchingAnything) {
  EntryPoint entry = Module();
  FormatBlock block{};
  intptr_t slot = 0;
  int16_t result = 77;
  entry(kSelectorReadPrepare, nullptr, &slot, &result);
  entry(kSelectorReadPrepare, &block, nullptr, &result);
  entry(kSelectorReadPrepare, &block, &slot, nullptr);
  EXPECT_EQ(slot, 0);
  EXPECT_EQ(result, 77);
}

// Suites the module must not use for its record: it falls back to its own.
struct FallbackCase {
  const char* name;
  plughost::SuiteSettings handle;
};
void PrintTo(const FallbackCase& c, std::ostream* os) { *os << c.name; }

class HandleFallback : public testing::TestWithParam<FallbackCase> {};

TEST_P(HandleFallback, RecordLivesInTheModulesOwnHandle) {
  HostSettings settings;
  settings.handle = GetParam().handle;
  Host host(Module(), settings);
  ASSERT_EQ(host.Call(kSelectorReadPrepare), kNoError);
  EXPECT_NE(host.dataSlot(), 0);
  EXPECT_FALSE(host.IsLiveHandle(reinterpret_cast<Handle>(host.dataSlot())));
  const intptr_t slot = host.dataSlot();
  ASSERT_EQ(host.Call(kSelectorReadPrepare), kNoError);
  EXPECT_EQ(host.dataSlot(), slot) << "the same record is found again";
  EXPECT_EQ(host.counts().handlesMade, 0) << "no host handle was asked for";
}

INSTANTIATE_TEST_SUITE_P(
    UnusableHandleSuites, HandleFallback,
    testing::Values(FallbackCase{"Absent", {false, -1, -1, 0}},
                    FallbackCase{"Older", {true, 0, -1, 0}},
                    FallbackCase{"Newer", {true, 2, -1, 0}},
                    FallbackCase{"TooFewRoutines", {true, -1, 6, 0}},
                    FallbackCase{"NoSetSize", {true, -1, -1, 4}}),
    [](const testing::TestParamInfo<FallbackCase>& p) { return p.param.name; });

}  // namespace
