// Hosts that break the rules in ways a module must survive: a routine
// missing, a block changed behind the module's back, a suite that refuses
// with its own code or stops being usable within an operation.
#include <functional>
#include <ostream>

#include <gtest/gtest.h>

#include "interface/result_codes.h"
#include "tests/conformance/harness.h"

namespace {

using conformance::Module;
using conformance::Palette24;
using conformance::TempFile;
using plughost::Host;
using plughost::HostSettings;

struct MisbehaviourCase {
  const char* name;
  std::function<void(HostSettings&)> configure;
  // Runs the operation on `host` and checks what the module did.
  std::function<void(Host& host, int32_t fileRef)> run;
};
void PrintTo(const MisbehaviourCase& c, std::ostream* os) { *os << c.name; }

// Read prepare and start; the caller goes on by hand.
void StartOpening(Host& host, int32_t fileRef) {
  host.block().fileRef = fileRef;
  ASSERT_EQ(host.Call(kSelectorReadPrepare), kNoError);
  ASSERT_EQ(host.Call(kSelectorReadStart), kNoError);
}

const MisbehaviourCase kCases[] = {
    {"NullProgressIsSkipped", nullptr,
     [](Host& host, int32_t ref) {
       host.block().progress = nullptr;
       EXPECT_EQ(host.Open(ref), kNoError);
       EXPECT_EQ(host.exchanges().size(), 16u);
       EXPECT_TRUE(host.progress().empty());
     }},
    {"ReadContinueWithoutAdvanceStateIsOutOfMemoryAndDeliversNothing", nullptr,
     [](Host& host, int32_t ref) {
       StartOpening(host, ref);
       host.block().advanceState = nullptr;
       EXPECT_EQ(host.Call(kSelectorReadContinue), kOutOfMemory);
       EXPECT_TRUE(host.exchanges().empty());
       EXPECT_TRUE(host.document().pixels.empty());
       EXPECT_EQ(host.counts().buffersLive, 0);
     }},
    {"RowsGrownAfterReadStartStillGiveSixteenRows", nullptr,
     [](Host& host, int32_t ref) {
       StartOpening(host, ref);
       host.block().rows = 40;
       EXPECT_EQ(host.Call(kSelectorReadContinue), kNoError);
       ASSERT_EQ(host.exchanges().size(), 16u);
       EXPECT_EQ(host.exchanges().back().rectTop, 15);
     }},
    {"AnImageShrunkAfterReadStartStillGetsOneWholeRowOfBuffer", nullptr,
     [](Host& host, int32_t ref) {
       StartOpening(host, ref);
       host.block().rows = 1;
       host.block().columns = 1;  // 3 bytes of image: less than the 48 each exchange fills
       EXPECT_EQ(host.Call(kSelectorReadContinue), kNoError);
       EXPECT_EQ(host.counts().bufferSizes, std::vector<int32_t>{48});
       EXPECT_EQ(host.exchanges().size(), 1u);
     }},
    // No note and no descriptor: a handle made for either could take the
    // disposed handle's address.
    {"ReadFinishDisposesImageResourcesLeftInTheBlock",
     [](HostSettings& s) {
       s.resource.present = false;
       s.descriptorParams = false;
     },
     [](Host& host, int32_t ref) {
       StartOpening(host, ref);
       ASSERT_EQ(host.Call(kSelectorReadContinue), kNoError);
       const Handle left = host.NewHostHandle(std::vector<uint8_t>(10, 1));
       host.block().imageResources = left;
       host.block().imageResourcesSize = 10;
       EXPECT_EQ(host.Call(kSelectorReadFinish), kNoError);
       EXPECT_EQ(host.block().imageResources, nullptr);
       EXPECT_EQ(host.block().imageResourcesSize, 0);
       EXPECT_FALSE(host.IsLiveHandle(left));
     }},
    {"ABufferRefusedWithTheHostsOwnCodeGivesThatCode",
     [](HostSettings& s) {
       s.bufferAllocateFailsAt = 1;
       s.bufferFailCode = -1;
     },
     [](Host& host, int32_t ref) {
       EXPECT_EQ(host.Open(ref), -1);
       EXPECT_TRUE(host.exchanges().empty());
     }},
    {"NoHistoryNoteWithoutAUsableHandleSuite", [](HostSettings& s) { s.handle.present = false; },
     [](Host& host, int32_t ref) {
       host.block().fileRef = ref;
       EXPECT_EQ(host.Call(kSelectorReadFinish), kNoError);
       EXPECT_TRUE(host.resources().empty());
     }},
    {"NoHistoryNoteWithAHandleSuiteTooNew", [](HostSettings& s) { s.handle.version = 2; },
     [](Host& host, int32_t ref) {
       host.block().fileRef = ref;
       EXPECT_EQ(host.Call(kSelectorReadFinish), kNoError);
       EXPECT_TRUE(host.resources().empty());
     }},
    {"AHandleSuiteThatTurnsUnusableMidOperationIsOutOfMemory", nullptr,
     [](Host& host, int32_t ref) {
       StartOpening(host, ref);
       host.block().handleSuite->version = 2;
       EXPECT_EQ(host.Call(kSelectorReadContinue), kOutOfMemory);
       EXPECT_TRUE(host.exchanges().empty());
       host.block().handleSuite->version = 1;
       EXPECT_EQ(host.Call(kSelectorReadPrepare), kNoError) << "the record is still there";
     }},
    {"AboutNeedsNeitherDataSlotNorResult", nullptr,
     [](Host&, int32_t) {
       PlatformData platform{0};
       AboutBlock about{&platform};
       conformance::BoxWatcher watcher;
       Module()(kSelectorAbout, &about, nullptr, nullptr);
       EXPECT_EQ(watcher.Boxes().size(), 1u);
     }},
};

class HostMisbehaviour : public testing::TestWithParam<MisbehaviourCase> {};

TEST_P(HostMisbehaviour, ModuleCopes) {
  const MisbehaviourCase& c = GetParam();
  HostSettings settings;
  if (c.configure) c.configure(settings);
  TempFile file(Palette24(256, 256, 1));
  Host host(Module(), settings);
  c.run(host, file.ref());
  EXPECT_TRUE(host.counts().violations.empty()) << host.counts().violations.front();
}

INSTANTIATE_TEST_SUITE_P(Cases, HostMisbehaviour, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<MisbehaviourCase>& p) {
                           return p.param.name;
                         });

}  // namespace
