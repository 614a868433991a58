// The warnings a host without the suites it needs is shown, and the About
// box, read as the user sees them.
#include <ostream>

#include <gtest/gtest.h>

#include "interface/result_codes.h"
#include "resources/copyright.h"
#include "tests/conformance/harness.h"

namespace {

using conformance::Box;
using conformance::Module;
using conformance::TempFile;
using plughost::Host;
using plughost::HostSettings;

const std::string kRequires25 =
    "This plug-in requires Vellory Imaging\xC2\xAE 2.5 or later functionality.";
const std::string kRequires30 =
    "This plug-in requires Vellory Imaging\xC2\xAE 3.0 or later functionality.";
const std::string kIncompatible =
    "This plug-in is incompatible with this version of the host program.";

struct WarningCase {
  const char* name;
  void (*apply)(HostSettings&);
  const std::string* message;
};
void PrintTo(const WarningCase& c, std::ostream* os) { *os << c.name; }

const WarningCase kWarningCases[] = {
    {"BufferSuiteAbsent", [](HostSettings& s) { s.buffer.present = false; }, &kRequires25},
    {"BufferSuiteVersion1", [](HostSettings& s) { s.buffer.version = 1; }, &kRequires25},
    {"BufferSuiteVersion3", [](HostSettings& s) { s.buffer.version = 3; }, &kIncompatible},
    {"BufferSuiteFourRoutines", [](HostSettings& s) { s.buffer.routineCount = 4; }, &kRequires25},
    {"BufferSuiteNoSpace", [](HostSettings& s) { s.buffer.nullRoutine = 5; }, &kRequires25},
    {"BufferSuiteNoAllocate", [](HostSettings& s) { s.buffer.nullRoutine = 1; }, &kRequires25},
    {"AdvanceStateAbsent", [](HostSettings& s) { s.advanceState = false; }, &kRequires30},
    {"HandleSuiteAbsent", [](HostSettings& s) { s.handle.present = false; }, &kRequires30},
    {"HandleSuiteVersion0", [](HostSettings& s) { s.handle.version = 0; }, &kRequires30},
    {"HandleSuiteVersion2", [](HostSettings& s) { s.handle.version = 2; }, &kIncompatible},
    {"HandleSuiteSixRoutines", [](HostSettings& s) { s.handle.routineCount = 6; }, &kRequires30},
    {"HandleSuiteNoSetSize", [](HostSettings& s) { s.handle.nullRoutine = 4; }, &kRequires30},
    {"BufferAndHandleSuitesBoth",
     [](HostSettings& s) {
       s.buffer.version = 1;
       s.handle.version = 2;
     },
     &kRequires25},
};

struct StartCase {
  const char* name;
  int16_t selector;
};
void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

const StartCase kStarts[] = {{"ReadStart", kSelectorReadStart},
                             {"OptionsStart", kSelectorOptionsStart},
                             {"EstimateStart", kSelectorEstimateStart},
                             {"WriteStart", kSelectorWriteStart}};

class SuiteWarnings : public testing::TestWithParam<std::tuple<WarningCase, StartCase>> {};

TEST_P(SuiteWarnings, OneWarningThenUserCancelled) {
  const WarningCase& w = std::get<0>(GetParam());
  const StartCase& start = std::get<1>(GetParam());
  HostSettings settings;
  w.apply(settings);
  const std::vector<uint8_t> original = {1, 2, 3, 4, 5};
  TempFile file(original);
  Host host(Module(), settings);
  host.block().fileRef = file.ref();
  host.block().rows = host.block().columns = 16;
  host.block().planes = 3;
  conformance::BoxWatcher watcher;
  EXPECT_EQ(host.Call(start.selector), kUserCancelled);
  const std::vector<Box> boxes = watcher.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, *w.message);
  EXPECT_EQ(boxes[0].caption, conformance::DefaultCaption());
  EXPECT_EQ(boxes[0].icon, "warning");
  EXPECT_EQ(boxes[0].owner, 0);
  EXPECT_EQ(file.Contents(), original) << "the file is not touched";
  EXPECT_EQ(host.counts().buffersMade, 0);
  EXPECT_EQ(host.block().imageMode, 0) << "no image is described";
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, SuiteWarnings,
    testing::Combine(testing::ValuesIn(kWarningCases), testing::ValuesIn(kStarts)),
    [](const testing::TestParamInfo<std::tuple<WarningCase, StartCase>>& p) {
      return std::string(std::get<0>(p.param).name) + "_" + std::get<1>(p.param).name;
    });

TEST(SuiteWarnings, NoneForUsableSuitesAndNoneOutsideTheStartSelectors) {
  HostSettings bad;
  bad.buffer.version = 3;
  bad.advanceState = false;
  for (int16_t selector : {kSelectorReadPrepare, kSelectorReadContinue, kSelectorReadFinish,
                           kSelectorWriteFinish, kSelectorFilterFile, kSelectorOptionsFinish}) {
    TempFile file(conformance::Palette24(256, 256, 1));
    Host host(Module(), bad);
    host.block().fileRef = file.ref();
    conformance::BoxWatcher watcher;
    host.Call(selector);
    EXPECT_TRUE(watcher.Boxes().empty()) << selector;
  }
}

TEST(SuiteWarnings, AnOlderHandleSuiteStillKeepsTheRecordInTheModulesOwnHandle) {
  HostSettings settings;
  settings.handle.version = 2;
  Host host(Module(), settings);
  conformance::BoxWatcher watcher;
  EXPECT_EQ(host.Call(kSelectorOptionsStart), kUserCancelled);
  EXPECT_NE(host.dataSlot(), 0);
  EXPECT_EQ(host.counts().handlesMade, 0);
  EXPECT_EQ(watcher.Boxes().size(), 1u);
}

TEST(About, ShowsTheFixedTextOwnedByTheHostsWindow) {
  const intptr_t owner = conformance::MakeOwnerWindow();
  Host host(Module());
  host.dataSlot() = 0;
  conformance::BoxWatcher watcher;
  EXPECT_EQ(host.CallAbout(owner), 0);
  const std::vector<Box> boxes = watcher.Boxes();
  conformance::DestroyOwnerWindow(owner);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, std::string("Version 1.00 Release 1 (11/2003)\n") + ZENTROW_COPYRIGHT +
                               "\n\n\nAn plug-in file format module for Vellory ImagingR.");
  EXPECT_EQ(boxes[0].caption, "") << "there is no string 16001";
  EXPECT_EQ(boxes[0].icon, "information");
  EXPECT_EQ(boxes[0].owner, owner);
  EXPECT_EQ(host.dataSlot(), 0);
}

}  // namespace
