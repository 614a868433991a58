// The two boolean scripting parameters and the history note.
#include "module/host_services.h"
#include "interface/result_codes.h"
#include "module/format_module.h"

namespace {

// The module names no expected keys: the list holds only its end marker.
const FourCharCode kNoExpectedKeys[1] = {0};

void ReadOption(Globals* globals, FourCharCode wanted, uint8_t* option) {
  DescriptorParams* params = globals->block->descriptorParams;
  if (!DescriptorSuitesUsable(params)) return;
  ReadToken token = params->readSuite->openRead(params->descriptor, kNoExpectedKeys);
  if (token == nullptr) return;
  FourCharCode key = 0, type = 0;
  int32_t flags = 0;
  while (params->readSuite->getKey(token, &key, &type, &flags)) {
    if (key == wanted) params->readSuite->getBoolean(token, option);
  }
  const int16_t code = CloseReadDescriptor(params, globals->block->handleSuite, &token);
  if (code != kParameterMissing) RecordResult(globals->resultPtr, code);
}

void RecordOption(Globals* globals, FourCharCode key, uint8_t option) {
  DescriptorParams* params = globals->block->descriptorParams;
  if (!DescriptorSuitesUsable(params)) return;
  WriteToken token = params->writeSuite->openWrite();
  if (token == nullptr) return;
  params->writeSuite->putBoolean(token, key, option);
  CloseWriteDescriptor(params, globals->block->handleSuite, &token);
}

}  // namespace

void ReadOpenOption(Globals* globals) { ReadOption(globals, kOpenOptionKey, &globals->openOption); }
void ReadSaveOption(Globals* globals) { ReadOption(globals, kSaveOptionKey, &globals->saveOption); }
void RecordOpenOption(Globals* globals) { RecordOption(globals, kOpenOptionKey, globals->openOption); }
void RecordSaveOption(Globals* globals) { RecordOption(globals, kSaveOptionKey, globals->saveOption); }

int16_t CloseReadDescriptor(DescriptorParams* params, HandleSuite* handleSuite, ReadToken* token) {
  const int16_t code = params->readSuite->closeRead(*token);
  DisposeHandle(handleSuite, params->descriptor);
  params->descriptor = nullptr;
  *token = nullptr;
  return code;
}

void CloseWriteDescriptor(DescriptorParams* params, HandleSuite* handleSuite, WriteToken* token) {
  if (params->descriptor != nullptr) DisposeHandle(handleSuite, params->descriptor);
  Handle written = nullptr;
  params->writeSuite->closeWrite(*token, &written);
  params->descriptor = written;
  params->recordInfo = 0;
  *token = nullptr;
}

void AddHistoryNote(Globals* globals) {
  FormatBlock* block = globals->block;
  if (!ResourceSuiteUsable(block->resourceSuite, nullptr)) return;
  // The host copies the note out of a handle of its own: without its handle
  // suite the note would sit in one of ours, which the host cannot read.
  if (!HandleSuiteUsable(block->handleSuite, nullptr)) return;
  PString note = {};
  PString number = {};
  LoadModuleString(block->handleSuite, moduleInstance, kStringHistoryNote, note);
  IntegerToPString(block->fileRef, number);
  SubstitutePlaceholders(note, number, nullptr, nullptr);
  Handle handle = HandleFromPString(block->handleSuite, note);
  if (handle == nullptr) return;
  LockHandle(block->handleSuite, handle, 0);
  AddDocumentResource(block->resourceSuite, kHistoryResourceType, handle);
  UnlockHandle(block->handleSuite, handle);
  DisposeHandle(block->handleSuite, handle);
}
