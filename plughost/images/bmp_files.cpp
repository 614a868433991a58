// BMP, read here: Windows' headers and OS/2's (1.x and 2.x), 1 to 32 bits
// a pixel uncompressed or with bit fields, bottom-up or top-down, and 8- and
// 4-bit images coded in runs (RLE8, RLE4). Each uncompressed row asked for
// is read from where it lies in the file, so a bottom-up file's top rows
// cost no more than a top-down one's; runs are decoded in the order they
// are stored, keeping only the rows asked for. A form not read is named in
// the refusal.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "plughost/files/little_endian.h"
#include "plughost/images/image_decoders.h"

namespace plughost {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kDataOffsetOffset = 10;
constexpr size_t kInfoSizeOffset = 14;
constexpr uint32_t kCoreInfoSize = 12;  // OS/2 1.x: 16-bit sizes, 3-byte colours, no compression
// OS/2 2.x: Windows' first fields, and compression 3 and 4 of its own; the
// short form ends after the bits a pixel.
constexpr uint32_t kOs2InfoSize = 64, kOs2ShortInfoSize = 16;
constexpr size_t kCoreWidthOffset = 18, kCoreHeightOffset = 20, kCorePlanesOffset = 22;
constexpr size_t kCoreBitsOffset = 24;
constexpr size_t kWidthOffset = 18, kHeightOffset = 22, kPlanesOffset = 26, kBitsOffset = 28;
constexpr size_t kCompressionOffset = 30, kColoursUsedOffset = 46;
constexpr size_t kMasksOffset = 54;  // in the header from 52 bytes on, else just after it
constexpr size_t kMaxHeaderBytes = kFileHeaderSize + 124;
constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;
constexpr uint32_t kOs2Huffman = 3, kOs2Rle24 = 4;
constexpr uint16_t kUnpainted = 0xFFFF;  // a pixel the runs skipped

// What a compression field names, for a refusal.
BmpCoding CodingOf(uint32_t compression, bool os2) {
  if (os2 && compression == kOs2Huffman) return BmpCoding::kHuffman1D;
  if (os2 && compression == kOs2Rle24) return BmpCoding::kRle24;
  switch (compression) {
    case kRle8: return BmpCoding::kRle8;
    case kRle4: return BmpCoding::kRle4;
    case kBitFields: return BmpCoding::kBitFields;
    case 4: return BmpCoding::kJpeg;
    case 5: return BmpCoding::kPng;
    case kAlphaBitFields: return BmpCoding::kAlphaBitFields;
    default: return BmpCoding::kNumbered;
  }
}

ImageFault Coded(ImageSaid said, uint32_t compression, bool os2) {
  return ImageFault(said).Coding(CodingOf(compression, os2)).Value(compression);
}

uint32_t U16(const uint8_t* b, size_t at) { return ReadU16(b + at); }
uint32_t U32(const uint8_t* b, size_t at) { return ReadU32(b + at); }

// One colour channel as a mask over a 16- or 32-bit pixel.
struct Channel {
  uint32_t mask = 0;
  int shift = 0, bits = 0;
  explicit Channel(uint32_t m = 0) : mask(m) {
    for (; m != 0 && (m & 1) == 0; m >>= 1) ++shift;
    for (; m & 1; m >>= 1) ++bits;
  }
  // To 8 bits, the channel's own bits repeated to fill the low ones.
  uint8_t Level(uint32_t pixel) const {
    if (bits == 0) return 0;
    const uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return uint8_t(v >> (bits - 8));
    uint32_t level = 0;
    for (int filled = 0; filled < 8; filled += bits) level = level << bits | v;
    return uint8_t(level >> ((8 + bits - 1) / bits * bits - 8));
  }
};

class BmpDecoder : public ImageDecoder {
 public:
  explicit BmpDecoder(const ByteSource& source) : source_(source) {}
  bool ReadHeader(const ImageRefusal& refuse) override;
  bool DecodeRows(int wanted, RowSink* sink, const ImageRefusal& refuse) override;

 private:
  void Notes(ImageNotes* notes) const override;
  bool ReadForm(const uint8_t* h, const ImageRefusal& refuse);
  bool ReadColourTable(const uint8_t* h, const ImageRefusal& refuse);
  void ReadMasks(const uint8_t* h);
  void Convert(int row, const uint8_t* in, uint8_t* rgb);
  bool DecodeRuns(int wanted, RowSink* sink, const ImageRefusal& refuse);
  bool PaintRuns(int wanted, std::vector<uint16_t>* held, int64_t* y, const ImageRefusal& refuse);
  void Paint(int64_t x, int64_t y, uint8_t index, int wanted, std::vector<uint16_t>* held) const;

  const ByteSource& source_;
  uint32_t infoSize_ = 0, bits_ = 0, compression_ = kRgb;
  uint64_t dataOffset_ = 0, stride_ = 0;
  bool topDown_ = false;
  std::array<uint8_t, 256 * 3> colours_{};
  Channel red_, green_, blue_;
  int64_t unpainted_ = 0, unpaintedRow_ = 0, unpaintedColumn_ = 0;  // among the rows read
  IndicesPastTable past_;
};

bool BmpDecoder::ReadHeader(const ImageRefusal& refuse) {
  uint8_t h[kMaxHeaderBytes] = {};
  const int64_t got = source_.ReadAt(0, h, sizeof h);
  if (got < int64_t(kInfoSizeOffset + 4)) return RefuseTruncated(ImageFormat::kBmp, refuse);
  infoSize_ = U32(h, kInfoSizeOffset);
  const bool known = infoSize_ == kCoreInfoSize || infoSize_ == kOs2ShortInfoSize ||
                     infoSize_ == 40 || infoSize_ == 52 || infoSize_ == 56 ||
                     infoSize_ == kOs2InfoSize || infoSize_ == 108 || infoSize_ == 124;
  if (!known) return refuse(ImageFault(ImageSaid::kBmpHeaderSize).Value(infoSize_));
  if (got < int64_t(kFileHeaderSize + infoSize_)) return RefuseTruncated(ImageFormat::kBmp, refuse);
  dataOffset_ = U32(h, kDataOffsetOffset);
  const bool core = infoSize_ == kCoreInfoSize;
  const uint32_t planes = U16(h, core ? kCorePlanesOffset : kPlanesOffset);
  columns_ = core ? U16(h, kCoreWidthOffset) : int64_t{int32_t(U32(h, kWidthOffset))};
  const int64_t height = core ? U16(h, kCoreHeightOffset) : int64_t{int32_t(U32(h, kHeightOffset))};
  // A negative height is stored top row first.
  topDown_ = height < 0;
  rows_ = std::abs(height);
  if (planes != 1) return refuse(ImageFault(ImageSaid::kBmpPlanes).Value(planes));
  return ReadForm(h, refuse);
}

bool BmpDecoder::ReadForm(const uint8_t* h, const ImageRefusal& refuse) {
  const bool core = infoSize_ == kCoreInfoSize;
  const bool os2 = infoSize_ == kOs2InfoSize || infoSize_ == kOs2ShortInfoSize;
  bits_ = U16(h, core ? kCoreBitsOffset : kBitsOffset);
  compression_ = core || infoSize_ == kOs2ShortInfoSize ? kRgb : U32(h, kCompressionOffset);
  const bool masked = !os2 && (compression_ == kBitFields || compression_ == kAlphaBitFields);
  const bool runs = compression_ == kRle8 || compression_ == kRle4;
  const bool bitsKnown =
      bits_ == 1 || bits_ == 4 || bits_ == 8 || bits_ == 16 || bits_ == 24 || bits_ == 32;
  // The compression first: a JPEG or PNG inside has a bit count of 0.
  if (compression_ != kRgb && !masked && !runs)
    return refuse(Coded(ImageSaid::kBmpCoding, compression_, os2));
  if (!bitsKnown) return refuse(ImageFault(ImageSaid::kBmpDepth).Value(bits_));
  if ((masked && bits_ != 16 && bits_ != 32) || (compression_ == kRle8 && bits_ != 8) ||
      (compression_ == kRle4 && bits_ != 4)) {
    return refuse(Coded(ImageSaid::kBmpCodingAtDepth, compression_, os2).Count(bits_));
  }
  if (runs && topDown_) return refuse(ImageSaid::kBmpTopDownRuns);
  if (bits_ <= 8) return ReadColourTable(h, refuse);
  ReadMasks(h);
  return true;
}

bool BmpDecoder::ReadColourTable(const uint8_t* h, const ImageRefusal& refuse) {
  const bool core = infoSize_ == kCoreInfoSize;
  const uint32_t used = core || infoSize_ == kOs2ShortInfoSize ? 0 : U32(h, kColoursUsedOffset);
  const uint32_t count = used == 0 || used > (1u << bits_) ? 1u << bits_ : used;
  const size_t entry = core ? 3 : 4;
  std::vector<uint8_t> table(count * entry);
  const uint64_t at = kFileHeaderSize + infoSize_;
  const int64_t got = source_.ReadAt(at, table.data(), table.size());
  if (got < 0) return refuse(ImageSaid::kReadCutShort);
  if (got < int64_t(table.size())) return RefuseTruncated(ImageFormat::kBmp, refuse);
  // Stored blue, green, red; an index past the table is black, and noted.
  past_.SetEntries(count);
  for (size_t i = 0; i < count; ++i) {
    for (size_t k = 0; k < 3; ++k) colours_[i * 3 + k] = table[i * entry + 2 - k];
  }
  return true;
}

void BmpDecoder::ReadMasks(const uint8_t* h) {
  if (compression_ == kRgb) {
    const bool five = bits_ == 16;  // 5 bits a channel, the top bit unused
    red_ = Channel(five ? 0x7C00 : 0xFF0000);
    green_ = Channel(five ? 0x03E0 : 0x00FF00);
    blue_ = Channel(five ? 0x001F : 0x0000FF);
    return;
  }
  // A 40-byte header has the masks after it, where a longer one holds them.
  uint8_t masks[12] = {};
  if (infoSize_ == 40) {
    source_.ReadExact(kMasksOffset, masks, sizeof masks);
  } else {
    std::copy(h + kMasksOffset, h + kMasksOffset + sizeof masks, masks);
  }
  red_ = Channel(U32(masks, 0));
  green_ = Channel(U32(masks, 4));
  blue_ = Channel(U32(masks, 8));
}

void BmpDecoder::Convert(int row, const uint8_t* in, uint8_t* rgb) {
  for (int64_t x = 0; x < columns_; ++x, rgb += 3) {
    if (bits_ <= 8) {
      const uint64_t bit = uint64_t(x) * bits_;
      const uint32_t index = (in[bit / 8] >> (8 - bits_ - bit % 8)) & ((1u << bits_) - 1);
      past_.Past(row, x, index);
      std::copy_n(&colours_[index * 3], 3, rgb);
    } else if (bits_ == 24) {
      for (int k = 0; k < 3; ++k) rgb[k] = in[x * 3 + 2 - k];
    } else {
      const uint32_t pixel = bits_ == 16 ? U16(in, size_t(x) * 2) : U32(in, size_t(x) * 4);
      rgb[0] = red_.Level(pixel);
      rgb[1] = green_.Level(pixel);
      rgb[2] = blue_.Level(pixel);
    }
  }
}

bool BmpDecoder::DecodeRows(int wanted, RowSink* sink, const ImageRefusal& refuse) {
  if (compression_ == kRle8 || compression_ == kRle4) return DecodeRuns(wanted, sink, refuse);
  // Rows are padded to 4 bytes. The sizes were allowed before this is
  // asked, so the products stay small.
  stride_ = (uint64_t(columns_) * bits_ + 31) / 32 * 4;
  if (source_.size() < dataOffset_ + stride_ * uint64_t(rows_)) {
    return RefuseTruncated(ImageFormat::kBmp, refuse);
  }
  std::vector<uint8_t> stored(static_cast<size_t>(stride_)), rgb(static_cast<size_t>(columns_) * 3);
  for (int r = 0; r < wanted; ++r) {
    const uint64_t index = topDown_ ? uint64_t(r) : uint64_t(rows_ - 1 - r);
    if (!source_.ReadExact(dataOffset_ + index * stride_, stored.data(), stored.size())) {
      return refuse(ImageSaid::kReadCutShort);
    }
    Convert(r, stored.data(), rgb.data());
    ++rowsDecoded_;
    if (!sink->Row(r, rgb.data())) return false;
  }
  return true;
}

// Stored row `y` (bottom first) at column `x`, when it is one of the rows
// asked for.
void BmpDecoder::Paint(int64_t x, int64_t y, uint8_t index, int wanted,
                       std::vector<uint16_t>* held) const {
  const int64_t row = rows_ - 1 - y;
  if (y < rows_ && x < columns_ && row < wanted) (*held)[size_t(row * columns_ + x)] = index;
}

// Index `i` of bytes of 8-bit indices, or of two 4-bit ones each, high first.
uint8_t IndexAt(const uint8_t* bytes, int i, bool four) {
  if (!four) return bytes[i];
  return uint8_t(i % 2 == 0 ? bytes[i / 2] >> 4 : bytes[i / 2] & 15);
}

// Pairs of bytes: a count and what to repeat (an index, or two 4-bit ones
// in turn), or 0 and an escape: 0 ends the row, 1 the image, 2 moves right
// and up by the next two bytes, 3 and more takes that many indices as they
// stand, padded to two bytes. Each pixel of the rows wanted is painted into
// `held`; the row last reached goes to *y.
bool BmpDecoder::PaintRuns(int wanted, std::vector<uint16_t>* held, int64_t* y,
                           const ImageRefusal& refuse) {
  const bool four = compression_ == kRle4;
  ByteStream in(source_, dataOffset_);
  int64_t x = 0;
  for (uint8_t pair[2]; *y < rows_;) {
    if (in.Take(pair, 2) != 2)
      return in.failed() ? refuse(ImageSaid::kReadCutShort)
                         : RefuseTruncated(ImageFormat::kBmp, refuse);
    if (pair[0] > 0) {
      const uint8_t twice[2] = {pair[1], pair[1]};  // a run repeats its byte
      for (int i = 0; i < pair[0]; ++i, ++x) Paint(x, *y, IndexAt(twice, i % 2, four), wanted, held);
    } else if (pair[1] == 0) {
      x = 0, ++*y;
    } else if (pair[1] == 1) {
      break;
    } else if (pair[1] == 2) {
      uint8_t move[2];
      if (in.Take(move, 2) != 2) return RefuseTruncated(ImageFormat::kBmp, refuse);
      x += move[0], *y += move[1];
    } else {
      const int count = pair[1];
      const int bytes = four ? (count + 1) / 2 : count;
      uint8_t indices[256];
      if (in.Take(indices, size_t(bytes + bytes % 2)) != size_t(bytes + bytes % 2)) {
        return RefuseTruncated(ImageFormat::kBmp, refuse);
      }
      for (int i = 0; i < count; ++i, ++x) Paint(x, *y, IndexAt(indices, i, four), wanted, held);
    }
  }
  return true;
}

// The runs painted, then each row wanted in its colours; a pixel the runs
// skipped takes the table's first colour, and is counted.
bool BmpDecoder::DecodeRuns(int wanted, RowSink* sink, const ImageRefusal& refuse) {
  const int64_t rowBytes = columns_ * 3;
  if (rowBytes * wanted > kMaxHeldRowBytes) return RefuseHeldRows(rowBytes * wanted, refuse);
  std::vector<uint16_t> held(size_t(columns_ * wanted), kUnpainted);
  int64_t y = 0;
  if (!PaintRuns(wanted, &held, &y, refuse)) return false;
  rowsDecoded_ = std::min(y + 1, rows_);
  std::vector<uint8_t> rgb(static_cast<size_t>(rowBytes));
  for (int r = 0; r < wanted; ++r) {
    for (int64_t c = 0; c < columns_; ++c) {
      uint16_t index = held[size_t(r * columns_ + c)];
      if (index == kUnpainted) {
        if (unpainted_++ == 0) unpaintedRow_ = r, unpaintedColumn_ = c;
        index = 0;
      }
      past_.Past(r, c, index);
      std::copy_n(&colours_[size_t(index) * 3], 3, &rgb[size_t(c * 3)]);
    }
    if (!sink->Row(r, rgb.data())) return false;
  }
  return true;
}

// Runs may skip pixels, which then have no colour of their own.
void BmpDecoder::Notes(ImageNotes* notes) const {
  if (unpainted_ > 0)
    notes->push_back(ImageFault(ImageSaid::kRunsLeaveUnpainted)
                         .Count(unpainted_)
                         .Place(unpaintedColumn_, unpaintedRow_));
  past_.Note(notes);
}

}  // namespace

std::unique_ptr<ImageDecoder> NewBmpDecoder(const ByteSource& source) {
  return std::make_unique<BmpDecoder>(source);
}

}  // namespace plughost
