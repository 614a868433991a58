// The host's reading of a module's property list ("PIPL"): which kind of
// module it is, its name, the entry point to call and the files it handles.
//
// The bytes come from the module file. For the DLL the host asks Windows:
// FindResourceA(module, MAKEINTRESOURCEA(16000), "PIPL"), LoadResource,
// LockResource and SizeofResource give them without running any module code.
// The native library carries the same bytes in its ELF section
// ".zentrow_pipl" (elf_sections.h). Getting the bytes is module loading's
// part; this file only decodes them.
//
// Every read is checked against the size given; nothing here trusts a length
// or an offset taken from the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class PropertyListError {
  kNone,
  kTruncatedHeader,
  kBadSignature,
  kBadVersion,
  kTruncatedProperty,
  kDataPastEnd,
  kUnalignedLength,
  kDataTooShort,
  kTextPastData,
  kMissingKind,
  kMissingEntryPoint,
  // Finding the bytes in a native library's file (elf_sections.h).
  kNotElf,
  kNotElf64LittleEndian,
  kBadSectionTable,
  kNoSuchSection,
  kSectionPastEnd,
  kCannotReadFile,
};

// "truncated header", "no such section" ... for messages and tests.
const char* PropertyListErrorText(PropertyListError error);

struct FilterType {
  uint32_t fileType = 0;
  uint32_t creator = 0;
};

// Four-character codes are numbers with the first character in the top byte,
// as the host interface writes them ("8BIF" is 0x38424946).
struct PropertyList;
// The entry point's name for a module of this program's own width: "8664"
// in a 64-bit build, "wx86" otherwise; empty when the list names none.
const std::string& EntryPointName(const PropertyList& list);
// An extension as the list stores it, four characters padded with spaces
// or zeros ("KCF "), without its padding ("KCF").
std::string ExtensionText(const std::string& stored);

struct PropertyList {
  uint32_t kind = 0;                     // "kind": "8BIF" for a file-format module
  std::string name;                      // "name"
  uint16_t interfaceMajor = 0;           // "vers", high half
  uint16_t interfaceMinor = 0;           // "vers", low half
  std::string entryPointX86;             // "wx86": name of the exported entry
  std::string entryPointX64;             // "8664": the same for a 64-bit module
  uint16_t modes = 0;                    // "mode": first mode in the top bit
  std::string enableExpression;          // "enbl"
  uint32_t fileType = 0;                 // "fmTC"
  uint32_t fileCreator = 0;              // "fmTC"
  std::vector<FilterType> filterTypes;   // "fftT", in order
  std::vector<std::string> readExtensions;    // "RdEx", four characters each
  std::vector<std::string> writeExtensions;   // "WrEx"
  std::vector<std::string> filterExtensions;  // "fftE"
  uint8_t formatFlags = 0;               // "fmtf", first byte
  uint16_t maxRows = 0;                  // "mxsz"
  uint16_t maxColumns = 0;               // "mxsz"
  std::vector<uint16_t> maxChannels;     // "mxch", one per mode in host order
  bool hasTerminology = false;           // "hstm" present
  uint32_t terminologyClass = 0;         // "hstm"
  uint32_t terminologyEvent = 0;         // "hstm"
  uint16_t terminologyId = 0;            // "hstm": the "AETE" resource
  std::string terminologyScope;          // "hstm"
  uint32_t propertyCount = 0;            // header count, all vendors and keys
};

// Decodes `size` bytes into `out`. Properties of other vendors and unknown
// keys are passed over; bytes after the last property are ignored. On an
// error, `errorOffset` (when not null) gets the offset where decoding stopped
// and `out` holds what was read before it.
PropertyListError DecodePropertyList(const uint8_t* bytes, size_t size, PropertyList* out,
                                     size_t* errorOffset = nullptr);
