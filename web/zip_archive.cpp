#include "web/zip_archive.h"

#include <zip.h>

#include <cstring>

namespace web {

namespace {

// minizip writes through these, into the archive's bytes in memory: the
// "file" it opens is the archive itself.
struct Memory {
  std::vector<uint8_t>* bytes;
  size_t at = 0;
};

voidpf ZCALLBACK Open(voidpf opaque, const char* /*name*/, int /*mode*/) { return opaque; }

// A new archive is only written; minizip reads back only an archive it appends to.
uLong ZCALLBACK Read(voidpf, voidpf, void*, uLong) { return 0; }

uLong ZCALLBACK Write(voidpf, voidpf stream, const void* from, uLong size) {
  Memory& m = *static_cast<Memory*>(stream);
  if (m.at + size > m.bytes->size()) m.bytes->resize(m.at + size);
  std::memcpy(m.bytes->data() + m.at, from, size);
  m.at += size;
  return size;
}

long ZCALLBACK Tell(voidpf, voidpf stream) { return long(static_cast<Memory*>(stream)->at); }

long ZCALLBACK Seek(voidpf, voidpf stream, uLong offset, int origin) {
  Memory& m = *static_cast<Memory*>(stream);
  const size_t from = origin == ZLIB_FILEFUNC_SEEK_SET   ? 0
                      : origin == ZLIB_FILEFUNC_SEEK_CUR ? m.at
                                                         : m.bytes->size();
  if (from + offset > m.bytes->size()) return -1;
  m.at = from + offset;
  return 0;
}

int ZCALLBACK Close(voidpf, voidpf) { return 0; }
int ZCALLBACK Error(voidpf, voidpf) { return 0; }

// Entries' names as the browser gave them, in UTF-8 (general purpose bit 11).
constexpr uLong kUtf8Names = 1u << 11;
// minizip's "version made by" for a zip of no particular system.
constexpr uLong kMadeBy = 0;

}  // namespace

bool ZipArchive(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries,
                std::vector<uint8_t>* archive) {
  archive->clear();
  Memory memory{archive};
  zlib_filefunc_def io{Open, Read, Write, Tell, Seek, Close, Error, &memory};
  zipFile zip = zipOpen2("", APPEND_STATUS_CREATE, nullptr, &io);
  if (zip == nullptr) return false;
  // Every entry dated 1 January 1980, the first day a zip can hold, so that
  // the same palettes make the same archive.
  zip_fileinfo info{};
  info.tmz_date.tm_mday = 1;
  info.tmz_date.tm_year = 1980;
  bool written = true;
  for (const auto& [name, bytes] : entries) {
    written = written &&
              zipOpenNewFileInZip4(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                   Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                   Z_DEFAULT_STRATEGY, nullptr, 0, kMadeBy, kUtf8Names) == ZIP_OK &&
              zipWriteInFileInZip(zip, bytes.data(), unsigned(bytes.size())) == ZIP_OK &&
              zipCloseFileInZip(zip) == ZIP_OK;
  }
  return zipClose(zip, nullptr) == ZIP_OK && written;
}

}  // namespace web
