#include "module/host_services.h"

#include <cstring>

#include "interface/result_codes.h"
#include "text/pstring.h"

namespace {

template <typename... Routines>
bool AllPresent(Routines... routines) {
  return ((routines != nullptr) && ...);
}

// The version and count steps shared by the three versioned suites.
template <typename Suite>
bool VersionAndCountPass(const Suite* suite, int16_t supported, uint16_t minRoutines,
                         uint8_t* tooNew) {
  if (suite == nullptr) return false;
  if (suite->version < supported) return false;
  if (suite->version > supported) {
    if (tooNew != nullptr) *tooNew = 1;
    return false;
  }
  return suite->routineCount >= minRoutines;
}

// The module's own handles: the master block is {data address, "OTOF"} and,
// behind the marker, the next handle the module made, so that a handle the
// module did not make is never taken for one of its own.
struct MasterBlock {
  void* dataBlock;
  char marker[4];
  MasterBlock* next;
};
MasterBlock* moduleHandles = nullptr;

void* NewLockedGlobal(size_t bytes) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  if (memory == nullptr) return nullptr;
  void* address = GlobalLock(memory);
  if (address == nullptr) GlobalFree(memory);
  return address;
}

void FreeLockedGlobal(void* address) {
  HGLOBAL memory = GlobalHandle(address);
  GlobalUnlock(memory);
  GlobalFree(memory);
}

MasterBlock* FindModuleHandle(Handle handle) {
  for (MasterBlock* m = moduleHandles; m != nullptr; m = m->next) {
    if (reinterpret_cast<Handle>(m) == handle) return m;
  }
  return nullptr;
}

}  // namespace

bool BufferSuiteUsable(const BufferSuite* suite, uint8_t* tooNew) {
  if (!VersionAndCountPass(suite, kBufferSuiteVersion, kBufferSuiteMinRoutines, tooNew)) {
    return false;
  }
  return AllPresent(suite->allocate, suite->lock, suite->unlock, suite->free, suite->space);
}

bool ResourceSuiteUsable(const ResourceSuite* suite, uint8_t* tooNew) {
  if (!VersionAndCountPass(suite, kResourceSuiteVersion, kResourceSuiteMinRoutines, tooNew)) {
    return false;
  }
  return AllPresent(suite->count, suite->get, suite->remove, suite->add);
}

bool HandleSuiteUsable(const HandleSuite* suite, uint8_t* tooNew) {
  if (!VersionAndCountPass(suite, kHandleSuiteVersion, kHandleSuiteMinRoutines, tooNew)) {
    return false;
  }
  // lock and unlock are not part of the test; their wrappers guard them.
  return AllPresent(suite->create, suite->dispose, suite->getSize, suite->setSize);
}

bool DescriptorSuitesUsable(const DescriptorParams* params) {
  if (params == nullptr || params->version != kDescriptorSuiteVersion) return false;
  const ReadDescriptorSuite* read = params->readSuite;
  const WriteDescriptorSuite* write = params->writeSuite;
  if (read == nullptr || write == nullptr) return false;
  if (read->version != kDescriptorSuiteVersion ||
      read->routineCount < kReadDescriptorMinRoutines)
    return false;
  if (write->version != kDescriptorSuiteVersion ||
      write->routineCount < kWriteDescriptorMinRoutines)
    return false;
  return AllPresent(read->openRead, read->closeRead, read->getKey, read->getInteger,
                    read->getFloat, read->getUnitFloat, read->getBoolean, read->unused8,
                    read->unused9, read->unused10, read->unused11, read->unused12,
                    read->unused13, read->unused14, read->unused15, read->unused16,
                    read->unused17, read->unused18) &&
         AllPresent(write->openWrite, write->closeWrite, write->putInteger, write->putFloat,
                    write->putUnitFloat, write->putBoolean, write->unused7, write->unused8,
                    write->unused9, write->unused10, write->unused11, write->unused12,
                    write->unused13, write->unused14, write->unused15, write->unused16);
}

bool AdvanceStateUsable(AdvanceStateRoutine routine) { return routine != nullptr; }

int16_t AllocateBuffer(BufferSuite* suite, int32_t size, BufferId* id) {
  *id = nullptr;
  if (!BufferSuiteUsable(suite, nullptr)) return kOutOfMemory;
  return suite->allocate(size, id);
}

void* LockBuffer(BufferSuite* suite, BufferId id, uint8_t moveHigh) {
  if (!BufferSuiteUsable(suite, nullptr)) return nullptr;
  return suite->lock(id, moveHigh);
}

void FreeBuffer(BufferSuite* suite, BufferId id) {
  if (BufferSuiteUsable(suite, nullptr)) suite->free(id);
}

int16_t AddDocumentResource(ResourceSuite* suite, FourCharCode type, Handle data) {
  if (!ResourceSuiteUsable(suite, nullptr)) return kOutOfMemory;
  return suite->add(type, data);
}

Handle NewHandle(HandleSuite* suite, int32_t size) {
  if (HandleSuiteUsable(suite, nullptr)) return suite->create(size);
  return NewModuleHandle(size);
}

void DisposeHandle(HandleSuite* suite, Handle handle) {
  if (HandleSuiteUsable(suite, nullptr)) {
    suite->dispose(handle);
  } else if (IsModuleHandle(handle)) {
    DisposeModuleHandle(handle);
  }
}

void* LockHandle(HandleSuite* suite, Handle handle, uint8_t moveHigh) {
  if (HandleSuiteUsable(suite, nullptr)) {
    return suite->lock != nullptr ? suite->lock(handle, moveHigh) : nullptr;
  }
  MasterBlock* master = FindModuleHandle(handle);
  return master != nullptr ? master->dataBlock : nullptr;
}

void UnlockHandle(HandleSuite* suite, Handle handle) {
  // A module handle stays locked until it is disposed of.
  if (HandleSuiteUsable(suite, nullptr) && suite->unlock != nullptr) suite->unlock(handle);
}

Handle NewModuleHandle(int32_t size) {
  if (size < 0) return nullptr;
  auto* master = static_cast<MasterBlock*>(NewLockedGlobal(sizeof(MasterBlock)));
  if (master == nullptr) return nullptr;
  master->dataBlock = NewLockedGlobal(static_cast<size_t>(size));
  if (master->dataBlock == nullptr) {
    FreeLockedGlobal(master);
    return nullptr;
  }
  std::memcpy(master->marker, "OTOF", 4);
  master->next = moduleHandles;
  moduleHandles = master;
  return reinterpret_cast<Handle>(master);
}

void DisposeModuleHandle(Handle handle) {
  MasterBlock* master = FindModuleHandle(handle);
  if (master == nullptr) return;
  for (MasterBlock** link = &moduleHandles; *link != nullptr; link = &(*link)->next) {
    if (*link == master) {
      *link = master->next;
      break;
    }
  }
  if (master->dataBlock != nullptr) FreeLockedGlobal(master->dataBlock);
  FreeLockedGlobal(master);
}

bool IsModuleHandle(Handle handle) { return handle != nullptr && FindModuleHandle(handle); }

void DisposeAllModuleHandles() {
  while (moduleHandles != nullptr) DisposeModuleHandle(reinterpret_cast<Handle>(moduleHandles));
}

int LiveModuleHandles() {
  int count = 0;
  for (MasterBlock* m = moduleHandles; m != nullptr; m = m->next) ++count;
  return count;
}

Handle HandleFromPString(HandleSuite* suite, const uint8_t* text) {
  Handle handle = NewHandle(suite, text[0]);
  if (handle == nullptr) return nullptr;
  void* address = LockHandle(suite, handle, 0);
  if (address != nullptr) {
    CopyBytes(address, text + 1, text[0]);
    UnlockHandle(suite, handle);
  }
  return handle;
}

Handle LoadStringHandle(HandleSuite* suite, HINSTANCE instance, int16_t id, int32_t* byteCount) {
  char chars[kPStringSize] = {};
  const int count = LoadStringA(instance, static_cast<UINT>(static_cast<uint16_t>(id)), chars,
                                kPStringSize - 1);
  *byteCount = count > 0 ? count : 0;
  if (count <= 0) return nullptr;
  Handle handle = NewHandle(suite, count + 2);
  if (handle == nullptr) return nullptr;
  auto* bytes = static_cast<uint8_t*>(LockHandle(suite, handle, 1));
  if (bytes != nullptr) {
    bytes[0] = static_cast<uint8_t>(count);
    CopyBytes(bytes + 1, chars, static_cast<uint32_t>(count));
    bytes[count + 1] = 0;
    *byteCount = count + 2;
    UnlockHandle(suite, handle);
  }
  return handle;
}

void LoadModuleString(HandleSuite* suite, HINSTANCE instance, int16_t id, uint8_t* text) {
  int32_t byteCount = 0;
  Handle handle = LoadStringHandle(suite, instance, id, &byteCount);
  ResetPString(text);
  if (handle == nullptr) return;
  if (byteCount > 1) {
    void* address = LockHandle(suite, handle, 1);
    // At most 254 characters, a length byte and a zero: within the buffer.
    if (address != nullptr && byteCount <= kPStringSize) {
      CopyBytes(text, address, static_cast<uint32_t>(byteCount));
    }
    UnlockHandle(suite, handle);
  }
  DisposeHandle(suite, handle);
}
