// Test hooks of the POSIX layer, for tests that link the module statically:
// failures injected into file access and memory, and message boxes captured
// instead of shown. Never reachable through the shared library's one export.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace posix_hooks {

struct FaultPlan {
  // File access: byte offsets in the stream of all bytes read (written) since
  // Reset. A read that reaches readFailAt answers HFILE_ERROR; a write that
  // reaches writeFailAt answers HFILE_ERROR, one that reaches diskFullAt
  // writes only the bytes before it. -1: never.
  int64_t readFailAt = -1;
  int64_t writeFailAt = -1;
  int64_t diskFullAt = -1;
  // GlobalAlloc calls, counted from 1 since Reset: that call answers null.
  int64_t globalAllocFailAt = -1;
  // HeapCalloc calls, counted from 1 since Reset: that call answers null.
  int64_t heapCallocFailAt = -1;
};

struct Counters {
  int64_t reads = 0, writes = 0, seeks = 0, bytesRead = 0, bytesWritten = 0;
  int64_t globalAllocs = 0, globalFrees = 0, liveGlobals = 0, heapCallocs = 0;
  int64_t stringLoads = 0, messageBoxes = 0;
  // read, write and lseek calls the layer made of the system for the above.
  int64_t systemCalls = 0;
};

struct MessageBoxRecord {
  intptr_t owner = 0;
  std::string text;     // as the module passed it (ANSI bytes)
  std::string caption;  // empty for none
  bool captionGiven = false;
  uint32_t type = 0;
};

void SetFaultPlan(const FaultPlan& plan);  // also restarts the byte streams
Counters& GetCounters();
void ResetCounters();

// While capturing, boxes are recorded, not printed, and answer IDOK.
void CaptureMessageBoxes(bool on);
const std::vector<MessageBoxRecord>& CapturedMessageBoxes();
void ClearCapturedMessageBoxes();

}  // namespace posix_hooks
