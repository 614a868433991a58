// Our own reader of PPM and PGM, binary (P6, P5) and plain text (P3, P2).
// They are read here rather than by stb_image, which leaves the pixels of a
// short binary file unset, ignores a maximum value under 255 and has no
// plain-text forms.
#pragma once

#include <cstdint>
#include <vector>

#include "plughost/host/image.h"
#include "plughost/images/image_refusal.h"

namespace plughost {

// `bytes` begin with "P2", "P3", "P5" or "P6". Any maximum value up to 65535
// is scaled to 8 bits and grey spread to three channels. False after
// `refuse` when the header is bad or too large, a number is not digits, a
// value exceeds the maximum or the file is truncated; *out is then as it was.
bool DecodeNetpbm(const std::vector<uint8_t>& bytes, const ImageRefusal& refuse, Image* out);

}  // namespace plughost
