#include "plughost/host/property_list.h"

#include <cstring>

#include "interface/host_interface.h"
#include "plughost/files/little_endian.h"

namespace {

using plughost::ReadU16;
using plughost::ReadU32;

// The list header: a signature, a version and the property count. Each
// property header: vendor, key, an identifier the host does not read, and the
// length of the data that follows.
constexpr size_t kSignatureOffset = 0, kVersionOffset = 2, kCountOffset = 6;
constexpr size_t kHeaderSize = 10;
constexpr uint16_t kSignature = 1;
constexpr size_t kVendorOffset = 0, kKeyOffset = 4, kLengthOffset = 12;
constexpr size_t kPropertyHeaderSize = 16;

// "hstm" data: version, class, event, resource id, then the scope text.
constexpr size_t kTerminologyClassOffset = 4, kTerminologyEventOffset = 8;
constexpr size_t kTerminologyIdOffset = 12, kTerminologyScopeOffset = 14;

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

// Two bytes a mode, as many as the data holds.
void ReadChannelLimits(Span in, std::vector<uint16_t>* list) {
  for (size_t at = 0; at + 2 <= in.size; at += 2) list->push_back(ReadU16(in.data + at));
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

// The fewest data bytes a property of a fixed layout needs; 0 for the others,
// whose readers check their own lengths.
size_t FixedSize(uint32_t key) {
  switch (key) {
    case MakeFourCharCode("kind"):
    case MakeFourCharCode("vers"):
    case MakeFourCharCode("mxsz"): return 4;
    case MakeFourCharCode("fmTC"): return 8;
    case MakeFourCharCode("mode"): return 2;
    case MakeFourCharCode("fmtf"): return 1;
    default: return 0;
  }
}

PropertyListError DecodeProperty(uint32_t key, Span in, PropertyList* out) {
  if (in.size < FixedSize(key)) return PropertyListError::kDataTooShort;
  switch (key) {
    case MakeFourCharCode("kind"): out->kind = ReadU32(in.data); break;
    case MakeFourCharCode("name"): return ReadLengthPrefixed(in, &out->name);
    case MakeFourCharCode("vers"):
      out->interfaceMajor = uint16_t(ReadU32(in.data) >> 16);
      out->interfaceMinor = uint16_t(ReadU32(in.data) & 0xFFFFu);
      break;
    case MakeFourCharCode("wx86"): return ReadZeroTerminated(in, &out->entryPointX86);
    case MakeFourCharCode("8664"): return ReadZeroTerminated(in, &out->entryPointX64);
    case MakeFourCharCode("hstm"): return ReadTerminology(in, out);
    case MakeFourCharCode("mode"): out->modes = uint16_t((in.data[0] << 8) | in.data[1]); break;
    case MakeFourCharCode("enbl"): return ReadZeroTerminated(in, &out->enableExpression);
    case MakeFourCharCode("fmTC"):
      out->fileType = ReadU32(in.data);
      out->fileCreator = ReadU32(in.data + 4);
      break;
    case MakeFourCharCode("fftT"): return ReadFilterTypes(in, out);
    case MakeFourCharCode("RdEx"): ReadExtensions(in, &out->readExtensions); break;
    case MakeFourCharCode("WrEx"): ReadExtensions(in, &out->writeExtensions); break;
    case MakeFourCharCode("fftE"): ReadExtensions(in, &out->filterExtensions); break;
    case MakeFourCharCode("fmtf"): out->formatFlags = in.data[0]; break;
    case MakeFourCharCode("mxsz"):
      out->maxRows = ReadU16(in.data);
      out->maxColumns = ReadU16(in.data + 2);
      break;
    case MakeFourCharCode("mxch"): ReadChannelLimits(in, &out->maxChannels); break;
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
    if (length % 4 != 0)
      return Fail(PropertyListError::kUnalignedLength, at + kLengthOffset, errorOffset);
    if (length > size - at - kPropertyHeaderSize)
      return Fail(PropertyListError::kDataPastEnd, at + kLengthOffset, errorOffset);
    const Span data = {bytes + at + kPropertyHeaderSize, length};
    if (ReadU32(bytes + at + kVendorOffset) == MakeFourCharCode("8BIM")) {
      const PropertyListError error = DecodeProperty(ReadU32(bytes + at + kKeyOffset), data, out);
      if (error != PropertyListError::kNone)
        return Fail(error, at + kPropertyHeaderSize, errorOffset);
    }
    at += kPropertyHeaderSize + length;
  }
  if (out->kind == 0) return Fail(PropertyListError::kMissingKind, at, errorOffset);
  if (out->entryPointX86.empty() && out->entryPointX64.empty())
    return Fail(PropertyListError::kMissingEntryPoint, at, errorOffset);
  return PropertyListError::kNone;
}

std::string ExtensionText(const std::string& stored) {
  std::string text = stored;
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

const std::string& EntryPointName(const PropertyList& list) {
  return sizeof(void*) == 8 ? list.entryPointX64 : list.entryPointX86;
}
