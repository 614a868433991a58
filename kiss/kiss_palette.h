// The KiSS palette file: its 32-byte header, the 12-bit, 24-bit and headerless
// colour entries, the colour table they decode into, the 800-byte form we
// write, and exact reads and writes on the host's open file that keep the
// call's first result code.
//
// Every routine that can fail takes the address of the host's result: a code
// is stored there only while it is still 0, and ReadExact / WriteExact do
// nothing once a code is set, so a run of them may go unguarded.
#pragma once

#include <cstdint>

// Header fields, by byte offset. Counts are signed 16-bit little-endian.
constexpr int kPaletteHeaderSize = 32;
constexpr int kSignatureOffset = 0;
constexpr int kFileMarkOffset = 4;
constexpr int kBitsPerColorOffset = 5;
constexpr int kColorsPerGroupOffset = 8;
constexpr int kGroupCountOffset = 10;

constexpr uint8_t kFileMark = 16;
constexpr int kMaxColors = 256;
constexpr int kColorTableSize = kMaxColors * 3;  // blue, green, red per entry
constexpr int kColorsPerRow = 16;
constexpr int kRowBytes = kColorsPerRow * 3;  // one image row, one exchange
constexpr int kTableRows = kMaxColors / kColorsPerRow;
constexpr int kWrittenFileSize = kPaletteHeaderSize + kTableRows * kRowBytes;  // 800

// Bytes of one colour entry in the file, by depth.
constexpr int kColor12Size = 2;
constexpr int kColor24Size = 3;

// The headerless form: 10 groups of 16 twelve-bit colours from byte 0.
constexpr int16_t kHeaderlessColorsPerGroup = 16;
constexpr int16_t kHeaderlessGroupCount = 10;
constexpr int kHeaderlessFileSize =
    kHeaderlessGroupCount * kHeaderlessColorsPerGroup * kColor12Size;  // 320

// Where a colour entry lies, for a host that reads or rewrites the file's
// own bytes: entries follow the header (byte 0 without one), group after
// group, with nothing between them.
constexpr int ColorEntrySize(int bits) { return bits == 24 ? kColor24Size : kColor12Size; }

// A 4-bit channel as 8 bits: 0 gives 0, 1 gives 17, 15 gives 255.
constexpr uint8_t ExpandNibble(int nibble) { return static_cast<uint8_t>((nibble & 0x0F) * 17); }

// A 12-bit entry as red, green, blue. Byte 0 holds red (high four bits) and
// blue (low four), byte 1 green (low four); byte 1's high four are unused.
inline void DecodeColor12(const uint8_t* entry, uint8_t* rgb) {
  rgb[0] = ExpandNibble(entry[0] >> 4);
  rgb[1] = ExpandNibble(entry[1]);
  rgb[2] = ExpandNibble(entry[0]);
}

// Red, green, blue into a 12-bit entry, each channel's top four bits. The
// unused high bits of byte 1 stay as they were, so an unchanged colour
// leaves its entry byte for byte.
inline void EncodeColor12(const uint8_t* rgb, uint8_t* entry) {
  entry[0] = static_cast<uint8_t>((rgb[0] & 0xF0) | (rgb[2] >> 4));
  entry[1] = static_cast<uint8_t>((entry[1] & 0xF0) | (rgb[1] >> 4));
}

struct PaletteHeader {
  uint8_t bytes[kPaletteHeaderSize];
};

uint8_t FileMark(const PaletteHeader& header);
uint8_t BitsPerColor(const PaletteHeader& header);
int16_t ColorsPerGroup(const PaletteHeader& header);
int16_t GroupCount(const PaletteHeader& header);
void SetFileMark(PaletteHeader& header, uint8_t mark);
void SetBitsPerColor(PaletteHeader& header, uint8_t bits);
void SetColorsPerGroup(PaletteHeader& header, int16_t count);
void SetGroupCount(PaletteHeader& header, int16_t count);

bool HasPaletteSignature(const PaletteHeader& header);
// colorsPerGroup x groupCount in signed 32-bit arithmetic: zero or negative
// when a count is.
int32_t ColorCount(const PaletteHeader& header);
void SetPaletteSignature(PaletteHeader& header);

// True when code is 0; otherwise stores it if the result is still 0.
bool RecordResult(int16_t* result, int16_t code);
// False after storing -128 (if the result is still 0) when `cancel` holds.
bool RecordCancelIf(int16_t* result, bool cancel);

// One platform call each. Only the low 16 bits of count reach the platform;
// count comes back as what the platform answered.
int16_t FileRead(int32_t fileRef, uint32_t* count, void* dest);
int16_t FileWrite(int32_t fileRef, uint32_t* count, const void* source);
// Positions the file; always answers 0, since a failed seek is not detected.
int16_t FileSeek(int32_t fileRef, int16_t origin, int32_t offset);

// Reads (writes) exactly n bytes or records -19 / -39 (-20 / -34).
void ReadExact(int16_t* result, int32_t fileRef, uint32_t n, void* dest);
void WriteExact(int16_t* result, int32_t fileRef, uint32_t n, const void* source);

// Reads the header, or prepares the headerless form and puts the file back
// to byte 0. True when the header is valid; records only read failures.
bool ReadPaletteHeader(int16_t* result, int32_t fileRef, PaletteHeader& header);
// True when the mark and depth pass and the colour count is at most 256.
bool PaletteHeaderValid(const PaletteHeader& header);

// Decodes colours from the current position into a zero-filled table of
// kColorTableSize bytes, never more than 256 entries. False when the depth is
// neither 12 nor 24 or a 24-bit read failed.
bool DecodePaletteColors(int16_t* result, int32_t fileRef, uint8_t* table,
                         const PaletteHeader& header);

// The header of the file we write: "KiSS", mark 16, 24 bits, 256 x 1.
PaletteHeader MakeWrittenHeader();
// One written row: each 3-byte entry of `row` (blue, green, red) turned into
// red, green, blue in place.
void SwapRowToFileOrder(uint8_t* row, int entries);
