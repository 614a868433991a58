// Swatches: a palette image blown up into tiles that people can see and
// edit, and read back to one pixel per tile.
#pragma once

#include <cstdint>
#include <string>

#include "plughost/host/image.h"

namespace plughost {

// Each pixel becomes a tile × tile square; a one-pixel grid line runs
// round and between the tiles, so a palette of 16 × 16 colours becomes an
// image of 16 × (tile + 1) + 1 pixels a side.
constexpr uint8_t kGridLevel = 64;
Image MakeSwatch(const Image& image, int tile);
// The reverse: one pixel per tile. Refuses an image whose size does not fit
// the grid or whose tiles are not each of one colour, so that an edited
// swatch is never quietly reduced to whatever its tile corners hold.
bool ReadSwatch(const Image& swatch, int tile, Image* image, std::string* error);

}  // namespace plughost
