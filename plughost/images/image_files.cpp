#include "plughost/images/image_files.h"

#include <algorithm>
#include <new>
#include <utility>

#include "plughost/files/file_checks.h"
#include "plughost/files/input_file.h"
#include "plughost/images/image_decoders.h"
#include "plughost/images/swatch.h"

namespace plughost {

namespace {

// By the format the file's first bytes show; null after refusing a file
// save does not read.
std::unique_ptr<ImageDecoder> DecoderFor(const ByteSource& source, const ImageRefusal& refuse) {
  uint8_t head[kRecognisedBytes] = {};
  const int64_t got = source.ReadAt(0, head, sizeof head);
  if (got < 0) return refuse("could not be read"), nullptr;
  if (got == 0) return refuse("is empty", "the file"), nullptr;
  const Format* format = FormatOf(head, size_t(got), refuse.name);
  if (format != nullptr && format->decoder != nullptr) return format->decoder(source);
  if (format != nullptr) return refuse(WhyNotRead(*format)), nullptr;
  return refuse("is not an image plughost reads (" + FormatsSaveReads() + ")", "the file"), nullptr;
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
    out->swatchOfTile = SwatchTileOf(decoder.columns(), decoder.rows());
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

std::vector<uint8_t> EncodeImage(const Image& image, ImageFormat format) {
  const Format& row = FormatById(format);
  if (image.pixels.empty() || row.id != format || row.kind != FileKind::kImage ||
      row.encode == nullptr)
    return {};
  return row.encode(image, "", -1);
}

namespace {

// An image of a swatch's size read as one, by a decoder of its own, when
// every tile is of one colour; false, and nothing said, otherwise.
bool ReadIfASwatch(const ByteSource& source, const std::string& name, int tile, SaveImage* out) {
  std::string ignored;
  const ImageRefusal quiet{name, &ignored};
  std::unique_ptr<ImageDecoder> decoder = DecoderFor(source, quiet);
  SaveImage read;
  if (decoder == nullptr || !decoder->ReadHeader(quiet) || !DecodeSwatch(*decoder, tile, quiet, &read))
    return false;
  read.note = decoder->Note();
  read.swatchFound = tile;
  *out = std::move(read);
  return true;
}

}  // namespace

bool DecodeForSave(const ByteSource& source, const std::string& name, int tile, SaveImage* out,
                   std::string* error) {
  const ImageRefusal refuse{name, error};
  std::unique_ptr<ImageDecoder> decoder = DecoderFor(source, refuse);
  if (decoder == nullptr || !decoder->ReadHeader(refuse) ||
      !SizeAllowed(decoder->columns(), decoder->rows(), false, refuse)) {
    return false;
  }
  if (tile == kSwatchByLook) {
    const int looks = SwatchTileOf(decoder->columns(), decoder->rows());
    if (looks > 0 && ReadIfASwatch(source, name, looks, out)) return true;
    tile = 0;
  }
  SaveImage read;
  if (tile > 0) {
    if (!DecodeSwatch(*decoder, tile, refuse, &read)) {
      out->swatchOfTile = read.swatchOfTile;
      return false;
    }
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
