// Expands the property list, the terminology and the string table into C++
// data, from the same files the resource script reads.
//
// The header comes after the arrays: their bounds are taken from the .inc
// files, and a field too many or too few then shows as a conflict with the
// declarations there.
#include <cstddef>
#include <cstdint>

#include "interface/host_interface.h"

namespace {

constexpr uint32_t CodeOf(const char* chars) { return MakeFourCharCode(chars); }

}  // namespace

// Characters of a text as a list of bytes, one macro per count (in hex,
// matching the counts written in the .inc files).
#define ZR_AT(s, i) static_cast<uint8_t>((s)[i])
#define ZR_CHARS_01(s) ZR_AT(s, 0)
#define ZR_CHARS_02(s) ZR_CHARS_01(s), ZR_AT(s, 1)
#define ZR_CHARS_03(s) ZR_CHARS_02(s), ZR_AT(s, 2)
#define ZR_CHARS_04(s) ZR_CHARS_03(s), ZR_AT(s, 3)
#define ZR_CHARS_05(s) ZR_CHARS_04(s), ZR_AT(s, 4)
#define ZR_CHARS_06(s) ZR_CHARS_05(s), ZR_AT(s, 5)
#define ZR_CHARS_07(s) ZR_CHARS_06(s), ZR_AT(s, 6)
#define ZR_CHARS_08(s) ZR_CHARS_07(s), ZR_AT(s, 7)
#define ZR_CHARS_09(s) ZR_CHARS_08(s), ZR_AT(s, 8)
#define ZR_CHARS_0a(s) ZR_CHARS_09(s), ZR_AT(s, 9)
#define ZR_CHARS_0b(s) ZR_CHARS_0a(s), ZR_AT(s, 10)
#define ZR_CHARS_0c(s) ZR_CHARS_0b(s), ZR_AT(s, 11)
#define ZR_CHARS_0d(s) ZR_CHARS_0c(s), ZR_AT(s, 12)
#define ZR_CHARS_0e(s) ZR_CHARS_0d(s), ZR_AT(s, 13)
#define ZR_CHARS_0f(s) ZR_CHARS_0e(s), ZR_AT(s, 14)
#define ZR_CHARS_10(s) ZR_CHARS_0f(s), ZR_AT(s, 15)
#define ZR_CHARS_11(s) ZR_CHARS_10(s), ZR_AT(s, 16)
#define ZR_CHARS_12(s) ZR_CHARS_11(s), ZR_AT(s, 17)
#define ZR_CHARS_13(s) ZR_CHARS_12(s), ZR_AT(s, 18)
#define ZR_CHARS_14(s) ZR_CHARS_13(s), ZR_AT(s, 19)
#define ZR_CHARS_15(s) ZR_CHARS_14(s), ZR_AT(s, 20)
#define ZR_CHARS_16(s) ZR_CHARS_15(s), ZR_AT(s, 21)
#define ZR_CHARS_17(s) ZR_CHARS_16(s), ZR_AT(s, 22)
#define ZR_CHARS_18(s) ZR_CHARS_17(s), ZR_AT(s, 23)
#define ZR_CHARS_19(s) ZR_CHARS_18(s), ZR_AT(s, 24)
#define ZR_CHARS_1a(s) ZR_CHARS_19(s), ZR_AT(s, 25)
#define ZR_CHARS_1b(s) ZR_CHARS_1a(s), ZR_AT(s, 26)
#define ZR_CHARS_1c(s) ZR_CHARS_1b(s), ZR_AT(s, 27)
#define ZR_CHARS_1d(s) ZR_CHARS_1c(s), ZR_AT(s, 28)
#define ZR_CHARS_1e(s) ZR_CHARS_1d(s), ZR_AT(s, 29)
#define ZR_CHARS_1f(s) ZR_CHARS_1e(s), ZR_AT(s, 30)
#define ZR_BYTE_OF(x, shift) static_cast<uint8_t>(((x) >> (shift)) & 0xFFu)

// First pass: every field as bytes.
#define U16(x) ZR_BYTE_OF(x, 0), ZR_BYTE_OF(x, 8),
#define U32(x) ZR_BYTE_OF(x, 0), ZR_BYTE_OF(x, 8), ZR_BYTE_OF(x, 16), ZR_BYTE_OF(x, 24),
#define CODE(chars, x) U32(x)
#define CHARS(n, s) ZR_CHARS_##n(s),
#define PTEXT(n, s) 0x##n, ZR_CHARS_##n(s),
#define ZTEXT(n, s) ZR_CHARS_##n(s), 0,
#define BYTE(hh) 0x##hh,
#define ZEROS(n) ZR_ZEROS_##n
#define ZR_ZEROS_01 0,
#define ZR_ZEROS_02 0, 0,
#define ZR_ZEROS_03 0, 0, 0,

// Natively the arrays sit in sections of their own (named as in the header),
// kept even though nothing in the library refers to them, so that a host can
// find the property list in the file. The DLL has its resources for that.
#if defined(_WIN32)
#define ZR_SECTION(name)
#elif defined(__clang__)
// clang's AddressSanitizer would pad the section with a red zone.
#define ZR_SECTION(name) \
  __attribute__((used, retain, section(name), no_sanitize("address")))
#else
#define ZR_SECTION(name) __attribute__((used, retain, section(name)))
#endif

ZR_SECTION(".zentrow_pipl")
extern constexpr uint8_t kPropertyList[] = {
#include "resources/property_list.inc"
};

ZR_SECTION(".zentrow_aete")
extern constexpr uint8_t kTerminology[] = {
#include "resources/terminology.inc"
};

#include "resources/resource_bytes.h"

static_assert(sizeof(kPropertyList) == kPropertyListSize, "property list is 386 bytes");
static_assert(sizeof(kTerminology) == kTerminologySize, "terminology is 212 bytes");

#undef U16
#undef U32
#undef CODE
#undef CHARS
#undef PTEXT
#undef ZTEXT
#undef BYTE
#undef ZEROS

// Second pass: each code equals its characters, each count its text.
#define U16(x)
#define U32(x)
#define CODE(chars, x) static_assert(CodeOf(chars) == (x), "code " chars " has another value");
#define CHARS(n, s) static_assert(sizeof(s) - 1 == 0x##n, "count of " s);
#define PTEXT(n, s) CHARS(n, s)
#define ZTEXT(n, s) CHARS(n, s)
#define BYTE(hh)
#define ZEROS(n)
#include "resources/property_list.inc"
#include "resources/terminology.inc"

#define ZENTROW_STRING(identifier, text) {identifier, text},
const StringEntry kStringTable[] = {
#include "resources/strings.inc"
};
#undef ZENTROW_STRING
const int kStringTableSize = static_cast<int>(sizeof(kStringTable) / sizeof(kStringTable[0]));
