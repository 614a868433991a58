#include "plughost/host/elf_sections.h"

#include <cstring>
#include <string>

#include "plughost/files/input_file.h"
#include "plughost/files/little_endian.h"

namespace {

using plughost::ReadU16;
using plughost::ReadU32;
using plughost::ReadU64;

// The ELF64 file header: the class and byte order checked, then where the
// section table, its entry size and count, and the index of the section that
// holds the section names are given.
constexpr size_t kElfHeaderSize = 64;
constexpr size_t kElfClassOffset = 4, kElfDataOffset = 5;
constexpr uint8_t kElfClass64 = 2, kElfLittleEndian = 1;
constexpr size_t kSectionTableOffset = 0x28;
constexpr size_t kSectionEntrySizeOffset = 0x3A, kSectionCountOffset = 0x3C;
constexpr size_t kSectionNamesIndexOffset = 0x3E;

// A section header: where its name starts among the section names, its type,
// and where its bytes lie. Section 0's size and link hold the count and the
// names index of a file with too many sections for the file header's fields.
constexpr size_t kSectionHeaderSize = 64;
constexpr size_t kSectionNameOffset = 0, kSectionTypeOffset = 4;
constexpr size_t kSectionFileOffset = 0x18, kSectionSizeOffset = 0x20;
constexpr size_t kSectionLinkOffset = 0x28;
constexpr uint32_t kSectionNoBits = 8;       // takes no bytes in the file
constexpr uint16_t kExtendedIndex = 0xFFFF;  // the names index is section 0's link

// The section headers and the section names, all inside the file.
struct SectionTable {
  const uint8_t* headers = nullptr;
  uint64_t count = 0;
  size_t stride = 0;
  const uint8_t* names = nullptr;
  size_t namesSize = 0;
};

// A section's bytes, when they lie inside the file.
bool SectionBytes(const uint8_t* header, size_t fileSize, size_t* offset, size_t* length) {
  const uint64_t start = ReadU64(header + kSectionFileOffset);
  const uint64_t bytes = ReadU64(header + kSectionSizeOffset);
  if (ReadU32(header + kSectionTypeOffset) == kSectionNoBits) return false;
  if (start > fileSize || bytes > fileSize - start) return false;
  *offset = size_t(start);
  *length = size_t(bytes);
  return true;
}

// The table the file header points to, and the names section it indexes.
PropertyListError ReadSectionTable(const uint8_t* file, size_t size, SectionTable* table) {
  const uint64_t tableOffset = ReadU64(file + kSectionTableOffset);
  table->count = ReadU16(file + kSectionCountOffset);
  table->stride = ReadU16(file + kSectionEntrySizeOffset);
  if (tableOffset == 0 || tableOffset > size || table->stride < kSectionHeaderSize ||
      size - tableOffset < kSectionHeaderSize)
    return PropertyListError::kBadSectionTable;
  table->headers = file + tableOffset;
  // Zero: more sections than the file header's 16 bits can count.
  if (table->count == 0) table->count = ReadU64(table->headers + kSectionSizeOffset);
  uint64_t namesIndex = ReadU16(file + kSectionNamesIndexOffset);
  if (namesIndex == kExtendedIndex) namesIndex = ReadU32(table->headers + kSectionLinkOffset);
  if (table->count > (size - tableOffset) / table->stride || namesIndex >= table->count)
    return PropertyListError::kBadSectionTable;
  size_t namesOffset = 0;
  if (!SectionBytes(table->headers + namesIndex * table->stride, size, &namesOffset,
                    &table->namesSize))
    return PropertyListError::kBadSectionTable;
  table->names = file + namesOffset;
  return PropertyListError::kNone;
}

// Whether a section header names `name`, its terminating zero included, so
// that ".zentrow_pipl" is not taken for ".zentrow".
bool NameIs(const uint8_t* header, const SectionTable& table, const char* name) {
  const size_t nameBytes = std::strlen(name) + 1;
  const uint32_t nameAt = ReadU32(header + kSectionNameOffset);
  return nameAt < table.namesSize && table.namesSize - nameAt >= nameBytes &&
         std::memcmp(table.names + nameAt, name, nameBytes) == 0;
}

}  // namespace

PropertyListError FindElfSection(const uint8_t* file, size_t size, const char* name,
                                 size_t* offset, size_t* length) {
  if (size < kElfHeaderSize || std::memcmp(file, "\x7f" "ELF", 4) != 0)
    return PropertyListError::kNotElf;
  if (file[kElfClassOffset] != kElfClass64 || file[kElfDataOffset] != kElfLittleEndian)
    return PropertyListError::kNotElf64LittleEndian;
  SectionTable table;
  const PropertyListError error = ReadSectionTable(file, size, &table);
  if (error != PropertyListError::kNone) return error;
  for (uint64_t i = 0; i < table.count; ++i) {
    const uint8_t* header = table.headers + i * table.stride;
    if (!NameIs(header, table, name)) continue;
    if (!SectionBytes(header, size, offset, length)) return PropertyListError::kSectionPastEnd;
    return PropertyListError::kNone;
  }
  return PropertyListError::kNoSuchSection;
}

PropertyListError ReadElfPropertyList(const char* path, std::vector<uint8_t>* bytes) {
  plughost::InputFile file;
  std::vector<uint8_t> contents;
  std::string ignored;
  if (!file.Open(path, &ignored) || !file.ReadAll(&contents, &ignored))
    return PropertyListError::kCannotReadFile;
  size_t offset = 0, length = 0;
  const PropertyListError error =
      FindElfSection(contents.data(), contents.size(), ".zentrow_pipl", &offset, &length);
  if (error != PropertyListError::kNone) return error;
  bytes->assign(contents.begin() + std::ptrdiff_t(offset),
                contents.begin() + std::ptrdiff_t(offset + length));
  return PropertyListError::kNone;
}
