// The POSIX layer's shared state: fault plan, counters, captured boxes.
#pragma once

#include "platform/posix/posix_test_hooks.h"

namespace posix_hooks::detail {

struct State {
  FaultPlan plan;
  Counters counters;
  int64_t readStream = 0;
  int64_t writeStream = 0;
  int64_t allocCalls = 0;  // GlobalAlloc calls since the plan was set
  int64_t callocCalls = 0;  // HeapCalloc calls since the plan was set
  bool capturing = false;
  std::vector<MessageBoxRecord> boxes;

  static State& Get() {
    static State state;
    return state;
  }
};

}  // namespace posix_hooks::detail
