#include "plughost/images/swatch.h"

#include <algorithm>

namespace plughost {

namespace {

// The top or left pixel of tile `index` along a side: past the grid line
// before it and every tile and line before that.
int TileStart(int index, int tile) { return 1 + index * (tile + 1); }

bool TileIsOneColour(const Image& swatch, int tile, int row, int column) {
  const int top = TileStart(row, tile), left = TileStart(column, tile);
  for (int r = top; r < top + tile; ++r) {
    for (int c = left; c < left + tile; ++c) {
      for (int k = 0; k < swatch.planes; ++k) {
        if (swatch.At(r, c, k) != swatch.At(top, left, k)) return false;
      }
    }
  }
  return true;
}

void FillTile(const Image& image, int row, int column, int tile, Image* swatch) {
  const int top = TileStart(row, tile), left = TileStart(column, tile);
  for (int r = top; r < top + tile; ++r) {
    for (int c = left; c < left + tile; ++c) {
      for (int k = 0; k < image.planes; ++k) swatch->At(r, c, k) = image.At(row, column, k);
    }
  }
}

bool FitsGrid(const Image& swatch, int tile) {
  return tile >= 1 && swatch.rows >= tile + 2 && swatch.columns >= tile + 2 &&
         (swatch.rows - 1) % (tile + 1) == 0 && (swatch.columns - 1) % (tile + 1) == 0;
}

}  // namespace

Image MakeSwatch(const Image& image, int tile) {
  const int64_t rows = int64_t{image.rows} * (tile + 1) + 1;
  const int64_t columns = int64_t{image.columns} * (tile + 1) + 1;
  if (tile < 1 || rows > 32767 || columns > 32767) return Image{};
  Image swatch = Image::Blank(int(rows), int(columns), image.planes);
  std::fill(swatch.pixels.begin(), swatch.pixels.end(), kGridLevel);
  for (int r = 0; r < image.rows; ++r) {
    for (int c = 0; c < image.columns; ++c) FillTile(image, r, c, tile, &swatch);
  }
  return swatch;
}

bool ReadSwatch(const Image& swatch, int tile, Image* image, std::string* error) {
  if (!FitsGrid(swatch, tile)) {
    *error = "a " + std::to_string(swatch.columns) + " x " + std::to_string(swatch.rows) +
             " image is not a swatch of " + std::to_string(tile) +
             "-pixel tiles (each side must be a multiple of " + std::to_string(tile + 1) +
             ", plus 1)";
    return false;
  }
  *image = Image::Blank((swatch.rows - 1) / (tile + 1), (swatch.columns - 1) / (tile + 1),
                        swatch.planes);
  for (int r = 0; r < image->rows; ++r) {
    for (int c = 0; c < image->columns; ++c) {
      if (!TileIsOneColour(swatch, tile, r, c)) {
        *error = "tile at row " + std::to_string(r) + ", column " + std::to_string(c) +
                 " is not one colour: not a swatch of " + std::to_string(tile) +
                 "-pixel tiles, or edited inside a tile";
        return false;
      }
      for (int k = 0; k < swatch.planes; ++k) {
        image->At(r, c, k) = swatch.At(TileStart(r, tile), TileStart(c, tile), k);
      }
    }
  }
  return true;
}

}  // namespace plughost
