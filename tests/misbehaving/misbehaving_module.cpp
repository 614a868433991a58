// A module that opens and saves exactly as Zentrow does, by handing every
// call on to Zentrow's own entry point, and that first misuses the host's
// suites at the start of an open or a save, in each way the environment
// variable ZENTROW_MISUSE lists (comma-separated): unlock-handle,
// lock-buffer, dispose-handle, free-buffer. plughost is run with it to show
// that the host catches each one.
#include <cstdlib>
#include <cstring>

#include "interface/host_interface.h"

// Zentrow's ENTRYPOINT, renamed where its sources are compiled for this
// library so that this file's ENTRYPOINT stands in front of it.
extern "C" void ZENTROW_CALL ZentrowEntry(int16_t selector, void* block, intptr_t* data,
                                          int16_t* result);

namespace {

// Stands for a handle or buffer the host never gave. A host that checks
// only looks the address up; one that does not would write over this byte
// rather than over memory of its own.
char strayBlock;
Handle StrayHandle() { return reinterpret_cast<Handle>(&strayBlock); }
BufferId StrayBuffer() { return reinterpret_cast<BufferId>(&strayBlock); }

struct Misuse {
  const char* name;
  void (*act)(const FormatBlock& block);
};

const Misuse kMisuses[] = {
    {"unlock-handle",
     [](const FormatBlock& b) { if (b.handleSuite) b.handleSuite->unlock(StrayHandle()); }},
    {"lock-buffer",
     [](const FormatBlock& b) { if (b.bufferSuite) b.bufferSuite->lock(StrayBuffer(), 1); }},
    {"dispose-handle",
     [](const FormatBlock& b) { if (b.handleSuite) b.handleSuite->dispose(StrayHandle()); }},
    {"free-buffer",
     [](const FormatBlock& b) { if (b.bufferSuite) b.bufferSuite->free(StrayBuffer()); }},
};

// True when `name` is a whole item of the comma-separated `list`.
bool Listed(const char* list, const char* name) {
  const size_t length = std::strlen(name);
  for (const char* at = list; at != nullptr; at = std::strchr(at, ',')) {
    if (*at == ',') ++at;
    if (std::strncmp(at, name, length) == 0 && (at[length] == ',' || at[length] == '\0'))
      return true;
  }
  return false;
}

}  // namespace

extern "C" ZENTROW_EXPORT void ZENTROW_CALL ENTRYPOINT(int16_t selector, void* block,
                                                       intptr_t* data, int16_t* result) {
  const char* misuses = std::getenv("ZENTROW_MISUSE");
  const bool starts = selector == kSelectorReadStart || selector == kSelectorWriteStart;
  if (misuses != nullptr && block != nullptr && starts) {
    for (const Misuse& m : kMisuses) {
      if (Listed(misuses, m.name)) m.act(*static_cast<const FormatBlock*>(block));
    }
  }
  ZentrowEntry(selector, block, data, result);
}
