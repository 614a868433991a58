#include "kiss/kiss_palette.h"

#include <cstddef>

#include "interface/result_codes.h"
#include "platform/platform.h"

namespace {

bool Decode12(int16_t* result, int32_t fileRef, uint8_t* table, const PaletteHeader& header) {
  int stored = 0;
  for (int16_t g = 0; g < GroupCount(header); ++g) {
    for (int16_t c = 0; c < ColorsPerGroup(header); ++c) {
      if (stored == kMaxColors) return true;
      uint8_t entry[2] = {0, 0};
      ReadExact(result, fileRef, 2, entry);  // skipped once a code is set
      // A short read leaves part of an entry: once a code is set, entries
      // are black, so the table never depends on what a failed read left.
      if (*result != 0) entry[0] = entry[1] = 0;
      uint8_t* out = table + 3 * stored++;
      out[0] = ExpandNibble(entry[0]);
      out[1] = ExpandNibble(entry[1]);
      out[2] = ExpandNibble(entry[0] >> 4);
    }
  }
  return true;
}

bool Decode24(int16_t* result, int32_t fileRef, uint8_t* table, const PaletteHeader& header) {
  int32_t n = ColorCount(header);
  if (n > kMaxColors) n = kMaxColors;
  for (int32_t k = 0; k < n; ++k) {
    uint8_t entry[3];
    ReadExact(result, fileRef, 3, entry);
    if (*result != kNoError) return false;
    table[3 * k + 0] = entry[2];
    table[3 * k + 1] = entry[1];
    table[3 * k + 2] = entry[0];
  }
  return true;
}

}  // namespace

bool RecordResult(int16_t* result, int16_t code) {
  if (code == kNoError) return true;
  if (*result == kNoError) *result = code;
  return false;
}

bool RecordCancelIf(int16_t* result, bool cancel) {
  if (!cancel) return true;
  if (*result == kNoError) *result = kUserCancelled;
  return false;
}

int16_t FileRead(int32_t fileRef, uint32_t* count, void* dest) {
  const UINT got = _lread(static_cast<HFILE>(fileRef), dest, *count & 0xFFFFu);
  *count = got;
  return got == static_cast<UINT>(HFILE_ERROR) ? int16_t{kReadError} : int16_t{kNoError};
}

int16_t FileWrite(int32_t fileRef, uint32_t* count, const void* source) {
  const UINT put = _lwrite(static_cast<HFILE>(fileRef), static_cast<const char*>(source),
                           *count & 0xFFFFu);
  *count = put;
  return put == static_cast<UINT>(HFILE_ERROR) ? int16_t{kWriteError} : int16_t{kNoError};
}

int16_t FileSeek(int32_t fileRef, int16_t origin, int32_t offset) {
  _llseek(static_cast<HFILE>(fileRef), offset, origin);
  return kNoError;
}

void ReadExact(int16_t* result, int32_t fileRef, uint32_t n, void* dest) {
  if (*result != kNoError) return;
  uint32_t count = n;
  *result = FileRead(fileRef, &count, dest);
  if (*result == kNoError && count != n) *result = kEndOfFile;
}

void WriteExact(int16_t* result, int32_t fileRef, uint32_t n, const void* source) {
  if (*result != kNoError) return;
  uint32_t count = n;
  *result = FileWrite(fileRef, &count, source);
  if (*result == kNoError && count != n) *result = kDiskFull;
}

bool ReadPaletteHeader(int16_t* result, int32_t fileRef, PaletteHeader& header) {
  ReadExact(result, fileRef, 4, header.bytes);
  if (*result != kNoError) return false;
  if (HasPaletteSignature(header)) {
    ReadExact(result, fileRef, kPaletteHeaderSize - 4, header.bytes + 4);
    if (*result != kNoError) return false;
    return PaletteHeaderValid(header);
  }
  // Headerless: the four bytes just read are the first two colour entries.
  SetFileMark(header, kFileMark);
  SetBitsPerColor(header, 12);
  SetColorsPerGroup(header, kHeaderlessColorsPerGroup);
  SetGroupCount(header, kHeaderlessGroupCount);
  FileSeek(fileRef, 0, 0);
  return ColorCount(header) <= kMaxColors;
}

bool DecodePaletteColors(int16_t* result, int32_t fileRef, uint8_t* table,
                         const PaletteHeader& header) {
  switch (BitsPerColor(header)) {
    case 12: return Decode12(result, fileRef, table, header);
    case 24: return Decode24(result, fileRef, table, header);
    default: return false;
  }
}

void SwapRowToFileOrder(uint8_t* row, int entries) {
  for (int i = 0; i < entries; ++i) {
    const uint8_t first = row[3 * i];
    row[3 * i] = row[3 * i + 2];
    row[3 * i + 2] = first;
  }
}
