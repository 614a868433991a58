#include "plughost/host/fault_plan.h"

#include "plughost/host/host.h"

namespace plughost {

bool FaultPlan::Fails(Fault routine) {
  const int index = static_cast<int>(routine);
  const int failsAt[] = {settings_.handleCreateFailsAt, settings_.handleLockFailsAt,
                         settings_.bufferAllocateFailsAt, settings_.bufferLockFailsAt};
  return ++calls_[index] == failsAt[index];
}

bool FaultPlan::AdvanceFails(int row, int16_t* code) const {
  if (settings_.advanceFailsAtRow < 0 || row != settings_.advanceFailsAtRow) return false;
  *code = settings_.advanceFailCode;
  return true;
}

}  // namespace plughost
