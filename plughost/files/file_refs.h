// File references the host hands the module: the numbers its platform's
// _lread/_lwrite/_llseek take, a descriptor natively and an HFILE in the
// Windows build. The host opens them, the module reads or writes through
// them, and the host closes them.
#pragma once

#include <cstdint>
#include <string>

namespace plughost {

// -1 on failure.
int32_t OpenForReading(const std::string& path);
int32_t CreateForWriting(const std::string& path);
// A negative reference, one that failed to open, is ignored.
void CloseFile(int32_t fileRef);

}  // namespace plughost
