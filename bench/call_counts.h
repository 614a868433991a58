// What one operation asks of the host, counted: every suite routine,
// advanceState and progress, with the heap allocations made meanwhile split
// by zone (heap_counter.h). Counting goes through copies of the host's
// suites whose routines count and pass on, so it is done in a run of its own,
// never inside a timed loop.
#pragma once

#include <cstdint>

#include "interface/host_interface.h"
#include "plughost/host/host.h"

// The module, linked in statically from zentrow_static.
extern "C" void ZENTROW_CALL ENTRYPOINT(int16_t selector, void* block, intptr_t* data,
                                        int16_t* result);

namespace bench {

struct HostCallCounts {
  int64_t handle = 0, buffer = 0, resource = 0, descriptor = 0, advance = 0, progress = 0;
};

// ENTRYPOINT, with its heap allocations counted as the module's.
EntryPoint CountingEntry();

// While it lives, the host's block and descriptor parameters point at
// counting copies of the host's suites; Counts() are reset when it starts.
class CountingSuites {
 public:
  explicit CountingSuites(plughost::Host& host);
  ~CountingSuites();
  CountingSuites(const CountingSuites&) = delete;
  CountingSuites& operator=(const CountingSuites&) = delete;
  static const HostCallCounts& Counts();

 private:
  plughost::Host& host_;
  FormatBlock saved_;
  DescriptorParams savedParams_;
};

}  // namespace bench
