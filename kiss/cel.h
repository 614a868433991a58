// The KiSS cel: an image whose pixels are colour indices (4 or 8 bits a
// pixel) into one group of a palette, or colours of their own (32 bits),
// placed at an offset from its object's position. Two forms: the marked one,
// a 32-byte header beginning "KiSS" and the cel's mark, and the older
// unmarked one, a width and a height and then 4-bit rows. Index 0 is
// transparent. A cel is read whole from bytes in memory; what is wrong with
// it comes back as a fault with its fields, for the caller to put in words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The marked header's fields, by byte offset; numbers are unsigned 16-bit
// little-endian. Bytes 6-7 and 16-31 are reserved (some tools write there).
constexpr int kCelHeaderSize = 32;
constexpr int kCelMarkOffset = 4;
constexpr int kCelBitsOffset = 5;
constexpr int kCelWidthOffset = 8;
constexpr int kCelHeightOffset = 10;
constexpr int kCelXOffsetOffset = 12;
constexpr int kCelYOffsetOffset = 14;
// The unmarked form: width at 0, height at 2, 4-bit rows from 4.
constexpr int kUnmarkedHeaderSize = 4;
constexpr int kUnmarkedWidthOffset = 0;
constexpr int kUnmarkedHeightOffset = 2;

// A cel's mark: 32 for cels of indices, 33 for cels of colours (both are
// seen with 32 bits a pixel).
constexpr uint8_t kCelMark = 32;
constexpr uint8_t kColourCelMark = 33;

// Limits held before a pixel is read: sets draw within a few hundred pixels
// a side, and a cel of colours holds 4 bytes a pixel.
constexpr int kMaxCelSide = 8192;
constexpr int64_t kMaxCelPixels = int64_t{16} << 20;

enum class CelForm { kUnmarked, kMarked };

struct Cel {
  CelForm form = CelForm::kMarked;
  int bits = 0;  // 4, 8 or 32
  int width = 0;
  int height = 0;
  int xOffset = 0;  // from its object's position, in pixels
  int yOffset = 0;
  // width x height, row by row from the top: one colour index a pixel for
  // 4 and 8 bits, or red, green, blue and alpha (4 bytes) for 32.
  std::vector<uint8_t> pixels;

  bool Indexed() const { return bits != 32; }
};

enum class CelFault {
  kNone,
  kFewBytes,  // fewer bytes than its header: `size`
  kMark,      // "KiSS", but a mark other than a cel's: `mark`
  kBits,      // bits a pixel other than 4, 8 or 32: `bits`
  kNoPixels,  // a width or height of 0
  kTooLarge,  // a side past kMaxCelSide, or more pixels than kMaxCelPixels
  kCut,       // fewer bytes than its rows: `needed`, `size`
};

// What was found wrong, with the numbers a sentence about it names.
struct CelRefusal {
  CelFault fault = CelFault::kNone;
  CelForm form = CelForm::kMarked;
  int mark = 0;
  int bits = 0;
  int width = 0;
  int height = 0;
  uint64_t needed = 0;  // bytes the header and rows take
  uint64_t size = 0;    // bytes there are
  explicit operator bool() const { return fault != CelFault::kNone; }
};

// Reads the cel in `bytes` into *cel. Bytes past its last row are passed
// over. A file that does not begin "KiSS" is read as the unmarked form.
CelRefusal ReadCel(const uint8_t* bytes, size_t size, Cel* cel);
CelRefusal ReadCel(const std::vector<uint8_t>& bytes, Cel* cel);

// Bytes one row of `width` pixels takes at `bits` a pixel: 4-bit rows end
// on a whole byte.
uint64_t CelRowBytes(int bits, int width);
