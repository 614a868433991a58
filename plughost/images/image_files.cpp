#include "plughost/images/image_files.h"

#include <cctype>
#include <cstring>
#include <new>
#include <utility>

#include "plughost/images/image_headers.h"
#include "plughost/images/image_refusal.h"
#include "plughost/files/file_checks.h"
#include "plughost/files/input_file.h"
#include "plughost/images/netpbm.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO  // files are read here, so that Windows paths behave
// The kinds plughost's refusals name, and no others. PPM and PGM are read
// by our own code, in netpbm.cpp.
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
#define STBI_ONLY_TGA
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace plughost {

namespace {

using Bytes = std::vector<uint8_t>;

constexpr char kNotAnImage[] =
    "is not an image plughost reads (PNG, PPM, PGM, BMP, JPEG, GIF, TGA)";

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

bool HeaderSize(ImageKind kind, const Bytes& b, int64_t* columns, int64_t* rows) {
  if (kind == ImageKind::kPng) return PngSize(b, columns, rows);
  int x = 0, y = 0, channels = 0;
  if (stbi_info_from_memory(b.data(), int(b.size()), &x, &y, &channels) == 0) return false;
  *columns = x;
  *rows = y;
  return true;
}

bool Truncated(ImageKind kind, const ImageRefusal& refuse) {
  return refuse(std::string("is truncated: its ") + ImageKindName(kind) +
                " data stops before its end");
}

bool Undecodable(ImageKind kind, const ImageRefusal& refuse) {
  const std::string kind_name = ImageKindName(kind);
  return refuse("is a " + kind_name + " file plughost cannot decode: damaged, or a form of " +
                kind_name + " it does not read");
}

// Why stb_image gave no pixels for a file whose header it had read.
bool LoadFailed(ImageKind kind, const Bytes& b, int64_t columns, int64_t rows,
                const ImageRefusal& refuse) {
  if (kind == ImageKind::kJpeg && ImageEndsEarly(kind, b)) return Truncated(kind, refuse);
  if (std::strcmp(stbi_failure_reason(), "outofmem") == 0) {
    return refuse("needs more memory than plughost could get for its " + std::to_string(columns) +
                  " x " + std::to_string(rows) + " pixels");
  }
  return Undecodable(kind, refuse);
}

bool DecodeWithStb(ImageKind kind, const Bytes& b, const ImageRefusal& refuse, Image* out) {
  int64_t columns = 0, rows = 0;
  if (!HeaderSize(kind, b, &columns, &rows)) {
    if (kind == ImageKind::kOther) return refuse(kNotAnImage, "the file");
    return ImageEndsEarly(kind, b) ? Truncated(kind, refuse) : Undecodable(kind, refuse);
  }
  // The one kind stb_image knows without a mark.
  if (kind == ImageKind::kOther) kind = ImageKind::kTga;
  if (!SizeAllowed(columns, rows, refuse)) return false;
  if (kind != ImageKind::kJpeg && ImageEndsEarly(kind, b)) return Truncated(kind, refuse);
  int x = 0, y = 0, channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(b.data(), int(b.size()), &x, &y, &channels, 3);
  if (pixels == nullptr) return LoadFailed(kind, b, columns, rows, refuse);
  Image image = Image::Blank(y, x, 3);
  if (!image.pixels.empty()) std::memcpy(image.pixels.data(), pixels, image.pixels.size());
  stbi_image_free(pixels);
  if (image.pixels.empty()) return refuse("is larger than 32767 pixels a side");
  *out = std::move(image);
  return true;
}

}  // namespace

ImageFormat FormatFromPath(const std::string& path) {
  const std::string ext = ExtensionOf(path);
  if (ext == "png") return ImageFormat::kPng;
  if (ext == "ppm") return ImageFormat::kPpm;
  if (ext == "gpl") return ImageFormat::kGimpPalette;
  if (ext == "pal") return ImageFormat::kJascPalette;
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

bool DecodeImage(const std::vector<uint8_t>& bytes, const std::string& name, Image* image,
                 std::string* error) {
  const ImageRefusal refuse{name, error};
  if (bytes.empty()) return refuse("is empty", "the file");
  // stb_image counts bytes in an int.
  if (bytes.size() > size_t(INT32_MAX)) return refuse("is larger than 2 GB", "the file");
  const ImageKind kind = ImageKindOf(bytes);
  if (kind == ImageKind::kPnm) return DecodeNetpbm(bytes, refuse, image);
  return DecodeWithStb(kind, bytes, refuse, image);
}

bool DecodeImage(const std::vector<uint8_t>& bytes, Image* image, std::string* error) {
  return DecodeImage(bytes, std::string(), image, error);
}

bool ReadImage(const std::string& path, Image* image, std::string* error) {
  InputFile file;
  std::vector<uint8_t> bytes;
  if (!file.Open(path, error) || !file.ReadAll(&bytes, error)) return false;
  try {
    return DecodeImage(bytes, path, image, error);
  } catch (const std::bad_alloc&) {
    *error = path + " needs more memory than plughost could get";
    return false;
  }
}

}  // namespace plughost
