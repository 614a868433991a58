// The image decoders behind image_files.h, one per format, each reading its
// file through a ByteSource only as far as the rows asked for, and handing
// those rows on, top first, as 8-bit RGB.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "plughost/images/byte_source.h"
#include "plughost/images/image_refusal.h"

namespace plughost {

// Where a decoder puts its rows.
class RowSink {
 public:
  virtual ~RowSink() = default;
  // Row `row` (0, 1, 2 ... in order), columns x 3 bytes of RGB. False stops
  // the decoding; the sink keeps its own reason.
  virtual bool Row(int row, const uint8_t* rgb) = 0;
};

class ImageDecoder {
 public:
  virtual ~ImageDecoder() = default;
  // Reads the header: columns() and rows() are known after it. False after
  // `refuse`.
  virtual bool ReadHeader(const ImageRefusal& refuse) = 0;
  // Rows 0 to wanted - 1 (at most rows()) to `sink`. False after `refuse`,
  // or when the sink said no.
  virtual bool DecodeRows(int wanted, RowSink* sink, const ImageRefusal& refuse) = 0;
  // Adds to *notes what a user should know of what was not read (a GIF's
  // later frames) or read in a way of its own. Asked after DecodeRows.
  virtual void Notes(ImageNotes*) const {}
  int64_t columns() const { return columns_; }
  int64_t rows() const { return rows_; }
  // The stored rows decoded so far to give the rows asked for (counted by
  // the PNG and BMP readers): an interlaced PNG stores each row in parts,
  // a run-length BMP its rows bottom first.
  int64_t rowsDecoded() const { return rowsDecoded_; }

 protected:
  int64_t columns_ = 0;
  int64_t rows_ = 0;
  int64_t rowsDecoded_ = 0;
};

// Each keeps a reference to `source`, which must outlive it.
std::unique_ptr<ImageDecoder> NewPngDecoder(const ByteSource& source);
std::unique_ptr<ImageDecoder> NewBmpDecoder(const ByteSource& source);
std::unique_ptr<ImageDecoder> NewGifDecoder(const ByteSource& source);
// PPM and PGM, binary (P6, P5) and plain text (P3, P2).
std::unique_ptr<ImageDecoder> NewNetpbmDecoder(const ByteSource& source);

// An interlaced image holds the rows it was asked for until the last pass
// fills them: refused past this many bytes of them.
constexpr int64_t kMaxHeldRowBytes = int64_t{32} << 20;

// The file of this form ends before its data does.
bool RefuseTruncated(ImageFormat form, const ImageRefusal& refuse);
// The file is damaged, or of a form of its format not read.
bool RefuseUndecodable(ImageFormat form, const ImageRefusal& refuse);
// When the rows an interlaced image must hold are too many.
bool RefuseHeldRows(int64_t bytes, const ImageRefusal& refuse);

}  // namespace plughost
