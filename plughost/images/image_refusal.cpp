#include "plughost/images/image_refusal.h"

#include "plughost/images/image_decoders.h"
#include "plughost/images/image_files.h"

namespace plughost {

namespace {

constexpr int64_t kMaxSide = 32767;

}  // namespace

bool SizeAllowed(int64_t columns, int64_t rows, bool wholeImage, const ImageRefusal& refuse) {
  if (columns < 1 || rows < 1) return refuse(ImageFault(ImageSaid::kNoPixels).Size(columns, rows));
  if (wholeImage && rows > kMaxImagePixels / columns)
    return refuse(ImageFault(ImageSaid::kTooManyPixels).Size(columns, rows).Limit(kMaxImagePixels));
  if (columns > kMaxSide || rows > kMaxSide)
    return refuse(ImageFault(ImageSaid::kSideTooLong).Size(columns, rows).Limit(kMaxSide));
  return true;
}

bool RefuseTruncated(ImageFormat form, const ImageRefusal& refuse) {
  return refuse(ImageFault(ImageSaid::kTruncated).Form(form));
}

bool RefuseUndecodable(ImageFormat form, const ImageRefusal& refuse) {
  return refuse(ImageFault(ImageSaid::kUndecodable).Form(form));
}

bool RefuseHeldRows(int64_t bytes, const ImageRefusal& refuse) {
  return refuse(ImageFault(ImageSaid::kHeldRowsTooMany).Count(bytes).Limit(kMaxHeldRowBytes));
}

void IndicesPastTable::Note(ImageNotes* notes) const {
  if (count_ == 0) return;
  notes->push_back(
      ImageFault(count_ == 1 ? ImageSaid::kIndexPastTable : ImageSaid::kIndicesPastTable)
          .Count(count_, entries_)
          .Place(column_, row_)
          .Value(index_));
}

}  // namespace plughost
