// The format module: its per-operation record, the module-wide values and
// the selector routines that ENTRYPOINT dispatches.
#pragma once

#include <cstdint>

#include "interface/host_interface.h"
#include "kiss/kiss_palette.h"
#include "platform/platform.h"
#include "text/pstring.h"

// Kept in a handle in the host's data slot between the calls of one
// operation; locked only for the length of a call.
struct Globals {
  int16_t* resultPtr;  // the host's result of the current call
  FormatBlock* block;  // the parameter block of the current call
  uint8_t createdFlag;
  BufferId bufferId;  // the row buffer held, null while none
  void* rowData;      // its locked address, null while none
  int32_t rowBytes;
  uint8_t openOption;  // scripting key "fooB"
  uint8_t saveOption;  // scripting key "barF"
  PString pendingNote;
};

// Set once when the library is attached; used to load strings.
extern HINSTANCE moduleInstance;
// Shared by ReadStart, ReadContinue and FilterFile; all zero at load.
extern PaletteHeader moduleHeader;

typedef void (*SelectorRoutine)(Globals* globals);

Globals* LockGlobals(int16_t* result, FormatBlock* block, HandleSuite* handleSuite,
                     intptr_t* data);
void InitGlobals(Globals* globals);

void ReadPrepare(Globals* globals);
void ReadStart(Globals* globals);
void ReadContinue(Globals* globals);
void ReadFinish(Globals* globals);
void OptionsStart(Globals* globals);
void EstimateStart(Globals* globals);
void WriteStart(Globals* globals);
void WriteFinish(Globals* globals);
void FilterFile(Globals* globals);
// The prepare selectors and those with nothing to do.
void PrepareDataLimit(Globals* globals);
void DoNothing(Globals* globals);

// Takes and locks a row buffer of `bytes` into the record. Reading asks for
// the whole image (ReadRowBufferBytes), as its rowStep says; saving for one row.
bool AllocateRowBuffer(Globals* globals, int32_t bytes);
int32_t ReadRowBufferBytes(const FormatBlock* block);
// The host-suite check of the start selectors: false after its warning,
// with -128 recorded unless a code was recorded before.
bool HostCheckPasses(Globals* globals);
// The exchange of one row of `width` pixels through the row buffer, 3 bytes
// a pixel, channels blue-green-red, rowStep the buffer's size; reading and
// saving both exchange rows this way.
void DescribeRowExchange(Globals* globals, int16_t width);
// progress(done, total), when the host gave the routine.
void ReportProgress(const FormatBlock* block, int32_t done, int32_t total);
void ReleaseRowBuffer(Globals* globals);
void DisposeImageResources(Globals* globals);
int32_t BytesPerPlaneRow(const Globals* globals);

// Scripting parameters and the history note.
void ReadOpenOption(Globals* globals);
void ReadSaveOption(Globals* globals);
void RecordOpenOption(Globals* globals);
void RecordSaveOption(Globals* globals);
int16_t CloseReadDescriptor(DescriptorParams* params, HandleSuite* handleSuite, ReadToken* token);
void CloseWriteDescriptor(DescriptorParams* params, HandleSuite* handleSuite, WriteToken* token);
void AddHistoryNote(Globals* globals);

// Keys and resource types.
constexpr FourCharCode kOpenOptionKey = MakeFourCharCode("fooB");
constexpr FourCharCode kSaveOptionKey = MakeFourCharCode("barF");
constexpr FourCharCode kHistoryResourceType = MakeFourCharCode("hist");
static_assert(kOpenOptionKey == 0x666F6F42 && kSaveOptionKey == 0x62617246, "");
static_assert(kHistoryResourceType == 0x68697374, "");
