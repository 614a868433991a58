// The host's side of the callback suites, shared by the files that hold
// them: what the host has handed out (handles, buffers, descriptor tokens,
// each with the serial the trace shows), the fault plan the routines
// consult, and the misuse the host catches. Internal to plughost.
#pragma once

#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "plughost/host/fault_plan.h"
#include "plughost/host/host.h"

namespace plughost {

using Json = nlohmann::ordered_json;

// The most one handle or buffer may hold.
constexpr int32_t kLargestBlock = 64 * 1024 * 1024;
constexpr int16_t kHostError = -1;  // the host's own refusal

// Each object carries the serial number the trace shows for it.
struct HostHandle {
  uint32_t mark = 0x484E444C;  // "HNDL"
  int serial = 0;
  std::vector<uint8_t> bytes;
};

struct HostBuffer {
  int serial = 0;
  std::vector<uint8_t> bytes;
};

struct ReadTokenState {
  int serial = 0;
  std::vector<DescriptorEntry> entries;
  size_t next = 0;
};

struct WriteTokenState {
  int serial = 0;
  std::vector<DescriptorEntry> entries;
};

// Descriptors as the host keeps them in a handle: 9 bytes an entry.
std::vector<uint8_t> Serialize(const std::vector<DescriptorEntry>& entries);
std::vector<DescriptorEntry> Deserialize(const std::vector<uint8_t>& bytes);

struct Host::State {
  explicit State(Host* owner) : host(owner), faults(owner->settings_) {}
  Host* host;
  std::set<HostHandle*> handles;
  std::set<HostBuffer*> buffers;
  std::set<ReadTokenState*> readTokens;
  std::set<WriteTokenState*> writeTokens;
  FaultPlan faults;
  int serials = 0;

  void Violation(const std::string& what) {
    host->counts_.violations.push_back(what);
    Trace("violation", [&] { return Json{{"what", what}}; });
  }
  // The fields are built only while someone listens: an open makes some
  // hundred callbacks, and their JSON would be most of the host's time.
  template <typename Fields>
  void Trace(const char* event, Fields&& fields) {
    if (host->onTrace) host->onTrace(event, fields());
  }
  // A lock or unlock of a handle or buffer (`kind`), as the trace shows it
  // and, for one the host never gave, as misuse.
  void Locked(const char* event, const char* kind, const Json& name, uint8_t moveHigh,
              void* address, bool known) {
    Trace(event, [&] {
      return Json{{kind, name}, {"moveHigh", moveHigh}, {"locked", address != nullptr}};
    });
    if (!known) Violation(std::string("lock of a ") + kind + " the host does not hold");
  }
  void Unlocked(const char* event, const char* kind, const Json& name, bool known) {
    Trace(event, [&] { return Json{{kind, name}}; });
    if (!known) Violation(std::string("unlock of a ") + kind + " the host does not hold");
  }
  // What the trace shows for a handle or buffer: its serial, or null.
  Json HandleName(Handle h) {
    if (h == nullptr) return nullptr;
    HostHandle* known = FindHandle(h);
    return known != nullptr ? Json(known->serial) : Json("unknown");
  }
  Json BufferName(BufferId id) {
    if (id == nullptr) return nullptr;
    HostBuffer* known = FindBuffer(id);
    return known != nullptr ? Json(known->serial) : Json("unknown");
  }
  HostHandle* FindHandle(Handle h) {
    auto* p = reinterpret_cast<HostHandle*>(h);
    return handles.count(p) != 0 ? p : nullptr;
  }
  HostBuffer* FindBuffer(BufferId id) {
    auto* p = reinterpret_cast<HostBuffer*>(id);
    return buffers.count(p) != 0 ? p : nullptr;
  }
  // True when [start, start + bytes) lies inside one live buffer.
  bool InsideBuffer(const uint8_t* start, int64_t bytes) {
    for (HostBuffer* b : buffers) {
      const uint8_t* begin = b->bytes.data();
      if (start >= begin && start + bytes <= begin + b->bytes.size()) return true;
    }
    return false;
  }
};

// The routines the module calls: plain functions, which reach the host that
// is calling the module through Current(). Each states what happened once,
// in its trace event; the counts and the fault plan are consulted there too.
struct Callbacks {
  static Host::State& S();
  static Host& H() { return *S().host; }

  // Handles and buffers (memory_suites.cpp).
  static Handle ZENTROW_CALL NewHandle(int32_t size);
  static void ZENTROW_CALL DisposeHandle(Handle handle);
  static int32_t ZENTROW_CALL GetHandleSize(Handle handle);
  static int16_t ZENTROW_CALL SetHandleSize(Handle handle, int32_t size);
  static void* ZENTROW_CALL LockHandle(Handle handle, uint8_t moveHigh);
  static void ZENTROW_CALL UnlockHandle(Handle handle);
  static void ZENTROW_CALL RecoverSpace();
  static int16_t ZENTROW_CALL AllocateBuffer(int32_t size, BufferId* id);
  static void* ZENTROW_CALL LockBuffer(BufferId id, uint8_t moveHigh);
  static void ZENTROW_CALL UnlockBuffer(BufferId id);
  static void ZENTROW_CALL FreeBuffer(BufferId id);
  static int32_t ZENTROW_CALL BufferSpace();

  // Document resources (resource_suite.cpp).
  static int16_t ZENTROW_CALL CountResources(FourCharCode type);
  static std::vector<Resource>::iterator FindResource(FourCharCode type, int16_t index);
  static Handle ZENTROW_CALL GetResource(FourCharCode type, int16_t index);
  static void ZENTROW_CALL DeleteResource(FourCharCode type, int16_t index);
  static int16_t ZENTROW_CALL AddResource(FourCharCode type, Handle data);

  // Scripting descriptors (descriptor_suites.cpp).
  static Json TokenName(int serial) { return serial != 0 ? Json(serial) : Json(nullptr); }
  static ReadToken ZENTROW_CALL OpenRead(Handle descriptor, const FourCharCode* keys);
  static int16_t ZENTROW_CALL CloseRead(ReadToken token);
  static uint8_t ZENTROW_CALL GetKey(ReadToken token, FourCharCode* key, FourCharCode* type,
                                     int32_t* flags);
  static int16_t ZENTROW_CALL GetBoolean(ReadToken token, uint8_t* value);
  static WriteToken ZENTROW_CALL OpenWrite();
  static int16_t ZENTROW_CALL CloseWrite(WriteToken token, Handle* descriptor);
  static int16_t ZENTROW_CALL PutBoolean(WriteToken token, FourCharCode key, uint8_t value);
  static void ZENTROW_CALL Unused();

  // advanceState and progress (pixel_transfer.cpp).
  static void ZENTROW_CALL Progress(int32_t done, int32_t total);
  static int16_t ZENTROW_CALL AdvanceState();
  static int16_t Transfer(Host& host, const Exchange& x);
};

// The state of the host whose call into the module is under way.
void SetCurrent(Host::State* state);
Host::State* Current();

}  // namespace plughost
