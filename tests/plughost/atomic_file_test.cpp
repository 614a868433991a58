// A target is replaced only by a committed file; otherwise it stays as it
// was, and no temporary file is left behind.
#include <algorithm>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "plughost/files/atomic_file.h"
#include "plughost/files/file_faults.h"
#include "plughost/files/file_plan.h"
#include "plughost/files/input_file.h"
#include "plughost/files/interrupt_cleanup.h"
#include "tests/plughost/test_files.h"

namespace {

using plughost::AtomicFile;
using plughost_test::ReadAll;
using plughost_test::TempDir;
using plughost_test::WriteAll;

const std::vector<uint8_t> kOld = {'o', 'l', 'd', 0, 1, 2};
const std::vector<uint8_t> kNew = {'n', 'e', 'w', 9};

struct Ending {
  const char* name;
  bool targetExists;
  bool commit;
  bool together;  // begun with a CommitTogether, finished after the file is done with
};

// Named by its case in ctest, not by gtest's dump of its bytes.
void PrintTo(const Ending& c, std::ostream* os) { *os << c.name; }

class Endings : public testing::TestWithParam<Ending> {};

TEST_P(Endings, ReplaceTheTargetOnlyOnCommit) {
  const Ending& c = GetParam();
  TempDir dir;
  const std::string target = dir / "out.kcf";
  if (c.targetExists) WriteAll(target, kOld);
  std::unique_ptr<plughost::CommitTogether> batch;
  if (c.together) batch = std::make_unique<plughost::CommitTogether>();
  {
    AtomicFile file;
    std::string error;
    ASSERT_TRUE(file.Begin(target, nullptr, &error, batch.get())) << error;
    EXPECT_EQ(file.tempPath().rfind(dir / ".plughost-", 0), 0u)
        << "beside the target, under a short name: " << file.tempPath();
    ASSERT_TRUE(file.Write(kNew, &error)) << error;
    if (c.commit) {
      ASSERT_TRUE(file.Commit(&error)) << error;
    }
  }
  if (batch) {
    EXPECT_EQ(ReadAll(target), c.targetExists ? kOld : std::vector<uint8_t>{})
        << "nothing replaced before the batch ends";
    std::vector<std::string> errors;
    EXPECT_TRUE(batch->Finish(&errors));
    EXPECT_TRUE(errors.empty());
  }
  if (c.commit) {
    EXPECT_EQ(ReadAll(target), kNew);
  } else if (c.targetExists) {
    EXPECT_EQ(ReadAll(target), kOld) << "byte for byte as it was";
  }
  const std::vector<std::string> expected =
      c.commit || c.targetExists ? std::vector<std::string>{"out.kcf"} : std::vector<std::string>{};
  EXPECT_EQ(dir.Names(), expected) << "no temporary file is left";
}

INSTANTIATE_TEST_SUITE_P(Table, Endings,
                         testing::Values(Ending{"NewTargetCommitted", false, true, false},
                                         Ending{"NewTargetAbandoned", false, false, false},
                                         Ending{"OldTargetCommitted", true, true, false},
                                         Ending{"OldTargetAbandoned", true, false, false},
                                         Ending{"NewTargetCommittedTogether", false, true, true},
                                         Ending{"OldTargetCommittedTogether", true, true, true},
                                         Ending{"OldTargetAbandonedTogether", true, false, true}),
                         [](const testing::TestParamInfo<Ending>& p) { return p.param.name; });

TEST(AtomicFile, TwoAtOnceGetTheirOwnTemporaryFiles) {
  TempDir dir;
  AtomicFile a, b;
  std::string error;
  ASSERT_TRUE(a.Begin(dir / "x.png", &error)) << error;
  ASSERT_TRUE(b.Begin(dir / "x.png", &error)) << error;
  EXPECT_NE(a.tempPath(), b.tempPath());
}

TEST(AtomicFile, ADirectoryThatIsMissingIsReported) {
  TempDir dir;
  AtomicFile file;
  std::string error;
  EXPECT_FALSE(file.Begin(dir / "missing/out.kcf", &error));
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
  EXPECT_TRUE(dir.Names().empty());
}

TEST(WriteFileAtomically, WritesAllBytes) {
  TempDir dir;
  std::string error;
  WriteAll(dir / "a.ppm", kOld);
  ASSERT_TRUE(plughost::WriteFileAtomically(dir / "a.ppm", kNew, &error)) << error;
  EXPECT_EQ(ReadAll(dir / "a.ppm"), kNew);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"a.ppm"});
}

// A batch's outputs appear only when it ends, all of them, under their own
// names, with no temporary file left.
TEST(CommitTogether, OutputsAppearTogetherWhenTheBatchEnds) {
  TempDir dir;
  std::vector<std::string> names;
  {
    plughost::CommitTogether batch;
    for (int i = 0; i < 40; ++i) {
      names.push_back("p" + std::to_string(100 + i) + ".ppm");
      std::string error;
      ASSERT_TRUE(plughost::WriteFileAtomically(dir / names.back(), {uint8_t(i)}, nullptr, &error, &batch))
          << error;
    }
    EXPECT_EQ(batch.queued(), 40u);
    for (const std::string& name : dir.Names()) EXPECT_EQ(name.rfind(".plughost-", 0), 0u) << name;
    std::vector<std::string> errors;
    EXPECT_TRUE(batch.Finish(&errors));
  }
  EXPECT_EQ(dir.Names(), names);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(ReadAll(dir / names[size_t(i)]), std::vector<uint8_t>{uint8_t(i)});
}

// A batch that ends without Finish (a failure, a closed standard output)
// leaves every target as it was and no new file behind.
TEST(CommitTogether, ABatchNotFinishedLeavesEveryTarget) {
  TempDir dir;
  WriteAll(dir / "a.ppm", kOld);
  {
    plughost::CommitTogether batch;
    std::string error;
    for (const char* name : {"a.ppm", "b.ppm"})
      ASSERT_TRUE(plughost::WriteFileAtomically(dir / name, kNew, nullptr, &error, &batch)) << error;
  }
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"a.ppm"});
  EXPECT_EQ(ReadAll(dir / "a.ppm"), kOld);
}

// A target that can no longer be replaced when the batch ends is named, its
// new file removed; the others are still put in place.
TEST(CommitTogether, ATargetThatBecameAFolderIsNamedAndTheRestGoOn) {
  TempDir dir;
  plughost::CommitTogether batch;
  std::string error;
  for (const char* name : {"a.kcf", "b.kcf", "c.kcf"})
    ASSERT_TRUE(plughost::WriteFileAtomically(dir / name, kNew, nullptr, &error, &batch)) << error;
  std::filesystem::create_directory(dir / "b.kcf");
  std::vector<std::string> errors;
  EXPECT_FALSE(batch.Finish(&errors));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].rfind("cannot write " + dir / "b.kcf" + ": ", 0), 0u) << errors[0];
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"a.kcf", "b.kcf", "c.kcf"}));
  EXPECT_EQ(ReadAll(dir / "c.kcf"), kNew);
  EXPECT_TRUE(std::filesystem::is_empty(dir / "b.kcf"));
  EXPECT_TRUE(batch.LeftAsItWas(dir / "b.kcf"));
  EXPECT_FALSE(batch.LeftAsItWas(dir / "c.kcf"));
}

// The order of durability, by the gate's own calls: a batch's bytes are on
// disk before any file is renamed over its target, the names after the last
// rename; a failed sync renames nothing, and a failed rename leaves its
// target and is named. A lone file, committed at once, likewise.
struct DurabilityCase {
  const char* name;
  bool together;
  int failSyncAt, failRenameAt;
  std::vector<bool> replaced;  // of a.kcf, b.kcf, c.kcf (one file alone: a.kcf)
  bool newFolder = false;      // written into new/, which is not there: staged
  int failWriteAt = -1;        // the disk fills as the Nth file is written
  int swapped = -1;            // the file another program swaps for one of its size as they are synced
};

void PrintTo(const DurabilityCase& c, std::ostream* os) { *os << c.name; }

class Durability : public testing::TestWithParam<DurabilityCase> {};

TEST_P(Durability, SyncsComeBeforeRenamesAndAFailureRenamesNothing) {
  const DurabilityCase& c = GetParam();
  TempDir dir;
  const std::vector<std::string> names = c.together ? std::vector<std::string>{"a.kcf", "b.kcf", "c.kcf"}
                                                    : std::vector<std::string>{"a.kcf"};
  const std::string folder = c.newFolder ? "new/" : "";
  if (!c.newFolder) {
    for (const std::string& name : names) WriteAll(dir / name, kOld);
  }
  plughost::FileFaults plan;
  plan.failSyncAt = c.failSyncAt;
  plan.failRenameAt = c.failRenameAt;
  plan.failWriteAt = c.failWriteAt;
  // Swapped as an editor saves: a new file renamed over the old name.
  const std::vector<uint8_t> other = {'O', 'L', 'D', 0, 1, 2};
  if (c.swapped >= 0)
    plan.atFirstSync = [&] {
      WriteAll(dir / "swap", other);
      std::filesystem::rename(dir / "swap", dir / names[size_t(c.swapped)]);
    };
  std::vector<std::string> errors;
  {
    // The faults are handed to the batch's commit, or to the lone file.
    std::unique_ptr<plughost::CommitTogether> batch;
    if (c.together) batch = std::make_unique<plughost::CommitTogether>(&plan);
    int failure = 0;
    if (c.newFolder) {
      ASSERT_TRUE(batch->StageFolder(dir / "new", &failure)) << failure;
    }
    for (const std::string& name : names) {
      std::string error;
      if (!plughost::WriteFileAtomically(dir / (folder + name), kNew, nullptr, &error, batch.get(),
                                         batch ? nullptr : &plan))
        errors.push_back(error);
    }
    if (batch) batch->Finish(&errors);
  }
  size_t lastSync = 0, firstRename = plan.calls.size(), lastRename = 0;
  for (size_t i = 0; i < plan.calls.size(); ++i) {
    if (plan.calls[i].rfind("rename ", 0) == 0) {
      firstRename = std::min(firstRename, i);
      lastRename = i;
    } else if (firstRename == plan.calls.size()) {
      lastSync = i;
    }
  }
  EXPECT_LT(lastSync, firstRename) << "a sync of the new bytes before the first rename";
  if (std::find(c.replaced.begin(), c.replaced.end(), true) != c.replaced.end()) {
    EXPECT_GT(plan.calls.size() - 1, lastRename) << "the folder synced after the last rename";
  }
  if (c.failSyncAt == 0) {
    EXPECT_EQ(firstRename, plan.calls.size()) << "nothing renamed";
  }
  const bool anyReplaced = std::find(c.replaced.begin(), c.replaced.end(), true) != c.replaced.end();
  for (size_t i = 0; i < names.size(); ++i) {
    if (c.newFolder && !c.replaced[i]) {
      EXPECT_FALSE(std::filesystem::exists(dir / (folder + names[i]))) << names[i];
    } else {
      const std::vector<uint8_t>& left = int(i) == c.swapped ? other : kOld;
      EXPECT_EQ(ReadAll(dir / (folder + names[i])), c.replaced[i] ? kNew : left) << names[i];
    }
  }
  const bool allReplaced = std::find(c.replaced.begin(), c.replaced.end(), false) == c.replaced.end();
  EXPECT_EQ(errors.empty(), allReplaced && c.failSyncAt != 1);
  if (!c.newFolder) {
    EXPECT_EQ(dir.Names(), names) << "no temporary file is left";
  } else {
    // A new folder appears whole, or not at all, and nothing else with it.
    EXPECT_EQ(dir.Names(), anyReplaced ? std::vector<std::string>{"new"} : std::vector<std::string>{});
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Durability,
    testing::Values(
        DurabilityCase{"Batch", true, -1, -1, {true, true, true}},
        DurabilityCase{"BatchWhoseSyncFails", true, 0, -1, {false, false, false}},
        DurabilityCase{"BatchWhoseSecondRenameFails", true, -1, 1, {true, false, true}},
        DurabilityCase{"BatchWhoseFolderSyncFails", true, 1, -1, {true, true, true}},
        DurabilityCase{"LoneFile", false, -1, -1, {true}},
        DurabilityCase{"LoneFileWhoseSyncFails", false, 0, -1, {false}},
        DurabilityCase{"LoneFileWhoseRenameFails", false, -1, 0, {false}},
        DurabilityCase{"NewFolder", true, -1, -1, {true, true, true}, true},
        DurabilityCase{"NewFolderWhoseSyncFails", true, 0, -1, {false, false, false}, true},
        DurabilityCase{"NewFolderWhoseRenameFails", true, -1, 0, {false, false, false}, true},
        // A full disk under one file of a batch: none is put in place.
        DurabilityCase{"BatchWhoseDiskFills", true, -1, -1, {false, false, false}, false, 1},
        DurabilityCase{"NewFolderWhoseDiskFills", true, -1, -1, {false, false, false}, true, 1},
        // Another program's file, put there after the target was judged, is kept.
        DurabilityCase{"LoneFileSwappedWhileSynced", false, -1, -1, {false}, false, -1, 0},
        DurabilityCase{"BatchFileSwappedWhileSynced", true, -1, -1, {true, false, true}, false, -1, 1}),
    [](const testing::TestParamInfo<DurabilityCase>& p) { return p.param.name; });

// A new file that cannot be removed (its folder made read-only meanwhile)
// is not forgotten: it is named, with the reason, once asked.
TEST(AtomicFile, ANewFileThatCannotBeRemovedIsNamed) {
  TempDir dir;
  plughost::FileFaults plan;
  plan.failRemoveAt = 0;
  AtomicFile file(&plan);
  std::string error;
  ASSERT_TRUE(file.Begin(dir / "out.kcf", &error)) << error;
  const std::string temp = file.tempPath();
  file.Abandon();
  size_t count = 0;
  EXPECT_EQ(file.leftBehind().Take(&count), temp + " (permission denied)");
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(file.leftBehind().Take(&count), "") << "said once";
  std::filesystem::remove(temp);
}

// The first bytes of an input are what it held when opened, even when it
// has grown since (the reader's buffer is no larger than that).
TEST(InputFile, HeadOfAFileThatGrewIsWhatItHeldWhenOpened) {
  TempDir dir;
  WriteAll(dir / "grows.kcf", kOld);
  plughost::InputFile file;
  std::string error;
  ASSERT_TRUE(file.Open(dir / "grows.kcf", &error)) << error;
  std::vector<uint8_t> longer = kOld;
  longer.resize(4096, 'x');
  WriteAll(dir / "grows.kcf", longer);
  EXPECT_EQ(file.Head(1024), kOld);
}

}  // namespace

// What a batch learnt of its files lives and dies with its commit: a batch
// that stopped early leaves nothing that changes what a later write does.
TEST(CommitTogether, AnOutputFoundMissingIsLookedAtAgainByALaterWrite) {
  TempDir dir;
  plughost::CommandFiles files;
  // Enough outputs in one folder that the check lists it rather than
  // looking at each.
  for (int i = 0; i < 10; ++i) {
    files.inputs.push_back(dir / ("in" + std::to_string(i) + ".png"));
    files.outputs.push_back(dir / ("out" + std::to_string(i) + ".kcf"));
  }
  std::string error;
  {
    plughost::CommitTogether stopped;
    ASSERT_TRUE(plughost::CheckCommandFiles(files, &error, &stopped)) << error;
  }  // the batch stopped before writing any
  WriteAll(files.outputs[0], kOld);  // another program's, made since
  AtomicFile later;
  const plughost::ReplaceCheck refuse = [](const plughost::ExistingFile& f) {
    return f.name + " is kept";
  };
  EXPECT_FALSE(later.Begin(files.outputs[0], refuse, &error)) << "judged, not trusted missing";
  EXPECT_EQ(error, files.outputs[0] + " is kept");
  EXPECT_EQ(ReadAll(files.outputs[0]), kOld);
}

TEST(CommitTogether, AFileLeftBehindIsNamedByTheCommitThatMadeItAlone) {
  TempDir dir;
  plughost::FileFaults faults;
  faults.failRemoveAt = 0;
  plughost::CommitTogether first(&faults), next;
  std::string temp, error;
  {
    AtomicFile file;
    ASSERT_TRUE(file.Begin(dir / "out.kcf", nullptr, &error, &first)) << error;
    temp = file.tempPath();
  }  // abandoned, and its removal fails
  size_t count = 0;
  EXPECT_EQ(next.leftBehind().Take(&count), "") << "another batch's";
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(first.leftBehind().Take(&count), temp + " (permission denied)");
  EXPECT_EQ(count, 1u);
  std::filesystem::remove(temp);
}
