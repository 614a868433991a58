#include "plughost/images/netpbm.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>

namespace plughost {

namespace {

using Bytes = std::vector<uint8_t>;

struct Cursor {
  const Bytes& bytes;
  size_t at;
};

bool IsPnmSpace(uint8_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void SkipSeparators(Cursor* c) {
  const Bytes& b = c->bytes;
  while (c->at < b.size() && (IsPnmSpace(b[c->at]) || b[c->at] == '#')) {
    if (b[c->at] != '#') {
      ++c->at;
      continue;
    }
    while (c->at < b.size() && b[c->at] != '\n' && b[c->at] != '\r') ++c->at;
  }
}

enum class Number { kRead, kEnd, kBad };

// Digits only, ended by a separator, a comment or the file's end: "12x" and
// "-3" are bad numbers rather than 12 and the start of something else. On a
// bad one the cursor is left at its first byte, for the message.
Number ReadNumber(Cursor* c, uint32_t* value) {
  SkipSeparators(c);
  const Bytes& b = c->bytes;
  if (c->at == b.size()) return Number::kEnd;
  const size_t start = c->at;
  uint64_t v = 0;
  for (; c->at < b.size() && std::isdigit(b[c->at]) && v <= UINT32_MAX; ++c->at) {
    v = v * 10 + uint64_t(b[c->at] - '0');
  }
  const bool ended = c->at == b.size() || IsPnmSpace(b[c->at]) || b[c->at] == '#';
  if (c->at == start || v > UINT32_MAX || !ended) {
    c->at = start;
    return Number::kBad;
  }
  *value = uint32_t(v);
  return Number::kRead;
}

bool BadNumber(const Cursor& c, const ImageRefusal& refuse) {
  return refuse("has a bad number at byte " + std::to_string(c.at) +
                " (PPM and PGM numbers are digits only, up to " + std::to_string(UINT32_MAX) + ")");
}

struct PnmHeader {
  bool text;     // P3 and P2: numbers as decimal text; P6 and P5: bytes
  int channels;  // 3 for PPM, 1 for PGM
  uint32_t columns, rows, maxval;
  int64_t samples;  // columns x rows x channels
};

bool TooFewValues(const PnmHeader& h, const ImageRefusal& refuse) {
  return refuse("is truncated: it holds fewer than the " + std::to_string(h.samples) +
                " values its header declares");
}

bool ReadPnmHeader(Cursor* c, PnmHeader* h, const ImageRefusal& refuse) {
  const uint8_t form = c->bytes[1];
  h->text = form == '3' || form == '2';
  h->channels = form == '3' || form == '6' ? 3 : 1;
  for (uint32_t* field : {&h->columns, &h->rows, &h->maxval}) {
    const Number got = ReadNumber(c, field);
    if (got == Number::kEnd) return refuse("is truncated: it ends inside its header");
    if (got == Number::kBad) return BadNumber(*c, refuse);
  }
  if (h->maxval < 1 || h->maxval > 65535) {
    return refuse("declares a maximum value of " + std::to_string(h->maxval) +
                  ", where PPM and PGM allow 1 to 65535");
  }
  h->samples = int64_t{h->columns} * h->rows * h->channels;
  return SizeAllowed(h->columns, h->rows, refuse);
}

// Checked before the image is allocated. Each text value needs a digit and
// a separator before it; binary ones take one byte, or two past maxval 255.
bool PnmLongEnough(Cursor* c, const PnmHeader& h, const ImageRefusal& refuse) {
  const int64_t rest = int64_t(c->bytes.size() - c->at);
  if (h.text) return rest >= 2 * h.samples || TooFewValues(h, refuse);
  const int64_t needed = h.samples * (h.maxval > 255 ? 2 : 1);
  if (rest - 1 >= needed) {
    ++c->at;  // the one separator after maxval
    return true;
  }
  return refuse("is truncated: it holds " + std::to_string(std::max<int64_t>(rest - 1, 0)) +
                " of the " + std::to_string(needed) + " bytes of pixels its header declares");
}

bool NextSample(Cursor* c, const PnmHeader& h, const ImageRefusal& refuse, uint32_t* value) {
  const Bytes& b = c->bytes;
  if (!h.text) {
    *value = h.maxval > 255 ? uint32_t{b[c->at]} << 8 | b[c->at + 1] : b[c->at];
    c->at += h.maxval > 255 ? 2 : 1;
    return true;
  }
  const Number got = ReadNumber(c, value);
  if (got == Number::kBad) return BadNumber(*c, refuse);
  if (got == Number::kEnd) return TooFewValues(h, refuse);
  return true;
}

}  // namespace

bool DecodeNetpbm(const Bytes& bytes, const ImageRefusal& refuse, Image* out) {
  Cursor c{bytes, 2};
  PnmHeader h{};
  if (!ReadPnmHeader(&c, &h, refuse)) return false;
  if (!PnmLongEnough(&c, h, refuse)) return false;
  Image image = Image::Blank(int(h.rows), int(h.columns), 3);
  for (size_t i = 0; i < size_t(h.samples); ++i) {
    uint32_t v = 0;
    if (!NextSample(&c, h, refuse, &v)) return false;
    if (v > h.maxval) {
      return refuse("has the value " + std::to_string(v) + " where its header allows at most " +
                    std::to_string(h.maxval));
    }
    // To the nearest of 0..255; a grey sample fills all three channels.
    const auto level = uint8_t((v * 255 + h.maxval / 2) / h.maxval);
    std::fill_n(image.pixels.begin() + long(h.channels == 1 ? i * 3 : i), 4 - h.channels, level);
  }
  *out = std::move(image);
  return true;
}
}  // namespace plughost
