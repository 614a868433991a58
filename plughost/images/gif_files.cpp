// GIF, read here: the first frame, placed on the logical screen, its LZW
// data decoded only as far as the rows asked for need, every block walked
// to the trailer so that a file cut short is noticed and later frames are
// counted for a note. A transparent pixel keeps the colour its table gives
// it, and a note says so: a palette has no transparency, and an editor that
// exports a transparent pixel stores the colour it had there.
#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "plughost/files/little_endian.h"
#include "plughost/images/image_decoders.h"

namespace plughost {

namespace {

constexpr size_t kScreenSize = 13;  // "GIF89a", then the logical screen
constexpr size_t kScreenWidthOffset = 6, kScreenHeightOffset = 8, kScreenFlagsOffset = 10;
constexpr size_t kBackgroundOffset = 11;
constexpr size_t kDescriptorSize = 9;  // after the ',' that starts an image
constexpr uint8_t kExtension = '!', kImage = ',', kTrailer = ';';
constexpr uint8_t kGraphicControl = 0xF9;
constexpr int kMaxCodes = 4096;

uint32_t U16(const uint8_t* b, size_t at) { return ReadU16(b + at); }

size_t TableEntries(uint8_t flags) { return flags & 0x80 ? size_t{2} << (flags & 7) : 0; }

// The frame's rows in the order the data holds them: interlaced frames give
// every 8th row from 0, every 8th from 4, every 4th from 2, then the odd ones.
int64_t FrameRow(int64_t ordinal, int64_t height, bool interlaced) {
  if (!interlaced) return ordinal;
  const int64_t pass1 = (height + 7) / 8, pass2 = (height + 3) / 8, pass3 = (height + 1) / 4;
  if (ordinal < pass1) return ordinal * 8;
  ordinal -= pass1;
  if (ordinal < pass2) return 4 + ordinal * 8;
  ordinal -= pass2;
  if (ordinal < pass3) return 2 + ordinal * 4;
  return 1 + (ordinal - pass3) * 2;
}

struct Frame {
  int64_t left = 0, top = 0, width = 0, height = 0;
  bool interlaced = false;
  int transparent = -1;
  std::array<uint8_t, 256 * 3> colours{};
};

// The LZW codes of one frame, as the strings of colour indices they stand for.
class Lzw {
 public:
  explicit Lzw(int minimum) : minimum_(minimum) { Reset(); }
  enum Step { kString, kClear, kEnd, kBad };
  // Takes one code: for kString, Length() and Expand() give its string.
  Step Take(int code);
  int Length() const { return length_[size_t(current_)]; }
  void Expand(uint8_t* into) const;
  int bits() const { return bits_; }

 private:
  void Reset();
  int minimum_, bits_ = 0, next_ = 0, previous_ = -1, current_ = 0;
  std::array<uint16_t, kMaxCodes> prefix_{}, length_{};
  std::array<uint8_t, kMaxCodes> suffix_{}, first_{};
};

void Lzw::Reset() {
  const int clear = 1 << minimum_;
  for (int i = 0; i < clear; ++i) {
    prefix_[size_t(i)] = 0;
    suffix_[size_t(i)] = first_[size_t(i)] = uint8_t(i);
    length_[size_t(i)] = 1;
  }
  bits_ = minimum_ + 1;
  next_ = clear + 2;
  previous_ = -1;
}

Lzw::Step Lzw::Take(int code) {
  const int clear = 1 << minimum_;
  if (code == clear) return Reset(), kClear;
  if (code == clear + 1) return kEnd;
  if (code > next_ || (code == next_ && previous_ < 0) || (previous_ < 0 && code > clear)) {
    return kBad;
  }
  if (previous_ >= 0 && next_ < kMaxCodes) {
    // A code one past the table stands for the previous string and its own first index.
    const auto at = size_t(next_++);
    prefix_[at] = uint16_t(previous_);
    suffix_[at] = first_[size_t(code == int(at) ? previous_ : code)];
    first_[at] = first_[size_t(previous_)];
    length_[at] = uint16_t(length_[size_t(previous_)] + 1);
    if (next_ == 1 << bits_ && bits_ < 12) ++bits_;
  }
  previous_ = current_ = code;
  return kString;
}

void Lzw::Expand(uint8_t* into) const {
  int code = current_;
  for (int i = length_[size_t(code)] - 1; i >= 0; --i) {
    into[i] = suffix_[size_t(code)];
    code = prefix_[size_t(code)];
  }
}

class GifDecoder : public ImageDecoder {
 public:
  explicit GifDecoder(const ByteSource& source) : in_(source) {}
  bool ReadHeader(const ImageRefusal& refuse) override;
  bool DecodeRows(int wanted, RowSink* sink, const ImageRefusal& refuse) override;
  void Notes(ImageNotes* notes) const override;

 private:
  enum Code { kCode, kDataEnds, kFileEnds };
  bool ReadTable(size_t entries, uint8_t* colours);
  bool FindFirstFrame(const ImageRefusal& refuse);
  bool ReadExtension();
  bool ReadDescriptor(const ImageRefusal& refuse);
  bool SkipSubBlocks();
  Code NextCode(int bits, int* code);
  bool DecodeFrame(int wanted, const ImageRefusal& refuse);
  void Place(int64_t from, const uint8_t* indices, int64_t count, int wanted);
  bool Wanted(int64_t from, int64_t count, int wanted) const;
  bool CountLaterFrames(const ImageRefusal& refuse);

  ByteStream in_;
  std::array<uint8_t, 256 * 3> global_{};
  uint8_t background_[3] = {};
  Frame frame_;
  std::vector<uint8_t> canvas_;  // the rows asked for, RGB
  // The data's sub-blocks as a bit stream.
  int blockLeft_ = 0;
  bool dataEnded_ = false;
  uint32_t bitBuffer_ = 0;
  int bitCount_ = 0;
  int laterFrames_ = 0;
  int64_t transparentRow_ = -1, transparentColumn_ = -1;  // the first among the rows read
  int backgroundIndex_ = -1;  // the screen's background, when its table holds it
  int64_t uncoveredRow_ = -1, uncoveredColumn_ = -1;  // the first pixel read the frame leaves
  IndicesPastTable past_;
};

bool GifDecoder::ReadTable(size_t entries, uint8_t* colours) {
  return in_.Take(colours, entries * 3) == entries * 3;
}

bool GifDecoder::ReadHeader(const ImageRefusal& refuse) {
  uint8_t screen[kScreenSize];
  if (in_.Take(screen, sizeof screen) != sizeof screen)
    return RefuseTruncated(ImageFormat::kGif, refuse);
  columns_ = U16(screen, kScreenWidthOffset);
  rows_ = U16(screen, kScreenHeightOffset);
  const size_t entries = TableEntries(screen[kScreenFlagsOffset]);
  if (!ReadTable(entries, global_.data())) return RefuseTruncated(ImageFormat::kGif, refuse);
  // Where the first frame leaves the screen uncovered: the background
  // colour the screen names from its table, else black.
  const uint8_t background = screen[kBackgroundOffset];
  if (background < entries) {
    std::copy_n(&global_[size_t(background) * 3], 3, background_);
    backgroundIndex_ = background;
  }
  frame_.colours = global_;
  past_.SetEntries(uint32_t(entries));
  return true;
}

bool GifDecoder::SkipSubBlocks() {
  uint8_t length = 0;
  while (in_.Next(&length)) {
    if (length == 0) return true;
    in_.Skip(length);
  }
  return false;
}

// An extension: its label, then sub-blocks. Only the graphic control one
// before the first frame is read, for the frame's transparent colour.
bool GifDecoder::ReadExtension() {
  uint8_t label = 0, length = 0;
  if (!in_.Next(&label) || !in_.Next(&length)) return false;
  if (length == 0) return true;
  uint8_t block[4] = {};
  if (label == kGraphicControl && length >= sizeof block) {
    if (in_.Take(block, sizeof block) != sizeof block) return false;
    frame_.transparent = block[0] & 1 ? block[3] : -1;
    in_.Skip(length - sizeof block);
  } else {
    in_.Skip(length);
  }
  return SkipSubBlocks();
}

bool GifDecoder::ReadDescriptor(const ImageRefusal& refuse) {
  uint8_t d[kDescriptorSize];
  if (in_.Take(d, sizeof d) != sizeof d) return RefuseTruncated(ImageFormat::kGif, refuse);
  frame_.left = U16(d, 0);
  frame_.top = U16(d, 2);
  frame_.width = U16(d, 4);
  frame_.height = U16(d, 6);
  frame_.interlaced = (d[8] & 0x40) != 0;
  const size_t entries = TableEntries(d[8]);
  if (entries > 0) frame_.colours.fill(0), past_.SetEntries(uint32_t(entries));
  if (!ReadTable(entries, frame_.colours.data())) return RefuseTruncated(ImageFormat::kGif, refuse);
  return true;
}

bool GifDecoder::FindFirstFrame(const ImageRefusal& refuse) {
  for (uint8_t block = 0;;) {
    if (!in_.Next(&block)) return RefuseTruncated(ImageFormat::kGif, refuse);
    if (block == kImage) return ReadDescriptor(refuse);
    if (block == kTrailer) return refuse(ImageSaid::kGifNoImage);
    if (block != kExtension) return RefuseUndecodable(ImageFormat::kGif, refuse);
    if (!ReadExtension()) return RefuseTruncated(ImageFormat::kGif, refuse);
  }
}

// Codes are packed low bit first across the data's sub-blocks.
GifDecoder::Code GifDecoder::NextCode(int bits, int* code) {
  while (bitCount_ < bits) {
    uint8_t byte = 0;
    if (blockLeft_ == 0) {
      if (!in_.Next(&byte)) return kFileEnds;
      if (byte == 0) return dataEnded_ = true, kDataEnds;
      blockLeft_ = byte;
    }
    if (!in_.Next(&byte)) return kFileEnds;
    --blockLeft_;
    bitBuffer_ |= uint32_t{byte} << bitCount_;
    bitCount_ += 8;
  }
  *code = int(bitBuffer_ & ((1u << bits) - 1));
  bitBuffer_ >>= bits;
  bitCount_ -= bits;
  return kCode;
}

// Whether the `count` pixels from `from` on touch a row asked for.
bool GifDecoder::Wanted(int64_t from, int64_t count, int wanted) const {
  const int64_t last = (from + count - 1) / frame_.width;
  for (int64_t ordinal = from / frame_.width; ordinal <= last; ++ordinal) {
    if (frame_.top + FrameRow(ordinal, frame_.height, frame_.interlaced) < wanted) return true;
  }
  return false;
}

void GifDecoder::Place(int64_t from, const uint8_t* indices, int64_t count, int wanted) {
  for (int64_t i = 0; i < count; ++i) {
    const int64_t ordinal = (from + i) / frame_.width, x = (from + i) % frame_.width;
    const int64_t row = frame_.top + FrameRow(ordinal, frame_.height, frame_.interlaced);
    const int64_t column = frame_.left + x;
    if (row >= wanted || column >= columns_) continue;
    past_.Past(row, column, indices[i]);
    if (indices[i] == frame_.transparent &&
        (transparentRow_ < 0 || row < transparentRow_ ||
         (row == transparentRow_ && column < transparentColumn_))) {
      transparentRow_ = row;
      transparentColumn_ = column;
    }
    std::copy_n(&frame_.colours[size_t(indices[i]) * 3], 3,
                &canvas_[size_t((row * columns_ + column) * 3)]);
  }
}

bool GifDecoder::DecodeFrame(int wanted, const ImageRefusal& refuse) {
  uint8_t minimum = 0;
  if (!in_.Next(&minimum)) return RefuseTruncated(ImageFormat::kGif, refuse);
  if (minimum < 1 || minimum > 8) return RefuseUndecodable(ImageFormat::kGif, refuse);
  Lzw lzw(minimum);
  std::vector<uint8_t> indices(kMaxCodes);
  const int64_t total = frame_.width * frame_.height;
  for (int64_t at = 0; at < total;) {
    // Rows arrive in order unless interlaced: past the last row asked for, stop.
    if (!frame_.interlaced && frame_.top + at / frame_.width >= wanted) break;
    int code = 0;
    const Code got = NextCode(lzw.bits(), &code);
    if (got == kFileEnds) return RefuseTruncated(ImageFormat::kGif, refuse);
    if (got == kDataEnds) break;  // fewer pixels than the frame: the rest stay as they are
    const Lzw::Step step = lzw.Take(code);
    if (step == Lzw::kBad) return RefuseUndecodable(ImageFormat::kGif, refuse);
    if (step == Lzw::kEnd) break;
    if (step == Lzw::kClear) continue;
    const int64_t count = std::min<int64_t>(lzw.Length(), total - at);
    if (Wanted(at, count, wanted)) {
      lzw.Expand(indices.data());
      Place(at, indices.data(), count, wanted);
    }
    at += count;
  }
  if (dataEnded_) return true;
  in_.Skip(uint64_t(blockLeft_));
  return SkipSubBlocks() || RefuseTruncated(ImageFormat::kGif, refuse);
}

// After the first frame, block by block to the trailer.
bool GifDecoder::CountLaterFrames(const ImageRefusal& refuse) {
  for (uint8_t block = 0;;) {
    if (!in_.Next(&block)) return RefuseTruncated(ImageFormat::kGif, refuse);
    if (block == kTrailer) return true;
    bool whole = false;
    if (block == kExtension) {
      uint8_t label = 0;
      whole = in_.Next(&label) && SkipSubBlocks();
    } else if (block == kImage) {
      uint8_t d[kDescriptorSize], minimum = 0;
      ++laterFrames_;
      whole = in_.Take(d, sizeof d) == sizeof d;
      in_.Skip(TableEntries(d[8]) * 3);
      whole = whole && in_.Next(&minimum) && SkipSubBlocks();
    } else {
      return true;  // not a block: what follows the frames is not read
    }
    if (!whole) return RefuseTruncated(ImageFormat::kGif, refuse);
  }
}

bool GifDecoder::DecodeRows(int wanted, RowSink* sink, const ImageRefusal& refuse) {
  const int64_t rowBytes = columns_ * 3;
  if (rowBytes * wanted > kMaxHeldRowBytes) return RefuseHeldRows(rowBytes * wanted, refuse);
  canvas_.resize(size_t(rowBytes * wanted));
  for (size_t i = 0; i < canvas_.size(); ++i) canvas_[i] = background_[i % 3];
  if (!FindFirstFrame(refuse) || !DecodeFrame(wanted, refuse) || !CountLaterFrames(refuse)) {
    return false;
  }
  // The first pixel read outside the frame, in the image's order.
  for (int64_t r = 0; r < wanted && uncoveredRow_ < 0; ++r) {
    const bool rowCovered = r >= frame_.top && r < frame_.top + frame_.height;
    const int64_t column = !rowCovered || frame_.left > 0 ? 0 : frame_.left + frame_.width;
    if (column < columns_) uncoveredRow_ = r, uncoveredColumn_ = column;
  }
  for (int r = 0; r < wanted; ++r) {
    if (!sink->Row(r, &canvas_[size_t(r * rowBytes)])) return false;
  }
  return true;
}

// 0xRRGGBB: a colour as the notes name it.
uint32_t Rgb(const uint8_t* rgb) { return uint32_t{rgb[0]} << 16 | uint32_t{rgb[1]} << 8 | rgb[2]; }

void GifDecoder::Notes(ImageNotes* notes) const {
  if (transparentRow_ >= 0) {
    notes->push_back(ImageFault(ImageSaid::kGifTransparent)
                         .Place(transparentColumn_, transparentRow_)
                         .Colour(Rgb(&frame_.colours[size_t(frame_.transparent) * 3]))
                         .Value(frame_.transparent));
  }
  if (uncoveredRow_ >= 0) {
    const bool named = backgroundIndex_ >= 0;
    ImageFault uncovered(named ? ImageSaid::kGifUncoveredBackground
                               : ImageSaid::kGifUncoveredBlack);
    uncovered.Place(uncoveredColumn_, uncoveredRow_);
    if (named) uncovered.Colour(Rgb(background_)).Value(backgroundIndex_);
    notes->push_back(uncovered);
  }
  past_.Note(notes);
  if (laterFrames_ > 0)
    notes->push_back(ImageFault(ImageSaid::kAnimationFirstFrame).Count(laterFrames_ + 1));
}

}  // namespace

std::unique_ptr<ImageDecoder> NewGifDecoder(const ByteSource& source) {
  return std::make_unique<GifDecoder>(source);
}

}  // namespace plughost
