// The host's decoder of a property list: the module's own list read back,
// every truncation and a table of garbled fields refused with the right
// error at the right offset, and the section search in ELF files.
#include "plughost/host/property_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plughost/host/elf_sections.h"
#include "resources/resource_bytes.h"

namespace {

constexpr uint32_t Code(const char (&chars)[5]) {
  return (uint32_t(uint8_t(chars[0])) << 24) | (uint32_t(uint8_t(chars[1])) << 16) |
         (uint32_t(uint8_t(chars[2])) << 8) | uint32_t(uint8_t(chars[3]));
}

std::vector<uint8_t> ModuleList() { return std::vector<uint8_t>(kPropertyList, kPropertyList + sizeof kPropertyList); }

void PutU16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
  bytes[at] = uint8_t(value);
  bytes[at + 1] = uint8_t(value >> 8);
}
void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  PutU16(bytes, at, uint16_t(value));
  PutU16(bytes, at + 2, uint16_t(value >> 16));
}
void PutU64(std::vector<uint8_t>& bytes, size_t at, uint64_t value) {
  PutU32(bytes, at, uint32_t(value));
  PutU32(bytes, at + 4, uint32_t(value >> 32));
}

// Where each property of the module's list starts, and its data length.
struct Placement {
  size_t start;
  uint32_t length;
};
const Placement kPlacements[] = {{10, 4},   {30, 8},   {54, 4},   {74, 12},  {102, 36},
                                 {154, 4},  {174, 8},  {198, 8},  {222, 8},  {246, 4},
                                 {266, 4},  {286, 4},  {306, 4},  {326, 4},  {346, 24}};

TEST(DecodePropertyList, ReadsTheModulesOwnList) {
  PropertyList list;
  size_t errorOffset = 12345;
  ASSERT_EQ(DecodePropertyList(kPropertyList, sizeof kPropertyList, &list, &errorOffset),
            PropertyListError::kNone);
  EXPECT_EQ(errorOffset, 12345u) << "untouched on success";
  EXPECT_EQ(list.propertyCount, 15u);
  EXPECT_EQ(list.kind, Code("8BIF"));
  EXPECT_EQ(list.name, "Morvid");
  EXPECT_EQ(list.interfaceMajor, 1);
  EXPECT_EQ(list.interfaceMinor, 0);
#if defined(ZENTROW_PIPL_X64)
  EXPECT_EQ(list.entryPointX64, "ENTRYPOINT");
  EXPECT_EQ(list.entryPointX86, "") << "the 64-bit module names no 32-bit entry";
#else
  EXPECT_EQ(list.entryPointX86, "ENTRYPOINT");
  EXPECT_EQ(list.entryPointX64, "");
#endif
  EXPECT_EQ(list.modes, 0xFFC0);
  EXPECT_EQ(list.enableExpression, "true");
  EXPECT_EQ(list.fileType, Code("8B1F"));
  EXPECT_EQ(list.fileCreator, Code("8BIM"));
  ASSERT_EQ(list.filterTypes.size(), 1u);
  EXPECT_EQ(list.filterTypes[0].fileType, Code("8B1F"));
  EXPECT_EQ(list.filterTypes[0].creator, Code("    "));
  EXPECT_EQ(list.readExtensions, std::vector<std::string>{"KCF "});
  EXPECT_EQ(list.writeExtensions, std::vector<std::string>{"KCF "});
  EXPECT_EQ(list.filterExtensions, std::vector<std::string>{"KCF "});
  EXPECT_EQ(list.formatFlags, 0x78);
  EXPECT_EQ(list.maxRows, 32767);
  EXPECT_EQ(list.maxColumns, 32767);
  std::vector<uint16_t> channels(12, 24);
  channels[0] = 1;
  EXPECT_EQ(list.maxChannels, channels);
  EXPECT_TRUE(list.hasTerminology);
  EXPECT_EQ(list.terminologyClass, Code("porP"));
  EXPECT_EQ(list.terminologyEvent, Code("null"));
  EXPECT_EQ(list.terminologyId, 16000);
  EXPECT_EQ(list.terminologyScope, "Brackenwold Morvid");
}

// Every shorter prefix is refused: inside the header, inside a property's
// header, or inside its data. The copy is exactly as long as the prefix so
// that a sanitizer build sees any read past it.
TEST(DecodePropertyList, RefusesEveryTruncation) {
  for (size_t size = 0; size < sizeof kPropertyList; ++size) {
    SCOPED_TRACE(size);
    const std::vector<uint8_t> prefix(kPropertyList, kPropertyList + size);
    PropertyListError expected = PropertyListError::kTruncatedHeader;
    size_t expectedOffset = 0;
    for (const Placement& p : kPlacements) {
      if (size < 10) break;
      if (size < p.start + 16) {
        expected = PropertyListError::kTruncatedProperty;
        expectedOffset = p.start;
        break;
      }
      if (size < p.start + 16 + p.length) {
        expected = PropertyListError::kDataPastEnd;
        expectedOffset = p.start + 12;
        break;
      }
    }
    PropertyList list;
    size_t errorOffset = 0;
    EXPECT_EQ(DecodePropertyList(prefix.data(), prefix.size(), &list, &errorOffset), expected);
    EXPECT_EQ(errorOffset, expectedOffset);
  }
}

struct Garble {
  const char* what;
  size_t at;
  int width;  // 1, 2 or 4 bytes, little-endian
  uint32_t value;
  PropertyListError error;
  size_t errorOffset;
};

const Garble kGarbles[] = {
    {"signature 2", 0, 2, 2, PropertyListError::kBadSignature, 0},
    {"version 1", 2, 4, 1, PropertyListError::kBadVersion, 2},
    {"one property more than there is", 6, 4, 16, PropertyListError::kTruncatedProperty, 386},
    {"huge property count", 6, 4, 0xFFFFFFFF, PropertyListError::kTruncatedProperty, 386},
    {"no properties", 6, 4, 0, PropertyListError::kMissingKind, 10},
    {"kind length not a multiple of 4", 22, 4, 5, PropertyListError::kUnalignedLength, 22},
    {"kind length past the end", 22, 4, 0x7FFFFFFC, PropertyListError::kDataPastEnd, 22},
    {"kind length that wraps around", 22, 4, 0xFFFFFFFC, PropertyListError::kDataPastEnd, 22},
    {"kind without data", 22, 4, 0, PropertyListError::kDataTooShort, 26},
    {"kind under another key", 14, 4, Code("kinx"), PropertyListError::kMissingKind, 386},
    {"kind of another vendor", 10, 4, Code("ABCD"), PropertyListError::kMissingKind, 386},
    {"name longer than its data", 46, 1, 8, PropertyListError::kTextPastData, 46},
    {"entry point of another vendor", 74, 4, Code("XYZW"), PropertyListError::kMissingEntryPoint, 386},
    {"entry point without its zero", 100, 2, 0x5858, PropertyListError::kTextPastData, 90},
    {"terminology too short", 114, 4, 12, PropertyListError::kDataTooShort, 118},
    {"terminology scope without its zero", 150, 4, 0x58585858, PropertyListError::kTextPastData, 118},
    {"enable expression without its zero", 194, 4, 0x58585858, PropertyListError::kTextPastData, 190},
    {"half a filter type", 234, 4, 4, PropertyListError::kDataTooShort, 238},
    {"type and creator too short", 210, 4, 4, PropertyListError::kDataTooShort, 214},
    {"largest size without data", 338, 4, 0, PropertyListError::kDataTooShort, 342},
};

TEST(DecodePropertyList, RefusesGarbledFields) {
  for (const Garble& g : kGarbles) {
    SCOPED_TRACE(g.what);
    std::vector<uint8_t> bytes = ModuleList();
    if (g.width == 1) bytes[g.at] = uint8_t(g.value);
    if (g.width == 2) PutU16(bytes, g.at, uint16_t(g.value));
    if (g.width == 4) PutU32(bytes, g.at, g.value);
    PropertyList list;
    size_t errorOffset = 0;
    EXPECT_EQ(DecodePropertyList(bytes.data(), bytes.size(), &list, &errorOffset), g.error);
    EXPECT_EQ(errorOffset, g.errorOffset);
  }
}

TEST(DecodePropertyList, PassesOverOtherVendorsAndUnknownKeys) {
  std::vector<uint8_t> bytes(kPropertyList, kPropertyList + 10);
  PutU32(bytes, 6, 17);
  const uint8_t foreign[] = {'D', 'C', 'B', 'A', 'd', 'n', 'i', 'k', 0, 0, 0, 0, 8, 0, 0, 0,
                             1, 2, 3, 4, 5, 6, 7, 8};
  const uint8_t unknown[] = {'M', 'I', 'B', '8', 'z', 'z', 'z', 'z', 0, 0, 0, 0, 4, 0, 0, 0, 9, 9, 9, 9};
  bytes.insert(bytes.end(), foreign, foreign + sizeof foreign);
  bytes.insert(bytes.end(), unknown, unknown + sizeof unknown);
  bytes.insert(bytes.end(), kPropertyList + 10, kPropertyList + sizeof kPropertyList);
  bytes.insert(bytes.end(), 8, 0xEE);  // trailing bytes after the last property
  PropertyList list;
  ASSERT_EQ(DecodePropertyList(bytes.data(), bytes.size(), &list), PropertyListError::kNone);
  EXPECT_EQ(list.kind, Code("8BIF"));
  EXPECT_EQ(list.name, "Morvid");
  EXPECT_EQ(list.maxChannels.size(), 12u);
}

TEST(DecodePropertyList, CollectsRepeatedExtensions) {
  std::vector<uint8_t> bytes = ModuleList();
  PutU32(bytes, 6, 16);
  const uint8_t more[] = {'M', 'I', 'B', '8', 'x', 'E', 'd', 'R', 0, 0, 0, 0, 8, 0, 0, 0,
                          'P', 'A', 'L', ' ', 'C', 'E', 'L', ' '};
  bytes.insert(bytes.end(), more, more + sizeof more);
  PropertyList list;
  ASSERT_EQ(DecodePropertyList(bytes.data(), bytes.size(), &list), PropertyListError::kNone);
  EXPECT_EQ(list.readExtensions, (std::vector<std::string>{"KCF ", "PAL ", "CEL "}));
}

TEST(PropertyListErrorText, NamesEveryErrorDifferently) {
  std::vector<std::string> seen;
  for (int e = int(PropertyListError::kNone); e <= int(PropertyListError::kCannotReadFile); ++e) {
    const std::string text = PropertyListErrorText(PropertyListError(e));
    EXPECT_NE(text, "unknown error") << e;
    for (const std::string& other : seen) EXPECT_NE(text, other) << e;
    seen.push_back(text);
  }
  EXPECT_STREQ(PropertyListErrorText(PropertyListError::kTruncatedHeader), "truncated header");
}

// A small ELF64 file: header, section names, section data, section table.
struct Section {
  std::string name;
  uint32_t type;
  std::vector<uint8_t> data;
};

constexpr uint32_t kProgBits = 1;
constexpr uint32_t kStringTableType = 3;
constexpr uint32_t kNoBits = 8;

std::vector<uint8_t> MakeElf(const std::vector<Section>& sections) {
  std::vector<uint8_t> names(1, 0);
  std::vector<uint32_t> nameAt;
  for (const Section& s : sections) {
    nameAt.push_back(uint32_t(names.size()));
    names.insert(names.end(), s.name.begin(), s.name.end());
    names.push_back(0);
  }
  nameAt.push_back(uint32_t(names.size()));
  const std::string shstrtab = ".shstrtab";
  names.insert(names.end(), shstrtab.begin(), shstrtab.end());
  names.push_back(0);

  std::vector<uint8_t> file(64, 0);
  const uint8_t ident[] = {0x7F, 'E', 'L', 'F', 2, 1, 1};
  std::memcpy(file.data(), ident, sizeof ident);
  std::vector<size_t> dataAt;
  for (const Section& s : sections) {
    dataAt.push_back(file.size());
    file.insert(file.end(), s.data.begin(), s.data.end());
  }
  const size_t namesAt = file.size();
  file.insert(file.end(), names.begin(), names.end());
  while (file.size() % 8 != 0) file.push_back(0);
  const size_t tableAt = file.size();
  const uint16_t count = uint16_t(sections.size() + 2);
  file.resize(tableAt + 64u * count, 0);  // section 0 stays empty
  for (size_t i = 0; i <= sections.size(); ++i) {
    const size_t header = tableAt + 64 * (i + 1);
    const bool isNames = i == sections.size();
    PutU32(file, header + 0, nameAt[i]);
    PutU32(file, header + 4, isNames ? kStringTableType : sections[i].type);
    PutU64(file, header + 0x18, isNames ? namesAt : dataAt[i]);
    PutU64(file, header + 0x20, isNames ? names.size() : sections[i].data.size());
  }
  PutU64(file, 0x28, tableAt);
  PutU16(file, 0x3A, 64);
  PutU16(file, 0x3C, count);
  PutU16(file, 0x3E, uint16_t(count - 1));
  return file;
}

std::vector<uint8_t> ElfWithPropertyList() {
  return MakeElf({{".text", kProgBits, {0xC3}},
                  {".zentrow_pipl_not", kProgBits, {1, 2, 3}},
                  {".zentrow_pipl", kProgBits, ModuleList()},
                  {".zentrow_aete", kProgBits, {4, 5}}});
}

size_t TableAt(const std::vector<uint8_t>& elf) {
  size_t at = 0;
  for (int i = 7; i >= 0; --i) at = (at << 8) | elf[0x28 + size_t(i)];
  return at;
}

TEST(FindElfSection, FindsTheSectionByItsFullName) {
  const std::vector<uint8_t> elf = ElfWithPropertyList();
  size_t offset = 0, length = 0;
  ASSERT_EQ(FindElfSection(elf.data(), elf.size(), ".zentrow_pipl", &offset, &length),
            PropertyListError::kNone);
  ASSERT_EQ(length, sizeof kPropertyList);
  EXPECT_EQ(std::memcmp(elf.data() + offset, kPropertyList, length), 0);
  ASSERT_EQ(FindElfSection(elf.data(), elf.size(), ".zentrow_aete", &offset, &length),
            PropertyListError::kNone);
  EXPECT_EQ(length, 2u);
  EXPECT_EQ(FindElfSection(elf.data(), elf.size(), ".zentrow", &offset, &length),
            PropertyListError::kNoSuchSection);
}

struct ElfGarble {
  const char* what;
  size_t at;       // from the start of the file, or of the section table when inTable
  bool inTable;
  int width;
  uint64_t value;
  PropertyListError error;
};

// Section 3 is ".zentrow_pipl", section 5 the section names.
const ElfGarble kElfGarbles[] = {
    {"bad magic", 1, false, 1, 'X', PropertyListError::kNotElf},
    {"32-bit class", 4, false, 1, 1, PropertyListError::kNotElf64LittleEndian},
    {"big-endian", 5, false, 1, 2, PropertyListError::kNotElf64LittleEndian},
    {"no section table", 0x28, false, 8, 0, PropertyListError::kBadSectionTable},
    {"section table past the end", 0x28, false, 8, 0xFFFFFFFFFFFF0000u, PropertyListError::kBadSectionTable},
    {"section entries too small", 0x3A, false, 2, 32, PropertyListError::kBadSectionTable},
    {"more sections than fit", 0x3C, false, 2, 0xFFFE, PropertyListError::kBadSectionTable},
    {"names index out of range", 0x3E, false, 2, 6, PropertyListError::kBadSectionTable},
    {"names section past the end", 5 * 64 + 0x20, true, 8, 0x7FFFFFFF, PropertyListError::kBadSectionTable},
    {"names section without bytes", 5 * 64 + 4, true, 4, kNoBits, PropertyListError::kBadSectionTable},
    {"name offset past the names", 3 * 64, true, 4, 0x10000, PropertyListError::kNoSuchSection},
    {"section data past the end", 3 * 64 + 0x20, true, 8, 0x100000, PropertyListError::kSectionPastEnd},
    {"section offset that wraps", 3 * 64 + 0x18, true, 8, 0xFFFFFFFFFFFFFFF0u, PropertyListError::kSectionPastEnd},
    {"section without bytes", 3 * 64 + 4, true, 4, kNoBits, PropertyListError::kSectionPastEnd},
};

TEST(FindElfSection, RefusesGarbledFiles) {
  for (const ElfGarble& g : kElfGarbles) {
    SCOPED_TRACE(g.what);
    std::vector<uint8_t> elf = ElfWithPropertyList();
    const size_t at = g.at + (g.inTable ? TableAt(elf) : 0);
    if (g.width == 1) elf[at] = uint8_t(g.value);
    if (g.width == 2) PutU16(elf, at, uint16_t(g.value));
    if (g.width == 4) PutU32(elf, at, uint32_t(g.value));
    if (g.width == 8) PutU64(elf, at, g.value);
    size_t offset = 0, length = 0;
    EXPECT_EQ(FindElfSection(elf.data(), elf.size(), ".zentrow_pipl", &offset, &length), g.error);
  }
}

TEST(FindElfSection, TakesTheExtendedCountAndNamesIndexFromSectionZero) {
  std::vector<uint8_t> elf = ElfWithPropertyList();
  const size_t table = TableAt(elf);
  PutU16(elf, 0x3C, 0);
  PutU64(elf, table + 0x20, 6);
  PutU16(elf, 0x3E, 0xFFFF);
  PutU32(elf, table + 0x28, 5);
  size_t offset = 0, length = 0;
  ASSERT_EQ(FindElfSection(elf.data(), elf.size(), ".zentrow_pipl", &offset, &length),
            PropertyListError::kNone);
  EXPECT_EQ(length, sizeof kPropertyList);

  PutU64(elf, table + 0x20, 1000);
  EXPECT_EQ(FindElfSection(elf.data(), elf.size(), ".zentrow_pipl", &offset, &length),
            PropertyListError::kBadSectionTable)
      << "an extended count larger than the table";
}

TEST(FindElfSection, NeverReadsPastATruncatedFile) {
  const std::vector<uint8_t> elf = ElfWithPropertyList();
  for (size_t size = 0; size < elf.size(); ++size) {
    SCOPED_TRACE(size);
    const std::vector<uint8_t> prefix(elf.begin(), elf.begin() + std::ptrdiff_t(size));
    size_t offset = 0, length = 0;
    EXPECT_NE(FindElfSection(prefix.data(), prefix.size(), ".zentrow_pipl", &offset, &length),
              PropertyListError::kNone);
  }
}

TEST(ReadElfPropertyList, ReportsAFileThatCannotBeRead) {
  std::vector<uint8_t> bytes;
  EXPECT_EQ(ReadElfPropertyList("/nonexistent/zentrow/libzentrow.so", &bytes),
            PropertyListError::kCannotReadFile);
}

#if defined(ZENTROW_ELF_LIBRARIES)
// Native libraries carrying the resources: a probe linked with section
// garbage collection, and the module itself when it is built.
TEST(ReadElfPropertyList, FindsThePropertyListInTheNativeLibraries) {
  for (const char* path : {ZENTROW_ELF_LIBRARIES}) {
    SCOPED_TRACE(path);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(ReadElfPropertyList(path, &bytes), PropertyListError::kNone);
    EXPECT_EQ(bytes, ModuleList());
    PropertyList list;
    EXPECT_EQ(DecodePropertyList(bytes.data(), bytes.size(), &list), PropertyListError::kNone);
    EXPECT_EQ(list.entryPointX86, "ENTRYPOINT");
  }
}
#endif

}  // namespace
