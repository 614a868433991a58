#include "plughost/images/text_lines.h"

namespace plughost {

namespace {

constexpr size_t kMaxQuoted = 80;

bool HasByteOrderMark(const ByteSource& source) {
  uint8_t head[3] = {};
  return source.ReadExact(0, head, sizeof head) && head[0] == 0xEF && head[1] == 0xBB &&
         head[2] == 0xBF;
}

std::string Printable(uint8_t c) {
  if (c >= 0x20 && c < 0x7F) return std::string(1, char(c));
  static const char kHex[] = "0123456789abcdef";
  return std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
}

}  // namespace

TextLines::TextLines(const ByteSource& source) : in_(source, HasByteOrderMark(source) ? 3 : 0) {}

bool TextLines::Next(std::string* line) {
  line->clear();
  tooLong_ = false;
  uint8_t c = 0;
  if (!in_.Next(&c)) return false;
  ++number_;
  // One byte at a time: a CR ends a line, and takes an LF after it along.
  for (;;) {
    if (c == '\n') break;
    if (c == '\r') {
      uint8_t lf = 0;
      if (in_.Peek(&lf) && lf == '\n') in_.Next(&lf);
      break;
    }
    if (line->size() < kMaxLineBytes) {
      *line += char(c);
    } else {
      tooLong_ = true;
    }
    if (!in_.Next(&c)) break;
  }
  return !in_.failed();
}

std::string Shortened(const std::string& text) {
  std::string out;
  size_t cut = 0;  // the longest start that leaves room for "..."
  for (char c : text) {
    out += Printable(uint8_t(c));
    if (out.size() <= kMaxQuoted - 3) cut = out.size();
    if (out.size() > kMaxQuoted) return out.substr(0, cut) + "...";
  }
  return out;
}

}  // namespace plughost
