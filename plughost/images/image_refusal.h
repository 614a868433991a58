// How the image readers say no: a fault (image_fault.h) naming the file as
// the caller gave it, and the size limits held before any pixel is decoded.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "plughost/images/image_fault.h"

namespace plughost {

// Records the fault with the file's name in *fault and answers false, so
// that a reader can `return refuse(ImageFault(...))`.
struct ImageRefusal {
  const std::string& name;
  ImageFault* fault;
  bool operator()(ImageFault said) const {
    said.file = name;
    *fault = std::move(said);
    return false;
  }
  bool operator()(ImageSaid said) const { return (*this)(ImageFault(said)); }
};

// True when a header's columns x rows is at least one pixel and at most
// 32767 a side, and, when `wholeImage`, at most kMaxImagePixels; otherwise
// refuses, naming the size.
bool SizeAllowed(int64_t columns, int64_t rows, bool wholeImage, const ImageRefusal& refuse);

// Pixels read whose colour index lies past the image's colour table: they
// are saved black, as readers of these forms take them, and noted once (the
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
  // Adds the note to *notes, when an index was past the table.
  void Note(ImageNotes* notes) const;

 private:
  uint32_t entries_;
  int64_t count_ = 0, row_ = 0, column_ = 0;
  uint32_t index_ = 0;
};

}  // namespace plughost
