// The POSIX layer's shared state: fault plan and counters.
#pragma once

#include <type_traits>

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

  // Trivially destructible, so it stays valid to the very end: the
  // library's detach routine frees memory through it after static
  // destructors have run.
  static State& Get() {
    static State state;
    return state;
  }
};

static_assert(std::is_trivially_destructible<State>::value, "State must outlive destructors");

}  // namespace posix_hooks::detail
