#include "plughost/images/image_headers.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace plughost {

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t ReadU16LE(const Bytes& b, size_t at) { return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8; }
uint32_t ReadU32LE(const Bytes& b, size_t at) {
  return ReadU16LE(b, at) | ReadU16LE(b, at + 2) << 16;
}
uint32_t ReadU32BE(const Bytes& b, size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

bool HasChars(const Bytes& b, size_t at, const char* chars) {
  const size_t n = std::strlen(chars);
  return b.size() >= at + n && std::equal(chars, chars + n, b.begin() + long(at),
                                          [](char c, uint8_t byte) { return uint8_t(c) == byte; });
}

constexpr size_t kPngSignatureSize = 8;
constexpr size_t kPngChunkTypeOffset = 4;  // within a chunk, after its length
constexpr size_t kPngChunkOverhead = 12;   // length, type and CRC
constexpr size_t kPngWidthOffset = 16;     // in IHDR, always the first chunk
constexpr size_t kPngHeightOffset = 20;

// Chunk by chunk to IEND and its CRC: stb_image stops at IEND's type, so a
// file that lost only its last bytes would otherwise pass.
bool PngEndsEarly(const Bytes& b) {
  for (size_t at = kPngSignatureSize; b.size() - at >= kPngChunkOverhead;) {
    if (HasChars(b, at + kPngChunkTypeOffset, "IEND")) return false;
    const uint32_t length = ReadU32BE(b, at);
    if (length > b.size() - at - kPngChunkOverhead) return true;
    at += kPngChunkOverhead + length;
  }
  return true;
}

// The end-of-image marker, as the last two bytes.
bool JpegEndsEarly(const Bytes& b) {
  return b.size() < 4 || b[b.size() - 2] != 0xFF || b[b.size() - 1] != 0xD9;
}

constexpr size_t kGifScreenFlagsOffset = 10;  // top bit: a colour table follows
constexpr size_t kGifBlocksOffset = 13;
constexpr size_t kGifImageFlagsOffset = 9;  // within an image descriptor
constexpr size_t kGifImageDescriptorSize = 10;
constexpr uint8_t kGifExtension = '!', kGifImage = ',', kGifTrailer = ';';

size_t GifColourTableSize(uint8_t flags) {
  return flags & 0x80 ? size_t{3} << ((flags & 7) + 1) : 0;
}

size_t SkipGifSubBlocks(const Bytes& b, size_t at) {
  while (at < b.size() && b[at] != 0) at += size_t{b[at]} + 1;
  return at + 1;
}

// Block by block to the trailer: stb_image takes a GIF that stops early for
// whole, with the missing pixels black. A byte that starts no block is left
// to stb_image to judge.
bool GifEndsEarly(const Bytes& b) {
  if (b.size() < kGifBlocksOffset) return true;
  size_t at = kGifBlocksOffset + GifColourTableSize(b[kGifScreenFlagsOffset]);
  while (at < b.size() && b[at] != kGifTrailer) {
    if (b[at] == kGifImage) {
      if (b.size() - at <= kGifImageFlagsOffset) return true;
      at += kGifImageDescriptorSize + GifColourTableSize(b[at + kGifImageFlagsOffset]) + 1;
    } else if (b[at] == kGifExtension) {
      at += 2;
    } else {
      return false;
    }
    at = SkipGifSubBlocks(b, at);
  }
  return at >= b.size();
}

constexpr size_t kBmpDataOffset = 10;
constexpr size_t kBmpInfoSizeOffset = 14;
constexpr uint32_t kBmpCoreInfoSize = 12;  // OS/2's header: 16-bit sizes, no compression
constexpr size_t kBmpCoreWidthOffset = 18, kBmpCoreHeightOffset = 20, kBmpCoreBitsOffset = 24;
constexpr size_t kBmpWidthOffset = 18, kBmpHeightOffset = 22, kBmpBitsOffset = 28;
constexpr size_t kBmpCompressionOffset = 30;
constexpr uint32_t kBmpRgb = 0, kBmpBitFields = 3, kBmpAlphaBitFields = 6;

// stb_image reads a BMP that stops early as if the rest were zeros. Rows of
// uncompressed pixels are padded to 4 bytes; run-length coded data's length
// is known only by decoding it.
bool BmpEndsEarly(const Bytes& b) {
  const bool core =
      b.size() >= kBmpInfoSizeOffset + 4 && ReadU32LE(b, kBmpInfoSizeOffset) == kBmpCoreInfoSize;
  if (b.size() < (core ? kBmpCoreBitsOffset + 2 : kBmpCompressionOffset + 4)) return true;
  // The full header's sizes are signed: a negative height is stored top row first.
  const int64_t width =
      core ? ReadU16LE(b, kBmpCoreWidthOffset) : int64_t{int32_t(ReadU32LE(b, kBmpWidthOffset))};
  const int64_t height =
      core ? ReadU16LE(b, kBmpCoreHeightOffset) : int64_t{int32_t(ReadU32LE(b, kBmpHeightOffset))};
  const int64_t bits = ReadU16LE(b, core ? kBmpCoreBitsOffset : kBmpBitsOffset);
  const uint32_t compression = core ? kBmpRgb : ReadU32LE(b, kBmpCompressionOffset);
  if (compression != kBmpRgb && compression != kBmpBitFields && compression != kBmpAlphaBitFields) {
    return false;
  }
  const int64_t stride = (width * bits + 31) / 32 * 4;
  return int64_t(b.size()) < int64_t{ReadU32LE(b, kBmpDataOffset)} + stride * std::abs(height);
}

constexpr size_t kTgaIdLengthOffset = 0, kTgaMapTypeOffset = 1, kTgaImageTypeOffset = 2;
constexpr size_t kTgaMapLengthOffset = 5, kTgaMapBitsOffset = 7;
constexpr size_t kTgaWidthOffset = 12, kTgaHeightOffset = 14, kTgaBitsOffset = 16;
constexpr size_t kTgaHeaderSize = 18;
constexpr uint8_t kTgaLastUncodedType = 3;  // 1 colour-mapped, 2 true colour, 3 grey

int64_t TgaBytes(uint8_t bits) { return (bits + 7) / 8; }

// stb_image leaves the pixels of an uncompressed TGA that stops early unset.
bool TgaEndsEarly(const Bytes& b) {
  if (b.size() < kTgaHeaderSize) return true;
  if (b[kTgaImageTypeOffset] > kTgaLastUncodedType) return false;  // run-length coded
  const int64_t map = b[kTgaMapTypeOffset] == 1
                          ? ReadU16LE(b, kTgaMapLengthOffset) * TgaBytes(b[kTgaMapBitsOffset])
                          : 0;
  const int64_t pixels = int64_t{ReadU16LE(b, kTgaWidthOffset)} * ReadU16LE(b, kTgaHeightOffset) *
                         TgaBytes(b[kTgaBitsOffset]);
  return int64_t(b.size()) < int64_t(kTgaHeaderSize) + b[kTgaIdLengthOffset] + map + pixels;
}

}  // namespace

ImageKind ImageKindOf(const Bytes& b) {
  if (HasChars(b, 0, "\x89PNG\r\n\x1A\n")) return ImageKind::kPng;
  if (HasChars(b, 0, "\xFF\xD8\xFF")) return ImageKind::kJpeg;
  if (HasChars(b, 0, "GIF8")) return ImageKind::kGif;
  if (HasChars(b, 0, "BM")) return ImageKind::kBmp;
  for (const char* form : {"P2", "P3", "P5", "P6"}) {
    if (HasChars(b, 0, form)) return ImageKind::kPnm;
  }
  return ImageKind::kOther;  // TGA has no mark; stb_image judges it by its header
}

const char* ImageKindName(ImageKind kind) {
  switch (kind) {
    case ImageKind::kPng: return "PNG";
    case ImageKind::kJpeg: return "JPEG";
    case ImageKind::kGif: return "GIF";
    case ImageKind::kBmp: return "BMP";
    case ImageKind::kPnm: return "PPM";
    case ImageKind::kTga: return "TGA";
    case ImageKind::kOther: break;
  }
  return "image";
}

bool PngSize(const Bytes& b, int64_t* columns, int64_t* rows) {
  if (b.size() < kPngHeightOffset + 4 ||
      !HasChars(b, kPngSignatureSize + kPngChunkTypeOffset, "IHDR")) {
    return false;
  }
  *columns = ReadU32BE(b, kPngWidthOffset);
  *rows = ReadU32BE(b, kPngHeightOffset);
  return true;
}

bool ImageEndsEarly(ImageKind kind, const Bytes& b) {
  switch (kind) {
    case ImageKind::kPng: return PngEndsEarly(b);
    case ImageKind::kJpeg: return JpegEndsEarly(b);
    case ImageKind::kGif: return GifEndsEarly(b);
    case ImageKind::kBmp: return BmpEndsEarly(b);
    case ImageKind::kTga: return TgaEndsEarly(b);
    case ImageKind::kPnm:
    case ImageKind::kOther: break;
  }
  return false;
}

}  // namespace plughost
