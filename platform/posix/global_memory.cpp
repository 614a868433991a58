// Movable global memory over the C heap. A handle is the address of a small
// header that sits right in front of the block's bytes, so GlobalHandle can
// find it again from a locked address.
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/hooks_state.h"

namespace {

using posix_hooks::detail::State;

constexpr uint32_t kGlobalMark = 0x474C4F42;  // "GLOB"

struct alignas(16) GlobalHeader {
  uint32_t mark;
  uint32_t lockCount;
  size_t bytes;
};

GlobalHeader* HeaderOf(HGLOBAL memory) {
  auto* header = static_cast<GlobalHeader*>(memory);
  return header != nullptr && header->mark == kGlobalMark ? header : nullptr;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, size_t bytes) {
  State& s = State::Get();
  s.counters.globalAllocs++;
  if (++s.allocCalls == s.plan.globalAllocFailAt) return nullptr;
  if (bytes > SIZE_MAX - sizeof(GlobalHeader)) return nullptr;
  void* raw = std::malloc(sizeof(GlobalHeader) + bytes);
  if (raw == nullptr) return nullptr;
  auto* header = static_cast<GlobalHeader*>(raw);
  header->mark = kGlobalMark;
  header->lockCount = 0;
  header->bytes = bytes;
  if ((flags & GMEM_ZEROINIT) != 0) std::memset(header + 1, 0, bytes);
  s.counters.liveGlobals++;
  return header;
}

LPVOID GlobalLock(HGLOBAL memory) {
  GlobalHeader* header = HeaderOf(memory);
  if (header == nullptr) return nullptr;
  header->lockCount++;
  return header + 1;
}

BOOL GlobalUnlock(HGLOBAL memory) {
  GlobalHeader* header = HeaderOf(memory);
  if (header == nullptr || header->lockCount == 0) return 0;
  header->lockCount--;
  return header->lockCount != 0;
}

HGLOBAL GlobalHandle(const void* address) {
  if (address == nullptr) return nullptr;
  auto* header = const_cast<GlobalHeader*>(static_cast<const GlobalHeader*>(address) - 1);
  return HeaderOf(header);
}

HGLOBAL GlobalFree(HGLOBAL memory) {
  GlobalHeader* header = HeaderOf(memory);
  if (header == nullptr) return memory;  // Windows answers the handle on failure
  header->mark = 0;
  std::free(header);
  State& s = State::Get();
  s.counters.globalFrees++;
  s.counters.liveGlobals--;
  return nullptr;
}

void* HeapCalloc(size_t count, size_t size) {
  State& s = State::Get();
  s.counters.heapCallocs++;
  if (++s.callocCalls == s.plan.heapCallocFailAt) return nullptr;
  return std::calloc(count, size);
}
