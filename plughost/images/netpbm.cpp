// PPM and PGM, read here rather than by a library: binary (P6, P5) and plain
// text (P3, P2), any maximum value up to 65535 brought to 8 bits, grey
// spread to three channels, a short file or a value above the maximum
// refused. Read as a stream, row by row, only as far as the rows asked for.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "plughost/files/file_checks.h"
#include "plughost/images/image_decoders.h"

namespace plughost {

namespace {

bool IsPnmSpace(uint8_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void SkipSeparators(ByteStream* in) {
  uint8_t c = 0;
  while (in->Peek(&c) && (IsPnmSpace(c) || c == '#')) {
    in->Next(&c);
    if (c != '#') continue;
    while (in->Peek(&c) && c != '\n' && c != '\r') in->Next(&c);
  }
}

enum class Number { kRead, kEnd, kBad };

// Digits only, ended by a separator, a comment or the file's end: "12x" and
// "-3" are bad numbers rather than 12 and the start of something else.
// *start is where the number began, for the message.
Number ReadNumber(ByteStream* in, uint32_t* value, uint64_t* start) {
  SkipSeparators(in);
  *start = in->offset();
  uint8_t c = 0;
  if (!in->Peek(&c)) return Number::kEnd;
  uint64_t v = 0;
  for (; in->Peek(&c) && std::isdigit(c) && v <= UINT32_MAX; in->Next(&c)) {
    v = v * 10 + uint64_t(c - '0');
  }
  const bool ended = !in->Peek(&c) || IsPnmSpace(c) || c == '#';
  if (in->offset() == *start || v > UINT32_MAX || !ended) return Number::kBad;
  *value = uint32_t(v);
  return Number::kRead;
}

bool BadNumber(uint64_t at, const ImageRefusal& refuse) {
  return refuse(ImageFault(ImageSaid::kNetpbmBadNumber).Bytes(int64_t(at), 0).Limit(UINT32_MAX));
}

class NetpbmDecoder : public ImageDecoder {
 public:
  explicit NetpbmDecoder(const ByteSource& source) : source_(source), in_(source, 2) {}
  bool ReadHeader(const ImageRefusal& refuse) override;
  bool DecodeRows(int wanted, RowSink* sink, const ImageRefusal& refuse) override;

 private:
  bool LongEnough(const ImageRefusal& refuse);
  bool NextSample(const ImageRefusal& refuse, uint32_t* value);
  bool TooFewValues(const ImageRefusal& refuse) const;

  const ByteSource& source_;
  ByteStream in_;
  bool text_ = false;  // P3 and P2: numbers as decimal text; P6 and P5: bytes
  int channels_ = 3;   // 3 for PPM, 1 for PGM
  uint32_t maxval_ = 0;
  int64_t samples_ = 0;  // columns x rows x channels
};

bool NetpbmDecoder::TooFewValues(const ImageRefusal& refuse) const {
  return refuse(ImageFault(ImageSaid::kNetpbmFewerValues).Count(0, samples_));
}

bool NetpbmDecoder::ReadHeader(const ImageRefusal& refuse) {
  uint8_t mark[2] = {};
  source_.ReadExact(0, mark, sizeof mark);
  text_ = mark[1] == '3' || mark[1] == '2';
  channels_ = mark[1] == '3' || mark[1] == '6' ? 3 : 1;
  uint32_t fields[3] = {};
  for (uint32_t& field : fields) {
    uint64_t start = 0;
    const Number got = ReadNumber(&in_, &field, &start);
    if (got == Number::kEnd) return refuse(ImageSaid::kNetpbmHeaderCut);
    if (got == Number::kBad) return BadNumber(start, refuse);
  }
  columns_ = fields[0];
  rows_ = fields[1];
  maxval_ = fields[2];
  if (maxval_ < 1 || maxval_ > 65535) {
    return refuse(ImageFault(ImageSaid::kNetpbmMaxval).Value(maxval_));
  }
  return true;
}

// Checked before a row is decoded, once the size was allowed. Each text
// value needs a digit and a separator before it; binary ones take one
// byte, or two past maxval 255.
bool NetpbmDecoder::LongEnough(const ImageRefusal& refuse) {
  samples_ = columns_ * rows_ * channels_;
  const int64_t rest = int64_t(source_.size() - std::min(source_.size(), in_.offset()));
  if (text_) return rest >= 2 * samples_ || TooFewValues(refuse);
  const int64_t needed = samples_ * (maxval_ > 255 ? 2 : 1);
  if (rest - 1 >= needed) {
    in_.Skip(1);  // the one separator after maxval
    return true;
  }
  return refuse(
      ImageFault(ImageSaid::kNetpbmFewerBytes).Count(std::max<int64_t>(rest - 1, 0), needed));
}

bool NetpbmDecoder::NextSample(const ImageRefusal& refuse, uint32_t* value) {
  if (!text_) {
    uint8_t b[2] = {};
    const size_t width = maxval_ > 255 ? 2 : 1;
    if (in_.Take(b, width) != width) return refuse(ImageSaid::kReadCutShort);
    *value = width == 2 ? uint32_t{b[0]} << 8 | b[1] : b[0];
    return true;
  }
  uint64_t start = 0;
  const Number got = ReadNumber(&in_, value, &start);
  if (got == Number::kBad) return BadNumber(start, refuse);
  if (got == Number::kEnd) return TooFewValues(refuse);
  return true;
}

bool NetpbmDecoder::DecodeRows(int wanted, RowSink* sink, const ImageRefusal& refuse) {
  if (!LongEnough(refuse)) return false;
  std::vector<uint8_t> rgb(size_t(columns_) * 3);
  for (int r = 0; r < wanted; ++r) {
    for (size_t i = 0; i < size_t(columns_ * channels_); ++i) {
      uint32_t v = 0;
      if (!NextSample(refuse, &v)) return false;
      if (v > maxval_) {
        return refuse(ImageFault(ImageSaid::kNetpbmValuePastMax).Value(v).Limit(maxval_));
      }
      // A 16-bit sample is its high byte, as a 16-bit PNG's is; any other
      // maximum is scaled to the nearest of 0..255. A grey sample fills all
      // three channels.
      const auto level = maxval_ == 65535 ? uint8_t(v >> 8) : uint8_t((v * 255 + maxval_ / 2) / maxval_);
      std::fill_n(rgb.begin() + long(channels_ == 1 ? i * 3 : i), 4 - channels_, level);
    }
    if (!sink->Row(r, rgb.data())) return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<ImageDecoder> NewNetpbmDecoder(const ByteSource& source) {
  return std::make_unique<NetpbmDecoder>(source);
}

}  // namespace plughost
