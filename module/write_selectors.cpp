// Saving: the options and estimate selectors, and WriteStart, which writes
// the whole 800-byte palette from the image's first 16 rows and columns.
#include <cstring>

#include "module/host_services.h"
#include "interface/result_codes.h"
#include "module/format_module.h"

namespace {

constexpr int32_t kWriteProgressTotal = 48;
constexpr int32_t kIndexedColorTableBytes = 768;

// Rows 0 to 15 as the host answers them; returns the next row index.
int16_t WriteImageRows(Globals* globals, int32_t* done) {
  FormatBlock* block = globals->block;
  const int16_t copied = block->columns < 0 ? 0 : block->columns < 16 ? block->columns : 16;
  uint8_t row[kRowBytes];
  int16_t i = 0;
  for (; *globals->resultPtr == kNoError && i < block->rows && i < kTableRows; ++i) {
    block->rectTop = i;
    block->rectBottom = static_cast<int16_t>(i + 1);
    *globals->resultPtr = block->advanceState();
    std::memset(row, 0, sizeof row);
    if (globals->rowData != nullptr) std::memcpy(row, globals->rowData, 3u * uint16_t(copied));
    SwapRowToFileOrder(row, kColorsPerRow);
    WriteExact(globals->resultPtr, block->fileRef, kRowBytes, row);
    ReportProgress(block, ++*done, kWriteProgressTotal);
  }
  return i;
}

void WriteFillerRows(Globals* globals, int16_t i, int32_t* done) {
  const uint8_t row[kRowBytes] = {};
  for (; *globals->resultPtr == kNoError && i < kTableRows; ++i) {
    WriteExact(globals->resultPtr, globals->block->fileRef, kRowBytes, row);
    ReportProgress(globals->block, ++*done, kWriteProgressTotal);
  }
}

}  // namespace

int32_t BytesPerPlaneRow(const Globals* globals) {
  return (int32_t{globals->block->columns} * int32_t{globals->block->depth} + 7) >> 3;
}

void OptionsStart(Globals* globals) {
  if (!HostCheckPasses(globals)) return;
  globals->block->data = nullptr;
}

void EstimateStart(Globals* globals) {
  if (!HostCheckPasses(globals)) return;
  FormatBlock* block = globals->block;
  // 64-bit, then held within 32 bits: a huge image must not wrap to a small size.
  int64_t size = int64_t{block->imageResourcesSize} +
                 int64_t{BytesPerPlaneRow(globals)} * block->planes * block->rows +
                 kPaletteHeaderSize;
  if (block->imageMode == kImageModeIndexed) size += kIndexedColorTableBytes;
  if (size > INT32_MAX) size = INT32_MAX;
  if (size < INT32_MIN) size = INT32_MIN;
  block->minBytes = static_cast<int32_t>(size);
  block->maxBytes = static_cast<int32_t>(size);
  block->data = nullptr;
}

void WriteStart(Globals* globals) {
  ReadSaveOption(globals);
  if (*globals->resultPtr != kNoError) return;
  if (!HostCheckPasses(globals)) return;
  FormatBlock* block = globals->block;
  *globals->resultPtr = FileSeek(block->fileRef, 0, 0);
  const PaletteHeader header = MakeWrittenHeader();
  WriteExact(globals->resultPtr, block->fileRef, kPaletteHeaderSize, header.bytes);
  if (*globals->resultPtr != kNoError) return;
  int32_t done = 0;
  // Every exchange of a save is one row: the buffer need hold no more,
  // however large the image.
  AllocateRowBuffer(globals, kRowBytes);  // a failure has recorded its code
  // Every exchange asks for channels 0 to 2 of one row, 16 pixels of 3
  // bytes, blue first, as the output row holds them before the swap.
  DescribeRowExchange(globals, kColorsPerRow);
  block->planes = 3;
  const int16_t next = WriteImageRows(globals, &done);
  WriteFillerRows(globals, next, &done);
  block->data = nullptr;
  ReleaseRowBuffer(globals);
}

void WriteFinish(Globals* globals) { RecordSaveOption(globals); }
