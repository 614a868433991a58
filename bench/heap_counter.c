#include "bench/heap_counter.h"

#include <stddef.h>

// glibc's own allocator under its internal names; the calls below count and
// pass on, so the allocator and its speed stay glibc's.
void* __libc_malloc(size_t bytes);
void* __libc_calloc(size_t count, size_t bytes);
void* __libc_realloc(void* block, size_t bytes);

static enum HeapZone currentZone = kHeapZoneDriver;
static int64_t allocations[kHeapZones];

enum HeapZone HeapCounterEnter(enum HeapZone zone) {
  const enum HeapZone previous = currentZone;
  currentZone = zone;
  return previous;
}

int64_t HeapAllocations(enum HeapZone zone) { return allocations[zone]; }

void HeapCounterReset(void) {
  for (int i = 0; i < kHeapZones; ++i) allocations[i] = 0;
}

void* malloc(size_t bytes) {
  allocations[currentZone]++;
  return __libc_malloc(bytes);
}

void* calloc(size_t count, size_t bytes) {
  allocations[currentZone]++;
  return __libc_calloc(count, bytes);
}

void* realloc(void* block, size_t bytes) {
  allocations[currentZone]++;
  return __libc_realloc(block, bytes);
}
