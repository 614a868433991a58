#include "plughost/images/image_refusal.h"

#include "plughost/images/image_files.h"

namespace plughost {

namespace {

constexpr int64_t kMaxSide = 32767;

}  // namespace

bool SizeAllowed(int64_t columns, int64_t rows, const ImageRefusal& refuse) {
  const std::string size = std::to_string(columns) + " x " + std::to_string(rows) + " pixels";
  if (columns < 1 || rows < 1) return refuse("has no pixels (its header says " + size + ")");
  if (rows > kMaxImagePixels / columns) {
    return refuse("is " + size + ", more than the " + std::to_string(kMaxImagePixels) +
                  " plughost reads");
  }
  if (columns > kMaxSide || rows > kMaxSide) {
    return refuse("is " + size + ", more than the " + std::to_string(kMaxSide) +
                  " a side plughost reads");
  }
  return true;
}

}  // namespace plughost
