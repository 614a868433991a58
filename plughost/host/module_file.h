// A module file looked at before any loader maps it: a loader that maps
// part of a library past the end of a cut file dies of a bus error inside
// dlopen, so every part the headers ask to be mapped must lie inside the
// file. Reads ELF64 (the native library) and PE (the DLL), little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plughost {

// Why the file cannot be loaded, as the end of a sentence about it ("is cut
// short: ..."), or "" when every part its headers name is inside it.
std::string UnloadableReason(const std::vector<uint8_t>& file);

// The first resource of `type` ("PIPL") in a Windows library's bytes, read
// from its resource tree as the system would find it, without loading it;
// false when there is none or the tree is damaged. Checked at every step.
bool FindPeResource(const std::vector<uint8_t>& file, const char* type, size_t* offset,
                    size_t* length);

// True when the file is a Windows DLL (it begins "MZ").
bool IsWindowsLibrary(const std::vector<uint8_t>& file);

}  // namespace plughost
