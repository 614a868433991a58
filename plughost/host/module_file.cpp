#include "plughost/host/module_file.h"

#include <cstring>

#include "plughost/files/little_endian.h"

namespace plughost {

namespace {

// ELF64: where the program headers are, their size and count; each one's
// type, and where its bytes lie in the file.
constexpr size_t kElfHeaderSize = 64;
constexpr size_t kElfClassOffset = 4, kElfDataOffset = 5;
constexpr size_t kProgramTableOffset = 0x20, kProgramEntrySizeOffset = 0x36;
constexpr size_t kProgramCountOffset = 0x38;
constexpr size_t kProgramHeaderSize = 56;
constexpr size_t kSegmentTypeOffset = 0, kSegmentFileOffset = 8, kSegmentFileSizeOffset = 0x20;
constexpr uint32_t kLoadSegment = 1;

// PE: the DOS header points to the "PE\0\0" signature; the file header that
// follows gives the section count and the optional header's size; the
// optional header the size of the headers; each section where its bytes lie.
constexpr size_t kPeOffsetField = 0x3C;
constexpr size_t kSectionCountOffset = 6, kOptionalSizeOffset = 20, kFileHeaderEnd = 24;
constexpr size_t kHeadersSizeOffset = 60;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kRawSizeOffset = 16, kRawPointerOffset = 20;

std::string CutShort(uint64_t end, size_t size) {
  return "is cut short: its headers place data up to byte " + std::to_string(end) +
         " of a file of " + std::to_string(size) + " bytes";
}

// The byte at `offset`, which the caller has checked lies in the file.
const uint8_t* At(const std::vector<uint8_t>& f, uint64_t offset) {
  return f.data() + static_cast<size_t>(offset);
}

bool Fits(uint64_t start, uint64_t length, size_t size) {
  return start <= size && length <= size - start;
}

std::string ElfReason(const std::vector<uint8_t>& f) {
  const size_t size = f.size();
  if (size < kElfHeaderSize) return CutShort(kElfHeaderSize, size);
  if (f[kElfClassOffset] != 2 || f[kElfDataOffset] != 1)
    return "is not a 64-bit little-endian library, which this plughost loads";
  const uint64_t table = ReadU64(At(f, kProgramTableOffset));
  const uint64_t stride = ReadU16(At(f, kProgramEntrySizeOffset));
  const uint64_t count = ReadU16(At(f, kProgramCountOffset));
  if (stride < kProgramHeaderSize) return "has a damaged program header table";
  if (!Fits(table, stride * count, size)) return CutShort(table + stride * count, size);
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* segment = At(f, table + i * stride);
    if (ReadU32(segment + kSegmentTypeOffset) != kLoadSegment) continue;
    const uint64_t start = ReadU64(segment + kSegmentFileOffset);
    const uint64_t length = ReadU64(segment + kSegmentFileSizeOffset);
    if (!Fits(start, length, size))
      return start > UINT64_MAX - length ? "has a damaged program header" : CutShort(start + length, size);
  }
  return "";
}

std::string PeReason(const std::vector<uint8_t>& f) {
  const size_t size = f.size();
  if (size < kPeOffsetField + 4) return CutShort(kPeOffsetField + 4, size);
  const uint64_t pe = ReadU32(At(f, kPeOffsetField));
  if (!Fits(pe, kFileHeaderEnd, size)) return CutShort(pe + kFileHeaderEnd, size);
  if (std::memcmp(At(f, pe), "PE\0\0", 4) != 0) return "is not a Windows library";
  const uint64_t optional = pe + kFileHeaderEnd;
  const uint64_t optionalSize = ReadU16(At(f, pe + kOptionalSizeOffset));
  const uint64_t count = ReadU16(At(f, pe + kSectionCountOffset));
  const uint64_t table = optional + optionalSize;
  if (optionalSize < kHeadersSizeOffset + 4) return "has a damaged optional header";
  if (!Fits(table, count * kSectionHeaderSize, size))
    return CutShort(table + count * kSectionHeaderSize, size);
  const uint64_t headers = ReadU32(At(f, optional + kHeadersSizeOffset));
  if (headers > size) return CutShort(headers, size);
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* section = At(f, table + i * kSectionHeaderSize);
    const uint64_t start = ReadU32(section + kRawPointerOffset);
    const uint64_t length = ReadU32(section + kRawSizeOffset);
    if (length != 0 && !Fits(start, length, size)) return CutShort(start + length, size);
  }
  return "";
}

}  // namespace

bool IsWindowsLibrary(const std::vector<uint8_t>& file) {
  return file.size() >= 2 && file[0] == 'M' && file[1] == 'Z';
}

std::string UnloadableReason(const std::vector<uint8_t>& file) {
  if (IsWindowsLibrary(file)) return PeReason(file);
  if (file.size() >= 4 && std::memcmp(file.data(), "\x7f" "ELF", 4) == 0) return ElfReason(file);
  return "is not a library: it begins with neither an ELF nor a Windows header";
}

}  // namespace plughost
