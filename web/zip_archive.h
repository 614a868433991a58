// The files of a conversion handed to the user as one download: a zip
// archive, written by zlib's minizip into memory, which the caller writes
// through the files gate.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace web {

// Name and bytes of each entry, in order, deflated; false when minizip
// could not write one.
bool ZipArchive(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries,
                std::vector<uint8_t>* archive);

}  // namespace web
