// Image files for the host: the document written as PNG or PPM, and images
// of the common kinds read as 8-bit RGB, only as far as a save needs. The
// commands that write and read images also make and read swatches, so
// swatch.h comes with this header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plughost/host/image.h"
#include "plughost/images/byte_source.h"
#include "plughost/images/formats.h"
#include "plughost/images/image_fault.h"
#include "plughost/images/swatch.h"

namespace plughost {

// The file's bytes in one of the image formats open writes (PNG, PPM);
// planes 1 (grey) or 3 (RGB). Empty when the image has another number of
// planes or no pixels, or the format is no such image.
std::vector<uint8_t> EncodeImage(const Image& image, ImageFormat format);

// The most pixels a whole image read into memory may have: 16384 x 16384.
// A save reads only the rows it hands the module, and is held to 32767
// pixels a side, the most an Image holds.
constexpr int64_t kMaxImagePixels = int64_t{1} << 28;

// The rows a save hands the module: a palette is its first 16 x 16 pixels.
constexpr int kSavedRows = 16;

// What a save reads of an image file.
struct SaveImage {
  // The top rows, at most kSavedRows, or of a swatch one pixel per tile of
  // its top kSavedRows rows of tiles; every column.
  Image top;
  // The size of the whole image (in tiles, for a swatch).
  int rows = 0;
  int columns = 0;
  // What was not read, or read in a way of its own, that a user may want
  // to know (a GIF's later frames), in the order found.
  ImageNotes notes;
  // Of an image refused as no swatch of the tile asked: the tile its size
  // is a swatch of, or 0.
  int swatchOfTile = 0;
  // Of an image read with kSwatchByLook: the tile it was read as a swatch
  // of, or 0 when it was read as it is.
  int swatchFound = 0;
};

// A tile for DecodeForSave: read the image as a swatch when it is one (the
// size of a swatch of 16 x 16 colours, every tile of one colour), else as
// it is. 0 reads it as it is.
constexpr int kSwatchByLook = -1;

// PNG (through libspng), BMP, GIF (its first frame), PPM and PGM (binary and
// plain text). With `tile` > 0 the image is a swatch of tile-pixel tiles
// (swatch.h): its size is checked against the grid before any pixel is
// decoded, and each tile read must be of one colour; with kSwatchByLook,
// an image that passes those checks is read so, any other as it is. Rows below those read
// are never decoded, so what is held follows the width, not the height.
// False with the fault in *fault, naming the file by `name` (empty: no
// name) and why: a format of the table that save does not read, by its
// row (JPEG with its own reason), an image of no format it knows, too
// large, truncated, damaged, not a swatch.
bool DecodeForSave(const ByteSource& source, const std::string& name, int tile, SaveImage* out,
                   ImageFault* fault);
// The same of a regular file opened through the gate; a file too big for
// the memory at hand is refused so.
bool ReadForSave(const std::string& path, int tile, SaveImage* out, ImageFault* fault);

// The whole image, every row, when it has at most kMaxImagePixels: for
// tests, and for tools that look at what open wrote.
bool DecodeImage(const std::vector<uint8_t>& bytes, const std::string& name, Image* image,
                 ImageFault* fault);
bool DecodeImage(const std::vector<uint8_t>& bytes, Image* image, ImageFault* fault);
bool ReadImage(const std::string& path, Image* image, ImageFault* fault);

}  // namespace plughost
