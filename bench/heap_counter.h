// Counts the process's heap allocations (malloc, calloc, realloc, and so
// operator new) by who was running when they were made: the host driving the
// module, the module inside ENTRYPOINT, or the host inside a callback the
// module made. Works by standing in for glibc's allocation calls; only the
// benchmark program links it.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum HeapZone { kHeapZoneDriver = 0, kHeapZoneModule = 1, kHeapZoneCallback = 2, kHeapZones = 3 };

// The zone new allocations are counted in; returns the previous one.
enum HeapZone HeapCounterEnter(enum HeapZone zone);
int64_t HeapAllocations(enum HeapZone zone);
void HeapCounterReset(void);

#ifdef __cplusplus
}
#endif
