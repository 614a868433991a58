// Suite tests, the wrappers' choice between the host and the module's own
// handles, and string loading, seen from inside the module.
#include <cstring>

#include <gtest/gtest.h>

#include "module/host_services.h"
#include "interface/result_codes.h"
#include "module/format_module.h"
#include "platform/posix/posix_test_hooks.h"
#include "text/pstring.h"

namespace {

// A handle suite that is unusable (no handle suite at all).
HandleSuite* const kNoHandleSuite = nullptr;

int64_t LiveGlobals() { return posix_hooks::GetCounters().liveGlobals; }

TEST(ModuleHandle, HoldsZeroedBytesAtAStableAddressUntilDisposed) {
  const int64_t before = LiveGlobals();
  Handle h = NewHandle(kNoHandleSuite, 100);
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(IsModuleHandle(h));
  EXPECT_EQ(LiveGlobals(), before + 2) << "a master and a data block";
  auto* bytes = static_cast<uint8_t*>(LockHandle(kNoHandleSuite, h, 1));
  ASSERT_NE(bytes, nullptr);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(bytes[i], 0);
  std::memset(bytes, 0x5A, 100);
  UnlockHandle(kNoHandleSuite, h);
  auto* again = static_cast<uint8_t*>(LockHandle(kNoHandleSuite, h, 0));
  EXPECT_EQ(again, bytes);
  EXPECT_EQ(again[99], 0x5A);
  EXPECT_EQ(std::memcmp(reinterpret_cast<char*>(h) + sizeof(void*), "OTOF", 4), 0);
  DisposeHandle(kNoHandleSuite, h);
  EXPECT_EQ(LiveGlobals(), before);
  EXPECT_FALSE(IsModuleHandle(h));
}

TEST(ModuleHandle, AFailedDataBlockGivesBackTheMasterBlock) {
  const int64_t before = LiveGlobals();
  posix_hooks::FaultPlan plan;
  plan.globalAllocFailAt = 2;
  posix_hooks::SetFaultPlan(plan);
  EXPECT_EQ(NewModuleHandle(10), nullptr);
  posix_hooks::SetFaultPlan({});
  EXPECT_EQ(LiveGlobals(), before);
  plan.globalAllocFailAt = 1;
  posix_hooks::SetFaultPlan(plan);
  EXPECT_EQ(NewModuleHandle(10), nullptr);
  posix_hooks::SetFaultPlan({});
  EXPECT_EQ(LiveGlobals(), before);
}

TEST(ModuleHandle, AHandleTheModuleDidNotMakeIsLeftAlone) {
  uint8_t hostMemory[16] = {};
  Handle foreign = reinterpret_cast<Handle>(hostMemory);
  const int64_t before = LiveGlobals();
  DisposeHandle(kNoHandleSuite, foreign);
  EXPECT_EQ(LockHandle(kNoHandleSuite, foreign, 0), nullptr);
  EXPECT_EQ(LockHandle(kNoHandleSuite, nullptr, 0), nullptr);
  EXPECT_EQ(LiveGlobals(), before);
}

// A host suite whose routines record what reached them.
struct Recorder {
  static int creates, disposes;
  static Handle ZENTROW_CALL Create(int32_t) { ++creates; return reinterpret_cast<Handle>(&creates); }
  static void ZENTROW_CALL Dispose(Handle) { ++disposes; }
  static int32_t ZENTROW_CALL Size(Handle) { return 0; }
  static int16_t ZENTROW_CALL SetSize(Handle, int32_t) { return 0; }
  static void ZENTROW_CALL Unused() {}
  static int16_t ZENTROW_CALL Advance() { return 0; }
};
int Recorder::creates = 0, Recorder::disposes = 0;

HandleSuite GoodHandleSuite() {
  return HandleSuite{1, 7, Recorder::Create, Recorder::Dispose, Recorder::Size, Recorder::SetSize,
                     nullptr, nullptr, Recorder::Unused};
}

TEST(HandleWrappers, AbsentLockAndUnlockRoutinesAreGuarded) {
  HandleSuite suite = GoodHandleSuite();
  Handle h = NewHandle(&suite, 8);
  EXPECT_EQ(Recorder::creates, 1) << "the host's suite is used";
  EXPECT_EQ(LockHandle(&suite, h, 1), nullptr);
  UnlockHandle(&suite, h);  // must not call through null
  DisposeHandle(&suite, h);
  EXPECT_EQ(Recorder::disposes, 1);
}

TEST(SuiteTests, VersionCountAndRoutines) {
  HandleSuite suite = GoodHandleSuite();
  uint8_t tooNew = 0;
  EXPECT_TRUE(HandleSuiteUsable(&suite, &tooNew));
  suite.routineCount = 0x8000;
  EXPECT_TRUE(HandleSuiteUsable(&suite, &tooNew)) << "the count is unsigned";
  suite.version = 2;
  EXPECT_FALSE(HandleSuiteUsable(&suite, &tooNew));
  EXPECT_EQ(tooNew, 1);
  EXPECT_FALSE(HandleSuiteUsable(&suite, nullptr)) << "tooNew may be null";
  suite.version = 0;
  tooNew = 0;
  EXPECT_FALSE(HandleSuiteUsable(&suite, &tooNew));
  EXPECT_EQ(tooNew, 0);
  EXPECT_FALSE(HandleSuiteUsable(nullptr, &tooNew));
  EXPECT_TRUE(AdvanceStateUsable(Recorder::Advance));
  EXPECT_FALSE(AdvanceStateUsable(nullptr));
}

TEST(BufferWrappers, AnUnusableSuiteAnswersOutOfMemoryWithNoId) {
  BufferSuite newer{3, 5, nullptr, nullptr, nullptr, nullptr, nullptr};
  BufferId id = reinterpret_cast<BufferId>(&newer);
  posix_hooks::CaptureMessageBoxes(true);
  posix_hooks::ClearCapturedMessageBoxes();
  EXPECT_EQ(AllocateBuffer(&newer, 48, &id), kOutOfMemory);
  EXPECT_EQ(id, nullptr);
  EXPECT_EQ(LockBuffer(&newer, id, 0), nullptr);
  FreeBuffer(&newer, id);
  EXPECT_TRUE(posix_hooks::CapturedMessageBoxes().empty()) << "the wrappers never warn";
  posix_hooks::CaptureMessageBoxes(false);
}

TEST(Strings, HandleFromPString) {
  PString abc = {3, 'a', 'b', 'c'};
  Handle h = HandleFromPString(kNoHandleSuite, abc);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(std::memcmp(LockHandle(kNoHandleSuite, h, 0), "abc", 3), 0);
  DisposeHandle(kNoHandleSuite, h);
  PString empty = {};
  Handle none = HandleFromPString(kNoHandleSuite, empty);
  EXPECT_NE(none, nullptr) << "a zero-byte handle";
  DisposeHandle(kNoHandleSuite, none);
}

TEST(Strings, LoadModuleString) {
  PString text;
  std::memset(text, 0xFF, sizeof text);
  const int64_t before = LiveGlobals();
  LoadModuleString(kNoHandleSuite, moduleInstance, 16989, text);
  EXPECT_EQ(text[0], 19);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(text + 1), 19), "Morvid: ref num=^0.");
  EXPECT_EQ(text[20], 0);
  EXPECT_EQ(LiveGlobals(), before) << "the string's handle is disposed of";

  posix_hooks::ResetCounters();
  LoadModuleString(kNoHandleSuite, moduleInstance, 16001, text);
  EXPECT_EQ(text[0], 0);
  EXPECT_EQ(text[1], 0);
  EXPECT_EQ(posix_hooks::GetCounters().globalAllocs, 0) << "no handle for a missing string";
}

TEST(Strings, LoadStringHandleHoldsAPStringAndAZero) {
  int32_t bytes = 0;
  Handle h = LoadStringHandle(kNoHandleSuite, moduleInstance, 16993, &bytes);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(bytes, 67 + 2);
  auto* p = static_cast<uint8_t*>(LockHandle(kNoHandleSuite, h, 1));
  EXPECT_EQ(p[0], 67);
  EXPECT_EQ(p[68], 0);
  DisposeHandle(kNoHandleSuite, h);
}

TEST(DescriptorSuites, EveryStepOfTheTest) {
  ReadDescriptorSuite read{};
  WriteDescriptorSuite write{};
  // Fill every routine slot with something present.
  auto fill = [](void* suite, size_t size) {
    auto* slots = reinterpret_cast<UnusedRoutine*>(static_cast<char*>(suite) + sizeof(void*));
    for (size_t i = 0; i < (size - sizeof(void*)) / sizeof(void*); ++i) slots[i] = Recorder::Unused;
  };
  fill(&read, sizeof read);
  fill(&write, sizeof write);
  read.routineCount = 18;
  write.routineCount = 16;
  DescriptorParams params{0, 0, 0, 0, nullptr, &write, &read};
  EXPECT_TRUE(DescriptorSuitesUsable(&params));
  params.version = 1;
  EXPECT_FALSE(DescriptorSuitesUsable(&params));
  params.version = 0;
  read.routineCount = 17;
  EXPECT_FALSE(DescriptorSuitesUsable(&params));
  read.routineCount = 18;
  write.unused16 = nullptr;
  EXPECT_FALSE(DescriptorSuitesUsable(&params));
  EXPECT_FALSE(DescriptorSuitesUsable(nullptr));
}

}  // namespace
