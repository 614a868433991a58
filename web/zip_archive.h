// The files of a conversion handed to the user as one download: a zip
// archive of stored (uncompressed) entries, which every system's unzip
// opens. The images are compressed already, and palette texts are small.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace web {

// Name and bytes of each entry, in order; false when the archive would
// pass the 65,535 entries or 4 GiB a plain zip holds.
bool ZipStored(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries,
               std::vector<uint8_t>* archive);

}  // namespace web
