// The module's resources as data for the native build and for tests: the
// property list and the terminology byte for byte as the DLL carries them,
// and the string table that the POSIX layer's LoadStringA answers from.
#pragma once

#include <cstdint>

constexpr int kPropertyListSize = 386;
constexpr int kTerminologySize = 212;
constexpr uint16_t kPropertyListId = 16000;
constexpr uint16_t kTerminologyId = 16000;

// In the native library these sit in the ELF sections named below, so a host
// can find the property list without calling into the module.
#define ZENTROW_PIPL_SECTION ".zentrow_pipl"
#define ZENTROW_AETE_SECTION ".zentrow_aete"

extern const uint8_t kPropertyList[kPropertyListSize];
extern const uint8_t kTerminology[kTerminologySize];

// Texts in code page 1252, zero-terminated; identifiers ascending.
struct StringEntry {
  uint16_t id;
  const char* text;
};
extern const StringEntry kStringTable[];
extern const int kStringTableSize;
