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
  if (got < 0) return refuse(ImageSaid::kUnreadable), nullptr;
  if (got == 0) return refuse(ImageSaid::kEmpty), nullptr;
  const Format* format = FormatOf(head, size_t(got), refuse.name);
  if (format != nullptr && format->decoder != nullptr) return format->decoder(source);
  if (format != nullptr) return refuse(ImageFault(WhyNotRead(*format)).Form(format->id)), nullptr;
  return refuse(ImageSaid::kNotAnImage), nullptr;
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

// Rows checked against a grid of tiles as they come.
class SwatchSink : public RowSink {
 public:
  SwatchSink(SwatchRows* swatch, const ImageRefusal& refuse) : swatch_(swatch), refuse_(refuse) {}
  bool Row(int row, const uint8_t* rgb) override {
    ImageFault why;
    return swatch_->Row(row, rgb, &why) || refuse_(why);
  }

 private:
  SwatchRows* swatch_;
  const ImageRefusal& refuse_;
};

bool DecodeSwatch(ImageDecoder& decoder, int tile, const ImageRefusal& refuse, SaveImage* out) {
  ImageFault why;
  if (!SwatchRows::Fits(decoder.columns(), decoder.rows(), tile, &why)) {
    out->swatchOfTile = SwatchTileOf(decoder.columns(), decoder.rows());
    return refuse(why);
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
  ImageFault ignored;
  const ImageRefusal quiet{name, &ignored};
  std::unique_ptr<ImageDecoder> decoder = DecoderFor(source, quiet);
  SaveImage read;
  if (decoder == nullptr || !decoder->ReadHeader(quiet) || !DecodeSwatch(*decoder, tile, quiet, &read))
    return false;
  decoder->Notes(&read.notes);
  read.swatchFound = tile;
  *out = std::move(read);
  return true;
}

}  // namespace

bool DecodeForSave(const ByteSource& source, const std::string& name, int tile, SaveImage* out,
                   ImageFault* fault) {
  const ImageRefusal refuse{name, fault};
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
  decoder->Notes(&read.notes);
  *out = std::move(read);
  return true;
}

namespace {

// The files gate says why it could not open or read a file in a sentence
// of its own, which the fault carries as it is.
bool GateRefused(const std::string& path, const std::string& gate, ImageFault* fault) {
  return ImageRefusal{path, fault}(ImageFault(ImageSaid::kFileRefused).Text(gate));
}

bool Opened(InputFile* file, const std::string& path, ImageFault* fault) {
  std::string gate;
  return file->Open(path, &gate) || GateRefused(path, gate, fault);
}

}  // namespace

bool ReadForSave(const std::string& path, int tile, SaveImage* out, ImageFault* fault) {
  InputFile file;
  if (!Opened(&file, path, fault)) return false;
  try {
    return DecodeForSave(FileBytes(file), path, tile, out, fault);
  } catch (const std::bad_alloc&) {
    return ImageRefusal{path, fault}(ImageSaid::kTooBigForMemory);
  }
}

bool DecodeImage(const std::vector<uint8_t>& bytes, const std::string& name, Image* image,
                 ImageFault* fault) {
  const ImageRefusal refuse{name, fault};
  const MemoryBytes source(bytes);
  std::unique_ptr<ImageDecoder> decoder = DecoderFor(source, refuse);
  if (decoder == nullptr || !decoder->ReadHeader(refuse) ||
      !SizeAllowed(decoder->columns(), decoder->rows(), true, refuse)) {
    return false;
  }
  return DecodePlain(*decoder, int(decoder->rows()), refuse, image);
}

bool DecodeImage(const std::vector<uint8_t>& bytes, Image* image, ImageFault* fault) {
  return DecodeImage(bytes, std::string(), image, fault);
}

bool ReadImage(const std::string& path, Image* image, ImageFault* fault) {
  InputFile file;
  std::vector<uint8_t> bytes;
  std::string gate;
  if (!Opened(&file, path, fault)) return false;
  if (!file.ReadAll(&bytes, &gate)) return GateRefused(path, gate, fault);
  try {
    return DecodeImage(bytes, path, image, fault);
  } catch (const std::bad_alloc&) {
    return ImageRefusal{path, fault}(ImageSaid::kTooBigForMemory);
  }
}

}  // namespace plughost
