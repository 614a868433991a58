// Length-prefixed text in a caller-owned 256-byte buffer: byte 0 is the
// length, bytes 1..length the characters (ANSI), and appending keeps at most
// 254 characters so that a zero can always follow the last one.
#pragma once

#include <cstdint>

constexpr int kPStringSize = 256;
constexpr int kPStringMaxChars = 254;

typedef uint8_t PString[kPStringSize];

// Length 0 and a zero in byte 1.
void ResetPString(uint8_t* text);
// Appends `count` characters of `source` from `firstIndex` on, capped so the
// text keeps at most 254 characters, and stores a zero after the last one.
// Pass a PString itself with firstIndex 1 and its length byte as count.
void AppendChars(uint8_t* text, const void* source, int16_t firstIndex, int16_t count);
// Byte-by-byte copy, lowest byte first; nothing when either address is null.
void CopyBytes(void* dest, const void* source, uint32_t count);
// 1.0 times base, (count & 0xFFFF) times over.
double IntPower(uint32_t base, uint32_t count);
void IntegerToPString(int32_t value, uint8_t* out);
// Decimal text with a point and at least one decimal ("2.5", "3.0").
void DecimalToPString(uint8_t* out, double value, int16_t decimals);
// Replaces "^0", "^1", "^2" by the three values, left to right; a null value
// counts as empty. Inserted text is not scanned again.
void SubstitutePlaceholders(uint8_t* text, const uint8_t* value0, const uint8_t* value1,
                            const uint8_t* value2);
