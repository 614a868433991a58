// What the fault-injection tables share: the module linked in statically
// (so the POSIX layer's fault plan reaches it), the sample palettes, a file
// the module reads and writes through a real descriptor, and the check that
// ends every case: nothing the host caught, no buffer held, no handle or
// global memory left behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "interface/host_interface.h"
#include "plughost/host/host.h"
#include "tests/handle_ledger.h"

extern "C" void ZENTROW_CALL ENTRYPOINT(int16_t selector, void* block, intptr_t* data,
                                        int16_t* result);

namespace faults {

struct Sample {
  std::string name;
  std::vector<uint8_t> bytes;
};

// Every file of tests/data/kiss, in name order.
const std::vector<Sample>& Samples();

// An anonymous in-memory file; its descriptor is the module's fileRef.
class MemoryFile {
 public:
  explicit MemoryFile(const std::vector<uint8_t>& bytes = {});
  ~MemoryFile();
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  int32_t ref() const { return fd_; }
  std::vector<uint8_t> Contents() const;
  void Rewind() const;

 private:
  int fd_;
};

// One case: a host with a ledger over its handles, and the module's own
// handles and global memory as they stood when the case began.
class Case {
 public:
  explicit Case(plughost::HostSettings settings = {});
  ~Case();
  plughost::Host& host() { return host_; }
  ledger::HandleLedger& handles() { return handles_; }
  // The end of every case, whatever it answered: the host caught nothing,
  // holds no buffer of the module's and no handle the module made apart
  // from the data slot's; module handles and global memory are back where
  // they were once the data slot's handle is given back.
  void ExpectEverythingGivenBack(const std::string& what);

 private:
  plughost::Host host_;
  ledger::HandleLedger handles_;
  int moduleHandlesBefore_;
  int64_t globalsBefore_;
};

// The 16 x 16 RGB image whose pixel (r, c, ch) is r * 16 + c + 85 * ch, at
// the size asked for.
plughost::Image TestImage(int rows, int columns);
// The 800 bytes a save of `image` must write.
std::vector<uint8_t> SavedFile(const plughost::Image& image);

// Cases run by the tables so far; printed when the program ends.
void CountCase();

}  // namespace faults
