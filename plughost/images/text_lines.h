// Text read a line at a time, for the palette files: LF, CR LF and CR line
// ends, a UTF-8 byte-order mark skipped, and no line held longer than
// kMaxLineBytes, so that what is held does not grow with the file.
#pragma once

#include <cstddef>
#include <string>

#include "plughost/images/byte_source.h"

namespace plughost {

constexpr size_t kMaxLineBytes = 4096;

class TextLines {
 public:
  explicit TextLines(const ByteSource& source);
  // The next line without its end; false past the last line (a last line
  // without an end is still a line) or on a read error (then failed()). A
  // longer line is cut to kMaxLineBytes, its rest skipped, and tooLong() set.
  bool Next(std::string* line);
  bool tooLong() const { return tooLong_; }
  bool failed() const { return in_.failed(); }
  // Of the line Next gave last, from 1.
  int number() const { return number_; }

 private:
  ByteStream in_;
  int number_ = 0;
  bool tooLong_ = false;
};

// `text` for a message: at most 80 characters, control characters and
// bytes past ASCII as \xNN, cut with "..." when longer.
std::string Shortened(const std::string& text);

}  // namespace plughost
