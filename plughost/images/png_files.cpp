// PNG through libspng, both ways: decoded row by row from the file, with
// libspng's limits on chunk sizes and its checksums; written from an Image.
#include <spng.h>

#include <cstdlib>
#include <vector>

#include "plughost/images/image_decoders.h"
#include "plughost/images/png_files.h"

namespace plughost {

namespace {

// Text, ICC profiles and the like are not read here: held to what a real
// file carries, so a chunk's claimed size cannot make plughost ask for much.
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

 private:
  static int Read(spng_ctx*, void* user, void* into, size_t count);
  bool Refuse(int code, const ImageRefusal& refuse) const;
  bool Interlaced(int wanted, RowSink* sink, const ImageRefusal& refuse);
  bool Finish(int wanted, const ImageRefusal& refuse);

  const ByteSource& source_;
  uint64_t at_ = 0;
  bool readFailed_ = false;
  bool cutShort_ = false;  // libspng does not pass every end of the file on
  SpngContext spng_;
  spng_ihdr ihdr_{};
};

// libspng asks for exactly `count` bytes at a time, in order.
int PngDecoder::Read(spng_ctx*, void* user, void* into, size_t count) {
  auto* self = static_cast<PngDecoder*>(user);
  const int64_t got = self->source_.ReadAt(self->at_, static_cast<uint8_t*>(into), count);
  if (got < 0) self->readFailed_ = true;
  if (got != int64_t(count)) {
    self->cutShort_ = got >= 0;
    return got < 0 ? SPNG_IO_ERROR : SPNG_IO_EOF;
  }
  self->at_ += count;
  return 0;
}

bool PngDecoder::Refuse(int code, const ImageRefusal& refuse) const {
  if (readFailed_) return refuse("could not be read to its end");
  if (code == SPNG_IO_EOF || code == SPNG_EIDAT_TOO_SHORT) return RefuseTruncated("PNG", refuse);
  if (code == SPNG_ECHUNK_CRC) return refuse("is damaged: a PNG chunk's checksum does not match");
  if (code == SPNG_ECHUNK_LIMITS) {
    return refuse("has a PNG chunk larger than the " + std::to_string(kMaxChunkBytes >> 20) +
                  " MiB plughost reads");
  }
  if (code == SPNG_EMEM) return refuse("needs more memory than plughost could get");
  return RefuseUndecodable("PNG", refuse);
}

bool PngDecoder::ReadHeader(const ImageRefusal& refuse) {
  if (spng_.ctx == nullptr) return refuse("needs more memory than plughost could get");
  spng_set_png_stream(spng_.ctx, Read, this);
  spng_set_chunk_limits(spng_.ctx, kMaxChunkBytes, kMaxChunkCacheBytes);
  const int code = spng_get_ihdr(spng_.ctx, &ihdr_);
  if (code != 0) return Refuse(code, refuse);
  columns_ = ihdr_.width;
  rows_ = ihdr_.height;
  return true;
}

// Adam7 fills each row over several passes: the rows asked for are held
// until the last pass that touches them, and the rest go through one
// scratch row.
bool PngDecoder::Interlaced(int wanted, RowSink* sink, const ImageRefusal& refuse) {
  const size_t rowBytes = size_t(columns_) * 3;
  if (int64_t(rowBytes) * wanted > kMaxHeldRowBytes) {
    return RefuseHeldRows(int64_t(rowBytes) * wanted, refuse);
  }
  std::vector<uint8_t> held(rowBytes * size_t(wanted) + rowBytes);
  uint8_t* scratch = held.data() + rowBytes * size_t(wanted);
  for (;;) {
    spng_row_info info{};
    int code = spng_get_row_info(spng_.ctx, &info);
    if (code == SPNG_EOI) break;
    // The last pass holds the odd rows whole: past the rows asked for, no
    // row asked for changes any more.
    if (code == 0 && info.pass == 6 && int64_t(info.row_num) >= wanted) break;
    uint8_t* into = code == 0 && int64_t(info.row_num) < wanted
                        ? held.data() + rowBytes * info.row_num
                        : scratch;
    if (code == 0) code = spng_decode_row(spng_.ctx, into, rowBytes);
    if (code != 0 && code != SPNG_EOI) return Refuse(code, refuse);
    if (code == SPNG_EOI) break;
  }
  for (int r = 0; r < wanted; ++r) {
    if (!sink->Row(r, held.data() + rowBytes * size_t(r))) return false;
  }
  return Finish(wanted, refuse);
}

bool PngDecoder::DecodeRows(int wanted, RowSink* sink, const ImageRefusal& refuse) {
  int code = spng_decode_image(spng_.ctx, nullptr, 0, SPNG_FMT_RGB8, SPNG_DECODE_PROGRESSIVE);
  if (code != 0) return Refuse(code, refuse);
  if (ihdr_.interlace_method != SPNG_INTERLACE_NONE) return Interlaced(wanted, sink, refuse);
  std::vector<uint8_t> row(size_t(columns_) * 3);
  for (int r = 0; r < wanted; ++r) {
    code = spng_decode_row(spng_.ctx, row.data(), row.size());
    // The last row answers "end of image" once it is decoded.
    if (code != 0 && !(code == SPNG_EOI && r == rows_ - 1)) return Refuse(code, refuse);
    if (!sink->Row(r, row.data())) return false;
  }
  return Finish(wanted, refuse);
}

// Once every row was read, the file must go on to its end chunk: a file
// that lost only its last bytes is cut short all the same.
bool PngDecoder::Finish(int wanted, const ImageRefusal& refuse) {
  if (wanted < rows_) return true;
  const int code = spng_decode_chunks(spng_.ctx);
  return (code == 0 && !cutShort_) || Refuse(code == 0 ? SPNG_IO_EOF : code, refuse);
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
  ihdr.color_type = uint8_t(image.planes == 1 ? SPNG_COLOR_TYPE_GRAYSCALE : SPNG_COLOR_TYPE_TRUECOLOR);
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
