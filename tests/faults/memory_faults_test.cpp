// Memory failing at each call: the host's NewHandle, its buffer allocation
// and buffer lock, the colour table from the heap, and Windows global memory
// (the module's own handles) when the host offers no handle suite. For each:
// the code the rules give, the selector that gives it, and nothing left
// behind.
#include <gtest/gtest.h>

#include "module/host_services.h"
#include "interface/result_codes.h"
#include "platform/posix/posix_test_hooks.h"
#include "tests/faults/fault_harness.h"
#include "tests/palette_model.h"

namespace {

using faults::Case;
using faults::MemoryFile;
using faults::Samples;
using plughost::HostSettings;

// The host's NewHandle calls that a clean run of `run` makes.
template <typename Run>
int HandleCallsOf(Run run) {
  Case c;
  run(c);
  c.ExpectEverythingGivenBack("clean run");
  return c.handles().Calls();
}

// Only the first call makes the Globals record; without it the selector
// answers -108 and nothing runs. Later handles (strings, the history note,
// descriptors) failing are quiet.
TEST(MemoryFaults, NewHandleFailingAtEachCallWhileOpening) {
  for (const faults::Sample& sample : Samples()) {
    const auto expected = palette_model::Read(sample.bytes);
    MemoryFile file(sample.bytes);
    auto open = [&](Case& c) {
      file.Rewind();
      c.host().Filter(file.ref());
      return c.host().Open(file.ref());
    };
    const int calls = HandleCallsOf(open);
    ASSERT_GE(calls, 1) << sample.name;
    for (int n = 1; n <= calls + 1; ++n) {
      const std::string what = sample.name + ", NewHandle " + std::to_string(n) + " fails";
      HostSettings settings;
      settings.handleCreateFailsAt = n;
      Case c(settings);
      file.Rewind();
      EXPECT_EQ(c.host().Filter(file.ref()), n == 1 ? int16_t{kOutOfMemory} : expected.filter)
          << what;
      // The Filter call's failure left the data slot empty: the opening makes
      // the record afresh and runs as usual.
      EXPECT_EQ(c.host().Open(file.ref()), expected.open) << what;
      c.ExpectEverythingGivenBack(what);
    }
  }
}

TEST(MemoryFaults, NewHandleFailingAtEachCallWhileSaving) {
  const plughost::Image image = faults::TestImage(16, 16);
  MemoryFile probe;
  const int calls = HandleCallsOf([&](Case& c) { return c.host().Save(probe.ref(), image); });
  for (int n = 1; n <= calls + 1; ++n) {
    const std::string what = "NewHandle " + std::to_string(n) + " fails";
    HostSettings settings;
    settings.handleCreateFailsAt = n;
    Case c(settings);
    MemoryFile file;
    const int16_t result = c.host().Save(file.ref(), image);
    if (n == 1) {
      EXPECT_EQ(result, kOutOfMemory) << what;
      EXPECT_EQ(c.host().calls().back().selector, kSelectorOptionsPrepare) << what;
      EXPECT_TRUE(file.Contents().empty()) << what;
    } else {
      EXPECT_EQ(result, kNoError) << what;
      EXPECT_EQ(file.Contents(), faults::SavedFile(image)) << what;
    }
    c.ExpectEverythingGivenBack(what);
  }
}

struct BufferFault {
  const char* name;
  int HostSettings::*at;
};

const BufferFault kBufferFaults[] = {
    {"allocation", &HostSettings::bufferAllocateFailsAt},
    {"lock", &HostSettings::bufferLockFailsAt},
};

// One row buffer per ReadContinue and per WriteStart: failing it is -108,
// no row is exchanged, and a save leaves only its header in the file.
TEST(MemoryFaults, BufferFailingAtEachCall) {
  for (const BufferFault& fault : kBufferFaults) {
    for (const faults::Sample& sample : Samples()) {
      const auto expected = palette_model::Read(sample.bytes);
      for (int n = 1; n <= 2; ++n) {
        const std::string what =
            sample.name + ", buffer " + fault.name + " " + std::to_string(n) + " fails";
        HostSettings settings;
        settings.*fault.at = n;
        Case c(settings);
        MemoryFile file(sample.bytes);
        const bool reachesRows = !expected.startFails && expected.open == kNoError;
        const int16_t result = c.host().Open(file.ref());
        if (n == 1 && !expected.startFails) {
          // The buffer is taken before the colours are read, so even a file
          // cut short answers -108 first.
          EXPECT_EQ(result, kOutOfMemory) << what;
          EXPECT_EQ(c.host().calls().back().selector, kSelectorReadContinue) << what;
          EXPECT_TRUE(c.host().exchanges().empty()) << what;
        } else {
          EXPECT_EQ(result, expected.open) << what;
          if (reachesRows) {
            EXPECT_EQ(c.host().exchanges().size(), 16u) << what;
          }
        }
        c.ExpectEverythingGivenBack(what);
      }
    }
    for (int n = 1; n <= 2; ++n) {
      const std::string what =
          std::string("save, buffer ") + fault.name + " " + std::to_string(n) + " fails";
      HostSettings settings;
      settings.*fault.at = n;
      Case c(settings);
      MemoryFile file;
      const plughost::Image image = faults::TestImage(16, 16);
      const std::vector<uint8_t> whole = faults::SavedFile(image);
      const int16_t result = c.host().Save(file.ref(), image);
      EXPECT_EQ(result, n == 1 ? kOutOfMemory : kNoError) << what;
      const size_t kept = n == 1 ? 32 : 800;
      EXPECT_EQ(file.Contents(), std::vector<uint8_t>(whole.begin(), whole.begin() + long(kept)))
          << what;
      if (n == 1) {
        EXPECT_TRUE(c.host().exchanges().empty()) << what;
      }
      c.ExpectEverythingGivenBack(what);
    }
  }
}

// ReadContinue takes one colour table, for 12- and 24-bit headers only.
TEST(MemoryFaults, ColorTableFailingAtEachCall) {
  for (const faults::Sample& sample : Samples()) {
    const auto expected = palette_model::Read(sample.bytes);
    for (int n = 1; n <= 2; ++n) {
      const std::string what = sample.name + ", colour table " + std::to_string(n) + " fails";
      Case c;
      MemoryFile file(sample.bytes);
      posix_hooks::FaultPlan plan;
      plan.heapCallocFailAt = n;
      posix_hooks::SetFaultPlan(plan);
      const int64_t before = posix_hooks::GetCounters().heapCallocs;
      const int16_t result = c.host().Open(file.ref());
      const int64_t taken = posix_hooks::GetCounters().heapCallocs - before;
      EXPECT_EQ(taken, expected.startFails ? 0 : 1) << what;
      if (n == 1 && !expected.startFails) {
        EXPECT_EQ(result, kOutOfMemory) << what;
        EXPECT_TRUE(c.host().exchanges().empty()) << what;
      } else {
        EXPECT_EQ(result, expected.open) << what;
      }
      c.ExpectEverythingGivenBack(what);
    }
  }
}

// Without a usable handle suite the Globals record lives in the module's own
// handle (two GlobalAlloc calls: master block, data block) and each start
// selector refuses with one warning. Either allocation failing is -108 with
// nothing left allocated; the next selector makes the record afresh.
TEST(MemoryFaults, GlobalAllocFailingAtEachCallWithoutHandleSuite) {
  HostSettings settings;
  settings.handle.present = false;
  for (const faults::Sample& sample : Samples()) {
    const auto expected = palette_model::Read(sample.bytes);
    MemoryFile file(sample.bytes);
    int64_t calls = 0;
    {
      Case c(settings);
      const int64_t before = posix_hooks::GetCounters().globalAllocs;
      c.host().Filter(file.ref());
      c.host().Open(file.ref());
      calls = posix_hooks::GetCounters().globalAllocs - before;
      c.ExpectEverythingGivenBack(sample.name + " clean run");
    }
    ASSERT_EQ(calls, 2) << sample.name << ": the record's two blocks";
    for (int64_t n = 1; n <= calls + 1; ++n) {
      const std::string what = sample.name + ", GlobalAlloc " + std::to_string(n) + " fails";
      Case c(settings);
      posix_hooks::FaultPlan plan;
      plan.globalAllocFailAt = n;
      posix_hooks::SetFaultPlan(plan);
      file.Rewind();
      EXPECT_EQ(c.host().Filter(file.ref()), n <= 2 ? int16_t{kOutOfMemory} : expected.filter)
          << what;
      EXPECT_EQ(c.host().Open(file.ref()), kUserCancelled) << what;
      EXPECT_EQ(c.host().calls().back().selector, kSelectorReadStart) << what;
      EXPECT_EQ(posix_hooks::CapturedMessageBoxes().size(), 1u) << what;
      c.ExpectEverythingGivenBack(what);
    }
  }
}

TEST(MemoryFaults, GlobalAllocFailingAtEachCallWhileSavingWithoutHandleSuite) {
  HostSettings settings;
  settings.handle.present = false;
  const plughost::Image image = faults::TestImage(16, 16);
  int64_t calls = 0;
  {
    Case c(settings);
    MemoryFile file;
    const int64_t before = posix_hooks::GetCounters().globalAllocs;
    c.host().Save(file.ref(), image);
    calls = posix_hooks::GetCounters().globalAllocs - before;
    c.ExpectEverythingGivenBack("clean run");
  }
  for (int64_t n = 1; n <= calls + 1; ++n) {
    const std::string what = "GlobalAlloc " + std::to_string(n) + " fails";
    Case c(settings);
    MemoryFile file;
    posix_hooks::FaultPlan plan;
    plan.globalAllocFailAt = n;
    posix_hooks::SetFaultPlan(plan);
    const int16_t result = c.host().Save(file.ref(), image);
    EXPECT_EQ(result, n <= 2 ? kOutOfMemory : kUserCancelled) << what;
    EXPECT_EQ(c.host().calls().back().selector,
              n <= 2 ? kSelectorOptionsPrepare : kSelectorOptionsStart)
        << what;
    EXPECT_TRUE(file.Contents().empty()) << what;
    c.ExpectEverythingGivenBack(what);
  }
}

// A host without a handle suite cannot give back the record the module keeps
// in its own handle; unloading the library does, so nothing outlives it.
TEST(MemoryFaults, ModuleHandlesLeftAtUnloadingAreGivenBack) {
  HostSettings settings;
  settings.handle.present = false;
  const int64_t globalsBefore = posix_hooks::GetCounters().liveGlobals;
  const int handlesBefore = LiveModuleHandles();
  plughost::Host first(ENTRYPOINT, settings), second(ENTRYPOINT, settings);
  EXPECT_EQ(first.Call(kSelectorReadPrepare), kNoError);
  EXPECT_EQ(second.Call(kSelectorWritePrepare), kNoError);
  EXPECT_EQ(LiveModuleHandles(), handlesBefore + 2);
  DllMain(nullptr, DLL_PROCESS_DETACH, nullptr);
  EXPECT_EQ(LiveModuleHandles(), 0);
  EXPECT_LE(posix_hooks::GetCounters().liveGlobals, globalsBefore);
  faults::CountCase();
}

}  // namespace
