#include "kiss/cel.h"

#include "kiss/palette_bytes.h"

namespace {

int ReadU16(const uint8_t* p) { return p[0] | (p[1] << 8); }

// The header's fields into *cel; a refusal for those no reading can use.
CelRefusal ReadHead(const uint8_t* bytes, size_t size, Cel* cel) {
  CelRefusal refusal;
  refusal.size = size;
  const bool marked = BeginsWithPaletteSignature(bytes, size);
  refusal.form = marked ? CelForm::kMarked : CelForm::kUnmarked;
  const size_t headerSize = marked ? size_t{kCelHeaderSize} : size_t{kUnmarkedHeaderSize};
  if (size < headerSize) {
    refusal.fault = CelFault::kFewBytes;
    refusal.needed = headerSize;
    return refusal;
  }
  cel->form = refusal.form;
  if (marked) {
    refusal.mark = bytes[kCelMarkOffset];
    refusal.bits = bytes[kCelBitsOffset];
    cel->width = ReadU16(bytes + kCelWidthOffset);
    cel->height = ReadU16(bytes + kCelHeightOffset);
    cel->xOffset = ReadU16(bytes + kCelXOffsetOffset);
    cel->yOffset = ReadU16(bytes + kCelYOffsetOffset);
  } else {
    refusal.bits = 4;
    cel->width = ReadU16(bytes + kUnmarkedWidthOffset);
    cel->height = ReadU16(bytes + kUnmarkedHeightOffset);
    cel->xOffset = cel->yOffset = 0;
  }
  cel->bits = refusal.bits;
  refusal.width = cel->width;
  refusal.height = cel->height;
  if (marked && !IsCelMark(refusal.mark))
    refusal.fault = CelFault::kMark;
  else if (refusal.bits != 4 && refusal.bits != 8 && refusal.bits != 32)
    refusal.fault = CelFault::kBits;
  else if (cel->width < 1 || cel->height < 1)
    refusal.fault = CelFault::kNoPixels;
  else if (cel->width > kMaxCelSide || cel->height > kMaxCelSide ||
           int64_t{cel->width} * cel->height > kMaxCelPixels)
    refusal.fault = CelFault::kTooLarge;
  refusal.needed = headerSize + CelRowBytes(refusal.bits, cel->width) * uint64_t(cel->height);
  if (!refusal && refusal.needed > size) refusal.fault = CelFault::kCut;
  return refusal;
}

// One row of the file into `out`, one index (or four bytes of colour) a pixel.
void ReadRow(const uint8_t* row, int bits, int width, uint8_t* out) {
  if (bits == 8) {
    for (int x = 0; x < width; ++x) out[x] = row[x];
  } else if (bits == 4) {
    // The high four bits hold the left pixel.
    for (int x = 0; x < width; ++x)
      out[x] = uint8_t((x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2]) & 0x0F);
  } else {
    for (int x = 0; x < width; ++x) {
      const uint8_t* bgra = row + 4 * x;
      uint8_t* rgba = out + 4 * x;
      rgba[0] = bgra[2];
      rgba[1] = bgra[1];
      rgba[2] = bgra[0];
      rgba[3] = bgra[3];
    }
  }
}

}  // namespace

uint64_t CelRowBytes(int bits, int width) {
  const uint64_t w = width > 0 ? uint64_t(width) : 0;
  if (bits == 4) return (w + 1) / 2;
  return bits == 32 ? 4 * w : w;
}

CelRefusal ReadCel(const uint8_t* bytes, size_t size, Cel* cel) {
  *cel = Cel{};
  const CelRefusal refusal = ReadHead(bytes, size, cel);
  if (refusal) return refusal;
  const size_t rowBytes = size_t(CelRowBytes(cel->bits, cel->width));
  const size_t pixelBytes = cel->bits == 32 ? 4 : 1;
  const size_t outRow = size_t(cel->width) * pixelBytes;
  cel->pixels.resize(outRow * size_t(cel->height));
  const uint8_t* row =
      bytes + (cel->form == CelForm::kMarked ? kCelHeaderSize : kUnmarkedHeaderSize);
  for (int y = 0; y < cel->height; ++y, row += rowBytes)
    ReadRow(row, cel->bits, cel->width, cel->pixels.data() + size_t(y) * outRow);
  return refusal;
}

CelRefusal ReadCel(const std::vector<uint8_t>& bytes, Cel* cel) {
  return ReadCel(bytes.data(), bytes.size(), cel);
}
