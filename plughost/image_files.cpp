#include "plughost/image_files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO  // files are read here, so that Windows paths behave
#define STBI_FAILURE_USERMSG
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace plughost {

namespace {

std::string LowerExtension(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

void AppendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  const auto* bytes = static_cast<const uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

std::vector<uint8_t> EncodePpm(const Image& image) {
  const std::string header = std::string(image.planes == 1 ? "P5" : "P6") + "\n" +
                             std::to_string(image.columns) + " " + std::to_string(image.rows) +
                             "\n255\n";
  std::vector<uint8_t> out(header.begin(), header.end());
  out.insert(out.end(), image.pixels.begin(), image.pixels.end());
  return out;
}

bool TileIsOneColour(const Image& swatch, int tile, int row, int column) {
  const int top = 1 + row * (tile + 1), left = 1 + column * (tile + 1);
  for (int r = top; r < top + tile; ++r) {
    for (int c = left; c < left + tile; ++c) {
      for (int k = 0; k < swatch.planes; ++k) {
        if (swatch.At(r, c, k) != swatch.At(top, left, k)) return false;
      }
    }
  }
  return true;
}

}  // namespace

ImageFormat FormatFromPath(const std::string& path) {
  const std::string ext = LowerExtension(path);
  if (ext == "png") return ImageFormat::kPng;
  if (ext == "ppm") return ImageFormat::kPpm;
  return ImageFormat::kUnknown;
}

std::vector<uint8_t> EncodeImage(const Image& image, ImageFormat format) {
  std::vector<uint8_t> out;
  if (image.pixels.empty() || (image.planes != 1 && image.planes != 3)) return out;
  if (format == ImageFormat::kPpm) return EncodePpm(image);
  if (format != ImageFormat::kPng) return out;
  if (stbi_write_png_to_func(AppendBytes, &out, image.columns, image.rows, image.planes,
                             image.pixels.data(), image.columns * image.planes) == 0) {
    out.clear();
  }
  return out;
}

bool DecodeImage(const std::vector<uint8_t>& bytes, Image* image, std::string* error) {
  if (bytes.empty() || bytes.size() > size_t(INT32_MAX)) {
    *error = bytes.empty() ? "the file is empty" : "the file is too large";
    return false;
  }
  int columns = 0, rows = 0, channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &columns,
                                          &rows, &channels, 3);
  if (pixels == nullptr) {
    *error = std::string("not an image stb_image reads (") + stbi_failure_reason() + ")";
    return false;
  }
  *image = Image::Blank(rows, columns, 3);
  if (!image->pixels.empty()) std::memcpy(image->pixels.data(), pixels, image->pixels.size());
  stbi_image_free(pixels);
  if (image->pixels.empty()) *error = "the image is larger than 32767 pixels a side";
  return !image->pixels.empty();
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  bytes->assign(std::istreambuf_iterator<char>(in), {});
  if (in.bad()) {
    *error = "cannot read " + path;
    return false;
  }
  return true;
}

bool ReadImage(const std::string& path, Image* image, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, &bytes, error)) return false;
  if (DecodeImage(bytes, image, error)) return true;
  *error = path + ": " + *error;
  return false;
}

Image MakeSwatch(const Image& image, int tile) {
  const int64_t rows = int64_t{image.rows} * (tile + 1) + 1;
  const int64_t columns = int64_t{image.columns} * (tile + 1) + 1;
  if (tile < 1 || rows > 32767 || columns > 32767) return Image{};
  Image swatch = Image::Blank(int(rows), int(columns), image.planes);
  std::fill(swatch.pixels.begin(), swatch.pixels.end(), kGridLevel);
  for (int r = 0; r < image.rows; ++r) {
    for (int c = 0; c < image.columns; ++c) {
      for (int y = 0; y < tile; ++y) {
        for (int x = 0; x < tile; ++x) {
          for (int k = 0; k < image.planes; ++k) {
            swatch.At(1 + r * (tile + 1) + y, 1 + c * (tile + 1) + x, k) = image.At(r, c, k);
          }
        }
      }
    }
  }
  return swatch;
}

bool ReadSwatch(const Image& swatch, int tile, Image* image, std::string* error) {
  const std::string size = std::to_string(swatch.columns) + " x " + std::to_string(swatch.rows);
  if (tile < 1 || swatch.rows < tile + 2 || swatch.columns < tile + 2 ||
      (swatch.rows - 1) % (tile + 1) != 0 || (swatch.columns - 1) % (tile + 1) != 0) {
    *error = "a " + size + " image is not a swatch of " + std::to_string(tile) +
             "-pixel tiles (each side must be a multiple of " + std::to_string(tile + 1) +
             ", plus 1)";
    return false;
  }
  *image = Image::Blank((swatch.rows - 1) / (tile + 1), (swatch.columns - 1) / (tile + 1),
                        swatch.planes);
  for (int r = 0; r < image->rows; ++r) {
    for (int c = 0; c < image->columns; ++c) {
      if (!TileIsOneColour(swatch, tile, r, c)) {
        *error = "tile at row " + std::to_string(r) + ", column " + std::to_string(c) +
                 " is not one colour: not a swatch of " + std::to_string(tile) +
                 "-pixel tiles, or edited inside a tile";
        return false;
      }
      for (int k = 0; k < swatch.planes; ++k)
        image->At(r, c, k) = swatch.At(1 + r * (tile + 1), 1 + c * (tile + 1), k);
    }
  }
  return true;
}

}  // namespace plughost
