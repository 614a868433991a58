#include "plughost/property_list.h"

#include <cstdio>
#include <cstring>

#include "interface/host_interface.h"

namespace {

constexpr uint32_t Code(const char* chars) { return MakeFourCharCode(chars); }

uint16_t ReadU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

uint32_t ReadU32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint64_t ReadU64(const uint8_t* p) { return uint64_t(ReadU32(p)) | (uint64_t(ReadU32(p + 4)) << 32); }

// Property list header and property header.
constexpr size_t kSignatureOffset = 0;
constexpr size_t kVersionOffset = 2;
constexpr size_t kCountOffset = 6;
constexpr size_t kHeaderSize = 10;
constexpr uint16_t kSignature = 1;
constexpr size_t kVendorOffset = 0;
constexpr size_t kKeyOffset = 4;
constexpr size_t kLengthOffset = 12;
constexpr size_t kPropertyHeaderSize = 16;

// "hstm" data: version, class, event, resource id, then the scope text.
constexpr size_t kTerminologyClassOffset = 4;
constexpr size_t kTerminologyEventOffset = 8;
constexpr size_t kTerminologyIdOffset = 12;
constexpr size_t kTerminologyScopeOffset = 14;

struct Span {
  const uint8_t* data;
  size_t size;
};

// One length byte, then that many characters, all inside the data.
PropertyListError ReadLengthPrefixed(Span in, std::string* text) {
  if (in.size < 1 || size_t(in.data[0]) > in.size - 1) return PropertyListError::kTextPastData;
  text->assign(reinterpret_cast<const char*>(in.data + 1), in.data[0]);
  return PropertyListError::kNone;
}

// Characters up to a zero that must lie inside the data.
PropertyListError ReadZeroTerminated(Span in, std::string* text) {
  const void* end = std::memchr(in.data, 0, in.size);
  if (end == nullptr) return PropertyListError::kTextPastData;
  text->assign(reinterpret_cast<const char*>(in.data),
               size_t(static_cast<const uint8_t*>(end) - in.data));
  return PropertyListError::kNone;
}

// Extensions are characters in file order, four to an entry.
void ReadExtensions(Span in, std::vector<std::string>* list) {
  for (size_t at = 0; at + 4 <= in.size; at += 4)
    list->emplace_back(reinterpret_cast<const char*>(in.data + at), 4);
}

PropertyListError ReadTerminology(Span in, PropertyList* out) {
  if (in.size < kTerminologyScopeOffset) return PropertyListError::kDataTooShort;
  out->hasTerminology = true;
  out->terminologyClass = ReadU32(in.data + kTerminologyClassOffset);
  out->terminologyEvent = ReadU32(in.data + kTerminologyEventOffset);
  out->terminologyId = ReadU16(in.data + kTerminologyIdOffset);
  return ReadZeroTerminated({in.data + kTerminologyScopeOffset, in.size - kTerminologyScopeOffset},
                            &out->terminologyScope);
}

PropertyListError ReadFilterTypes(Span in, PropertyList* out) {
  if (in.size % 8 != 0) return PropertyListError::kDataTooShort;
  for (size_t at = 0; at < in.size; at += 8)
    out->filterTypes.push_back({ReadU32(in.data + at), ReadU32(in.data + at + 4)});
  return PropertyListError::kNone;
}

PropertyListError DecodeProperty(uint32_t key, Span in, PropertyList* out) {
  // The smallest data each fixed-size property needs.
  size_t need = 0;
  switch (key) {
    case Code("kind"): case Code("vers"): case Code("mxsz"): need = 4; break;
    case Code("fmTC"): need = 8; break;
    case Code("mode"): need = 2; break;
    case Code("fmtf"): need = 1; break;
    default: break;
  }
  if (in.size < need) return PropertyListError::kDataTooShort;
  switch (key) {
    case Code("kind"): out->kind = ReadU32(in.data); break;
    case Code("name"): return ReadLengthPrefixed(in, &out->name);
    case Code("vers"):
      out->interfaceMajor = uint16_t(ReadU32(in.data) >> 16);
      out->interfaceMinor = uint16_t(ReadU32(in.data) & 0xFFFFu);
      break;
    case Code("wx86"): return ReadZeroTerminated(in, &out->entryPointX86);
    case Code("hstm"): return ReadTerminology(in, out);
    case Code("mode"): out->modes = uint16_t((in.data[0] << 8) | in.data[1]); break;
    case Code("enbl"): return ReadZeroTerminated(in, &out->enableExpression);
    case Code("fmTC"):
      out->fileType = ReadU32(in.data);
      out->fileCreator = ReadU32(in.data + 4);
      break;
    case Code("fftT"): return ReadFilterTypes(in, out);
    case Code("RdEx"): ReadExtensions(in, &out->readExtensions); break;
    case Code("WrEx"): ReadExtensions(in, &out->writeExtensions); break;
    case Code("fftE"): ReadExtensions(in, &out->filterExtensions); break;
    case Code("fmtf"): out->formatFlags = in.data[0]; break;
    case Code("mxsz"):
      out->maxRows = ReadU16(in.data);
      out->maxColumns = ReadU16(in.data + 2);
      break;
    case Code("mxch"):
      for (size_t at = 0; at + 2 <= in.size; at += 2) out->maxChannels.push_back(ReadU16(in.data + at));
      break;
    default: break;
  }
  return PropertyListError::kNone;
}

PropertyListError Fail(PropertyListError error, size_t at, size_t* errorOffset) {
  if (errorOffset != nullptr) *errorOffset = at;
  return error;
}

}  // namespace

const char* PropertyListErrorText(PropertyListError error) {
  switch (error) {
    case PropertyListError::kNone: return "no error";
    case PropertyListError::kTruncatedHeader: return "truncated header";
    case PropertyListError::kBadSignature: return "bad signature";
    case PropertyListError::kBadVersion: return "unknown property list version";
    case PropertyListError::kTruncatedProperty: return "truncated property header";
    case PropertyListError::kDataPastEnd: return "property data runs past the end";
    case PropertyListError::kUnalignedLength: return "property length not a multiple of 4";
    case PropertyListError::kDataTooShort: return "property data too short for its key";
    case PropertyListError::kTextPastData: return "text runs past its property data";
    case PropertyListError::kMissingKind: return "no kind property";
    case PropertyListError::kMissingEntryPoint: return "no x86 entry point property";
    case PropertyListError::kNotElf: return "not an ELF file";
    case PropertyListError::kNotElf64LittleEndian: return "not a little-endian ELF64 file";
    case PropertyListError::kBadSectionTable: return "bad section table";
    case PropertyListError::kNoSuchSection: return "no such section";
    case PropertyListError::kSectionPastEnd: return "section lies outside the file";
    case PropertyListError::kCannotReadFile: return "cannot read file";
  }
  return "unknown error";
}

PropertyListError DecodePropertyList(const uint8_t* bytes, size_t size, PropertyList* out,
                                     size_t* errorOffset) {
  *out = PropertyList();
  if (size < kHeaderSize) return Fail(PropertyListError::kTruncatedHeader, 0, errorOffset);
  if (ReadU16(bytes + kSignatureOffset) != kSignature)
    return Fail(PropertyListError::kBadSignature, kSignatureOffset, errorOffset);
  if (ReadU32(bytes + kVersionOffset) != 0)
    return Fail(PropertyListError::kBadVersion, kVersionOffset, errorOffset);
  out->propertyCount = ReadU32(bytes + kCountOffset);
  size_t at = kHeaderSize;
  // Each property takes at least 16 bytes, so a huge count still ends soon.
  for (uint32_t i = 0; i < out->propertyCount; ++i) {
    if (size - at < kPropertyHeaderSize)
      return Fail(PropertyListError::kTruncatedProperty, at, errorOffset);
    const uint32_t length = ReadU32(bytes + at + kLengthOffset);
    if (length % 4 != 0) return Fail(PropertyListError::kUnalignedLength, at + kLengthOffset, errorOffset);
    if (length > size - at - kPropertyHeaderSize)
      return Fail(PropertyListError::kDataPastEnd, at + kLengthOffset, errorOffset);
    const Span data = {bytes + at + kPropertyHeaderSize, length};
    if (ReadU32(bytes + at + kVendorOffset) == Code("8BIM")) {
      const PropertyListError error = DecodeProperty(ReadU32(bytes + at + kKeyOffset), data, out);
      if (error != PropertyListError::kNone)
        return Fail(error, at + kPropertyHeaderSize, errorOffset);
    }
    at += kPropertyHeaderSize + length;
  }
  if (out->kind == 0) return Fail(PropertyListError::kMissingKind, at, errorOffset);
  if (out->entryPointX86.empty()) return Fail(PropertyListError::kMissingEntryPoint, at, errorOffset);
  return PropertyListError::kNone;
}

namespace {

// ELF64 file header and section header fields.
constexpr size_t kElfHeaderSize = 64;
constexpr size_t kElfClassOffset = 4;
constexpr size_t kElfDataOffset = 5;
constexpr uint8_t kElfClass64 = 2;
constexpr uint8_t kElfLittleEndian = 1;
constexpr size_t kSectionTableOffset = 0x28;
constexpr size_t kSectionEntrySizeOffset = 0x3A;
constexpr size_t kSectionCountOffset = 0x3C;
constexpr size_t kSectionNamesIndexOffset = 0x3E;
constexpr size_t kSectionHeaderSize = 64;
constexpr size_t kSectionNameOffset = 0;
constexpr size_t kSectionTypeOffset = 4;
constexpr size_t kSectionFileOffset = 0x18;
constexpr size_t kSectionSizeOffset = 0x20;
constexpr size_t kSectionLinkOffset = 0x28;
constexpr uint32_t kSectionNoBits = 8;
constexpr uint16_t kExtendedIndex = 0xFFFF;

struct ElfSections {
  const uint8_t* table;
  uint64_t count;
  size_t stride;
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

}  // namespace

PropertyListError FindElfSection(const uint8_t* file, size_t size, const char* name,
                                 size_t* offset, size_t* length) {
  if (size < kElfHeaderSize || std::memcmp(file, "\x7f" "ELF", 4) != 0)
    return PropertyListError::kNotElf;
  if (file[kElfClassOffset] != kElfClass64 || file[kElfDataOffset] != kElfLittleEndian)
    return PropertyListError::kNotElf64LittleEndian;
  const uint64_t tableOffset = ReadU64(file + kSectionTableOffset);
  ElfSections sections = {nullptr, ReadU16(file + kSectionCountOffset),
                          ReadU16(file + kSectionEntrySizeOffset)};
  if (tableOffset == 0 || tableOffset > size || sections.stride < kSectionHeaderSize ||
      size - tableOffset < kSectionHeaderSize)
    return PropertyListError::kBadSectionTable;
  sections.table = file + tableOffset;
  // With many sections the real count and names index sit in section 0.
  if (sections.count == 0) sections.count = ReadU64(sections.table + kSectionSizeOffset);
  uint64_t namesIndex = ReadU16(file + kSectionNamesIndexOffset);
  if (namesIndex == kExtendedIndex) namesIndex = ReadU32(sections.table + kSectionLinkOffset);
  if (sections.count > (size - tableOffset) / sections.stride || namesIndex >= sections.count)
    return PropertyListError::kBadSectionTable;
  size_t namesOffset = 0, namesSize = 0;
  if (!SectionBytes(sections.table + namesIndex * sections.stride, size, &namesOffset, &namesSize))
    return PropertyListError::kBadSectionTable;
  const size_t nameBytes = std::strlen(name) + 1;
  for (uint64_t i = 0; i < sections.count; ++i) {
    const uint8_t* header = sections.table + i * sections.stride;
    const uint32_t nameAt = ReadU32(header + kSectionNameOffset);
    if (nameAt >= namesSize || namesSize - nameAt < nameBytes ||
        std::memcmp(file + namesOffset + nameAt, name, nameBytes) != 0)
      continue;
    if (!SectionBytes(header, size, offset, length)) return PropertyListError::kSectionPastEnd;
    return PropertyListError::kNone;
  }
  return PropertyListError::kNoSuchSection;
}

PropertyListError ReadElfPropertyList(const char* path, std::vector<uint8_t>* bytes) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return PropertyListError::kCannotReadFile;
  std::vector<uint8_t> contents;
  uint8_t chunk[65536];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
    contents.insert(contents.end(), chunk, chunk + got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return PropertyListError::kCannotReadFile;
  size_t offset = 0, length = 0;
  const PropertyListError error =
      FindElfSection(contents.data(), contents.size(), ".zentrow_pipl", &offset, &length);
  if (error != PropertyListError::kNone) return error;
  bytes->assign(contents.begin() + std::ptrdiff_t(offset),
                contents.begin() + std::ptrdiff_t(offset + length));
  return PropertyListError::kNone;
}
