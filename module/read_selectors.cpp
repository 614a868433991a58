// Opening a palette: ReadStart describes a 16 x 16 RGB image, ReadContinue
// hands it over one row per exchange, ReadFinish records and annotates.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "module/host_services.h"
#include "interface/result_codes.h"
#include "module/format_module.h"
#include "platform/platform.h"

namespace {

void DescribeImage(FormatBlock* block) {
  block->imageMode = kImageModeRgb;
  block->rows = kTableRows;
  block->columns = kColorsPerRow;
  block->depth = 8;
  block->planes = 3;
}

void DeliverRows(Globals* globals, const uint8_t* table, int32_t total) {
  FormatBlock* block = globals->block;
  int32_t done = 0;
  // The table has 16 rows, whatever the block says by now.
  for (int16_t r = 0; *globals->resultPtr == kNoError && r < block->rows && r < kTableRows; ++r) {
    block->rectTop = r;
    block->rectBottom = static_cast<int16_t>(r + 1);
    std::memcpy(globals->rowData, table + kRowBytes * r, kRowBytes);
    if (*globals->resultPtr == kNoError) *globals->resultPtr = block->advanceState();
    ReportProgress(block, ++done, total);
  }
}

}  // namespace

void DescribeRowExchange(Globals* globals, int16_t width) {
  FormatBlock* block = globals->block;
  block->rectLeft = 0;
  block->rectRight = width;
  block->columnStep = 3;
  block->rowStep = globals->rowBytes;
  block->planeStep = 1;
  block->data = globals->rowData;
  block->channelMap0 = 2;
  block->channelMap1 = 1;
  block->channelMap2 = 0;
  block->planeLow = 0;
  block->planeHigh = 2;
}

void ReportProgress(const FormatBlock* block, int32_t done, int32_t total) {
  if (block->progress != nullptr) block->progress(done, total);
}

bool HostCheckPasses(Globals* globals) {
  return RecordCancelIf(globals->resultPtr, !HostSuitesUsable(globals->block, moduleInstance));
}

void DisposeImageResources(Globals* globals) {
  FormatBlock* block = globals->block;
  if (block->imageResources == nullptr) return;
  DisposeHandle(block->handleSuite, block->imageResources);
  block->imageResources = nullptr;
  block->imageResourcesSize = 0;
}

int32_t ReadRowBufferBytes(const FormatBlock* block) {
  // Never smaller than one exchange, and no 32-bit overflow for huge images.
  int64_t bytes = int64_t{block->rows} * block->columns * 3;
  if (bytes < kRowBytes) bytes = kRowBytes;
  if (bytes > INT32_MAX) bytes = INT32_MAX;
  return static_cast<int32_t>(bytes);
}

bool AllocateRowBuffer(Globals* globals, int32_t bytes) {
  if (*globals->resultPtr != kNoError) return false;
  FormatBlock* block = globals->block;
  globals->bufferId = nullptr;
  globals->rowBytes = bytes;
  BufferId id = nullptr;
  if (!RecordResult(globals->resultPtr, AllocateBuffer(block->bufferSuite, globals->rowBytes, &id))) {
    return false;
  }
  globals->bufferId = id;
  globals->rowData = LockBuffer(block->bufferSuite, id, 0);
  // A buffer without an address is as good as none; it is freed on release.
  return globals->rowData != nullptr || RecordResult(globals->resultPtr, kOutOfMemory);
}

void ReleaseRowBuffer(Globals* globals) {
  if (globals->bufferId == nullptr) return;
  FreeBuffer(globals->block->bufferSuite, globals->bufferId);
  globals->bufferId = nullptr;
  globals->rowData = nullptr;
}

void ReadStart(Globals* globals) {
  ReadOpenOption(globals);
  if (*globals->resultPtr != kNoError) return;
  if (!HostCheckPasses(globals)) return;
  const int32_t fileRef = globals->block->fileRef;
  if (!RecordResult(globals->resultPtr, FileSeek(fileRef, 0, 0))) return;
  if (!ReadPaletteHeader(globals->resultPtr, fileRef, moduleHeader)) {
    // Read but not valid: the host must hear that it cannot be read.
    RecordResult(globals->resultPtr, kCannotReadFile);
    return;
  }
  DescribeImage(globals->block);
}

void ReadContinue(Globals* globals) {
  FormatBlock* block = globals->block;
  DisposeImageResources(globals);
  const int32_t total = int32_t{block->rows} * int32_t{block->planes};
  AllocateRowBuffer(globals, ReadRowBufferBytes(block));  // a failure has recorded its code
  DescribeRowExchange(globals, block->columns);
  // A host that calls on after a refused ReadStart may have no advanceState.
  if (!AdvanceStateUsable(block->advanceState)) RecordResult(globals->resultPtr, kOutOfMemory);
  uint8_t* table = nullptr;
  const uint8_t bits = BitsPerColor(moduleHeader);
  if (bits == 12 || bits == 24) {
    table = static_cast<uint8_t*>(HeapCalloc(kMaxColors, 3));
    if (table == nullptr) RecordResult(globals->resultPtr, kOutOfMemory);
  }
  const bool decoded = table != nullptr && *globals->resultPtr == kNoError &&
                       DecodePaletteColors(globals->resultPtr, block->fileRef, table, moduleHeader);
  // The reads are done: whatever the platform layer fetched ahead is given
  // back before the host is called again, so each callback finds the file
  // just past the colours the module consumed.
  FinishFileAccess();
  if (decoded) DeliverRows(globals, table, total);
  std::free(table);
  block->data = nullptr;
  ReleaseRowBuffer(globals);
}

void ReadFinish(Globals* globals) {
  DisposeImageResources(globals);
  RecordOpenOption(globals);
  AddHistoryNote(globals);
}
