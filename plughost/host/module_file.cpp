#include "plughost/host/module_file.h"

#include <algorithm>
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

bool Fits(uint64_t start, uint64_t length, uint64_t size) {
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

// PE resources: the optional header's data directories (the resource
// table is the third), each section's place in memory and in the file, and
// the resource tree of type, name and language directories.
constexpr size_t kOptionalMagicOffset = 0;
constexpr uint16_t kPe32 = 0x10B, kPe32Plus = 0x20B;
constexpr size_t kDirectoriesPe32 = 96, kDirectoriesPe32Plus = 112;
constexpr size_t kResourceDirectory = 2, kDirectoryEntrySize = 8;
constexpr size_t kVirtualSizeOffset = 8, kVirtualAddressOffset = 12;
constexpr size_t kNamedCountOffset = 12, kIdCountOffset = 14, kTreeHeaderSize = 16;
constexpr uint32_t kSubdirectory = 0x80000000u, kNamed = 0x80000000u;

struct PeLayout {
  uint64_t sections = 0, sectionCount = 0;
  uint64_t resources = 0;  // file offset of the resource tree
  uint64_t resourcesSize = 0;
};

// The file offset of a relative virtual address, through the section table.
bool FileOffsetOf(const std::vector<uint8_t>& f, const PeLayout& pe, uint64_t rva, uint64_t* at) {
  for (uint64_t i = 0; i < pe.sectionCount; ++i) {
    const uint8_t* section = At(f, pe.sections + i * kSectionHeaderSize);
    const uint64_t start = ReadU32(section + kVirtualAddressOffset);
    const uint64_t raw = ReadU32(section + kRawSizeOffset);
    const uint64_t span = std::max<uint64_t>(ReadU32(section + kVirtualSizeOffset), raw);
    if (rva < start || rva - start >= span || rva - start >= raw) continue;
    *at = ReadU32(section + kRawPointerOffset) + (rva - start);
    return true;
  }
  return false;
}

// The section table and the resource tree of a PE file that PeReason passed.
bool ReadPeLayout(const std::vector<uint8_t>& f, PeLayout* pe) {
  const uint64_t header = ReadU32(At(f, kPeOffsetField)), optional = header + kFileHeaderEnd;
  const uint64_t optionalSize = ReadU16(At(f, header + kOptionalSizeOffset));
  pe->sections = optional + optionalSize;
  pe->sectionCount = ReadU16(At(f, header + kSectionCountOffset));
  const uint16_t magic = ReadU16(At(f, optional + kOptionalMagicOffset));
  const uint64_t directories = magic == kPe32       ? kDirectoriesPe32
                               : magic == kPe32Plus ? kDirectoriesPe32Plus
                                                    : 0;
  const uint64_t entry = directories + kResourceDirectory * kDirectoryEntrySize;
  if (directories == 0 || entry + kDirectoryEntrySize > optionalSize) return false;
  const uint64_t rva = ReadU32(At(f, optional + entry));
  pe->resourcesSize = ReadU32(At(f, optional + entry + 4));
  return rva != 0 && FileOffsetOf(f, *pe, rva, &pe->resources) &&
         Fits(pe->resources, pe->resourcesSize, f.size());
}

// Whether a named entry's name, UTF-16 inside the tree, is `name`.
bool EntryNamed(const std::vector<uint8_t>& f, const PeLayout& pe, uint32_t field, const char* name) {
  const uint64_t at = field & ~kNamed, length = std::strlen(name);
  if ((field & kNamed) == 0 || !Fits(at, 2 + 2 * length, pe.resourcesSize)) return false;
  const uint8_t* text = At(f, pe.resources + at);
  if (ReadU16(text) != length) return false;
  for (uint64_t i = 0; i < length; ++i)
    if (ReadU16(text + 2 + 2 * i) != static_cast<uint8_t>(name[i])) return false;
  return true;
}

// The entry of a directory of the tree whose name is `name`, or its first
// entry when `name` is null; the entry's second field, or 0.
uint32_t DirectoryEntry(const std::vector<uint8_t>& f, const PeLayout& pe, uint64_t directory,
                        const char* name) {
  if (!Fits(directory, kTreeHeaderSize, pe.resourcesSize)) return 0;
  const uint8_t* tree = At(f, pe.resources + directory);
  const uint64_t count = uint64_t{ReadU16(tree + kNamedCountOffset)} + ReadU16(tree + kIdCountOffset);
  if (!Fits(directory + kTreeHeaderSize, count * kDirectoryEntrySize, pe.resourcesSize)) return 0;
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* entry = tree + kTreeHeaderSize + i * kDirectoryEntrySize;
    if (name == nullptr || EntryNamed(f, pe, ReadU32(entry), name)) return ReadU32(entry + 4);
  }
  return 0;
}

}  // namespace

bool FindPeResource(const std::vector<uint8_t>& file, const char* type, size_t* offset,
                    size_t* length) {
  PeLayout pe;
  if (!IsWindowsLibrary(file) || !PeReason(file).empty() || !ReadPeLayout(file, &pe)) return false;
  const uint32_t names = DirectoryEntry(file, pe, 0, type);
  if ((names & kSubdirectory) == 0) return false;
  const uint32_t languages = DirectoryEntry(file, pe, names & ~kSubdirectory, nullptr);
  if ((languages & kSubdirectory) == 0) return false;
  const uint32_t data = DirectoryEntry(file, pe, languages & ~kSubdirectory, nullptr);
  if (data == 0 || (data & kSubdirectory) != 0 || !Fits(data, 8, pe.resourcesSize)) return false;
  const uint8_t* entry = At(file, pe.resources + data);
  uint64_t at = 0;
  const uint64_t size = ReadU32(entry + 4);
  if (!FileOffsetOf(file, pe, ReadU32(entry), &at) || !Fits(at, size, file.size())) return false;
  *offset = static_cast<size_t>(at);
  *length = static_cast<size_t>(size);
  return true;
}

bool IsWindowsLibrary(const std::vector<uint8_t>& file) {
  return file.size() >= 2 && file[0] == 'M' && file[1] == 'Z';
}

std::string UnloadableReason(const std::vector<uint8_t>& file) {
  if (IsWindowsLibrary(file)) return PeReason(file);
  if (file.size() >= 4 && std::memcmp(file.data(), "\x7f" "ELF", 4) == 0) return ElfReason(file);
  return "is not a library: it begins with neither an ELF nor a Windows header";
}

}  // namespace plughost
