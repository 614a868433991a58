// The Windows calls the module stands on. The DLL gets the real ones; the
// native build gets platform/posix, a small layer with the same names.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include "platform/posix/windows_layer.h"
#endif

#include <cstddef>
#include <cstdlib>

// Called by the entry point once a selector's routine has returned, and by
// ReadContinue once its colours are read, before it hands the rows to the
// host: the POSIX layer gives up what it read ahead and leaves the
// descriptor where the module's reads have come to. Windows' own calls read
// nothing ahead.
#if defined(_WIN32)
inline void FinishFileAccess() {}
#else
void FinishFileAccess();
#endif

// The C heap's calloc, for the colour table: the module's one heap block.
// The POSIX layer counts the calls and can be told to fail one.
#if defined(_WIN32)
inline void* HeapCalloc(size_t count, size_t size) { return std::calloc(count, size); }
#else
void* HeapCalloc(size_t count, size_t size);
#endif
