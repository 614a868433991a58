// Image files for the host: the document written as PNG or PPM, and images
// of the common kinds taken in as 8-bit RGB. The commands that write and read
// images also make and read swatches, so swatch.h comes with this header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plughost/host/image.h"
#include "plughost/images/swatch.h"

namespace plughost {

// What open writes: images, or the colours as a palette for other editors
// (palette_files.h), which EncodeImage does not write.
enum class ImageFormat { kUnknown, kPng, kPpm, kGimpPalette, kJascPalette };

// By the extension, in any case: ".png", ".ppm", ".gpl", ".pal".
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

}  // namespace plughost
