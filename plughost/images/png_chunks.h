// A PNG file's chunks one after another, by their framing alone (length,
// type, where the data lies), and the top rows of an interlaced image read
// from the first rows of each pass. What libspng is handed and what is
// decoded here both start from these.
#pragma once

#include <cstdint>
#include <cstring>

#include "plughost/images/byte_source.h"
#include "plughost/images/image_refusal.h"

namespace plughost {

// PNG's numbers are big-endian: its one reader of them.
inline uint32_t ReadBigU32(const uint8_t* b) {
  return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}

constexpr uint64_t kPngSignatureSize = 8;
constexpr uint64_t kPngChunkFrame = 12;  // length and type before the data, checksum after
constexpr uint32_t kMaxPngChunkLength = 0x7FFFFFFF;

struct PngChunk {
  uint64_t at = 0;  // of its length field
  uint32_t length = 0;
  char type[4] = {};
  bool Is(const char* name) const { return std::memcmp(type, name, 4) == 0; }
  // Bit 5 of the first letter: a reader may pass the chunk by.
  bool Ancillary() const { return (uint8_t(type[0]) & 0x20) != 0; }
  uint64_t data() const { return at + 8; }
  uint64_t end() const { return at + kPngChunkFrame + length; }
};

// The chunk whose length field is at `at`; false when the file ends inside
// its first eight bytes or cannot be read there.
bool ReadPngChunk(const ByteSource& source, uint64_t at, PngChunk* chunk);

// Whether every IDAT chunk that starts before `end` matches its checksum:
// image data that does not inflate is most often bytes changed in the
// file, which the checksum then names.
bool IdatChecksumsMatch(const ByteSource& source, uint64_t end);

// How the interlaced reader failed, for its caller to put in words.
enum class PngFault { kNone, kTruncated, kChecksum, kDamagedData, kBadFilter, kReadFailed };

// For an image whose top rows alone were inflated: every IDAT chunk's
// checksum, read without inflating, and a chunk after the last of them, so
// that a file damaged or cut below the rows read is not taken for sound.
// Compressed data changed with its checksum made to match is not found.
PngFault CheckImageDataToItsEnd(const ByteSource& source);

// Sample `x` of a row of samples under 8 bits each, packed high bits first.
inline unsigned PackedSample(const uint8_t* row, int64_t x, int depth) {
  const uint64_t bit = uint64_t(x) * uint64_t(depth);
  return (row[size_t(bit / 8)] >> (8 - depth - int(bit % 8))) & ((1u << depth) - 1);
}

// What the interlaced reader needs of the header and palette.
struct PngForm {
  int64_t columns = 0, rows = 0;
  int depth = 0, colourType = 0;
  const uint8_t* palette = nullptr;  // 256 RGB entries for colour type 3
  IndicesPastTable* past = nullptr;  // told of each index past the palette, when given
};

// Rows 0 to wanted - 1 of an Adam7-interlaced image into `rgb` (wanted rows
// of columns x 3 bytes), unfiltering only the rows of each pass that fall
// among them: the other rows of a pass are inflated and dropped, so what is
// done follows the rows asked for and the file's size, not the image's
// area. `rowsDecoded` counts the rows unfiltered.
PngFault DecodeAdam7Top(const ByteSource& source, const PngForm& form, int wanted, uint8_t* rgb,
                        int64_t* rowsDecoded);

}  // namespace plughost
