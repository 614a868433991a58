// A target is replaced only by a committed file; otherwise it stays as it
// was, and no temporary file is left behind.
#include <gtest/gtest.h>

#include "plughost/files/atomic_file.h"
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
};

class Endings : public testing::TestWithParam<Ending> {};

TEST_P(Endings, ReplaceTheTargetOnlyOnCommit) {
  const Ending& c = GetParam();
  TempDir dir;
  const std::string target = dir / "out.kcf";
  if (c.targetExists) WriteAll(target, kOld);
  {
    AtomicFile file;
    std::string error;
    ASSERT_TRUE(file.Begin(target, &error)) << error;
    EXPECT_EQ(file.tempPath().rfind(dir / ".plughost-", 0), 0u)
        << "beside the target, under a short name: " << file.tempPath();
    ASSERT_TRUE(file.Write(kNew, &error)) << error;
    if (c.commit) {
      ASSERT_TRUE(file.Commit(&error)) << error;
    }
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
                         testing::Values(Ending{"NewTargetCommitted", false, true},
                                         Ending{"NewTargetAbandoned", false, false},
                                         Ending{"OldTargetCommitted", true, true},
                                         Ending{"OldTargetAbandoned", true, false}),
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

}  // namespace
