// The failures a host is told to stage, in one place: the nth call of a
// routine that fails, and the row at which advanceState answers a code. The
// suites ask the plan on every call; the plan counts.
#pragma once

#include <cstdint>

namespace plughost {

struct HostSettings;

enum class Fault { kHandleCreate, kHandleLock, kBufferAllocate, kBufferLock };

class FaultPlan {
 public:
  explicit FaultPlan(const HostSettings& settings) : settings_(settings) {}
  // Counts a call of the routine; true when it is the call that fails.
  bool Fails(Fault routine);
  // True, with the code to answer, when the exchange starting at `row` fails.
  bool AdvanceFails(int row, int16_t* code) const;

 private:
  const HostSettings& settings_;
  int calls_[4] = {};
};

}  // namespace plughost
