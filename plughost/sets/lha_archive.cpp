#include "plughost/sets/lha_archive.h"

#include <lhasa.h>

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
  char method[sizeof header.compress_method];
  std::memcpy(method, header.compress_method, sizeof method);
  method[sizeof method - 1] = '\0';
  if (lha_decoder_for_name(method) == nullptr) {
    refusal.fault = ArchiveFault::kMethod;
    refusal.method = method;
    return refusal;
  }
  member->bytes.resize(header.length);
  size_t got = 0;
  while (got < header.length) {
    const size_t step = lha_reader_read(reader, member->bytes.data() + got, header.length - got);
    if (step == 0) break;
    got += step;
  }
  if (got < header.length) {
    refusal.fault = ArchiveFault::kCut;
    refusal.size = got;
    refusal.limit = header.length;
  } else if (LhaCrc16(member->bytes.data(), got) != header.crc) {
    refusal.fault = ArchiveFault::kDamaged;
  }
  return refusal;
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
  Stream stream{source};
  std::unique_ptr<LHAInputStream, InputDeleter> input(
      lha_input_stream_new(&kStreamType, &stream));
  std::unique_ptr<LHAReader, ReaderDeleter> reader(input ? lha_reader_new(input.get()) : nullptr);
  ArchiveRefusal refusal;
  if (!reader) {
    refusal.fault = ArchiveFault::kRead;
    return refusal;
  }
  // LHA_READER_DIR_PLAIN: directories come once, as the archive lists them.
  lha_reader_set_dir_policy(reader.get(), LHA_READER_DIR_PLAIN);
  uint64_t headerAt = 0;  // where the next member's header begins
  uint64_t unpacked = 0;
  std::string last;
  for (size_t index = 0;; ++index) {
    const LHAFileHeader* header = lha_reader_next_file(reader.get());
    if (stream.failed) {
      refusal.fault = ArchiveFault::kRead;
    } else if (header == nullptr) {
      if (AtEnd(source, headerAt)) return refusal;
      refusal.fault = ArchiveFault::kHeader;
      refusal.index = index;
      refusal.offset = headerAt;
      refusal.after = last;
    } else if (index >= kMaxArchiveMembers) {
      refusal.fault = ArchiveFault::kTooManyMembers;
      refusal.limit = kMaxArchiveMembers;
    } else if (IsFile(*header) && header->length > kMaxMemberBytes) {
      refusal.fault = ArchiveFault::kMemberTooLarge;
      refusal.member = header->filename;
      refusal.size = header->length;
      refusal.limit = kMaxMemberBytes;
    } else if (IsFile(*header) && (unpacked += header->length) > kMaxUnpackedBytes) {
      refusal.fault = ArchiveFault::kTooLarge;
      refusal.limit = kMaxUnpackedBytes;
    } else if (IsFile(*header)) {
      ArchiveMember member{header->filename, {}};
      refusal = Unpack(reader.get(), *header, &member);
      if (!refusal) members->push_back(std::move(member));
    }
    if (refusal) {
      refusal.index = index;
      members->clear();
      return refusal;
    }
    if (header != nullptr && IsFile(*header)) last = header->filename;
    headerAt += header->raw_data_len + header->compressed_length;
  }
}

}  // namespace plughost
