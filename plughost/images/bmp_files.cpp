// BMP, read here: Windows' and OS/2's headers, 1 to 32 bits a pixel
// uncompressed or with bit fields, bottom-up or top-down. Each row asked for
// is read from where it lies in the file, so a bottom-up file's top rows
// cost no more than a top-down one's.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "plughost/files/little_endian.h"
#include "plughost/images/image_decoders.h"

namespace plughost {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kDataOffsetOffset = 10;
constexpr size_t kInfoSizeOffset = 14;
constexpr uint32_t kCoreInfoSize = 12;  // OS/2's: 16-bit sizes, 3-byte colours, no compression
constexpr size_t kCoreWidthOffset = 18, kCoreHeightOffset = 20, kCorePlanesOffset = 22;
constexpr size_t kCoreBitsOffset = 24;
constexpr size_t kWidthOffset = 18, kHeightOffset = 22, kPlanesOffset = 26, kBitsOffset = 28;
constexpr size_t kCompressionOffset = 30, kColoursUsedOffset = 46;
constexpr size_t kMasksOffset = 54;  // in the header from 52 bytes on, else just after it
constexpr size_t kMaxHeaderBytes = kFileHeaderSize + 124;
constexpr uint32_t kRgb = 0, kBitFields = 3, kAlphaBitFields = 6;

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
  bool ReadForm(const uint8_t* h, const ImageRefusal& refuse);
  bool ReadColourTable(const uint8_t* h, const ImageRefusal& refuse);
  void ReadMasks(const uint8_t* h);
  void Convert(const uint8_t* in, uint8_t* rgb) const;

  const ByteSource& source_;
  uint32_t infoSize_ = 0, bits_ = 0, compression_ = kRgb;
  uint64_t dataOffset_ = 0, stride_ = 0;
  bool topDown_ = false;
  std::array<uint8_t, 256 * 3> colours_{};
  Channel red_, green_, blue_;
};

bool BmpDecoder::ReadHeader(const ImageRefusal& refuse) {
  uint8_t h[kMaxHeaderBytes] = {};
  const int64_t got = source_.ReadAt(0, h, sizeof h);
  if (got < int64_t(kInfoSizeOffset + 4)) return RefuseTruncated("BMP", refuse);
  infoSize_ = U32(h, kInfoSizeOffset);
  const bool known = infoSize_ == kCoreInfoSize || infoSize_ == 40 || infoSize_ == 52 ||
                     infoSize_ == 56 || infoSize_ == 108 || infoSize_ == 124;
  if (!known) return RefuseUndecodable("BMP", refuse);
  if (got < int64_t(kFileHeaderSize + infoSize_)) return RefuseTruncated("BMP", refuse);
  dataOffset_ = U32(h, kDataOffsetOffset);
  const bool core = infoSize_ == kCoreInfoSize;
  const uint32_t planes = U16(h, core ? kCorePlanesOffset : kPlanesOffset);
  columns_ = core ? U16(h, kCoreWidthOffset) : int64_t{int32_t(U32(h, kWidthOffset))};
  const int64_t height = core ? U16(h, kCoreHeightOffset) : int64_t{int32_t(U32(h, kHeightOffset))};
  // A negative height is stored top row first.
  topDown_ = height < 0;
  rows_ = std::abs(height);
  if (planes != 1) return RefuseUndecodable("BMP", refuse);
  return ReadForm(h, refuse);
}

bool BmpDecoder::ReadForm(const uint8_t* h, const ImageRefusal& refuse) {
  const bool core = infoSize_ == kCoreInfoSize;
  bits_ = U16(h, core ? kCoreBitsOffset : kBitsOffset);
  compression_ = core ? kRgb : U32(h, kCompressionOffset);
  const bool masked = compression_ == kBitFields || compression_ == kAlphaBitFields;
  const bool bitsKnown = bits_ == 1 || bits_ == 4 || bits_ == 8 || bits_ == 16 || bits_ == 24 ||
                         bits_ == 32;
  // Run-length coded rows (compression 1 and 2) have no place of their own
  // in the file, and are not read.
  if (!bitsKnown || (compression_ != kRgb && !masked) || (masked && bits_ != 16 && bits_ != 32)) {
    return RefuseUndecodable("BMP", refuse);
  }
  if (bits_ <= 8) return ReadColourTable(h, refuse);
  ReadMasks(h);
  return true;
}

bool BmpDecoder::ReadColourTable(const uint8_t* h, const ImageRefusal& refuse) {
  const bool core = infoSize_ == kCoreInfoSize;
  const uint32_t used = core ? 0 : U32(h, kColoursUsedOffset);
  const uint32_t count = used == 0 || used > (1u << bits_) ? 1u << bits_ : used;
  const size_t entry = core ? 3 : 4;
  std::vector<uint8_t> table(count * entry);
  const uint64_t at = kFileHeaderSize + infoSize_;
  const int64_t got = source_.ReadAt(at, table.data(), table.size());
  if (got < 0) return refuse("could not be read to its end");
  if (got < int64_t(table.size())) return RefuseTruncated("BMP", refuse);
  // Stored blue, green, red; an index past the table is black.
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

void BmpDecoder::Convert(const uint8_t* in, uint8_t* rgb) const {
  for (int64_t x = 0; x < columns_; ++x, rgb += 3) {
    if (bits_ <= 8) {
      const uint64_t bit = uint64_t(x) * bits_;
      const uint32_t index = (in[bit / 8] >> (8 - bits_ - bit % 8)) & ((1u << bits_) - 1);
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
  // Rows are padded to 4 bytes. The sizes were allowed before this is
  // asked, so the products stay small.
  stride_ = (uint64_t(columns_) * bits_ + 31) / 32 * 4;
  if (source_.size() < dataOffset_ + stride_ * uint64_t(rows_)) {
    return RefuseTruncated("BMP", refuse);
  }
  std::vector<uint8_t> stored(static_cast<size_t>(stride_)), rgb(static_cast<size_t>(columns_) * 3);
  for (int r = 0; r < wanted; ++r) {
    const uint64_t index = topDown_ ? uint64_t(r) : uint64_t(rows_ - 1 - r);
    if (!source_.ReadExact(dataOffset_ + index * stride_, stored.data(), stored.size())) {
      return refuse("could not be read to its end");
    }
    Convert(stored.data(), rgb.data());
    if (!sink->Row(r, rgb.data())) return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<ImageDecoder> NewBmpDecoder(const ByteSource& source) {
  return std::make_unique<BmpDecoder>(source);
}

}  // namespace plughost
