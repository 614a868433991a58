// The module's one door: ENTRYPOINT, the record kept between calls, and the
// selector table.
#include "module/host_services.h"
#include "interface/result_codes.h"
#include "module/format_module.h"
#include "text/alerts.h"

HINSTANCE moduleInstance = nullptr;
PaletteHeader moduleHeader = {};

namespace {

// Selectors 1 to 17, in order.
const SelectorRoutine kSelectorTable[17] = {
    ReadPrepare,       // 1
    ReadStart,         // 2
    ReadContinue,      // 3
    ReadFinish,        // 4
    PrepareDataLimit,  // 5 OptionsPrepare
    OptionsStart,      // 6
    DoNothing,         // 7 OptionsContinue
    DoNothing,         // 8 OptionsFinish
    PrepareDataLimit,  // 9 EstimatePrepare
    EstimateStart,     // 10
    DoNothing,         // 11 EstimateContinue
    DoNothing,         // 12 EstimateFinish
    PrepareDataLimit,  // 13 WritePrepare
    WriteStart,        // 14
    DoNothing,         // 15 WriteContinue
    WriteFinish,       // 16
    FilterFile,        // 17
};

void BeginCall(Globals* globals, int16_t* result, FormatBlock* block) {
  globals->resultPtr = result;
  *result = kNoError;
  globals->block = block;
}

}  // namespace

void InitGlobals(Globals* globals) {
  globals->createdFlag = 1;
  globals->bufferId = nullptr;
  globals->rowData = nullptr;
  globals->rowBytes = 0;
  globals->openOption = 0;
  globals->saveOption = 1;
  ResetPString(globals->pendingNote);
}

Globals* LockGlobals(int16_t* result, FormatBlock* block, HandleSuite* handleSuite,
                     intptr_t* data) {
  if (*data != 0) {
    auto* globals =
        static_cast<Globals*>(LockHandle(handleSuite, reinterpret_cast<Handle>(*data), 1));
    if (globals == nullptr) return nullptr;
    BeginCall(globals, result, block);
    return globals;
  }
  Handle handle = NewHandle(handleSuite, static_cast<int32_t>(sizeof(Globals)));
  if (handle == nullptr) return nullptr;
  auto* globals = static_cast<Globals*>(LockHandle(handleSuite, handle, 1));
  if (globals == nullptr) {
    DisposeHandle(handleSuite, handle);
    return nullptr;
  }
  BeginCall(globals, result, block);
  InitGlobals(globals);
  *data = reinterpret_cast<intptr_t>(handle);
  return globals;
}

void PrepareDataLimit(Globals* globals) { globals->block->dataLimit = 0; }
void ReadPrepare(Globals* globals) { PrepareDataLimit(globals); }
void DoNothing(Globals*) {}

extern "C" ZENTROW_EXPORT void ZENTROW_CALL ENTRYPOINT(int16_t selector, void* block, intptr_t* data,
                                        int16_t* result) {
  if (block == nullptr) return;
  // About reads nothing but its block: neither the data slot nor the result.
  if (selector == kSelectorAbout) {
    ShowAbout(static_cast<const AboutBlock*>(block), moduleInstance, kStringAbout);
    return;
  }
  if (data == nullptr || result == nullptr) return;
  auto* format = static_cast<FormatBlock*>(block);
  Globals* globals = LockGlobals(result, format, format->handleSuite, data);
  if (globals == nullptr) {
    *result = kOutOfMemory;
    return;
  }
  if (selector >= 1 && selector <= 17) {
    kSelectorTable[selector - 1](globals);
  } else {
    *globals->resultPtr = kBadParameters;
  }
  FinishFileAccess();
  UnlockHandle(globals->block->handleSuite, reinterpret_cast<Handle>(*data));
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) moduleInstance = instance;
  // Unloaded while the process goes on (reserved is null then): the records
  // left in our own handles, for hosts without a handle suite, can no longer
  // be reached by anyone.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) DisposeAllModuleHandles();
  return 1;
}
