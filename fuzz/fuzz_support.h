// What the fuzz targets share: the module linked in statically, an
// in-memory file the module reads and writes through a real descriptor, and
// a check that stops the run with a message when the module breaks a rule.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "interface/host_interface.h"
#include "interface/result_codes.h"

// The module's entry point from zentrow_static.
extern "C" void ZENTROW_CALL ENTRYPOINT(int16_t selector, void* block, intptr_t* data,
                                        int16_t* result);

namespace fuzz {

// A finding: print what was broken and stop, so the fuzzer keeps the input.
#define FUZZ_REQUIRE(condition, ...)                    \
  do {                                                  \
    if (!(condition)) {                                 \
      std::fprintf(stderr, "broken: %s: ", #condition); \
      std::fprintf(stderr, __VA_ARGS__);                \
      std::fprintf(stderr, "\n");                       \
      std::abort();                                     \
    }                                                   \
  } while (0)

// One memfd for the whole run, refilled for every input.
class MemoryFile {
 public:
  MemoryFile() : fd_(memfd_create("kcf", 0)) { FUZZ_REQUIRE(fd_ >= 0, "memfd_create failed"); }
  ~MemoryFile() { close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  // The file holds exactly `bytes`, positioned at its start.
  int32_t Load(const std::vector<uint8_t>& bytes) {
    FUZZ_REQUIRE(ftruncate(fd_, 0) == 0, "truncate");
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t put =
          pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
      FUZZ_REQUIRE(put > 0, "write");
      done += static_cast<size_t>(put);
    }
    lseek(fd_, 0, SEEK_SET);
    return fd_;
  }
  std::vector<uint8_t> Contents() const {
    std::vector<uint8_t> bytes(static_cast<size_t>(lseek(fd_, 0, SEEK_END)));
    if (!bytes.empty()) FUZZ_REQUIRE(pread(fd_, bytes.data(), bytes.size(), 0) >= 0, "read");
    return bytes;
  }

 private:
  int fd_;
};

// Codes the module may answer of its own.
inline bool ModuleCode(int code) {
  switch (code) {
    case kNoError:
    case kReadError:
    case kWriteError:
    case kDiskFull:
    case kEndOfFile:
    case kOutOfMemory:
    case kUserCancelled:
    case kBadParameters:
    case kCannotReadFile:
      return true;
    default:
      return false;
  }
}

}  // namespace fuzz
