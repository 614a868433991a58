// Palettes and images for the benchmarks, built byte by byte: the three
// forms the module reads and the image it saves. `seed` varies the colours so
// that a batch is not one file many times over.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// "KiSS", mark 16, 24 bits, 256 colours in one group: 800 bytes.
std::vector<uint8_t> Palette24(uint32_t seed);
// "KiSS", mark 16, 12 bits, 10 groups of 16 colours: 352 bytes.
std::vector<uint8_t> Palette12(uint32_t seed);
// No header: 160 twelve-bit colours from byte 0, 320 bytes.
std::vector<uint8_t> PaletteHeaderless(uint32_t seed);
// A 16 x 16 image, red-green-blue per pixel, row after row: 768 bytes.
std::vector<uint8_t> Image16(uint32_t seed);

// The whole file or nothing: false when it cannot be written.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace bench
