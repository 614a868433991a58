// The 32-byte header's fields, read and written through named offsets.
// Nothing here touches a file, so the host links it as the module does.
#include <cstring>

#include "kiss/kiss_palette.h"

namespace {

const uint8_t kSignature[4] = {'K', 'i', 'S', 'S'};

int16_t ReadS16(const uint8_t* p) {
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

void WriteS16(uint8_t* p, int16_t value) {
  const auto v = static_cast<uint16_t>(value);
  p[0] = static_cast<uint8_t>(v & 0xFF);
  p[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

uint8_t FileMark(const PaletteHeader& h) { return h.bytes[kFileMarkOffset]; }
uint8_t BitsPerColor(const PaletteHeader& h) { return h.bytes[kBitsPerColorOffset]; }
int16_t ColorsPerGroup(const PaletteHeader& h) { return ReadS16(h.bytes + kColorsPerGroupOffset); }
int16_t GroupCount(const PaletteHeader& h) { return ReadS16(h.bytes + kGroupCountOffset); }
void SetFileMark(PaletteHeader& h, uint8_t mark) { h.bytes[kFileMarkOffset] = mark; }
void SetBitsPerColor(PaletteHeader& h, uint8_t bits) { h.bytes[kBitsPerColorOffset] = bits; }
void SetColorsPerGroup(PaletteHeader& h, int16_t n) { WriteS16(h.bytes + kColorsPerGroupOffset, n); }
void SetGroupCount(PaletteHeader& h, int16_t n) { WriteS16(h.bytes + kGroupCountOffset, n); }

bool HasPaletteSignature(const PaletteHeader& header) {
  return std::memcmp(header.bytes + kSignatureOffset, kSignature, sizeof kSignature) == 0;
}

void SetPaletteSignature(PaletteHeader& header) {
  std::memcpy(header.bytes + kSignatureOffset, kSignature, sizeof kSignature);
}

int32_t ColorCount(const PaletteHeader& header) {
  return int32_t{ColorsPerGroup(header)} * int32_t{GroupCount(header)};
}

bool PaletteHeaderValid(const PaletteHeader& header) {
  if (FileMark(header) != kFileMark) return false;
  if (BitsPerColor(header) != 12 && BitsPerColor(header) != 24) return false;
  return ColorCount(header) <= kMaxColors;
}

PaletteHeader MakeWrittenHeader() {
  PaletteHeader header{};
  SetPaletteSignature(header);
  SetFileMark(header, kFileMark);
  SetBitsPerColor(header, 24);
  SetColorsPerGroup(header, kMaxColors);
  SetGroupCount(header, 1);
  return header;
}

