// Image files for the host: the document written as PNG or PPM, images of
// the common kinds taken in as 8-bit RGB, and swatches, which scale each
// pixel of a palette image to a tile inside a thin grid.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plughost/host.h"

namespace plughost {

enum class ImageFormat { kUnknown, kPng, kPpm };

// By the extension, in any case: ".png", ".ppm".
ImageFormat FormatFromPath(const std::string& path);

// The file's bytes; planes 1 (grey) or 3 (RGB). Empty when the image has
// another number of planes or no pixels.
std::vector<uint8_t> EncodeImage(const Image& image, ImageFormat format);

// The most pixels an image read may have: 16384 x 16384, big enough for any
// photograph. It is checked from the header before any pixel is decoded, so
// that a few bytes claiming a huge image cannot make plughost ask for
// gigabytes. A side is further held to 32767, the most an Image holds.
constexpr int64_t kMaxImagePixels = int64_t{1} << 28;

// PNG, JPEG, BMP, GIF and TGA (through stb_image), PPM and PGM in both
// their binary (P6, P5) and plain-text (P3, P2) forms, with any maximum
// value up to 65535 scaled to 8 bits. The image comes back as 8-bit RGB:
// grey is spread to three channels, alpha dropped. False with one sentence
// in *error naming the file (`name`, or "the image" when it is empty) and
// why: too many pixels, truncated, a bad number, not an image. *image is
// left as it was on failure.
bool DecodeImage(const std::vector<uint8_t>& bytes, const std::string& name, Image* image,
                 std::string* error);
bool DecodeImage(const std::vector<uint8_t>& bytes, Image* image, std::string* error);
// A regular file read whole (1 GiB at most) and decoded; false with one
// sentence naming the file.
bool ReadImage(const std::string& path, Image* image, std::string* error);

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
