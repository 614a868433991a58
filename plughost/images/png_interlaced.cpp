// The top rows of an Adam7-interlaced PNG. libspng decodes every row of
// every pass before the last, so reaching row 1 of a tall image costs its
// whole area; here the passes' first rows are unfiltered and the rest only
// inflated and dropped.
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "plughost/images/png_chunks.h"

namespace plughost {

namespace {

constexpr size_t kInputBytes = size_t{64} << 10;

// Where each pass starts and how far it steps.
constexpr int kStartX[7] = {0, 4, 0, 2, 0, 1, 0}, kStartY[7] = {0, 0, 4, 0, 2, 0, 1};
constexpr int kStepX[7] = {8, 8, 4, 4, 2, 2, 1}, kStepY[7] = {8, 8, 8, 4, 4, 2, 2};

// How many of `size` pixels a pass takes along one side.
int64_t PassSize(int64_t size, int start, int step) {
  return size > start ? (size - start + step - 1) / step : 0;
}

// The image data: each IDAT chunk's bytes in turn, its checksum checked at
// its end, inflated.
class IdatStream {
 public:
  explicit IdatStream(const ByteSource& source) : source_(source), input_(kInputBytes) {}
  ~IdatStream() {
    if (started_) inflateEnd(&z_);
  }
  IdatStream(const IdatStream&) = delete;
  IdatStream& operator=(const IdatStream&) = delete;
  PngFault Start();
  // Exactly `count` bytes of inflated data.
  PngFault Read(uint8_t* into, size_t count);
  PngFault Skip(uint64_t count);

 private:
  void Enter(const PngChunk& chunk);
  PngFault Refill();
  PngFault Undecodable();

  const ByteSource& source_;
  z_stream z_{};
  bool started_ = false, ended_ = false;
  PngChunk chunk_;
  uint64_t next_ = 0;  // the next byte of chunk_'s data to read
  uint32_t crc_ = 0;
  std::vector<uint8_t> input_;
};

PngFault IdatStream::Start() {
  if (inflateInit(&z_) != Z_OK) return PngFault::kDamagedData;
  started_ = true;
  PngChunk chunk;
  for (uint64_t at = kPngSignatureSize;; at = chunk.end()) {
    if (!ReadPngChunk(source_, at, &chunk) || chunk.Is("IEND")) return PngFault::kTruncated;
    if (chunk.length > kMaxPngChunkLength) return PngFault::kDamagedData;
    if (chunk.Is("IDAT")) return Enter(chunk), PngFault::kNone;
  }
}

void IdatStream::Enter(const PngChunk& chunk) {
  chunk_ = chunk;
  next_ = chunk.data();
  crc_ = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(chunk.type), 4));
}

// The next piece of compressed data; at a chunk's end, its checksum, and
// the image data goes on only in another IDAT chunk.
PngFault IdatStream::Refill() {
  while (next_ == chunk_.data() + chunk_.length) {
    uint8_t stored[4];
    if (!source_.ReadExact(next_, stored, sizeof stored)) return PngFault::kTruncated;
    if (ReadBigU32(stored) != crc_) return PngFault::kChecksum;
    PngChunk chunk;
    if (!ReadPngChunk(source_, chunk_.end(), &chunk) || !chunk.Is("IDAT")) {
      return PngFault::kTruncated;
    }
    if (chunk.length > kMaxPngChunkLength) return PngFault::kDamagedData;
    Enter(chunk);
  }
  const size_t want = size_t(std::min<uint64_t>(input_.size(), chunk_.data() + chunk_.length - next_));
  const int64_t got = source_.ReadAt(next_, input_.data(), want);
  if (got < 0) return PngFault::kReadFailed;
  if (got == 0) return PngFault::kTruncated;
  crc_ = uint32_t(crc32(crc_, input_.data(), uInt(got)));
  next_ += uint64_t(got);
  z_.next_in = input_.data();
  z_.avail_in = uInt(got);
  return PngFault::kNone;
}

PngFault IdatStream::Read(uint8_t* into, size_t count) {
  z_.next_out = into;
  z_.avail_out = uInt(count);
  while (z_.avail_out > 0) {
    if (ended_) return PngFault::kTruncated;
    if (z_.avail_in == 0) {
      const PngFault fault = Refill();
      if (fault != PngFault::kNone) return fault;
    }
    const int code = inflate(&z_, Z_NO_FLUSH);
    if (code == Z_STREAM_END) ended_ = true;
    else if (code != Z_OK && code != Z_BUF_ERROR) return Undecodable();
  }
  return PngFault::kNone;
}

PngFault IdatStream::Skip(uint64_t count) {
  std::vector<uint8_t> dropped(size_t(std::min<uint64_t>(count, kInputBytes)));
  for (uint64_t left = count; left > 0;) {
    const size_t n = size_t(std::min<uint64_t>(left, dropped.size()));
    const PngFault fault = Read(dropped.data(), n);
    if (fault != PngFault::kNone) return fault;
    left -= n;
  }
  return PngFault::kNone;
}

PngFault IdatStream::Undecodable() {
  return IdatChecksumsMatch(source_, next_) ? PngFault::kDamagedData : PngFault::kChecksum;
}

uint8_t Paeth(int left, int up, int upLeft) {
  const int p = left + up - upLeft;
  const int pa = std::abs(p - left), pb = std::abs(p - up), pc = std::abs(p - upLeft);
  if (pa <= pb && pa <= pc) return uint8_t(left);
  return uint8_t(pb <= pc ? up : upLeft);
}

// Undoes a row's filter in place against the row before it in its pass
// (zeros for the first); bytes further left than a pixel count as zero.
bool Unfilter(uint8_t filter, uint8_t* row, const uint8_t* prior, size_t bytes, size_t pixel) {
  for (size_t i = 0; i < bytes; ++i) {
    const int left = i >= pixel ? row[i - pixel] : 0;
    const int upLeft = i >= pixel ? prior[i - pixel] : 0;
    switch (filter) {
      case 0: break;
      case 1: row[i] = uint8_t(row[i] + left); break;
      case 2: row[i] = uint8_t(row[i] + prior[i]); break;
      case 3: row[i] = uint8_t(row[i] + (left + prior[i]) / 2); break;
      case 4: row[i] = uint8_t(row[i] + Paeth(left, prior[i], upLeft)); break;
      default: return false;
    }
  }
  return true;
}

int Channels(int colourType) {
  switch (colourType) {
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 1;  // grey, or an index into the palette
  }
}

// Pixel `x` of an unfiltered row (at `column`, `y` of the image) as 8-bit
// RGB, as libspng gives it, an index past the palette black: 16-bit
// samples by their high byte, grey under 8 bits spread over 0-255, alpha
// dropped.
void PixelRgb(const PngForm& form, const uint8_t* row, int64_t x, int64_t y, int64_t column, uint8_t* rgb) {
  const int depth = form.depth, channels = Channels(form.colourType);
  if (depth < 8) {
    const unsigned mask = (1u << depth) - 1;
    const unsigned sample = PackedSample(row, x, depth);
    if (form.colourType == 3) {
      if (form.past != nullptr) form.past->Past(y, column, sample);
      std::copy_n(form.palette + sample * 3, 3, rgb);
    } else {
      rgb[0] = rgb[1] = rgb[2] = uint8_t(sample * 255 / mask);
    }
    return;
  }
  const size_t size = size_t(depth / 8), at = size_t(x) * size_t(channels) * size;
  if (form.colourType == 3) {
    if (form.past != nullptr) form.past->Past(y, column, row[at]);
    std::copy_n(form.palette + size_t(row[at]) * 3, 3, rgb);
  } else if (channels >= 3) {
    for (size_t k = 0; k < 3; ++k) rgb[k] = row[at + k * size];
  } else {
    rgb[0] = rgb[1] = rgb[2] = row[at];
  }
}

}  // namespace

bool ReadPngChunk(const ByteSource& source, uint64_t at, PngChunk* chunk) {
  uint8_t head[8];
  if (!source.ReadExact(at, head, sizeof head)) return false;
  chunk->at = at;
  chunk->length = ReadBigU32(head);
  std::copy_n(head + 4, 4, chunk->type);
  return true;
}

namespace {

// A chunk's data and type against its checksum: kNone, kChecksum, or
// kTruncated when the file ends inside it.
PngFault ChunkChecksum(const ByteSource& source, const PngChunk& chunk, std::vector<uint8_t>* data) {
  uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(chunk.type), 4));
  for (uint64_t from = chunk.data(); from < chunk.data() + chunk.length;) {
    const size_t n = size_t(std::min<uint64_t>(data->size(), chunk.data() + chunk.length - from));
    if (!source.ReadExact(from, data->data(), n)) return PngFault::kTruncated;
    crc = uint32_t(crc32(crc, data->data(), uInt(n)));
    from += n;
  }
  uint8_t stored[4];
  if (!source.ReadExact(chunk.data() + chunk.length, stored, 4)) return PngFault::kTruncated;
  return ReadBigU32(stored) == crc ? PngFault::kNone : PngFault::kChecksum;
}

}  // namespace

bool IdatChecksumsMatch(const ByteSource& source, uint64_t end) {
  PngChunk chunk;
  std::vector<uint8_t> data(kInputBytes);
  for (uint64_t at = kPngSignatureSize; at < end && ReadPngChunk(source, at, &chunk);
       at = chunk.end()) {
    if (chunk.Is("IEND") || chunk.length > kMaxPngChunkLength) break;
    if (!chunk.Is("IDAT")) continue;
    // Cut short: said elsewhere.
    if (ChunkChecksum(source, chunk, &data) == PngFault::kChecksum) return false;
  }
  return true;
}

PngFault CheckImageDataToItsEnd(const ByteSource& source) {
  PngChunk chunk;
  std::vector<uint8_t> data(kInputBytes);
  bool inData = false;
  for (uint64_t at = kPngSignatureSize;; at = chunk.end()) {
    if (!ReadPngChunk(source, at, &chunk) || chunk.length > kMaxPngChunkLength ||
        chunk.end() > source.size())
      return PngFault::kTruncated;
    const bool idat = chunk.Is("IDAT");
    if (inData && !idat) return PngFault::kNone;  // the image data ended, and the file goes on
    if (chunk.Is("IEND")) return PngFault::kTruncated;  // before any image data: said elsewhere
    inData = inData || idat;
    if (!idat) continue;
    const PngFault fault = ChunkChecksum(source, chunk, &data);
    if (fault != PngFault::kNone) return fault;
  }
}

PngFault DecodeAdam7Top(const ByteSource& source, const PngForm& form, int wanted, uint8_t* rgb,
                        int64_t* rowsDecoded) {
  const int64_t pixelBits = int64_t(Channels(form.colourType)) * form.depth;
  const size_t pixelBytes = size_t(std::max<int64_t>(1, pixelBits / 8));
  int last = 0;  // the last pass with a row asked for
  for (int p = 0; p < 7; ++p) {
    if (PassSize(form.columns, kStartX[p], kStepX[p]) > 0 && PassSize(wanted, kStartY[p], kStepY[p]) > 0) last = p;
  }
  IdatStream data(source);
  PngFault fault = data.Start();
  std::vector<uint8_t> row, prior;
  for (int p = 0; p <= last && fault == PngFault::kNone; ++p) {
    const int64_t width = PassSize(form.columns, kStartX[p], kStepX[p]);
    const int64_t height = PassSize(form.rows, kStartY[p], kStepY[p]);
    if (width == 0 || height == 0) continue;  // an empty pass has no bytes at all
    const size_t rowBytes = size_t((width * pixelBits + 7) / 8);
    const int64_t needed = std::min(height, PassSize(wanted, kStartY[p], kStepY[p]));
    row.assign(rowBytes + 1, 0);
    prior.assign(rowBytes + 1, 0);
    for (int64_t i = 0; i < needed && fault == PngFault::kNone; ++i) {
      fault = data.Read(row.data(), row.size());
      if (fault != PngFault::kNone) break;
      if (!Unfilter(row[0], row.data() + 1, prior.data() + 1, rowBytes, pixelBytes)) {
        return PngFault::kBadFilter;
      }
      ++*rowsDecoded;
      const int64_t y = kStartY[p] + i * kStepY[p];
      for (int64_t j = 0; j < width; ++j) {
        const int64_t x = kStartX[p] + j * kStepX[p];
        PixelRgb(form, row.data() + 1, j, y, x, rgb + size_t((y * form.columns + x) * 3));
      }
      row.swap(prior);
    }
    if (p < last && fault == PngFault::kNone) {
      fault = data.Skip(uint64_t(height - needed) * (rowBytes + 1));
    }
  }
  return fault;
}

}  // namespace plughost
