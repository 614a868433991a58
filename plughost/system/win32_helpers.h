// Small helpers the Windows layer's files share.
#pragma once

#include <windows.h>

#include <cstdint>

namespace plughost::sys {

// A file reference (an HFILE) as the handle it is.
inline HANDLE AsHandle(int32_t ref) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(ref)); }

inline bool IsNotFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace plughost::sys
