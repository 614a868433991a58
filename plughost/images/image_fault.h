// What the image readers say, as data: a refusal or a note is one code of
// ImageSaid and the fields it names (the file, a size, a place, a count, a
// form of the table of formats, a line quoted). The readers make no
// sentence; plughost/words/ words each code in one place.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "plughost/images/formats.h"

namespace plughost {

// One code per thing said. The comment is what the fields hold.
enum class ImageSaid {
  kNone,
  // Any reader.
  kUnreadable,          // the file could not be read at all
  kReadCutShort,        // a read failed before the file's end
  kEmpty,
  kNotAnImage,          // of no format save reads
  kFormNotRead,         // form: an image format of the table save does not read
  kJpegNotRead,         // form
  kPaletteTextByName,   // form: a palette text read only by its extension
  kKissPaletteNotImage, // form
  kKissFileNotRead,     // form
  kNoPixels,            // columns, rows
  kTooManyPixels,       // columns, rows, limit (pixels)
  kSideTooLong,         // columns, rows, limit (a side)
  kTruncated,           // form: its data stops before its end
  kUndecodable,         // form
  kHeldRowsTooMany,     // count, limit: bytes held against the most allowed
  kOutOfMemory,
  kTooBigForMemory,
  kFileRefused,         // text: the files gate's own sentence, as it said it
  kPaletteUnreadable,   // a palette's read failed before the file's end
  // PNG.
  kPngHeaderBad,
  kPngChecksum,
  kPngChunkOrder,
  kPngUnknownCritical,  // of a type that is not four letters
  kPngUnknownCriticalNamed,  // text: the chunk's four letters
  kPngPaletteTooBig,    // limit: bytes
  kPngBadFilter,
  kPngDataDamaged,
  // BMP.
  kBmpHeaderSize,       // value: the header's bytes
  kBmpPlanes,           // value
  kBmpCoding,           // coding, value: the compression field
  kBmpDepth,            // value: bits a pixel
  kBmpCodingAtDepth,    // coding, value: the compression field; count: bits a pixel
  kBmpTopDownRuns,
  // GIF.
  kGifNoImage,
  // PPM and PGM.
  kNetpbmHeaderCut,
  kNetpbmBadNumber,     // at: the byte; limit: the largest number
  kNetpbmMaxval,        // value
  kNetpbmFewerValues,   // total: the values declared
  kNetpbmFewerBytes,    // count of total bytes
  kNetpbmValuePastMax,  // value, limit
  // Swatches.
  kNotSwatchSize,       // columns, rows, tile
  kNotSwatchSizeButFits,  // columns, rows, tile; fits: the tile its size is a swatch of
  kSwatchTileMixed,     // row, column: the tile; tile
  // GIMP and JASC palettes, then RIFF palettes, in one run of codes; line:
  // the line, from 1.
  kLineTooLong,         // limit
  kTooManyColours,
  kNotThreeNumbers,     // text: the line
  kNotANumber,          // text: the word
  kNotAByte,            // text: the word
  kNoGimpHeader,
  kNoJascHeader,
  kNoJascVersion,
  kNoJascCount,
  kJascCountTooLarge,   // count
  kPastJascCount,
  kEndsBeforeCount,     // count read of total
  // RIFF palettes.
  kRiffShort,           // count: the file's bytes
  kRiffNotRiff,
  kRiffOtherKind,       // text: the form's four letters
  kRiffHeaderPastEnd,   // total: the bytes its header counts; count: the file's
  kRiffChunkPastEnd,    // text: the chunk's letters; at, to; total: the bytes its header counts
  kRiffNoData,
  kRiffDataTooSmall,    // count: the chunk's bytes
  kRiffVersion,         // value
  kRiffDataShort,       // count: colours; total: bytes they need; value: bytes the chunk holds
  // Notes: what was read in a way a user may want to know.
  kIndexPastTable,      // column, row, value: the first such pixel and its index; total: entries
  kIndicesPastTable,    // count, and the first as above
  kAnimationFirstFrame, // count: frames
  kAnimationBesideStill,  // count: frames
  kRunsLeaveUnpainted,  // count; column, row: the first
  kGifTransparent,      // column, row: the first; colour, value: its GIF colour
  kGifUncoveredBackground,  // column, row: the first; colour, value: the background's
  kGifUncoveredBlack,   // column, row: the first; the last code
};

// What a BMP's compression field names.
enum class BmpCoding {
  kRle8, kRle4, kBitFields, kJpeg, kPng, kAlphaBitFields, kHuffman1D, kRle24,
  kNumbered,  // none of these: said by its number
};

// A refusal or a note: a code and its fields. Fields a code does not name
// are left as they are made.
struct ImageFault {
  ImageSaid said = ImageSaid::kNone;
  std::string file;  // as the caller named it; empty when it gave no name
  ImageFormat form = ImageFormat::kUnknown;
  std::string text;  // as read, at most kMaxLineBytes
  int64_t columns = 0, rows = 0;  // the image's size
  int64_t column = 0, row = 0;    // a pixel's or a tile's place, from 0
  int64_t line = 0;
  int64_t at = 0, to = 0;         // byte offsets
  int64_t count = 0, total = 0;
  int64_t limit = 0;
  int64_t value = 0;
  int64_t tile = 0, fits = 0;
  uint32_t colour = 0;  // 0xRRGGBB
  BmpCoding coding = BmpCoding::kNumbered;

  ImageFault() = default;
  explicit ImageFault(ImageSaid s) : said(s) {}
  ImageFault& Form(ImageFormat f) { return form = f, *this; }
  ImageFault& Text(std::string t) { return text = std::move(t), *this; }
  ImageFault& Size(int64_t c, int64_t r) { return columns = c, rows = r, *this; }
  ImageFault& Place(int64_t c, int64_t r) { return column = c, row = r, *this; }
  ImageFault& Line(int64_t n) { return line = n, *this; }
  ImageFault& Bytes(int64_t from, int64_t until) { return at = from, to = until, *this; }
  ImageFault& Count(int64_t n, int64_t of = 0) { return count = n, total = of, *this; }
  ImageFault& Limit(int64_t n) { return limit = n, *this; }
  ImageFault& Value(int64_t v) { return value = v, *this; }
  ImageFault& Tile(int64_t t, int64_t fitting = 0) { return tile = t, fits = fitting, *this; }
  ImageFault& Colour(uint32_t rgb) { return colour = rgb, *this; }
  ImageFault& Coding(BmpCoding c) { return coding = c, *this; }
};

// Why save does not read a file of this row of the table of formats.
ImageSaid WhyNotRead(const Format& format);

// What a reader notes besides the pixels, in the order it found them.
using ImageNotes = std::vector<ImageFault>;

}  // namespace plughost
