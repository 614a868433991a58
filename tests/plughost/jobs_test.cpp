// The use-case layer's jobs driven directly, as any caller drives them: a
// request in, one call, and the report's facts checked (its status, what
// became of each file and each output), never the words a caller makes of
// them.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "plughost/files/file_faults.h"
#include "plughost/images/image_files.h"
#include "plughost/usecases/jobs.h"
#include "tests/plughost/sample_palettes.h"
#include "tests/plughost/test_files.h"

namespace {

using plughost::FileOutcome;
using plughost::Outcome;
using plughost::Report;
using plughost_test::TempDir;
using plughost_test::WriteAll;

// A caller that loads the built module and keeps what it is told.
class JobCaller : public plughost::KeepingCaller {
 public:
  JobCaller() {
    std::string error;
    module_ = plughost::LoadedModule::Load(plughost_test::HostPath(ZENTROW_MODULE_PATH), &error);
  }
  const plughost::LoadedModule& module() const override { return module_; }
  plughost::FileFaults* fileFaults() override { return faults; }
  std::unique_ptr<plughost::Host> NewHost(const std::string&, const std::string&) override {
    return std::make_unique<plughost::Host>(module_.entry());
  }
  plughost::FileFaults* faults = nullptr;  // a test's, handed to the job's commit

 private:
  plughost::LoadedModule module_;
};

struct Expected {
  Outcome outcome;
  int status;
};

struct JobCase {
  const char* name;
  std::function<Report(plughost::Caller& caller, const TempDir& dir)> job;
  int status;
  std::vector<Expected> files;  // what became of each file the job ran, in order
  std::vector<bool> placed;     // of each output planned, in order
  plughost::FileFaults faults{};
};
void PrintTo(const JobCase& c, std::ostream* os) { *os << c.name; }

plughost::OpenRequest OpenInto(const TempDir& dir, std::vector<std::string> inputs,
                               const std::string& folder) {
  plughost::OpenRequest request;
  for (const std::string& input : inputs) request.inputs.push_back(dir / input);
  request.outDir = dir / folder;
  return request;
}

plughost::SaveRequest SaveInto(const TempDir& dir, std::vector<std::string> images,
                               const std::string& folder) {
  plughost::SaveRequest request;
  for (const std::string& image : images) request.images.push_back(dir / image);
  request.outDir = dir / folder;
  return request;
}

plughost::FileFaults RenameFailsAt(int n) {
  plughost::FileFaults plan;
  plan.failRenameAt = n;
  return plan;
}

constexpr int kOk = plughost::kExitSuccess;
constexpr int kModule = plughost::kExitModule;
constexpr int kHost = plughost::kExitHost;
constexpr Outcome kDone = Outcome::kDone;
constexpr Outcome kLeft = Outcome::kLeftAsItWas;
constexpr Outcome kRefused = Outcome::kRefused;

const JobCase kJobCases[] = {
    {"EveryOutputInPlace",
     [](plughost::Caller& c, const TempDir& d) { return OpenPalettes(c, OpenInto(d, {"p24.kcf", "p12.kcf"}, "o")); },
     kOk, {{kDone, kOk}, {kDone, kOk}}, {true, true}},
    {"AMissingInputLeavesTheOtherInPlace",
     [](plughost::Caller& c, const TempDir& d) { return OpenPalettes(c, OpenInto(d, {"p24.kcf", "missing.kcf"}, "o")); },
     plughost::kExitSome, {{kDone, kOk}, {kRefused, kHost}}, {true, false}},
    {"ACutPaletteIsTheModulesRefusal",
     [](plughost::Caller& c, const TempDir& d) { return OpenPalettes(c, OpenInto(d, {"cut.kcf"}, "o")); },
     kModule, {{kRefused, kModule}}, {false}},
    // The second of three renames fails: the first two are in place, the
    // third and the one that failed are not.
    {"ARenameFailingMidCommit",
     [](plughost::Caller& c, const TempDir& d) {
       return OpenPalettes(c, OpenInto(d, {"p24.kcf", "p12.kcf", "hl.kcf"}, "."));
     },
     plughost::kExitSome, {{kDone, kOk}, {kLeft, kOk}, {kDone, kOk}}, {true, false, true}, RenameFailsAt(1)},
    {"EveryRenameFailingLeavesEveryTarget",
     [](plughost::Caller& c, const TempDir& d) { return OpenPalettes(c, OpenInto(d, {"p24.kcf"}, ".")); },
     kHost, {{kLeft, kOk}}, {false}, RenameFailsAt(0)},
    {"SaveOfAnImageAndANonImage",
     [](plughost::Caller& c, const TempDir& d) { return SavePalettes(c, SaveInto(d, {"pic.png", "p24.kcf"}, "s")); },
     plughost::kExitSome, {{kDone, kOk}, {kRefused, kHost}}, {true, false}},
    {"ProbeHasNoOutputs",
     [](plughost::Caller& c, const TempDir& d) {
       return ProbeFiles(c, {d / "p24.kcf", d / "missing.kcf"});
     },
     kHost, {{kDone, kOk}, {kRefused, kHost}}, {}},
};

class Jobs : public testing::TestWithParam<JobCase> {};

TEST_P(Jobs, ReportWhatBecameOfEachFileAndOutput) {
  const JobCase& c = GetParam();
  TempDir dir;
  WriteAll(dir / "p24.kcf", samples::Palette24());
  WriteAll(dir / "p12.kcf", samples::Palette12());
  WriteAll(dir / "hl.kcf", samples::Headerless());
  std::vector<uint8_t> cut = samples::Palette24();
  cut.resize(300);
  WriteAll(dir / "cut.kcf", cut);
  WriteAll(dir / "pic.png", plughost::EncodeImage(plughost::Image::Blank(16, 16, 3), plughost::ImageFormat::kPng));
  JobCaller caller;
  ASSERT_TRUE(bool(caller.module()));
  plughost::FileFaults faults = c.faults;
  caller.faults = &faults;
  const Report report = c.job(caller, dir);
  EXPECT_EQ(report.status, c.status) << caller.refusal();
  ASSERT_TRUE(report.ran);
  ASSERT_EQ(report.tally.ran.size(), c.files.size());
  for (size_t i = 0; i < c.files.size(); ++i) {
    EXPECT_EQ(report.tally.ran[i].outcome, c.files[i].outcome) << report.tally.ran[i].file;
    EXPECT_EQ(report.tally.ran[i].status, c.files[i].status) << report.tally.ran[i].file;
  }
  ASSERT_EQ(report.tally.outputs.size(), c.placed.size());
  for (size_t i = 0; i < c.placed.size(); ++i) {
    const plughost::OutputOutcome& o = report.tally.outputs[i];
    EXPECT_EQ(o.placed, c.placed[i]) << o.file;
    EXPECT_EQ(std::filesystem::exists(o.file), o.placed) << o.file << " is there only when placed";
  }
}

INSTANTIATE_TEST_SUITE_P(Table, Jobs, testing::ValuesIn(kJobCases),
                         [](const testing::TestParamInfo<JobCase>& i) { return std::string(i.param.name); });

// Requests that do not hold together touch nothing, and say which fault.
TEST(Jobs, ARequestThatDoesNotHoldTogetherRunsNothing) {
  JobCaller caller;
  TempDir dir;
  plughost::OpenRequest none;
  none.outDir = dir / "o";
  EXPECT_EQ(OpenPalettes(caller, none).fault, plughost::RequestFault::kNoInputs);
  plughost::SaveRequest both = SaveInto(dir, {"a.png", "b.png"}, "s");
  both.out = dir / "x.kcf";
  const Report report = SavePalettes(caller, both);
  EXPECT_EQ(report.status, plughost::kExitUsage);
  EXPECT_EQ(report.fault, plughost::RequestFault::kOutputChoice);
  EXPECT_FALSE(report.ran);
  EXPECT_EQ(ProbeFiles(caller, {}).fault, plughost::RequestFault::kNoInputs);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{});
}

}  // namespace
