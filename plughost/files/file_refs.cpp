#include "plughost/files/file_refs.h"

#include "plughost/files/system_headers.h"

namespace plughost {

#if defined(_WIN32)

// The module's _lread/_lwrite take HFILEs, so the host makes them the same way.
int32_t OpenForReading(const std::string& path) {
  HFILE file = _lopen(path.c_str(), OF_READ | OF_SHARE_DENY_NONE);
  return file == HFILE_ERROR ? -1 : static_cast<int32_t>(file);
}

int32_t CreateForWriting(const std::string& path) {
  HFILE file = _lcreat(path.c_str(), 0);
  return file == HFILE_ERROR ? -1 : static_cast<int32_t>(file);
}

void CloseFile(int32_t fileRef) {
  if (fileRef >= 0) _lclose(static_cast<HFILE>(fileRef));
}

#else

int32_t OpenForReading(const std::string& path) { return open(path.c_str(), O_RDONLY | O_CLOEXEC); }

int32_t CreateForWriting(const std::string& path) {
  return open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

void CloseFile(int32_t fileRef) {
  if (fileRef >= 0) close(fileRef);
}

#endif

}  // namespace plughost
