#include "plughost/sets/lha_archive.h"

#include <lhasa.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>

namespace plughost {

namespace {

// liblhasa reads through these callbacks, which keep where it has come to.
struct Stream {
  const ByteSource& source;
  uint64_t at = 0;
  bool failed = false;
};

int StreamRead(void* handle, void* buf, size_t len) {
  auto* stream = static_cast<Stream*>(handle);
  const int64_t got = stream->source.ReadAt(stream->at, static_cast<uint8_t*>(buf), len);
  if (got < 0) {
    stream->failed = true;
    return -1;
  }
  stream->at += uint64_t(got);
  return int(got);
}

int StreamSkip(void* handle, size_t bytes) {
  auto* stream = static_cast<Stream*>(handle);
  stream->at += bytes;
  return stream->at <= stream->source.size() ? 1 : 0;
}

void StreamClose(void*) {}

const LHAInputStreamType kStreamType = {StreamRead, StreamSkip, StreamClose};

struct ReaderDeleter {
  void operator()(LHAReader* reader) const { lha_reader_free(reader); }
};
struct InputDeleter {
  void operator()(LHAInputStream* input) const { lha_input_stream_free(input); }
};

bool IsFile(const LHAFileHeader& header) {
  return header.symlink_target == nullptr && header.filename != nullptr &&
         std::strcmp(header.compress_method, LHA_COMPRESS_TYPE_DIR) != 0;
}

// The end of an archive is the end of its bytes or a header size of 0; any
// other byte where a header should begin is one liblhasa could not read.
bool AtEnd(const ByteSource& source, uint64_t at) {
  uint8_t byte = 0;
  return at >= source.size() || (source.ReadAt(at, &byte, 1) == 1 && byte == 0);
}

ArchiveRefusal Unpack(LHAReader* reader, const LHAFileHeader& header, ArchiveMember* member) {
  ArchiveRefusal refusal;
  refusal.member = member->name;
  // Held as it unpacks, so that a header's length alone takes no memory.
  std::vector<uint8_t>& bytes = member->bytes;
  std::vector<uint8_t> chunk(size_t{64} << 10);
  while (bytes.size() < header.length) {
    const size_t want = std::min(chunk.size(), header.length - bytes.size());
    const size_t step = lha_reader_read(reader, chunk.data(), want);
    if (step == 0) break;
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + std::ptrdiff_t(step));
  }
  if (bytes.size() < header.length) {
    refusal.fault = ArchiveFault::kCut;
    refusal.size = bytes.size();
    refusal.limit = header.length;
  } else if (LhaCrc16(bytes.data(), bytes.size()) != header.crc) {
    refusal.fault = ArchiveFault::kDamaged;
  }
  return refusal;
}

// Calls `visit` with each file member's header in turn (directories and
// links passed over), reading no data but what `visit` reads; stops at its
// first refusal. A header where one should begin that liblhasa cannot read
// is a refusal too: liblhasa ends the same way at the end of an archive.
template <typename Visit>
ArchiveRefusal EachMember(const ByteSource& source, Visit visit) {
  Stream stream{source};
  std::unique_ptr<LHAInputStream, InputDeleter> input(lha_input_stream_new(&kStreamType, &stream));
  std::unique_ptr<LHAReader, ReaderDeleter> reader(input ? lha_reader_new(input.get()) : nullptr);
  ArchiveRefusal refusal;
  if (!reader) {
    refusal.fault = ArchiveFault::kRead;
    return refusal;
  }
  // Directories come once, as the archive lists them.
  lha_reader_set_dir_policy(reader.get(), LHA_READER_DIR_PLAIN);
  uint64_t headerAt = 0;  // where the next member's header begins
  std::string last;
  for (size_t index = 0;; ++index) {
    const LHAFileHeader* header = lha_reader_next_file(reader.get());
    if (stream.failed) {
      refusal.fault = ArchiveFault::kRead;
    } else if (header == nullptr) {
      if (AtEnd(source, headerAt)) return refusal;
      refusal.fault = ArchiveFault::kHeader;
      refusal.offset = headerAt;
      refusal.after = last;
    } else if (IsFile(*header)) {
      refusal = visit(reader.get(), *header, index);
      last = header->filename;
    }
    if (refusal || header == nullptr) {
      refusal.index = index;
      return refusal;
    }
    headerAt += header->raw_data_len + header->compressed_length;
  }
}

}  // namespace

uint16_t LhaCrc16(const uint8_t* bytes, size_t size, uint16_t crc) {
  for (size_t k = 0; k < size; ++k) {
    crc = uint16_t(crc ^ bytes[k]);
    for (int bit = 0; bit < 8; ++bit) crc = uint16_t((crc >> 1) ^ ((crc & 1) != 0 ? 0xA001 : 0));
  }
  return crc;
}

ArchiveRefusal ReadLhaArchive(const ByteSource& source, std::vector<ArchiveMember>* members) {
  members->clear();
  // First every header, with the limits, before a byte is unpacked; then
  // the members.
  uint64_t unpacked = 0;
  ArchiveRefusal refusal =
      EachMember(source, [&](LHAReader*, const LHAFileHeader& header, size_t index) {
        ArchiveRefusal limit;
        limit.member = header.filename;
        if (index >= kMaxArchiveMembers) {
          limit.fault = ArchiveFault::kTooManyMembers;
          limit.limit = kMaxArchiveMembers;
        } else if (header.length > kMaxMemberBytes) {
          limit.fault = ArchiveFault::kMemberTooLarge;
          limit.size = header.length;
          limit.limit = kMaxMemberBytes;
        } else if ((unpacked += header.length) > kMaxUnpackedBytes) {
          limit.fault = ArchiveFault::kTooLarge;
          limit.limit = kMaxUnpackedBytes;
        }
        return limit;
      });
  if (!refusal) {
    refusal = EachMember(source, [&](LHAReader* reader, const LHAFileHeader& header, size_t) {
      ArchiveMember member{header.filename, {}};
      ArchiveRefusal damage = Unpack(reader, header, &member);
      if (!damage) members->push_back(std::move(member));
      return damage;
    });
  }
  if (refusal) members->clear();
  return refusal;
}

}  // namespace plughost
