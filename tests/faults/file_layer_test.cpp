// The POSIX layer's reads behind the module's _lread: what it fetches ahead
// is never handed out once a write or seek through the layer, or a read of
// another descriptor, could have made it stale; each descriptor is left where
// the reads came to; a pipe is read no further than asked.
#include <fcntl.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/posix/posix_test_hooks.h"
#include "tests/faults/fault_harness.h"

namespace {

using faults::MemoryFile;

std::vector<uint8_t> Counting(size_t n) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i);
  return bytes;
}

std::vector<uint8_t> Read(int fd, UINT n) {
  std::vector<uint8_t> bytes(n);
  const UINT got = _lread(fd, bytes.data(), n);
  bytes.resize(got == static_cast<UINT>(HFILE_ERROR) ? 0 : got);
  return bytes;
}

// A second descriptor of its own on the same in-memory file.
int Reopen(int fd) { return open(("/proc/self/fd/" + std::to_string(fd)).c_str(), O_RDWR); }

struct Between {
  const char* name;
  // Done after 4 bytes of the file (bytes 0, 1, 2 ...) were read through
  // `fd`; answers what the next 4 bytes read through `fd` must be.
  std::function<std::vector<uint8_t>(int fd)> act;
};

TEST(FileLayer, NothingFetchedAheadOutlivesWhatCouldChangeIt) {
  const Between cases[] = {
      {"a write through another descriptor of the file",
       [](int fd) {
         const int other = Reopen(fd);
         lseek(other, 4, SEEK_SET);  // not through the layer: only the write is
         const char changed[] = {9, 9, 9, 9};
         _lwrite(other, changed, 4);
         close(other);
         return std::vector<uint8_t>{9, 9, 9, 9};
       }},
      {"a seek back by two through the same descriptor",
       [](int fd) {
         EXPECT_EQ(_llseek(fd, -2, 1), 2);
         return std::vector<uint8_t>{2, 3, 4, 5};
       }},
      {"a seek refused, before the start of the file",
       [](int fd) {
         EXPECT_EQ(_llseek(fd, -100, 0), -1);
         return std::vector<uint8_t>{4, 5, 6, 7};
       }},
      {"a seek through a duplicate, which shares the position",
       [](int fd) {
         const int twin = dup(fd);
         _llseek(twin, 100, 0);
         FinishFileAccess();  // as the module does before the host runs again
         close(twin);
         return std::vector<uint8_t>{100, 101, 102, 103};
       }},
      {"a read of another file",
       [](int) {
         MemoryFile other(std::vector<uint8_t>(8, 200));
         EXPECT_EQ(Read(other.ref(), 8), std::vector<uint8_t>(8, 200));
         return std::vector<uint8_t>{4, 5, 6, 7};
       }},
  };
  for (const Between& c : cases) {
    MemoryFile file(Counting(256));
    ASSERT_EQ(Read(file.ref(), 4), (std::vector<uint8_t>{0, 1, 2, 3})) << c.name;
    const std::vector<uint8_t> expected = c.act(file.ref());
    EXPECT_EQ(Read(file.ref(), 4), expected) << c.name;
    FinishFileAccess();
  }
}

TEST(FileLayer, AColourAtATimeCostsAReadOrTwoAndEndsWhereTheReadsCame) {
  MemoryFile file(Counting(800 + 100));
  posix_hooks::ResetCounters();
  ASSERT_EQ(_llseek(file.ref(), 0, 0), 0);
  for (int k = 0; k < 256; ++k) ASSERT_EQ(Read(file.ref(), 3).size(), 3u) << "colour " << k;
  FinishFileAccess();
  const posix_hooks::Counters& c = posix_hooks::GetCounters();
  EXPECT_EQ(c.reads, 256) << "the fault plan still sees each _lread";
  EXPECT_EQ(c.bytesRead, 768);
  // The seek kept, one read of the whole file from its start, and one seek
  // to put the descriptor where the reads came to.
  EXPECT_EQ(c.systemCalls, 2);
  EXPECT_EQ(lseek(file.ref(), 0, SEEK_CUR), 768);
}

TEST(FileLayer, APipeIsReadNoFurtherThanAsked) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const std::vector<uint8_t> sent = Counting(10);
  ASSERT_EQ(write(ends[1], sent.data(), sent.size()), 10);
  close(ends[1]);
  EXPECT_EQ(Read(ends[0], 4), (std::vector<uint8_t>{0, 1, 2, 3}));
  FinishFileAccess();
  uint8_t rest[16];
  EXPECT_EQ(read(ends[0], rest, sizeof rest), 6) << "the bytes not asked for are still in the pipe";
  close(ends[0]);
}

}  // namespace
