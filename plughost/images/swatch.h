// Swatches: a palette image blown up into tiles that people can see and
// edit, and read back to one pixel per tile.
#pragma once

#include <cstdint>
#include <string>

#include "plughost/host/image.h"
#include "plughost/images/image_fault.h"

namespace plughost {

// Each pixel becomes a tile × tile square; a one-pixel grid line runs
// round and between the tiles, so a palette of 16 × 16 colours becomes an
// image of 16 × (tile + 1) + 1 pixels a side.
constexpr uint8_t kGridLevel = 64;
Image MakeSwatch(const Image& image, int tile);

// The tile size of the swatch of a 16 x 16 palette that an image of this
// size would be (each side 16 tiles and a grid line each, plus 1), or 0.
int SwatchTileOf(int64_t columns, int64_t rows);

// A swatch read a row at a time, top first, holding no more than one pixel
// per tile: an edited tile is found without the whole image in memory.
class SwatchRows {
 public:
  // Whether a columns x rows image is a grid of tile-pixel tiles; false
  // with the fault (no file named) when its size does not fit.
  static bool Fits(int64_t columns, int64_t rows, int tile, ImageFault* fault);
  // For an image that fits, reading its top `tileRows` rows of tiles.
  SwatchRows(int64_t columns, int tile, int tileRows, int planes);
  // How many of the swatch's rows those tiles take.
  int RowsNeeded() const { return tileRows_ * (tile_ + 1); }
  // Row `row` (0 to RowsNeeded() - 1, in order), `planes` bytes a pixel.
  // False with the fault once a row of tiles holds one not of one colour.
  bool Row(int row, const uint8_t* pixels, ImageFault* fault);
  // One pixel per tile, tileRows x (columns - 1) / (tile + 1).
  const Image& colours() const { return colours_; }

 private:
  int tile_, tileRows_, planes_;
  Image colours_;
  int firstBad_ = -1;  // the leftmost tile in this row of tiles that is not one colour
};

// The reverse of MakeSwatch: one pixel per tile. Refuses an image whose
// size does not fit the grid or whose tiles are not each of one colour, so
// that an edited swatch is never quietly reduced to whatever its tile
// corners hold.
bool ReadSwatch(const Image& swatch, int tile, Image* image, ImageFault* fault);

}  // namespace plughost
