// PNG files written through libspng; image_decoders.h has the reading side.
#pragma once

#include <cstdint>
#include <vector>

#include "plughost/host/image.h"

namespace plughost {

// The image (planes 1, 3 or 4: grey, RGB or RGBA; at least one pixel) as a
// PNG file; empty when libspng refuses it.
std::vector<uint8_t> EncodePng(const Image& image);

}  // namespace plughost
