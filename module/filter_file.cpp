// The filter selector: is the open file a palette file with a header?
#include "interface/result_codes.h"
#include "module/format_module.h"

void FilterFile(Globals* globals) {
  const int32_t fileRef = globals->block->fileRef;
  if (!RecordResult(globals->resultPtr, FileSeek(fileRef, 0, 0))) return;
  ReadExact(globals->resultPtr, fileRef, kPaletteHeaderSize, moduleHeader.bytes);
  if (*globals->resultPtr != kNoError) return;
  // Only the signature counts here; a headerless palette is refused.
  if (!HasPaletteSignature(moduleHeader)) RecordResult(globals->resultPtr, kCannotReadFile);
}
