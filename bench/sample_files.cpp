#include "bench/sample_files.h"

#include <cstdio>

#include "kiss/kiss_palette.h"

namespace bench {

namespace {

uint8_t Channel(uint32_t k, uint32_t seed, uint32_t step) {
  return static_cast<uint8_t>((k * step + seed * 29u) & 0xFFu);
}

void PutS16(std::vector<uint8_t>& bytes, int offset, int16_t value) {
  const auto v = static_cast<uint16_t>(value);
  bytes[static_cast<size_t>(offset)] = static_cast<uint8_t>(v & 0xFF);
  bytes[static_cast<size_t>(offset) + 1] = static_cast<uint8_t>(v >> 8);
}

std::vector<uint8_t> Header(uint8_t bits, int16_t colorsPerGroup, int16_t groups) {
  std::vector<uint8_t> bytes(kPaletteHeaderSize, 0);
  bytes[0] = 'K';
  bytes[1] = 'i';
  bytes[2] = 'S';
  bytes[3] = 'S';
  bytes[kFileMarkOffset] = kFileMark;
  bytes[kBitsPerColorOffset] = bits;
  PutS16(bytes, kColorsPerGroupOffset, colorsPerGroup);
  PutS16(bytes, kGroupCountOffset, groups);
  return bytes;
}

// Two bytes: red in the high and blue in the low nibble, then green.
void Append12(std::vector<uint8_t>& bytes, uint32_t k, uint32_t seed) {
  bytes.push_back(static_cast<uint8_t>((Channel(k, seed, 3) & 0xF0) | (Channel(k, seed, 5) >> 4)));
  bytes.push_back(static_cast<uint8_t>(Channel(k, seed, 7) >> 4));
}

}  // namespace

std::vector<uint8_t> Palette24(uint32_t seed) {
  std::vector<uint8_t> bytes = Header(24, 256, 1);
  for (uint32_t k = 0; k < 256; ++k) {
    bytes.push_back(Channel(k, seed, 1));
    bytes.push_back(Channel(k, seed, 255));
    bytes.push_back(Channel(k, seed, 7));
  }
  return bytes;
}

std::vector<uint8_t> Palette12(uint32_t seed) {
  std::vector<uint8_t> bytes = Header(12, 16, 10);
  for (uint32_t k = 0; k < 160; ++k) Append12(bytes, k, seed);
  return bytes;
}

std::vector<uint8_t> PaletteHeaderless(uint32_t seed) {
  std::vector<uint8_t> bytes;
  for (uint32_t k = 0; k < 160; ++k) Append12(bytes, k, seed);
  // A headerless file must not begin with the signature.
  if (bytes[0] == 'K' && bytes[1] == 'i' && bytes[2] == 'S' && bytes[3] == 'S') bytes[0] = 0;
  return bytes;
}

std::vector<uint8_t> Image16(uint32_t seed) {
  std::vector<uint8_t> pixels;
  for (uint32_t k = 0; k < 256; ++k) {
    pixels.push_back(Channel(k, seed, 11));
    pixels.push_back(Channel(k, seed, 13));
    pixels.push_back(Channel(k, seed, 17));
  }
  return pixels;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace bench
