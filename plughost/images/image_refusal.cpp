#include "plughost/images/image_refusal.h"

#include "plughost/images/image_decoders.h"
#include "plughost/images/image_files.h"

namespace plughost {

namespace {

constexpr int64_t kMaxSide = 32767;

}  // namespace

bool SizeAllowed(int64_t columns, int64_t rows, bool wholeImage, const ImageRefusal& refuse) {
  const std::string size = std::to_string(columns) + " x " + std::to_string(rows) + " pixels";
  if (columns < 1 || rows < 1) return refuse("has no pixels (its header says " + size + ")");
  if (wholeImage && rows > kMaxImagePixels / columns) {
    return refuse("is " + size + ", more than the " + std::to_string(kMaxImagePixels) +
                  " plughost reads");
  }
  if (columns > kMaxSide || rows > kMaxSide) {
    return refuse("is " + size + ", more than the " + std::to_string(kMaxSide) +
                  " a side plughost reads");
  }
  return true;
}

bool RefuseTruncated(const char* kind, const ImageRefusal& refuse) {
  return refuse(std::string("is truncated: its ") + kind + " data stops before its end");
}

bool RefuseUndecodable(const char* kind, const ImageRefusal& refuse) {
  const std::string name = kind;
  return refuse("is a " + name + " file plughost cannot decode: damaged, or a form of " + name +
                " it does not read");
}

bool RefuseHeldRows(int64_t bytes, const ImageRefusal& refuse) {
  return refuse("would need " + std::to_string(bytes >> 20) +
                " MiB to hold the rows a save reads, more than the " +
                std::to_string(kMaxHeldRowBytes >> 20) + " MiB plughost allows " +
                "(an interlaced or GIF image that wide and tall is read whole; save it as a " +
                "plain PNG)");
}

std::string IndicesPastTable::Note() const {
  if (count_ == 0) return "";
  const std::string where = "column " + std::to_string(column_) + ", row " + std::to_string(row_);
  const std::string table = "its table of " + std::to_string(entries_) +
                            (entries_ == 1 ? " colour" : " colours");
  if (count_ == 1)
    return "its pixel at " + where + " names colour " + std::to_string(index_) + ", past " + table +
           ": it is saved black";
  return std::to_string(count_) + " of the pixels read name colours past " + table + " (the first at " +
         where + ", colour " + std::to_string(index_) + "): they are saved black";
}

std::string JoinedNotes(const std::string& first, const std::string& second) {
  if (first.empty()) return second;
  return second.empty() ? first : first + "; " + second;
}

}  // namespace plughost
