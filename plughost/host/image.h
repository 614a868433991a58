// The document a host holds: an 8-bit image, channels interleaved.
#pragma once

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
  uint8_t At(int row, int column, int channel) const;
  uint8_t& At(int row, int column, int channel);
};

}  // namespace plughost
