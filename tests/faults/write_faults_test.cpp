// A write failing, and a disk filling, at every byte offset of a save. The
// save writes a 32-byte header and then 16 rows of 48 bytes; the write that
// reaches the offset fails (-20) or stops short at it (-34), WriteStart ends
// there, and the bytes before it are exactly those of a whole save.
#include <gtest/gtest.h>

#include "interface/result_codes.h"
#include "platform/posix/posix_test_hooks.h"
#include "tests/faults/fault_harness.h"

namespace {

using faults::Case;
using faults::MemoryFile;

struct ImageCase {
  const char* name;
  int rows, columns;
};

const ImageCase kImages[] = {
    {"16x16", 16, 16},
    {"10 rows of 20, six filler rows", 10, 20},
    {"20 rows of 8", 20, 8},
};

struct FaultKind {
  const char* name;
  int16_t code;
  bool full;  // the disk fills: the failing write puts the bytes before the offset
};

const FaultKind kKinds[] = {{"write fails", kWriteError, false}, {"disk full", kDiskFull, true}};

TEST(WriteFaults, SaveAtEveryOffset) {
  for (const FaultKind& kind : kKinds) {
    for (const ImageCase& shape : kImages) {
      const plughost::Image image = faults::TestImage(shape.rows, shape.columns);
      const std::vector<uint8_t> whole = faults::SavedFile(image);
      for (int at = 0; at <= 800; ++at) {
        const std::string what =
            std::string(kind.name) + " at byte " + std::to_string(at) + ", image " + shape.name;
        MemoryFile file;
        Case c;
        posix_hooks::FaultPlan plan;
        (kind.full ? plan.diskFullAt : plan.writeFailAt) = at;
        posix_hooks::SetFaultPlan(plan);
        const int16_t result = c.host().Save(file.ref(), image);
        // The write that holds the offset: the header, or row (at - 32) / 48.
        const int row = at < 32 ? -1 : (at - 32) / 48;
        const int writeStart = at < 32 ? 0 : 32 + 48 * row;
        const std::vector<uint8_t> got = file.Contents();
        if (at == 800) {
          EXPECT_EQ(result, kNoError) << what;
          EXPECT_EQ(got, whole) << what;
        } else {
          EXPECT_EQ(result, kind.code) << what;
          EXPECT_EQ(c.host().calls().back().selector, kSelectorWriteStart) << what;
          const size_t kept = size_t(kind.full ? at : writeStart);
          EXPECT_EQ(got, std::vector<uint8_t>(whole.begin(), whole.begin() + long(kept))) << what;
          // Progress is reported for the row whose write failed, then no more.
          EXPECT_EQ(c.host().progress().size(), size_t(row + 1)) << what;
          EXPECT_EQ(c.host().exchanges().size(), size_t(std::min(row + 1, shape.rows))) << what;
        }
        c.ExpectEverythingGivenBack(what);
      }
    }
  }
}

}  // namespace
