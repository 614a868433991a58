// The document a host holds: an 8-bit image, channels interleaved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plughost {

struct Image {
  int rows = 0;
  int columns = 0;
  int planes = 0;
  std::vector<uint8_t> pixels;
  // All zero; empty when a side is not 1 to 32767 or planes not 1 to 64.
  static Image Blank(int rows, int columns, int planes);
  uint8_t At(int row, int column, int channel) const { return pixels[Offset(row, column, channel)]; }
  uint8_t& At(int row, int column, int channel) { return pixels[Offset(row, column, channel)]; }
  size_t Offset(int row, int column, int channel) const {
    return (size_t(row) * size_t(columns) + size_t(column)) * size_t(planes) + size_t(channel);
  }
};

}  // namespace plughost
