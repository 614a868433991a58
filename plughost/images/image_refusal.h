// How the image readers say no: one sentence about the file, by its name
// when the caller gave one, and the size limits held before any pixel is
// decoded.
#pragma once

#include <cstdint>
#include <string>

namespace plughost {

// Called with why the file is refused; writes "NAME why" to *error and
// answers false, so that a reader can `return refuse("...")`. Without a
// name the file is "the image" (or `unnamed`, where it may be none).
struct ImageRefusal {
  const std::string& name;
  std::string* error;
  bool operator()(const std::string& why, const char* unnamed = "the image") const {
    *error = (name.empty() ? std::string(unnamed) : name) + " " + why;
    return false;
  }
};

// True when a header's columns x rows is at least one pixel and at most
// 32767 a side, and, when `wholeImage`, at most kMaxImagePixels; otherwise
// refuses, naming the size.
bool SizeAllowed(int64_t columns, int64_t rows, bool wholeImage, const ImageRefusal& refuse);

// Pixels read whose colour index lies past the image's colour table: they
// are saved black, as readers of these forms take them, and said once (the
// first, and how many).
class IndicesPastTable {
 public:
  explicit IndicesPastTable(uint32_t entries = 256) : entries_(entries) {}
  void SetEntries(uint32_t entries) { entries_ = entries; }
  // True for an index past the table, which is then counted.
  bool Past(int64_t row, int64_t column, uint32_t index) {
    if (index < entries_) return false;
    // The first in the image's own order, whatever order rows come in.
    if (count_++ == 0 || row < row_ || (row == row_ && column < column_))
      row_ = row, column_ = column, index_ = index;
    return true;
  }
  // "" when every index was in the table.
  std::string Note() const;

 private:
  uint32_t entries_;
  int64_t count_ = 0, row_ = 0, column_ = 0;
  uint32_t index_ = 0;
};

// Two notes of one reader as one line.
std::string JoinedNotes(const std::string& first, const std::string& second);

}  // namespace plughost
