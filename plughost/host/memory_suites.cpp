// The handle and buffer suites the host offers the module.
#include "plughost/host/host_state.h"

namespace plughost {

// Handles.
Handle ZENTROW_CALL Callbacks::NewHandle(int32_t size) {
  Host::State& s = S();
  const bool refused = s.faults.Fails(Fault::kHandleCreate) || size < 0 || size > kLargestBlock;
  Handle made = refused ? nullptr : H().NewHostHandle(std::vector<uint8_t>(size_t(size), 0));
  s.Trace("handle.new", [&] { return Json{{"size", size}, {"handle", s.HandleName(made)}}; });
  return made;
}
void ZENTROW_CALL Callbacks::DisposeHandle(Handle handle) {
  S().Trace("handle.dispose", [&] { return Json{{"handle", S().HandleName(handle)}}; });
  if (handle == nullptr) return;
  HostHandle* h = S().FindHandle(handle);
  if (h == nullptr) return S().Violation("dispose of a handle the host does not hold");
  S().handles.erase(h);
  delete h;
  H().counts_.handlesLive--;
}
int32_t ZENTROW_CALL Callbacks::GetHandleSize(Handle handle) {
  HostHandle* h = S().FindHandle(handle);
  const int32_t size = h != nullptr ? static_cast<int32_t>(h->bytes.size()) : 0;
  S().Trace("handle.getSize", [&] {
    return Json{{"handle", S().HandleName(handle)}, {"size", size}};
  });
  return size;
}
int16_t ZENTROW_CALL Callbacks::SetHandleSize(Handle handle, int32_t size) {
  HostHandle* h = S().FindHandle(handle);
  const int16_t answer = h == nullptr || size < 0 || size > kLargestBlock ? -108 : 0;
  if (answer == 0) h->bytes.resize(static_cast<size_t>(size), 0);
  S().Trace("handle.setSize", [&] {
    return Json{{"handle", S().HandleName(handle)}, {"size", size}, {"answer", answer}};
  });
  return answer;
}
void* ZENTROW_CALL Callbacks::LockHandle(Handle handle, uint8_t moveHigh) {
  Host::State& s = S();
  const bool fails = s.faults.Fails(Fault::kHandleLock);
  HostHandle* h = s.FindHandle(handle);
  void* address = nullptr;
  // A zero-byte handle still has an address.
  if (h != nullptr && !fails)
    address = h->bytes.empty() ? static_cast<void*>(h) : h->bytes.data();
  s.Locked("handle.lock", "handle", s.HandleName(handle), moveHigh, address, h != nullptr);
  return address;
}
void ZENTROW_CALL Callbacks::UnlockHandle(Handle handle) {
  S().Unlocked("handle.unlock", "handle", S().HandleName(handle),
               S().FindHandle(handle) != nullptr);
}
void ZENTROW_CALL Callbacks::RecoverSpace() {
  S().Trace("handle.recoverSpace", [] { return Json::object(); });
}


// Buffers.
int16_t ZENTROW_CALL Callbacks::AllocateBuffer(int32_t size, BufferId* id) {
  Host::State& s = S();
  H().counts_.bufferSizes.push_back(size);
  const HostSettings& settings = H().settings_;
  if (s.faults.Fails(Fault::kBufferAllocate) || size < 0 || size > settings.bufferLimit) {
    s.Trace("buffer.allocate", [&] {
      return Json{{"size", size}, {"buffer", nullptr}, {"answer", settings.bufferFailCode}};
    });
    return settings.bufferFailCode;
  }
  auto* b = new HostBuffer;
  b->serial = ++s.serials;
  b->bytes.assign(static_cast<size_t>(size), 0);
  s.buffers.insert(b);
  *id = reinterpret_cast<BufferId>(b);
  H().counts_.buffersMade++;
  H().counts_.buffersLive++;
  s.Trace("buffer.allocate", [&] {
    return Json{{"size", size}, {"buffer", b->serial}, {"answer", 0}};
  });
  return 0;
}
void* ZENTROW_CALL Callbacks::LockBuffer(BufferId id, uint8_t moveHigh) {
  Host::State& s = S();
  const bool fails = s.faults.Fails(Fault::kBufferLock);
  HostBuffer* b = s.FindBuffer(id);
  void* address = nullptr;
  if (b != nullptr && !fails && !b->bytes.empty()) address = b->bytes.data();
  s.Locked("buffer.lock", "buffer", s.BufferName(id), moveHigh, address, b != nullptr);
  return address;
}
void ZENTROW_CALL Callbacks::UnlockBuffer(BufferId id) {
  S().Unlocked("buffer.unlock", "buffer", S().BufferName(id), S().FindBuffer(id) != nullptr);
}
void ZENTROW_CALL Callbacks::FreeBuffer(BufferId id) {
  S().Trace("buffer.free", [&] { return Json{{"buffer", S().BufferName(id)}}; });
  HostBuffer* b = S().FindBuffer(id);
  if (b == nullptr) return S().Violation("free of a buffer the host does not hold");
  S().buffers.erase(b);
  delete b;
  H().counts_.buffersLive--;
}
int32_t ZENTROW_CALL Callbacks::BufferSpace() {
  S().Trace("buffer.space", [&] { return Json{{"bytes", kLargestBlock}}; });
  return kLargestBlock;
}

}  // namespace plughost
