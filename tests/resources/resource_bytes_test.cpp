// The property list, terminology and string table as compiled into the
// library, checked field by field against the layout the host expects.
#include "resources/resource_bytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "resources/copyright.h"
#include "tests/resources/byte_reader.h"

namespace {

// Expected property data, written the way the layout describes each field.
class Data {
 public:
  Data& Code(const char* code) {
    for (int i = 3; i >= 0; --i) bytes.push_back(uint8_t(code[i]));
    return *this;
  }
  Data& Chars(const char* text) {
    bytes.insert(bytes.end(), text, text + std::strlen(text));
    return *this;
  }
  Data& LengthPrefixed(const char* text) {
    bytes.push_back(uint8_t(std::strlen(text)));
    return Chars(text);
  }
  Data& ZeroTerminated(const char* text) { return Chars(text).Zeros(1); }
  Data& U16(uint16_t value) { return Raw({uint8_t(value), uint8_t(value >> 8)}); }
  Data& U32(uint32_t value) { return U16(uint16_t(value)).U16(uint16_t(value >> 16)); }
  Data& Zeros(size_t count) {
    bytes.insert(bytes.end(), count, 0);
    return *this;
  }
  Data& Raw(std::initializer_list<uint8_t> list) {
    bytes.insert(bytes.end(), list);
    return *this;
  }
  std::vector<uint8_t> bytes;
};

struct PropertyCase {
  const char* key;
  uint32_t length;
  std::vector<uint8_t> data;
};

std::vector<PropertyCase> ExpectedProperties() {
  std::vector<uint8_t> channels = Data().U16(1).bytes;
  for (int i = 0; i < 11; ++i) channels.push_back(24), channels.push_back(0);
  return {
      {"kind", 4, Data().Code("8BIF").bytes},
      {"name", 8, Data().LengthPrefixed("Morvid").Zeros(1).bytes},
      {"vers", 4, Data().Raw({0x00, 0x00, 0x01, 0x00}).bytes},
#if defined(ZENTROW_PIPL_X64)
      {"8664", 12, Data().ZeroTerminated("ENTRYPOINT").Zeros(1).bytes},
#else
      {"wx86", 12, Data().ZeroTerminated("ENTRYPOINT").Zeros(1).bytes},
#endif
      {"hstm", 36,
       Data().U32(0).Code("porP").Code("null").U16(16000).ZeroTerminated("Brackenwold Morvid").Zeros(3).bytes},
      {"mode", 4, Data().Raw({0xFF, 0xC0, 0x00, 0x00}).bytes},
      {"enbl", 8, Data().ZeroTerminated("true").Zeros(3).bytes},
      {"fmTC", 8, Data().Code("8B1F").Code("8BIM").bytes},
      {"fftT", 8, Data().Code("8B1F").Chars("    ").bytes},
      {"RdEx", 4, Data().Raw({'K', 'C', 'F', ' '}).bytes},
      {"WrEx", 4, Data().Raw({'K', 'C', 'F', ' '}).bytes},
      {"fftE", 4, Data().Raw({'K', 'C', 'F', ' '}).bytes},
      {"fmtf", 4, Data().Raw({0x78, 0x00, 0x00, 0x00}).bytes},
      {"mxsz", 4, Data().U16(32767).U16(32767).bytes},
      {"mxch", 24, channels},
  };
}

TEST(PropertyList, IsExactly386Bytes) { EXPECT_EQ(sizeof kPropertyList, 386u); }

TEST(PropertyList, HeaderIsSignatureVersionAndCount) {
  ByteReader in(kPropertyList, sizeof kPropertyList);
  EXPECT_EQ(in.U16(), 1);
  EXPECT_EQ(in.U32(), 0u);
  EXPECT_EQ(in.U32(), 15u);
}

TEST(PropertyList, CodesStandReversedInTheFile) {
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(kPropertyList) + 10, 8), "MIB8dnik");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(kPropertyList) + 26, 4), "FIB8");
}

TEST(PropertyList, HoldsTheFifteenPropertiesInOrder) {
  const std::vector<PropertyCase> expected = ExpectedProperties();
  ByteReader in(kPropertyList, sizeof kPropertyList);
  in.Chars(10);
  for (const PropertyCase& property : expected) {
    SCOPED_TRACE(property.key);
    ASSERT_EQ(property.data.size(), property.length) << "expected data of the test itself";
    EXPECT_EQ(in.Code(), "8BIM");
    EXPECT_EQ(in.Code(), property.key);
    EXPECT_EQ(in.U32(), 0u) << "identifier";
    const uint32_t length = in.U32();
    EXPECT_EQ(length, property.length);
    EXPECT_EQ(length % 4, 0u);
    const size_t start = in.offset();
    const std::string data = in.Chars(length);
    EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.end()), property.data) << "data at offset " << start;
  }
  EXPECT_EQ(in.remaining(), 0u);
}

TEST(PropertyList, ExtensionPropertiesHoldKcfSpaceUnreversed) {
  // Offsets of the "RdEx", "WrEx" and "fftE" data, from the table of lengths.
  for (size_t offset : {262u, 282u, 302u}) {
    SCOPED_TRACE(offset);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(kPropertyList) + offset, 4), "KCF ");
  }
}

TEST(Terminology, IsExactly212Bytes) { EXPECT_EQ(sizeof kTerminology, 212u); }

struct ClassProperty {
  const char* name;
  const char* code;
  const char* type;
  const char* description;
};

TEST(Terminology, FieldsFollowOneAnotherInOrder) {
  ByteReader in(kTerminology, sizeof kTerminology);
  EXPECT_EQ(in.U16(), 1);
  EXPECT_EQ(in.Byte(), 1) << "major version";
  EXPECT_EQ(in.Byte(), 0) << "minor version";
  EXPECT_EQ(in.U16(), 0) << "language";
  EXPECT_EQ(in.U16(), 0) << "script";
  EXPECT_EQ(in.U16(), 1) << "suite count";

  EXPECT_EQ(in.LengthPrefixed(), "Brackenwold");
  EXPECT_EQ(in.LengthPrefixed(), "Zentrow format plug-in");
  EXPECT_EQ(in.Code(), "sdK4");
  EXPECT_EQ(in.U16(), 1) << "suite level";
  EXPECT_EQ(in.U16(), 1) << "suite version";
  EXPECT_EQ(in.U16(), 0) << "event count";
  EXPECT_EQ(in.U16(), 1) << "class count";

  EXPECT_EQ(in.LengthPrefixed(), "Brackenwold simpleFormat");
  EXPECT_EQ(in.Chars(4), "Prop") << "class code porP, stored as in the property list";
  EXPECT_EQ(in.LengthPrefixed(), "KiSS palette file format module");
  EXPECT_EQ(in.U16(), 3) << "property count";
  const ClassProperty properties[] = {
      {"<Inheritance>", "c@#^", "Fmt ", "parent class format"},
      {"foo", "fooB", "bool", "foobar"},
      {"bar", "barF", "bool", "foobar"},
  };
  for (const ClassProperty& property : properties) {
    SCOPED_TRACE(property.name);
    EXPECT_EQ(in.LengthPrefixed(), property.name);
    EXPECT_EQ(in.Code(), property.code);
    EXPECT_EQ(in.Code(), property.type);
    EXPECT_EQ(in.LengthPrefixed(), property.description);
    EXPECT_EQ(in.Byte(), 0x00) << "flags, first byte";
    EXPECT_EQ(in.Byte(), 0x10) << "flags, second byte";
  }
  EXPECT_EQ(in.U16(), 0) << "element count";
  EXPECT_EQ(in.U16(), 0) << "comparison operator count";
  EXPECT_EQ(in.U16(), 0) << "enumeration count";
  EXPECT_EQ(in.remaining(), 0u);
}

const StringEntry* FindString(uint16_t id) {
  for (int i = 0; i < kStringTableSize; ++i)
    if (kStringTable[i].id == id) return &kStringTable[i];
  return nullptr;
}

TEST(StringTable, HasNo16001SoTheAboutBoxHasNoTitle) { EXPECT_EQ(FindString(16001), nullptr); }

TEST(StringTable, HoldsTheEightTextsInAscendingOrder) {
  const uint16_t ids[] = {16000, 16002, 16989, 16990, 16991, 16992, 16993, 16994};
  ASSERT_EQ(kStringTableSize, 8);
  for (int i = 0; i < kStringTableSize; ++i) EXPECT_EQ(kStringTable[i].id, ids[i]);
}

struct StringCase {
  uint16_t id;
  const char* text;
};

TEST(StringTable, TextsTheModuleReads) {
  const StringCase cases[] = {
      {16989, "Morvid: ref num=^0."},
      {16992, "This plug-in requires Vellory Imaging\xAE ^1 or later functionality."},
      {16993, "This plug-in is incompatible with this version of the host program."},
      {16994, "the required suite \\'^0\\' is unavailable"},
      {16990, "An integer is required between ^1 and ^2."},
      {16991, "A decimal number is required between ^1 and ^2."},
  };
  for (const StringCase& c : cases) {
    SCOPED_TRACE(c.id);
    const StringEntry* entry = FindString(c.id);
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->text, c.text);
  }
}

TEST(StringTable, AboutTextIsSevenLinesWithTheCopyrightNotice) {
  const StringEntry* entry = FindString(16000);
  ASSERT_NE(entry, nullptr);
  const std::string text = entry->text;
  EXPECT_EQ(text, std::string("Morvid\n\nVersion 5.0 Release 1 (4/1998)\n") + ZENTROW_COPYRIGHT +
                      "\n\n\nAn plug-in file format module for Vellory Imaging\xAE.");
  EXPECT_NE(text.find(ZENTROW_COPYRIGHT), std::string::npos);
}

TEST(StringTable, OneLineTextWritesLineBreaksAsBackslashN) {
  const StringEntry* entry = FindString(16002);
  ASSERT_NE(entry, nullptr);
  const std::string text = entry->text;
  EXPECT_EQ(text.find('\n'), std::string::npos);
  EXPECT_EQ(text.substr(0, 10), "Morvid\\n\\n");
  EXPECT_NE(text.find(ZENTROW_COPYRIGHT), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 8), "\\n\\n\\n\\n");
}

}  // namespace
