// The module's side of the host's suites: silent usability tests, wrappers
// that test afresh on every call, the module's own fallback handles, and the
// module's strings.
#pragma once

#include <cstdint>

#include "interface/host_interface.h"
#include "platform/platform.h"

// Silent tests. tooNew may be null; it is set only when the version is above
// the supported one (the caller clears it beforehand).
bool BufferSuiteUsable(const BufferSuite* suite, uint8_t* tooNew);
bool ResourceSuiteUsable(const ResourceSuite* suite, uint8_t* tooNew);
bool HandleSuiteUsable(const HandleSuite* suite, uint8_t* tooNew);
bool DescriptorSuitesUsable(const DescriptorParams* params);
bool AdvanceStateUsable(AdvanceStateRoutine routine);

// Buffers: -108 and id 0 (null) without a usable suite.
int16_t AllocateBuffer(BufferSuite* suite, int32_t size, BufferId* id);
void* LockBuffer(BufferSuite* suite, BufferId id, uint8_t moveHigh);
void FreeBuffer(BufferSuite* suite, BufferId id);

// -108 without a usable suite. The host copies the handle's bytes.
int16_t AddDocumentResource(ResourceSuite* suite, FourCharCode type, Handle data);

// Handles: the host's when its suite is usable, else the module's own. A
// handle the module did not make is left alone on the module's side.
Handle NewHandle(HandleSuite* suite, int32_t size);
void DisposeHandle(HandleSuite* suite, Handle handle);
void* LockHandle(HandleSuite* suite, Handle handle, uint8_t moveHigh);
void UnlockHandle(HandleSuite* suite, Handle handle);

// The module's own two-level handle: a master block holding the address of
// a data block, both global memory locked for their whole life.
Handle NewModuleHandle(int32_t size);
void DisposeModuleHandle(Handle handle);
bool IsModuleHandle(Handle handle);
int LiveModuleHandles();
// Disposes of every module handle still live: for the library's unloading,
// after which nothing can reach them.
void DisposeAllModuleHandles();

// A new handle holding exactly the characters of a PString.
Handle HandleFromPString(HandleSuite* suite, const uint8_t* text);
// A handle holding string `id` as a PString followed by a zero, or null;
// *byteCount is what the handle holds (or the characters found, when no
// handle could be made).
Handle LoadStringHandle(HandleSuite* suite, HINSTANCE instance, int16_t id, int32_t* byteCount);
// Fills the PString `text` with string `id`, or leaves it empty.
void LoadModuleString(HandleSuite* suite, HINSTANCE instance, int16_t id, uint8_t* text);

// Warnings: the same answer as the silent tests; when false, one warning box
// has been shown.
bool WarnBufferSuite(const BufferSuite* suite, HINSTANCE instance);
bool WarnHandleSuite(const HandleSuite* suite, HINSTANCE instance);
bool WarnAdvanceState(AdvanceStateRoutine routine, HINSTANCE instance);
// The buffer suite, then advanceState, then the handle suite of the block;
// stops at the first that fails, so at most one warning is shown.
bool HostSuitesUsable(const FormatBlock* block, HINSTANCE instance);

constexpr int16_t kStringHistoryNote = 16989;
constexpr int16_t kStringRequiresVersion = 16992;
constexpr int16_t kStringIncompatibleHost = 16993;
constexpr int16_t kStringAbout = 16000;
