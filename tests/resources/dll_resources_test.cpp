// The resources and exports of the built Zentrow.8bi, read the way a host
// and Windows read them: LoadLibrary, the export directory, FindResourceEx,
// LoadStringA and the version API. Runs under wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "plughost/host/module_file.h"
#include "plughost/host/property_list.h"
#include "resources/copyright.h"
#include "resources/resource_bytes.h"
#include "tests/resources/byte_reader.h"

namespace {

constexpr WORD kUsEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// ZENTROW_DLL_PATH is the DLL's path in the build tree; wine shows the Unix
// root as drive Z:.
std::string DllPath() {
  std::string path = std::string("Z:") + ZENTROW_DLL_PATH;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

class Dll : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { module_ = LoadLibraryA(DllPath().c_str()); }
  static void TearDownTestSuite() {
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
  }
  void SetUp() override { ASSERT_NE(module_, nullptr) << "LoadLibrary " << DllPath() << ": " << GetLastError(); }

  // The bytes of a US English resource, empty when there is none.
  static std::vector<uint8_t> Resource(LPCSTR type, WORD id) {
    HRSRC found = FindResourceExA(module_, type, MAKEINTRESOURCEA(id), kUsEnglish);
    if (found == nullptr) return {};
    HGLOBAL loaded = LoadResource(module_, found);
    const auto* bytes = static_cast<const uint8_t*>(LockResource(loaded));
    if (bytes == nullptr) return {};
    return std::vector<uint8_t>(bytes, bytes + SizeofResource(module_, found));
  }

  static std::string String(UINT id) {
    char buffer[512] = {};
    const int length = LoadStringA(module_, id, buffer, sizeof buffer);
    return std::string(buffer, size_t(length));
  }

  static HMODULE module_;
};

HMODULE Dll::module_ = nullptr;

TEST_F(Dll, ExportsEntryPointByNameAndAsOrdinalOne) {
  FARPROC byName = GetProcAddress(module_, "ENTRYPOINT");
  ASSERT_NE(byName, nullptr);
  EXPECT_EQ(GetProcAddress(module_, MAKEINTRESOURCEA(1)), byName);
  EXPECT_EQ(GetProcAddress(module_, MAKEINTRESOURCEA(2)), nullptr);
}

TEST_F(Dll, ExportTableNamesTheModuleAndItsOneEntry) {
  const auto* base = reinterpret_cast<const uint8_t*>(module_);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  ASSERT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
#if defined(_WIN64)
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
#else
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
#endif
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  ASSERT_NE(directory.VirtualAddress, 0u);
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
  EXPECT_STREQ(reinterpret_cast<const char*>(base + exports->Name), "Zentrow.8bi");
  EXPECT_EQ(exports->Base, 1u);
  ASSERT_EQ(exports->NumberOfFunctions, 1u);
  ASSERT_EQ(exports->NumberOfNames, 1u);
  const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  const auto* ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
  const auto* functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
  EXPECT_STREQ(reinterpret_cast<const char*>(base + names[0]), "ENTRYPOINT");
  EXPECT_EQ(ordinals[0], 0);
  EXPECT_EQ(reinterpret_cast<FARPROC>(const_cast<uint8_t*>(base + functions[0])),
            GetProcAddress(module_, "ENTRYPOINT"));
}

TEST_F(Dll, PropertyListResourceIsTheCompiledList) {
  const std::vector<uint8_t> bytes = Resource("PIPL", 16000);
  ASSERT_EQ(bytes.size(), 386u);
  EXPECT_EQ(bytes, std::vector<uint8_t>(kPropertyList, kPropertyList + sizeof kPropertyList));
}

// The host reads the property list from the file's own bytes, so that the
// Linux build can inspect the DLL too: the same bytes Windows finds, and
// never a byte past the end of a file cut anywhere.
TEST_F(Dll, TheHostsResourceReaderFindsWhatWindowsFinds) {
  std::ifstream in(DllPath(), std::ios::binary);
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
  ASSERT_GT(file.size(), 4096u);
  for (const char* type : {"PIPL", "AETE"}) {
    size_t offset = 0, length = 0;
    ASSERT_TRUE(plughost::FindPeResource(file, type, &offset, &length)) << type;
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + std::ptrdiff_t(offset),
                                   file.begin() + std::ptrdiff_t(offset + length)),
              Resource(type, 16000)) << type;
  }
  size_t offset = 0, length = 0;
  EXPECT_FALSE(plughost::FindPeResource(file, "NONE", &offset, &length));
  for (size_t cut = 0; cut < file.size(); cut += 61) {
    const std::vector<uint8_t> prefix(file.begin(), file.begin() + std::ptrdiff_t(cut));
    if (plughost::FindPeResource(prefix, "PIPL", &offset, &length)) {
      EXPECT_LE(offset + length, cut);
    }
    // The sections' bytes run past the middle of the file.
    if (cut < file.size() / 2) {
      EXPECT_FALSE(plughost::UnloadableReason(prefix).empty()) << "a DLL cut at " << cut;
    }
  }
}

TEST_F(Dll, TerminologyResourceIsTheCompiledTerminology) {
  const std::vector<uint8_t> bytes = Resource("AETE", 16000);
  ASSERT_EQ(bytes.size(), 212u);
  EXPECT_EQ(bytes, std::vector<uint8_t>(kTerminology, kTerminology + sizeof kTerminology));
}

// What a host does: read the list, then call the entry point it names.
TEST_F(Dll, HostFindsTheEntryPointThroughThePropertyList) {
  const std::vector<uint8_t> bytes = Resource("PIPL", 16000);
  PropertyList list;
  ASSERT_EQ(DecodePropertyList(bytes.data(), bytes.size(), &list), PropertyListError::kNone);
  EXPECT_EQ(list.readExtensions, std::vector<std::string>{"KCF "});
  ASSERT_FALSE(EntryPointName(list).empty()) << "named under this build's own key";
  EXPECT_NE(GetProcAddress(module_, EntryPointName(list).c_str()), nullptr);
  EXPECT_FALSE(Resource("AETE", list.terminologyId).empty());
}

// Resources are listed by type and name ("#16000" for numbers) with their
// language.
struct Listing {
  std::set<std::pair<std::string, std::string>> resources;
  std::set<WORD> languages;
};

std::string ResourceName(LPCSTR name) {
  if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<uintptr_t>(name));
  return name;
}

BOOL CALLBACK OnLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR listing) {
  reinterpret_cast<Listing*>(listing)->languages.insert(language);
  return TRUE;
}

BOOL CALLBACK OnName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR listing) {
  reinterpret_cast<Listing*>(listing)->resources.insert({ResourceName(type), ResourceName(name)});
  EnumResourceLanguagesA(module, type, name, OnLanguage, listing);
  return TRUE;
}

BOOL CALLBACK OnType(HMODULE module, LPSTR type, LONG_PTR listing) {
  EnumResourceNamesA(module, type, OnName, listing);
  return TRUE;
}

TEST_F(Dll, CarriesExactlyItsResourcesAllInUsEnglish) {
  Listing listing;
  EnumResourceTypesA(module_, OnType, reinterpret_cast<LONG_PTR>(&listing));
  const std::set<std::pair<std::string, std::string>> expected = {
      {"AETE", "#16000"}, {"PIPL", "#16000"}, {"#5", "#16000"},  // dialog
      {"#6", "#1001"},    {"#6", "#1062"},    {"#6", "#1063"},   // string blocks
      {"#16", "#1"},                                              // version
  };
  EXPECT_EQ(listing.resources, expected);
  EXPECT_EQ(listing.languages, std::set<WORD>{kUsEnglish});
}

TEST_F(Dll, StringBlocksHaveTheirSizes) {
  EXPECT_EQ(Resource(RT_STRING, 1001).size(), 700u);
  EXPECT_EQ(Resource(RT_STRING, 1062).size(), 246u);
  EXPECT_EQ(Resource(RT_STRING, 1063).size(), 376u);
}

TEST_F(Dll, LoadStringAGivesTheTextsTheModuleReads) {
  ASSERT_EQ(GetACP(), 1252u) << "the texts are in code page 1252";
  EXPECT_EQ(String(16989), "Morvid: ref num=^0.");
  EXPECT_EQ(String(16992), "This plug-in requires Vellory Imaging\xAE ^1 or later functionality.");
  EXPECT_EQ(String(16993), "This plug-in is incompatible with this version of the host program.");
  EXPECT_EQ(String(16994), "the required suite \\'^0\\' is unavailable");
  char buffer[16] = {'x'};
  EXPECT_EQ(LoadStringA(module_, 16001, buffer, sizeof buffer), 0) << "no string 16001";
}

TEST_F(Dll, LoadStringAMatchesTheNativeTable) {
  for (int i = 0; i < kStringTableSize; ++i) {
    SCOPED_TRACE(kStringTable[i].id);
    EXPECT_EQ(String(kStringTable[i].id), kStringTable[i].text);
  }
  EXPECT_NE(String(16000).find(ZENTROW_COPYRIGHT), std::string::npos);
}

// A dialog template or version node holds UTF-16 texts; ours are ASCII.
std::string Wide(ByteReader& in) {
  std::string text;
  for (uint16_t c = in.U16(); c != 0; c = in.U16()) text += char(c);
  return text;
}

void Align4(ByteReader& in) {
  while (in.offset() % 4 != 0) in.Byte();
}

struct DialogItem {
  uint32_t style;
  int16_t x, y, cx, cy;
  uint16_t id;
  const char* title;
};

TEST_F(Dll, DialogTemplateIsTheKissPaletteBox) {
  const std::vector<uint8_t> bytes = Resource(RT_DIALOG, 16000);
  ASSERT_EQ(bytes.size(), 132u);
  ByteReader in(bytes.data(), bytes.size());
  EXPECT_EQ(in.U32(), 0x80C000C4u) << "pop-up, caption, modal frame, own font, 3D look";
  EXPECT_EQ(in.U32(), 0u) << "extended style";
  EXPECT_EQ(in.U16(), 2) << "items";
  EXPECT_EQ(in.U16(), 0);
  EXPECT_EQ(in.U16(), 0);
  EXPECT_EQ(in.U16(), 159);
  EXPECT_EQ(in.U16(), 93);
  EXPECT_EQ(in.U16(), 0) << "no menu";
  EXPECT_EQ(in.U16(), 0) << "standard class";
  EXPECT_EQ(Wide(in), "KiSS Palette");
  EXPECT_EQ(in.U16(), 8) << "points";
  EXPECT_EQ(Wide(in), "Helv");
  const DWORD button = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
  const DialogItem items[] = {
      {button | BS_DEFPUSHBUTTON, 104, 3, 50, 14, IDOK, "&OK"},
      {button | BS_PUSHBUTTON, 104, 20, 50, 14, IDCANCEL, "&Cancel"},
  };
  for (const DialogItem& item : items) {
    SCOPED_TRACE(item.title);
    Align4(in);
    EXPECT_EQ(in.U32(), item.style);
    EXPECT_EQ(in.U32(), 0u) << "extended style";
    EXPECT_EQ(int16_t(in.U16()), item.x);
    EXPECT_EQ(int16_t(in.U16()), item.y);
    EXPECT_EQ(int16_t(in.U16()), item.cx);
    EXPECT_EQ(int16_t(in.U16()), item.cy);
    EXPECT_EQ(in.U16(), item.id);
    EXPECT_EQ(in.U16(), 0xFFFF);
    EXPECT_EQ(in.U16(), 0x0080) << "button class";
    EXPECT_EQ(Wide(in), item.title);
    EXPECT_EQ(in.U16(), 0) << "no creation data";
  }
  EXPECT_EQ(in.remaining(), 0u);
}

// One node of the version resource: length, value length, type, key, value
// and children, each part aligned to 4 bytes from the start of the resource.
struct VersionNode {
  std::string key;
  std::vector<uint8_t> value;
  std::vector<VersionNode> children;
};

VersionNode ReadVersionNode(ByteReader& in) {
  const size_t start = in.offset();
  const uint16_t length = in.U16();
  const uint16_t valueLength = in.U16();
  const uint16_t type = in.U16();
  VersionNode node;
  node.key = Wide(in);
  Align4(in);
  const size_t valueBytes = type == 1 ? 2u * valueLength : valueLength;
  const std::string value = in.Chars(valueBytes);
  node.value.assign(value.begin(), value.end());
  while (in.offset() < start + length) {
    Align4(in);
    if (in.offset() >= start + length) break;
    node.children.push_back(ReadVersionNode(in));
  }
  EXPECT_EQ(in.offset(), start + length) << "children of " << node.key << " fill its length exactly";
  return node;
}

std::vector<std::string> Keys(const VersionNode& node) {
  std::vector<std::string> keys;
  for (const VersionNode& child : node.children) keys.push_back(child.key);
  return keys;
}

TEST_F(Dll, VersionResourceHoldsItsBlocksAndKeysInOrder) {
  const std::vector<uint8_t> bytes = Resource(RT_VERSION, 1);
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(bytes.size(), 912u);
  ByteReader in(bytes.data(), bytes.size());
  const VersionNode root = ReadVersionNode(in);
  EXPECT_EQ(in.offset(), bytes.size()) << "the root's length is the resource's size";
  EXPECT_EQ(root.key, "VS_VERSION_INFO");
  EXPECT_EQ(root.value.size(), sizeof(VS_FIXEDFILEINFO));
  ASSERT_EQ(Keys(root), (std::vector<std::string>{"StringFileInfo", "VarFileInfo"}));
  ASSERT_EQ(Keys(root.children[0]), std::vector<std::string>{"040904b0"});
  EXPECT_EQ(Keys(root.children[0].children[0]),
            (std::vector<std::string>{"Comments", "CompanyName", "FileDescription", "FileVersion",
                                      "InternalName", "LegalCopyright", "LegalTrademarks",
                                      "OriginalFilename", "PrivateBuild", "ProductName",
                                      "ProductVersion", "SpecialBuild"}));
  ASSERT_EQ(Keys(root.children[1]), std::vector<std::string>{"Translation"});
  EXPECT_EQ(root.children[1].children[0].value, (std::vector<uint8_t>{0x09, 0x04, 0xB0, 0x04}));
}

class VersionInfo : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string path = DllPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    data_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, data_.data()));
  }
  // The value at `path`, or null.
  void* Query(const char* path, UINT* length) {
    void* value = nullptr;
    if (!VerQueryValueA(data_.data(), path, &value, length)) return nullptr;
    return value;
  }
  std::vector<uint8_t> data_;
};

TEST_F(VersionInfo, FixedPartIsVersion1ForA32BitWindowsDll) {
  UINT length = 0;
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(Query("\\", &length));
  ASSERT_NE(fixed, nullptr);
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
  EXPECT_EQ(fixed->dwFileFlags, 0u);
  EXPECT_EQ(fixed->dwFileOS, 0x40004u);
  EXPECT_EQ(fixed->dwFileType, 2u);
  EXPECT_EQ(fixed->dwFileSubtype, 0u);
  EXPECT_EQ(fixed->dwFileDateMS, 0u);
  EXPECT_EQ(fixed->dwFileDateLS, 0u);
}

TEST_F(VersionInfo, TranslationIsUsEnglishUnicode) {
  UINT length = 0;
  const auto* translation = static_cast<const WORD*>(Query("\\VarFileInfo\\Translation", &length));
  ASSERT_NE(translation, nullptr);
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 1200);
}

struct VersionString {
  const char* key;
  const char* value;
};

TEST_F(VersionInfo, StringValues) {
  const VersionString strings[] = {
      {"Comments", "Reading a palette file of KiSS format. "},
      {"CompanyName", "Brackenwold"},
      {"FileDescription", "Zentrow"},
      {"FileVersion", "1, 0, 0, 0"},
      {"InternalName", "Morvid"},
      {"LegalCopyright", ZENTROW_LEGAL_COPYRIGHT},
      {"LegalTrademarks", ""},
      {"OriginalFilename", "Morvid.8bi"},
      {"PrivateBuild", ""},
      {"ProductName", "Morvid"},
      {"ProductVersion", "1, 0, 0, 0"},
      {"SpecialBuild", ""},
  };
  for (const VersionString& s : strings) {
    SCOPED_TRACE(s.key);
    UINT length = 0;
    const auto* value =
        static_cast<const char*>(Query((std::string("\\StringFileInfo\\040904b0\\") + s.key).c_str(), &length));
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, s.value);
  }
}

}  // namespace
