#include "plughost/images/image_files.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "plughost/files/file_checks.h"
#include "plughost/files/input_file.h"
#include "plughost/images/image_decoders.h"
#include "plughost/images/png_files.h"

namespace plughost {

namespace {

constexpr char kNotAnImage[] = "is not an image plughost reads (PNG, BMP, GIF, PPM, PGM)";
// A palette is exact colours: a JPEG's were changed when it was saved.
constexpr char kJpeg[] =
    "is a JPEG, which stores colours only approximately, so a palette taken from it would not "
    "be the colours painted: save the image as PNG and save the palette from that";

bool Begins(const uint8_t* head, size_t size, const char* mark) {
  const size_t n = std::strlen(mark);
  return size >= n && std::memcmp(head, mark, n) == 0;
}

// By the mark the file begins with; null for JPEG and what is no image.
std::unique_ptr<ImageDecoder> DecoderFor(const ByteSource& source, const ImageRefusal& refuse) {
  uint8_t head[8] = {};
  const int64_t got = source.ReadAt(0, head, sizeof head);
  const size_t size = got < 0 ? 0 : size_t(got);
  if (got < 0) return refuse("could not be read"), nullptr;
  if (size == 0) return refuse("is empty", "the file"), nullptr;
  if (Begins(head, size, "\x89PNG\r\n\x1A\n")) return NewPngDecoder(source);
  if (Begins(head, size, "GIF87a") || Begins(head, size, "GIF89a")) return NewGifDecoder(source);
  if (Begins(head, size, "BM")) return NewBmpDecoder(source);
  for (const char* form : {"P2", "P3", "P5", "P6"}) {
    if (Begins(head, size, form)) return NewNetpbmDecoder(source);
  }
  if (Begins(head, size, "\xFF\xD8\xFF")) return refuse(kJpeg), nullptr;
  return refuse(kNotAnImage, "the file"), nullptr;
}

// Rows kept as they come, every column: what is held grows with the rows
// decoded, not with what the header claims.
class KeptRows : public RowSink {
 public:
  explicit KeptRows(int64_t columns) : rowBytes_(size_t(columns) * 3) {}
  bool Row(int, const uint8_t* rgb) override {
    pixels_.insert(pixels_.end(), rgb, rgb + rowBytes_);
    return true;
  }
  Image Take() {
    Image image;
    image.rows = int(pixels_.size() / rowBytes_);
    image.columns = int(rowBytes_ / 3);
    image.planes = 3;
    image.pixels = std::move(pixels_);
    return image;
  }

 private:
  size_t rowBytes_;
  std::vector<uint8_t> pixels_;
};

// A swatch's refusals name the file before a colon, as they always have.
bool RefuseSwatch(const std::string& why, const ImageRefusal& refuse) {
  *refuse.error = (refuse.name.empty() ? std::string("the image") : refuse.name) + ": " + why;
  return false;
}

// Rows checked against a grid of tiles as they come.
class SwatchSink : public RowSink {
 public:
  SwatchSink(SwatchRows* swatch, const ImageRefusal& refuse) : swatch_(swatch), refuse_(refuse) {}
  bool Row(int row, const uint8_t* rgb) override {
    std::string why;
    return swatch_->Row(row, rgb, &why) || RefuseSwatch(why, refuse_);
  }

 private:
  SwatchRows* swatch_;
  const ImageRefusal& refuse_;
};

bool DecodeSwatch(ImageDecoder& decoder, int tile, const ImageRefusal& refuse, SaveImage* out) {
  std::string why;
  if (!SwatchRows::Fits(decoder.columns(), decoder.rows(), tile, &why)) {
    return RefuseSwatch(why, refuse);
  }
  const int tileRows = int(std::min<int64_t>((decoder.rows() - 1) / (tile + 1), kSavedRows));
  SwatchRows swatch(decoder.columns(), tile, tileRows, 3);
  SwatchSink sink(&swatch, refuse);
  if (!decoder.DecodeRows(swatch.RowsNeeded(), &sink, refuse)) return false;
  out->top = swatch.colours();
  out->rows = int((decoder.rows() - 1) / (tile + 1));
  out->columns = swatch.colours().columns;
  return true;
}

bool DecodePlain(ImageDecoder& decoder, int wanted, const ImageRefusal& refuse, Image* top) {
  KeptRows kept(decoder.columns());
  if (!decoder.DecodeRows(wanted, &kept, refuse)) return false;
  *top = kept.Take();
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
  if (image.pixels.empty() || (image.planes != 1 && image.planes != 3)) return {};
  if (format == ImageFormat::kPng) return EncodePng(image);
  if (format != ImageFormat::kPpm) return {};
  const std::string header = std::string(image.planes == 1 ? "P5" : "P6") + "\n" +
                             std::to_string(image.columns) + " " + std::to_string(image.rows) +
                             "\n255\n";
  std::vector<uint8_t> out(header.begin(), header.end());
  out.insert(out.end(), image.pixels.begin(), image.pixels.end());
  return out;
}

bool DecodeForSave(const ByteSource& source, const std::string& name, int tile, SaveImage* out,
                   std::string* error) {
  const ImageRefusal refuse{name, error};
  std::unique_ptr<ImageDecoder> decoder = DecoderFor(source, refuse);
  if (decoder == nullptr || !decoder->ReadHeader(refuse) ||
      !SizeAllowed(decoder->columns(), decoder->rows(), false, refuse)) {
    return false;
  }
  SaveImage read;
  if (tile > 0) {
    if (!DecodeSwatch(*decoder, tile, refuse, &read)) return false;
  } else {
    const int wanted = int(std::min<int64_t>(decoder->rows(), kSavedRows));
    if (!DecodePlain(*decoder, wanted, refuse, &read.top)) return false;
    read.rows = int(decoder->rows());
    read.columns = int(decoder->columns());
  }
  read.note = decoder->Note();
  *out = std::move(read);
  return true;
}

bool ReadForSave(const std::string& path, int tile, SaveImage* out, std::string* error) {
  InputFile file;
  if (!file.Open(path, error)) return false;
  try {
    return DecodeForSave(FileBytes(file), path, tile, out, error);
  } catch (const std::bad_alloc&) {
    *error = path + " is too big for the memory at hand";
    return false;
  }
}

bool DecodeImage(const std::vector<uint8_t>& bytes, const std::string& name, Image* image,
                 std::string* error) {
  const ImageRefusal refuse{name, error};
  const MemoryBytes source(bytes);
  std::unique_ptr<ImageDecoder> decoder = DecoderFor(source, refuse);
  if (decoder == nullptr || !decoder->ReadHeader(refuse) ||
      !SizeAllowed(decoder->columns(), decoder->rows(), true, refuse)) {
    return false;
  }
  return DecodePlain(*decoder, int(decoder->rows()), refuse, image);
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
    *error = path + " is too big for the memory at hand";
    return false;
  }
}

}  // namespace plughost
