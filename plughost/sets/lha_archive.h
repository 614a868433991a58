// LHA archives (.lzh), as KiSS sets are shipped: every member unpacked into
// memory through liblhasa, from bytes read through a ByteSource (a file
// opened through the files gate, or memory), within limits on the members'
// count and sizes held before anything is unpacked. A member whose data does
// not unpack to its length and check sum, or a header that cannot be read
// where one should begin, refuses the whole archive: a set is never shown
// from part of one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plughost/images/byte_source.h"

namespace plughost {

constexpr size_t kMaxArchiveMembers = 4096;
constexpr uint64_t kMaxMemberBytes = uint64_t{64} << 20;
constexpr uint64_t kMaxUnpackedBytes = uint64_t{256} << 20;

struct ArchiveMember {
  std::string name;  // its file name, without the folders its header may give
  std::vector<uint8_t> bytes;
};

enum class ArchiveFault {
  kNone,
  // No member header where member `index` should begin, at `offset`: damaged,
  // or packed by a method liblhasa does not know (it reads no such header).
  kHeader,
  kMemberTooLarge,  // `member` unpacks to `size` bytes, more than `limit`
  kTooManyMembers,  // more than `limit` members
  kTooLarge,        // the members together unpack to more than `limit` bytes
  kDamaged,         // `member` unpacks to bytes whose check sum is not the header's
  kCut,             // `member` unpacks to `size` bytes, fewer than its header's `limit`
  kRead,            // the source could not be read
};

struct ArchiveRefusal {
  ArchiveFault fault = ArchiveFault::kNone;
  std::string member;   // the member's name, when its header was read
  std::string after;    // for kHeader: the last member read whole, if any
  size_t index = 0;     // the member's place in the archive, from 0
  uint64_t offset = 0;  // where its header begins
  uint64_t size = 0;
  uint64_t limit = 0;
  explicit operator bool() const { return fault != ArchiveFault::kNone; }
};

// Every file the archive holds, in its order, into *members (directories
// and links are passed over). On a refusal *members holds nothing.
ArchiveRefusal ReadLhaArchive(const ByteSource& source, std::vector<ArchiveMember>* members);

// The CRC-16 LHA headers carry (polynomial 0xA001 reflected, from 0).
uint16_t LhaCrc16(const uint8_t* bytes, size_t size, uint16_t crc = 0);

}  // namespace plughost
