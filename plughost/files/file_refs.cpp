#include "plughost/files/file_refs.h"

#include "plughost/system/system.h"

namespace plughost {

int32_t OpenForReading(const std::string& path) { return sys::OpenReference(path, false); }

int32_t CreateForWriting(const std::string& path) { return sys::OpenReference(path, true); }

void CloseFile(int32_t fileRef) { sys::Close(fileRef); }

}  // namespace plughost
