// The native module carries its property list in an ELF section,
// ".zentrow_pipl", which the host finds in the library file without loading
// it, as it asks Windows for the "PIPL" resource of a DLL loaded as data.
//
// Every read is checked against the file's size; nothing here trusts a length
// or an offset taken from the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "plughost/host/property_list.h"

// Finds the section named `name` in a little-endian ELF64 file held in
// memory; on success sets its offset and size in the file.
PropertyListError FindElfSection(const uint8_t* file, size_t size, const char* name,
                                 size_t* offset, size_t* length);

// Reads a native module file and copies out its ".zentrow_pipl" section.
PropertyListError ReadElfPropertyList(const char* path, std::vector<uint8_t>* bytes);
