// PNG through libspng, both ways: decoded row by row from the file, with
// its checksums; written from an Image. libspng is handed only the chunks
// that make pixels, and the top rows of an interlaced image are decoded
// here (png_chunks.h), so that neither metadata nor a tall interlaced
// image costs more than the rows a save reads.
#include <spng.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "plughost/images/image_decoders.h"
#include "plughost/images/png_chunks.h"
#include "plughost/images/png_files.h"

namespace plughost {

namespace {

// Only the palette is cached of what libspng is handed.
constexpr size_t kMaxChunkBytes = size_t{4} << 20;
constexpr size_t kMaxChunkCacheBytes = size_t{8} << 20;

struct SpngContext {
  spng_ctx* ctx;
  explicit SpngContext(int flags) : ctx(spng_ctx_new(flags)) {}
  ~SpngContext() { spng_ctx_free(ctx); }
  SpngContext(const SpngContext&) = delete;
  SpngContext& operator=(const SpngContext&) = delete;
};

class PngDecoder : public ImageDecoder {
 public:
  explicit PngDecoder(const ByteSource& source) : source_(source), spng_(0) {}
  bool ReadHeader(const ImageRefusal& refuse) override;
  bool DecodeRows(int wanted, RowSink* sink, const ImageRefusal& refuse) override;
  void Notes(ImageNotes* notes) const override;

 private:
  static int Read(spng_ctx*, void* user, void* into, size_t count);
  bool NextKept();
  void Notice(const PngChunk& chunk);
  bool Refuse(int code, const ImageRefusal& refuse) const;
  bool RefuseUnknownChunk(const ImageRefusal& refuse) const;
  bool RefuseFault(PngFault fault, const ImageRefusal& refuse) const;
  bool Interlaced(int wanted, RowSink* sink, const ImageRefusal& refuse);
  bool InterlacedTop(int wanted, RowSink* sink, const ImageRefusal& refuse);
  bool Finish(int wanted, const ImageRefusal& refuse);
  int PaletteEntries(std::array<uint8_t, 256 * 3>* palette);
  PngForm FormOf(const uint8_t* palette);
  void ScanIndices(int wanted);

  const ByteSource& source_;
  uint64_t at_ = 0;
  uint64_t left_ = kPngSignatureSize;  // of the signature or chunk being handed on
  bool readFailed_ = false;
  bool cutShort_ = false;  // libspng does not pass every end of the file on
  char lastType_[4] = {};
  uint32_t frames_ = 0;  // an animated PNG's, from its acTL chunk
  bool frameBeforeImage_ = false;
  bool imageSeen_ = false;
  SpngContext spng_;
  spng_ihdr ihdr_{};
  IndicesPastTable past_;
};

// The next chunk to hand on, passing ancillary ones by: text, profiles,
// Exif and the like change no pixel, so their size, number and form cannot
// refuse an image. At the end of the file (or a chunk cut short) the rest
// is handed on as it is, for libspng to find the file cut short.
bool PngDecoder::NextKept() {
  PngChunk chunk;
  while (ReadPngChunk(source_, at_, &chunk)) {
    Notice(chunk);
    if (!chunk.Ancillary() || chunk.length > kMaxPngChunkLength) {
      std::copy_n(chunk.type, 4, lastType_);
      left_ = kPngChunkFrame + chunk.length;
      return true;
    }
    at_ = chunk.end();
  }
  left_ = at_ < source_.size() ? source_.size() - at_ : 0;
  return left_ > 0;
}

// An animation's chunks come before the image data.
void PngDecoder::Notice(const PngChunk& chunk) {
  uint8_t count[4];
  if (chunk.Is("IDAT")) imageSeen_ = true;
  if (chunk.Is("fcTL") && !imageSeen_) frameBeforeImage_ = true;
  if (chunk.Is("acTL") && chunk.length >= 8 && source_.ReadExact(chunk.data(), count, 4)) {
    frames_ = ReadBigU32(count);
  }
}

// libspng asks for exactly `count` bytes at a time, in order.
int PngDecoder::Read(spng_ctx*, void* user, void* into, size_t count) {
  auto* self = static_cast<PngDecoder*>(user);
  auto* out = static_cast<uint8_t*>(into);
  while (count > 0) {
    if (self->left_ == 0 && !self->NextKept()) return self->cutShort_ = true, SPNG_IO_EOF;
    const size_t n = size_t(std::min<uint64_t>(count, self->left_));
    const int64_t got = self->source_.ReadAt(self->at_, out, n);
    if (got < 0) return self->readFailed_ = true, SPNG_IO_ERROR;
    if (got != int64_t(n)) return self->cutShort_ = true, SPNG_IO_EOF;
    self->at_ += n;
    self->left_ -= n;
    out += n;
    count -= n;
  }
  return 0;
}

bool PngDecoder::Refuse(int code, const ImageRefusal& refuse) const {
  if (readFailed_) return refuse(ImageSaid::kReadCutShort);
  if (code >= SPNG_EWIDTH && code <= SPNG_EIHDR_SIZE) return refuse(ImageSaid::kPngHeaderBad);
  switch (code) {
    case SPNG_IO_EOF:
    case SPNG_EIDAT_TOO_SHORT: return RefuseTruncated(ImageFormat::kPng, refuse);
    case SPNG_ECHUNK_CRC: return refuse(ImageSaid::kPngChecksum);
    case SPNG_EMEM: return refuse(ImageSaid::kOutOfMemory);
    case SPNG_EZLIB:
    case SPNG_EIDAT_STREAM:
      return RefuseFault(IdatChecksumsMatch(source_, at_) ? PngFault::kDamagedData : PngFault::kChecksum,
                         refuse);
    case SPNG_EFILTER: return RefuseFault(PngFault::kBadFilter, refuse);
    case SPNG_ENOPLTE:
    case SPNG_ECHUNK_POS:
    case SPNG_ECHUNK_SIZE:
    case SPNG_ECHUNK_TYPE:
    case SPNG_ENOIHDR:
    case SPNG_EDUP_PLTE: return refuse(ImageSaid::kPngChunkOrder);
    case SPNG_ECHUNK_UNKNOWN_CRITICAL: return RefuseUnknownChunk(refuse);
    case SPNG_ECHUNK_LIMITS:
      return refuse(ImageFault(ImageSaid::kPngPaletteTooBig).Limit(int64_t{kMaxChunkBytes}));
    default: return RefuseUndecodable(ImageFormat::kPng, refuse);
  }
}

// A chunk's type is four letters; any other bytes are not repeated.
bool PngDecoder::RefuseUnknownChunk(const ImageRefusal& refuse) const {
  for (char c : lastType_) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
      return refuse(ImageSaid::kPngUnknownCritical);
  }
  return refuse(ImageFault(ImageSaid::kPngUnknownCriticalNamed).Text(std::string(lastType_, 4)));
}

bool PngDecoder::RefuseFault(PngFault fault, const ImageRefusal& refuse) const {
  switch (fault) {
    case PngFault::kNone: return true;
    case PngFault::kTruncated: return RefuseTruncated(ImageFormat::kPng, refuse);
    case PngFault::kChecksum: return refuse(ImageSaid::kPngChecksum);
    case PngFault::kReadFailed: return refuse(ImageSaid::kReadCutShort);
    case PngFault::kBadFilter: return refuse(ImageSaid::kPngBadFilter);
    case PngFault::kDamagedData: break;
  }
  return refuse(ImageSaid::kPngDataDamaged);
}

bool PngDecoder::ReadHeader(const ImageRefusal& refuse) {
  if (spng_.ctx == nullptr) return refuse(ImageSaid::kOutOfMemory);
  spng_set_png_stream(spng_.ctx, Read, this);
  spng_set_chunk_limits(spng_.ctx, kMaxChunkBytes, kMaxChunkCacheBytes);
  const int code = spng_get_ihdr(spng_.ctx, &ihdr_);
  if (code != 0 && code != SPNG_ECHUNK_CRC && !readFailed_) {
    // A size PNG allows but libspng will not take (near 2^31 a side) is
    // too large, not damaged: the header's own numbers say so.
    uint8_t size[8];
    if (source_.ReadAt(16, size, sizeof size) == int64_t{sizeof size}) {
      const auto at = [&size](int i) {
        return int64_t{size[i]} << 24 | int64_t{size[i + 1]} << 16 | int64_t{size[i + 2]} << 8 | size[i + 3];
      };
      const int64_t width = at(0), height = at(4), most = (int64_t{1} << 31) - 1;
      if (width >= 1 && height >= 1 && width <= most && height <= most && !SizeAllowed(width, height, false, refuse))
        return false;
    }
  }
  if (code != 0) return Refuse(code, refuse);
  columns_ = ihdr_.width;
  rows_ = ihdr_.height;
  return true;
}

// Adam7 fills each row over several passes: the rows asked for are held
// until the last pass that touches them, and the rest go through one
// scratch row. For an image no taller than the rows asked for.
bool PngDecoder::Interlaced(int wanted, RowSink* sink, const ImageRefusal& refuse) {
  const size_t rowBytes = size_t(columns_) * 3;
  std::vector<uint8_t> held(rowBytes * size_t(wanted) + rowBytes);
  uint8_t* scratch = held.data() + rowBytes * size_t(wanted);
  for (;;) {
    spng_row_info info{};
    int code = spng_get_row_info(spng_.ctx, &info);
    if (code == SPNG_EOI) break;
    uint8_t* into = code == 0 && int64_t(info.row_num) < wanted
                        ? held.data() + rowBytes * info.row_num
                        : scratch;
    if (code == 0) code = spng_decode_row(spng_.ctx, into, rowBytes);
    if (code != 0 && code != SPNG_EOI) return Refuse(code, refuse);
    ++rowsDecoded_;
    if (code == SPNG_EOI) break;
  }
  for (int r = 0; r < wanted; ++r) {
    if (!sink->Row(r, held.data() + rowBytes * size_t(r))) return false;
  }
  return Finish(wanted, refuse);
}

// The top rows of a taller interlaced image, from the passes' first rows.
bool PngDecoder::InterlacedTop(int wanted, RowSink* sink, const ImageRefusal& refuse) {
  std::array<uint8_t, 256 * 3> palette{};
  past_.SetEntries(uint32_t(PaletteEntries(&palette)));
  const PngForm form = FormOf(palette.data());
  const size_t rowBytes = size_t(columns_) * 3;
  std::vector<uint8_t> held(rowBytes * size_t(wanted));
  const PngFault fault = DecodeAdam7Top(source_, form, wanted, held.data(), &rowsDecoded_);
  if (fault != PngFault::kNone) return RefuseFault(fault, refuse);
  for (int r = 0; r < wanted; ++r) {
    if (!sink->Row(r, held.data() + rowBytes * size_t(r))) return false;
  }
  return Finish(wanted, refuse);
}

// The palette's colours into `palette` (the rest black); how many it has,
// 256 for an image of no palette.
int PngDecoder::PaletteEntries(std::array<uint8_t, 256 * 3>* palette) {
  spng_plte plte{};
  if (ihdr_.color_type != SPNG_COLOR_TYPE_INDEXED || spng_get_plte(spng_.ctx, &plte) != 0) return 256;
  for (uint32_t i = 0; i < plte.n_entries && i < 256; ++i) {
    (*palette)[i * 3] = plte.entries[i].red;
    (*palette)[i * 3 + 1] = plte.entries[i].green;
    (*palette)[i * 3 + 2] = plte.entries[i].blue;
  }
  return int(plte.n_entries);
}

PngForm PngDecoder::FormOf(const uint8_t* palette) {
  PngForm form;
  form.columns = columns_;
  form.rows = rows_;
  form.depth = ihdr_.bit_depth;
  form.colourType = ihdr_.color_type;
  form.palette = palette;
  form.past = &past_;
  return form;
}

// An image of indices into a palette shorter than they reach: the rows
// asked for looked at again as indices, each past the palette noted
// (libspng's colours make them black and say nothing). Any fault is the
// colours' reading's to report.
void PngDecoder::ScanIndices(int wanted) {
  std::array<uint8_t, 256 * 3> palette{};
  const int entries = PaletteEntries(&palette);
  if (ihdr_.color_type != SPNG_COLOR_TYPE_INDEXED || entries >= (1 << ihdr_.bit_depth)) return;
  past_.SetEntries(uint32_t(entries));
  if (ihdr_.interlace_method != SPNG_INTERLACE_NONE) {
    std::vector<uint8_t> scratch(size_t(columns_) * 3 * size_t(wanted));
    int64_t unfiltered = 0;
    DecodeAdam7Top(source_, FormOf(palette.data()), wanted, scratch.data(), &unfiltered);
    return;
  }
  PngDecoder again(source_);
  ImageFault ignored;
  const std::string name;
  if (!again.ReadHeader(ImageRefusal{name, &ignored}) ||
      spng_decode_image(again.spng_.ctx, nullptr, 0, SPNG_FMT_PNG, SPNG_DECODE_PROGRESSIVE) != 0)
    return;
  const int depth = ihdr_.bit_depth;
  std::vector<uint8_t> row((size_t(columns_) * size_t(depth) + 7) / 8);
  for (int r = 0; r < wanted; ++r) {
    const int code = spng_decode_row(again.spng_.ctx, row.data(), row.size());
    if (code != 0 && code != SPNG_EOI) return;
    for (int64_t x = 0; x < columns_; ++x) {
      past_.Past(r, x, PackedSample(row.data(), x, depth));
    }
    if (code == SPNG_EOI) return;
  }
}

bool PngDecoder::DecodeRows(int wanted, RowSink* sink, const ImageRefusal& refuse) {
  int code = spng_decode_image(spng_.ctx, nullptr, 0, SPNG_FMT_RGB8, SPNG_DECODE_PROGRESSIVE);
  if (code != 0) return Refuse(code, refuse);
  if (ihdr_.interlace_method != SPNG_INTERLACE_NONE) {
    const int64_t held = columns_ * 3 * wanted;
    if (held > kMaxHeldRowBytes) return RefuseHeldRows(held, refuse);
    if (wanted < rows_) return InterlacedTop(wanted, sink, refuse);
    ScanIndices(wanted);
    return Interlaced(wanted, sink, refuse);
  }
  ScanIndices(wanted);
  std::vector<uint8_t> row(size_t(columns_) * 3);
  for (int r = 0; r < wanted; ++r) {
    code = spng_decode_row(spng_.ctx, row.data(), row.size());
    // The last row answers "end of image" once it is decoded.
    if (code != 0 && !(code == SPNG_EOI && r == rows_ - 1)) return Refuse(code, refuse);
    ++rowsDecoded_;
    if (!sink->Row(r, row.data())) return false;
  }
  return Finish(wanted, refuse);
}

// Once every row was read, the file must go on to its end chunk: a file
// that lost only its last bytes is cut short all the same.
bool PngDecoder::Finish(int wanted, const ImageRefusal& refuse) {
  if (wanted < rows_) {
    const PngFault fault = CheckImageDataToItsEnd(source_);
    return fault == PngFault::kNone || RefuseFault(fault, refuse);
  }
  const int code = spng_decode_chunks(spng_.ctx);
  return (code == 0 && !cutShort_) || Refuse(code == 0 ? SPNG_IO_EOF : code, refuse);
}

// An animated PNG shows its image data as the first frame, or as a still
// image apart from the frames.
void PngDecoder::Notes(ImageNotes* notes) const {
  if (frames_ >= 2 || (frames_ == 1 && !frameBeforeImage_)) {
    notes->push_back(ImageFault(frameBeforeImage_ ? ImageSaid::kAnimationFirstFrame
                                                  : ImageSaid::kAnimationBesideStill)
                         .Count(frames_));
  }
  past_.Note(notes);
}

}  // namespace

std::unique_ptr<ImageDecoder> NewPngDecoder(const ByteSource& source) {
  return std::make_unique<PngDecoder>(source);
}

std::vector<uint8_t> EncodePng(const Image& image) {
  SpngContext spng(SPNG_CTX_ENCODER);
  if (spng.ctx == nullptr) return {};
  spng_set_option(spng.ctx, SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr ihdr{};
  ihdr.width = uint32_t(image.columns);
  ihdr.height = uint32_t(image.rows);
  ihdr.bit_depth = 8;
  ihdr.color_type = uint8_t(image.planes == 1   ? SPNG_COLOR_TYPE_GRAYSCALE
                           : image.planes == 4 ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA
                                               : SPNG_COLOR_TYPE_TRUECOLOR);
  if (spng_set_ihdr(spng.ctx, &ihdr) != 0 ||
      spng_encode_image(spng.ctx, image.pixels.data(), image.pixels.size(), SPNG_FMT_PNG,
                        SPNG_ENCODE_FINALIZE) != 0) {
    return {};
  }
  size_t size = 0;
  int code = 0;
  void* png = spng_get_png_buffer(spng.ctx, &size, &code);
  if (png == nullptr) return {};
  std::vector<uint8_t> out(static_cast<uint8_t*>(png), static_cast<uint8_t*>(png) + size);
  std::free(png);
  return out;
}

}  // namespace plughost
