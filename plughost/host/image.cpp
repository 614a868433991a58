#include "plughost/host/image.h"

#include <cstddef>

using std::size_t;

namespace plughost {

Image Image::Blank(int rows, int columns, int planes) {
  Image image;
  if (rows <= 0 || columns <= 0 || planes <= 0 || rows > 32767 || columns > 32767 || planes > 64) {
    return image;
  }
  image.rows = rows;
  image.columns = columns;
  image.planes = planes;
  image.pixels.assign(size_t(rows) * size_t(columns) * size_t(planes), 0);
  return image;
}

}  // namespace plughost
