#include "plughost/images/swatch.h"

#include <algorithm>

namespace plughost {

namespace {

// The top or left pixel of tile `index` along a side: past the grid line
// before it and every tile and line before that.
int64_t TileStart(int64_t index, int tile) { return 1 + index * (tile + 1); }

void FillTile(const Image& image, int row, int column, int tile, Image* swatch) {
  const int top = int(TileStart(row, tile)), left = int(TileStart(column, tile));
  for (int r = top; r < top + tile; ++r) {
    for (int c = left; c < left + tile; ++c) {
      for (int k = 0; k < image.planes; ++k) swatch->At(r, c, k) = image.At(row, column, k);
    }
  }
}

}  // namespace

Image MakeSwatch(const Image& image, int tile) {
  const int64_t rows = int64_t{image.rows} * (tile + 1) + 1;
  const int64_t columns = int64_t{image.columns} * (tile + 1) + 1;
  if (tile < 1 || rows > 32767 || columns > 32767) return Image{};
  Image swatch = Image::Blank(int(rows), int(columns), image.planes);
  std::fill(swatch.pixels.begin(), swatch.pixels.end(), kGridLevel);
  for (int r = 0; r < image.rows; ++r) {
    for (int c = 0; c < image.columns; ++c) FillTile(image, r, c, tile, &swatch);
  }
  return swatch;
}

bool SwatchRows::Fits(int64_t columns, int64_t rows, int tile, ImageFault* fault) {
  if (tile >= 1 && rows >= tile + 2 && columns >= tile + 2 && (rows - 1) % (tile + 1) == 0 &&
      (columns - 1) % (tile + 1) == 0) {
    return true;
  }
  const int fits = SwatchTileOf(columns, rows);
  *fault = ImageFault(fits > 0 ? ImageSaid::kNotSwatchSizeButFits : ImageSaid::kNotSwatchSize)
               .Size(columns, rows)
               .Tile(tile, fits);
  return false;
}

int SwatchTileOf(int64_t columns, int64_t rows) {
  constexpr int64_t kColours = 16;  // a palette's image is 16 x 16
  if (columns != rows || (columns - 1) % kColours != 0) return 0;
  const int64_t tile = (columns - 1) / kColours - 1;
  return tile >= 1 && tile <= 255 ? static_cast<int>(tile) : 0;
}

SwatchRows::SwatchRows(int64_t columns, int tile, int tileRows, int planes)
    : tile_(tile),
      tileRows_(tileRows),
      planes_(planes),
      colours_(Image::Blank(tileRows, int((columns - 1) / (tile + 1)), planes)) {}

bool SwatchRows::Row(int row, const uint8_t* pixels, ImageFault* fault) {
  if (row == 0 || row % (tile_ + 1) == 0) return true;  // a grid line
  const int tileRow = (row - 1) / (tile_ + 1), within = (row - 1) % (tile_ + 1);
  for (int c = 0; c < colours_.columns; ++c) {
    const uint8_t* tile = pixels + TileStart(c, tile_) * planes_;
    for (int k = 0; k < planes_; ++k) {
      // The tile's top left pixel is its colour; every other must match it.
      if (within == 0) colours_.At(tileRow, c, k) = tile[k];
      for (int x = 0; x < tile_ && (firstBad_ < 0 || c < firstBad_); ++x) {
        if (tile[x * planes_ + k] != colours_.At(tileRow, c, k)) firstBad_ = c;
      }
    }
  }
  if (within < tile_ - 1 || firstBad_ < 0) return true;
  *fault = ImageFault(ImageSaid::kSwatchTileMixed).Place(firstBad_, tileRow).Tile(tile_);
  return false;
}

bool ReadSwatch(const Image& swatch, int tile, Image* image, ImageFault* fault) {
  if (!SwatchRows::Fits(swatch.columns, swatch.rows, tile, fault)) return false;
  SwatchRows reader(swatch.columns, tile, (swatch.rows - 1) / (tile + 1), swatch.planes);
  const size_t rowBytes = size_t(swatch.columns) * size_t(swatch.planes);
  for (int r = 0; r < reader.RowsNeeded(); ++r) {
    if (!reader.Row(r, swatch.pixels.data() + size_t(r) * rowBytes, fault)) return false;
  }
  *image = reader.colours();
  return true;
}

}  // namespace plughost
