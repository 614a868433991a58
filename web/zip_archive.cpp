#include "web/zip_archive.h"

#include <zlib.h>

namespace web {

namespace {

constexpr uint32_t kLocalHeader = 0x04034b50;
constexpr uint32_t kCentralHeader = 0x02014b50;
constexpr uint32_t kEndOfCentral = 0x06054b50;
constexpr uint16_t kVersion = 20;       // 2.0: what stored entries need
constexpr uint16_t kUtf8Names = 0x0800;  // names as the browser gave them
constexpr uint16_t kStored = 0;
constexpr uint16_t kDate1980 = 0x21;     // 1 January 1980: no time of its own

void Put16(std::vector<uint8_t>* out, uint32_t v) {
  out->push_back(uint8_t(v & 0xFF));
  out->push_back(uint8_t((v >> 8) & 0xFF));
}

void Put32(std::vector<uint8_t>* out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// The fields a local and a central header share, from the version needed
// to the name's length.
void PutShared(std::vector<uint8_t>* out, uint32_t crc, uint32_t size, size_t nameSize) {
  Put16(out, kVersion);
  Put16(out, kUtf8Names);
  Put16(out, kStored);
  Put16(out, 0);  // time
  Put16(out, kDate1980);
  Put32(out, crc);
  Put32(out, size);  // compressed: stored as it is
  Put32(out, size);
  Put16(out, uint32_t(nameSize));
  Put16(out, 0);  // no extra field
}

}  // namespace

bool ZipStored(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries,
               std::vector<uint8_t>* archive) {
  if (entries.size() > 0xFFFF) return false;
  std::vector<uint8_t> central;
  archive->clear();
  for (const auto& [name, bytes] : entries) {
    if (name.size() > 0xFFFF || bytes.size() > 0xFFFFFFFFu || archive->size() > 0xFFFFFFFFu)
      return false;
    const uint32_t crc = uint32_t(crc32(0, bytes.data(), uInt(bytes.size())));
    const auto at = uint32_t(archive->size());
    Put32(archive, kLocalHeader);
    PutShared(archive, crc, uint32_t(bytes.size()), name.size());
    archive->insert(archive->end(), name.begin(), name.end());
    archive->insert(archive->end(), bytes.begin(), bytes.end());
    Put32(&central, kCentralHeader);
    Put16(&central, kVersion);  // made by
    PutShared(&central, crc, uint32_t(bytes.size()), name.size());
    Put16(&central, 0);  // comment
    Put16(&central, 0);  // disk
    Put16(&central, 0);  // internal attributes
    Put32(&central, 0);  // external attributes
    Put32(&central, at);
    central.insert(central.end(), name.begin(), name.end());
  }
  if (archive->size() + central.size() > 0xFFFFFFFFu) return false;
  const auto centralAt = uint32_t(archive->size());
  archive->insert(archive->end(), central.begin(), central.end());
  Put32(archive, kEndOfCentral);
  Put16(archive, 0);  // this disk
  Put16(archive, 0);  // the disk the directory starts on
  Put16(archive, uint32_t(entries.size()));
  Put16(archive, uint32_t(entries.size()));
  Put32(archive, uint32_t(central.size()));
  Put32(archive, centralAt);
  Put16(archive, 0);  // comment
  return true;
}

}  // namespace web
