#include "plughost/image_files.h"

#include <new>

#include "plughost/input_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO  // files are read here, so that Windows paths behave
// The kinds plughost's refusals name, and no others. PPM and PGM are read
// below, by our own code.
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

using Bytes = std::vector<uint8_t>;

// Every refusal is one sentence about the file: by its name when the caller
// gave one, otherwise as "the image" (or "the file", where it may be none).
struct Refusal {
  const std::string& name;
  std::string* error;
  bool operator()(const std::string& why, const char* unnamed = "the image") const {
    *error = (name.empty() ? std::string(unnamed) : name) + " " + why;
    return false;
  }
};

constexpr char kNotAnImage[] =
    "is not an image plughost reads (PNG, PPM, PGM, BMP, JPEG, GIF, TGA)";
constexpr int64_t kMaxSide = 32767;

uint32_t ReadU16LE(const Bytes& b, size_t at) { return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8; }
uint32_t ReadU32LE(const Bytes& b, size_t at) {
  return ReadU16LE(b, at) | ReadU16LE(b, at + 2) << 16;
}
uint32_t ReadU32BE(const Bytes& b, size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

bool HasChars(const Bytes& b, size_t at, const char* chars) {
  const size_t n = std::strlen(chars);
  return b.size() >= at + n && std::equal(chars, chars + n, b.begin() + long(at),
                                          [](char c, uint8_t byte) { return uint8_t(c) == byte; });
}

// Held to both limits before a pixel is decoded, so that a header of a few
// bytes cannot make plughost ask for gigabytes.
bool SizeAllowed(int64_t columns, int64_t rows, const Refusal& refuse) {
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

// PPM and PGM are read here rather than by stb_image, which leaves the
// pixels of a short binary file unset, ignores a maximum value under 255 and
// has no plain-text forms.
struct Cursor {
  const Bytes& bytes;
  size_t at;
};

bool IsPnmSpace(uint8_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void SkipSeparators(Cursor* c) {
  const Bytes& b = c->bytes;
  while (c->at < b.size() && (IsPnmSpace(b[c->at]) || b[c->at] == '#')) {
    if (b[c->at] != '#') {
      ++c->at;
      continue;
    }
    while (c->at < b.size() && b[c->at] != '\n' && b[c->at] != '\r') ++c->at;
  }
}

enum class Number { kRead, kEnd, kBad };

// Digits only, ended by a separator, a comment or the file's end: "12x" and
// "-3" are bad numbers rather than 12 and the start of something else. On a
// bad one the cursor is left at its first byte, for the message.
Number ReadNumber(Cursor* c, uint32_t* value) {
  SkipSeparators(c);
  const Bytes& b = c->bytes;
  if (c->at == b.size()) return Number::kEnd;
  const size_t start = c->at;
  uint64_t v = 0;
  for (; c->at < b.size() && std::isdigit(b[c->at]) && v <= UINT32_MAX; ++c->at) {
    v = v * 10 + uint64_t(b[c->at] - '0');
  }
  const bool ended = c->at == b.size() || IsPnmSpace(b[c->at]) || b[c->at] == '#';
  if (c->at == start || v > UINT32_MAX || !ended) {
    c->at = start;
    return Number::kBad;
  }
  *value = uint32_t(v);
  return Number::kRead;
}

bool BadNumber(const Cursor& c, const Refusal& refuse) {
  return refuse("has a bad number at byte " + std::to_string(c.at) +
                " (PPM and PGM numbers are digits only, up to " + std::to_string(UINT32_MAX) + ")");
}

struct PnmHeader {
  bool text;     // P3 and P2: numbers as decimal text; P6 and P5: bytes
  int channels;  // 3 for PPM, 1 for PGM
  uint32_t columns, rows, maxval;
  int64_t samples;  // columns x rows x channels
};

bool TooFewValues(const PnmHeader& h, const Refusal& refuse) {
  return refuse("is truncated: it holds fewer than the " + std::to_string(h.samples) +
                " values its header declares");
}

bool ReadPnmHeader(Cursor* c, PnmHeader* h, const Refusal& refuse) {
  const uint8_t form = c->bytes[1];
  h->text = form == '3' || form == '2';
  h->channels = form == '3' || form == '6' ? 3 : 1;
  for (uint32_t* field : {&h->columns, &h->rows, &h->maxval}) {
    const Number got = ReadNumber(c, field);
    if (got == Number::kEnd) return refuse("is truncated: it ends inside its header");
    if (got == Number::kBad) return BadNumber(*c, refuse);
  }
  if (h->maxval < 1 || h->maxval > 65535) {
    return refuse("declares a maximum value of " + std::to_string(h->maxval) +
                  ", where PPM and PGM allow 1 to 65535");
  }
  h->samples = int64_t{h->columns} * h->rows * h->channels;
  return SizeAllowed(h->columns, h->rows, refuse);
}

// Checked before the image is allocated. Each text value needs a digit and
// a separator before it; binary ones take one byte, or two past maxval 255.
bool PnmLongEnough(Cursor* c, const PnmHeader& h, const Refusal& refuse) {
  const int64_t rest = int64_t(c->bytes.size() - c->at);
  if (h.text) return rest >= 2 * h.samples || TooFewValues(h, refuse);
  const int64_t needed = h.samples * (h.maxval > 255 ? 2 : 1);
  if (rest - 1 >= needed) {
    ++c->at;  // the one separator after maxval
    return true;
  }
  return refuse("is truncated: it holds " + std::to_string(std::max<int64_t>(rest - 1, 0)) +
                " of the " + std::to_string(needed) + " bytes of pixels its header declares");
}

bool NextSample(Cursor* c, const PnmHeader& h, const Refusal& refuse, uint32_t* value) {
  const Bytes& b = c->bytes;
  if (!h.text) {
    *value = h.maxval > 255 ? uint32_t{b[c->at]} << 8 | b[c->at + 1] : b[c->at];
    c->at += h.maxval > 255 ? 2 : 1;
    return true;
  }
  const Number got = ReadNumber(c, value);
  if (got == Number::kBad) return BadNumber(*c, refuse);
  if (got == Number::kEnd) return TooFewValues(h, refuse);
  return true;
}

bool DecodePnm(const Bytes& bytes, const Refusal& refuse, Image* out) {
  Cursor c{bytes, 2};
  PnmHeader h{};
  if (!ReadPnmHeader(&c, &h, refuse)) return false;
  if (!PnmLongEnough(&c, h, refuse)) return false;
  Image image = Image::Blank(int(h.rows), int(h.columns), 3);
  for (size_t i = 0; i < size_t(h.samples); ++i) {
    uint32_t v = 0;
    if (!NextSample(&c, h, refuse, &v)) return false;
    if (v > h.maxval) {
      return refuse("has the value " + std::to_string(v) + " where its header allows at most " +
                    std::to_string(h.maxval));
    }
    // To the nearest of 0..255; a grey sample fills all three channels.
    const auto level = uint8_t((v * 255 + h.maxval / 2) / h.maxval);
    std::fill_n(image.pixels.begin() + long(h.channels == 1 ? i * 3 : i), 4 - h.channels, level);
  }
  *out = std::move(image);
  return true;
}

enum class Kind { kPng, kJpeg, kGif, kBmp, kPnm, kTga, kOther };

Kind KindOf(const Bytes& b) {
  if (HasChars(b, 0, "\x89PNG\r\n\x1A\n")) return Kind::kPng;
  if (HasChars(b, 0, "\xFF\xD8\xFF")) return Kind::kJpeg;
  if (HasChars(b, 0, "GIF8")) return Kind::kGif;
  if (HasChars(b, 0, "BM")) return Kind::kBmp;
  for (const char* form : {"P2", "P3", "P5", "P6"}) {
    if (HasChars(b, 0, form)) return Kind::kPnm;
  }
  return Kind::kOther;  // TGA has no mark; stb_image judges it by its header
}

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kPng: return "PNG";
    case Kind::kJpeg: return "JPEG";
    case Kind::kGif: return "GIF";
    case Kind::kBmp: return "BMP";
    case Kind::kPnm: return "PPM";
    case Kind::kTga: return "TGA";
    case Kind::kOther: break;
  }
  return "image";
}

constexpr size_t kPngSignatureSize = 8;
constexpr size_t kPngChunkTypeOffset = 4;  // within a chunk, after its length
constexpr size_t kPngChunkOverhead = 12;   // length, type and CRC
constexpr size_t kPngWidthOffset = 16;     // in IHDR, always the first chunk
constexpr size_t kPngHeightOffset = 20;

// Read here because stb_image refuses to report the size of a PNG whose
// pixels would take more than 1 GB, which would make it "not an image".
bool PngSize(const Bytes& b, int64_t* columns, int64_t* rows) {
  if (b.size() < kPngHeightOffset + 4 ||
      !HasChars(b, kPngSignatureSize + kPngChunkTypeOffset, "IHDR")) {
    return false;
  }
  *columns = ReadU32BE(b, kPngWidthOffset);
  *rows = ReadU32BE(b, kPngHeightOffset);
  return true;
}

// Chunk by chunk to IEND and its CRC: stb_image stops at IEND's type, so a
// file that lost only its last bytes would otherwise pass.
bool PngEndsEarly(const Bytes& b) {
  for (size_t at = kPngSignatureSize; b.size() - at >= kPngChunkOverhead;) {
    if (HasChars(b, at + kPngChunkTypeOffset, "IEND")) return false;
    const uint32_t length = ReadU32BE(b, at);
    if (length > b.size() - at - kPngChunkOverhead) return true;
    at += kPngChunkOverhead + length;
  }
  return true;
}

// Only asked after stb_image failed: a JPEG may carry bytes after its end.
bool JpegEndsEarly(const Bytes& b) {
  return b.size() < 4 || b[b.size() - 2] != 0xFF || b[b.size() - 1] != 0xD9;
}

constexpr size_t kGifScreenFlagsOffset = 10;  // top bit: a colour table follows
constexpr size_t kGifBlocksOffset = 13;
constexpr size_t kGifImageFlagsOffset = 9;  // within an image descriptor
constexpr size_t kGifImageDescriptorSize = 10;
constexpr uint8_t kGifExtension = '!', kGifImage = ',', kGifTrailer = ';';

size_t GifColourTableSize(uint8_t flags) {
  return flags & 0x80 ? size_t{3} << ((flags & 7) + 1) : 0;
}

size_t SkipGifSubBlocks(const Bytes& b, size_t at) {
  while (at < b.size() && b[at] != 0) at += size_t{b[at]} + 1;
  return at + 1;
}

// Block by block to the trailer: stb_image takes a GIF that stops early for
// whole, with the missing pixels black. A byte that starts no block is left
// to stb_image to judge.
bool GifEndsEarly(const Bytes& b) {
  if (b.size() < kGifBlocksOffset) return true;
  size_t at = kGifBlocksOffset + GifColourTableSize(b[kGifScreenFlagsOffset]);
  while (at < b.size() && b[at] != kGifTrailer) {
    if (b[at] == kGifImage) {
      if (b.size() - at <= kGifImageFlagsOffset) return true;
      at += kGifImageDescriptorSize + GifColourTableSize(b[at + kGifImageFlagsOffset]) + 1;
    } else if (b[at] == kGifExtension) {
      at += 2;
    } else {
      return false;
    }
    at = SkipGifSubBlocks(b, at);
  }
  return at >= b.size();
}

constexpr size_t kBmpDataOffset = 10;
constexpr size_t kBmpInfoSizeOffset = 14;
constexpr uint32_t kBmpCoreInfoSize = 12;  // OS/2's header: 16-bit sizes, no compression
constexpr size_t kBmpCoreWidthOffset = 18, kBmpCoreHeightOffset = 20, kBmpCoreBitsOffset = 24;
constexpr size_t kBmpWidthOffset = 18, kBmpHeightOffset = 22, kBmpBitsOffset = 28;
constexpr size_t kBmpCompressionOffset = 30;
constexpr uint32_t kBmpRgb = 0, kBmpBitFields = 3, kBmpAlphaBitFields = 6;

// stb_image reads a BMP that stops early as if the rest were zeros. Rows of
// uncompressed pixels are padded to 4 bytes; run-length coded data's length
// is known only by decoding it. Asked after the size check, so the product
// is small.
bool BmpEndsEarly(const Bytes& b) {
  const bool core =
      b.size() >= kBmpInfoSizeOffset + 4 && ReadU32LE(b, kBmpInfoSizeOffset) == kBmpCoreInfoSize;
  if (b.size() < (core ? kBmpCoreBitsOffset + 2 : kBmpCompressionOffset + 4)) return true;
  // The full header's sizes are signed: a negative height is stored top row first.
  const int64_t width =
      core ? ReadU16LE(b, kBmpCoreWidthOffset) : int64_t{int32_t(ReadU32LE(b, kBmpWidthOffset))};
  const int64_t height =
      core ? ReadU16LE(b, kBmpCoreHeightOffset) : int64_t{int32_t(ReadU32LE(b, kBmpHeightOffset))};
  const int64_t bits = ReadU16LE(b, core ? kBmpCoreBitsOffset : kBmpBitsOffset);
  const uint32_t compression = core ? kBmpRgb : ReadU32LE(b, kBmpCompressionOffset);
  if (compression != kBmpRgb && compression != kBmpBitFields && compression != kBmpAlphaBitFields) {
    return false;
  }
  const int64_t stride = (width * bits + 31) / 32 * 4;
  return int64_t(b.size()) < int64_t{ReadU32LE(b, kBmpDataOffset)} + stride * std::abs(height);
}

constexpr size_t kTgaIdLengthOffset = 0, kTgaMapTypeOffset = 1, kTgaImageTypeOffset = 2;
constexpr size_t kTgaMapLengthOffset = 5, kTgaMapBitsOffset = 7;
constexpr size_t kTgaWidthOffset = 12, kTgaHeightOffset = 14, kTgaBitsOffset = 16;
constexpr size_t kTgaHeaderSize = 18;
constexpr uint8_t kTgaLastUncodedType = 3;  // 1 colour-mapped, 2 true colour, 3 grey

int64_t TgaBytes(uint8_t bits) { return (bits + 7) / 8; }

// stb_image leaves the pixels of an uncompressed TGA that stops early unset.
bool TgaEndsEarly(const Bytes& b) {
  if (b.size() < kTgaHeaderSize) return true;
  if (b[kTgaImageTypeOffset] > kTgaLastUncodedType) return false;  // run-length coded
  const int64_t map = b[kTgaMapTypeOffset] == 1
                          ? ReadU16LE(b, kTgaMapLengthOffset) * TgaBytes(b[kTgaMapBitsOffset])
                          : 0;
  const int64_t pixels = int64_t{ReadU16LE(b, kTgaWidthOffset)} * ReadU16LE(b, kTgaHeightOffset) *
                         TgaBytes(b[kTgaBitsOffset]);
  return int64_t(b.size()) < int64_t(kTgaHeaderSize) + b[kTgaIdLengthOffset] + map + pixels;
}

bool EndsEarly(Kind kind, const Bytes& b) {
  switch (kind) {
    case Kind::kPng: return PngEndsEarly(b);
    case Kind::kJpeg: return JpegEndsEarly(b);
    case Kind::kGif: return GifEndsEarly(b);
    case Kind::kBmp: return BmpEndsEarly(b);
    case Kind::kTga: return TgaEndsEarly(b);
    case Kind::kPnm:
    case Kind::kOther: break;
  }
  return false;
}

bool HeaderSize(Kind kind, const Bytes& b, int64_t* columns, int64_t* rows) {
  if (kind == Kind::kPng) return PngSize(b, columns, rows);
  int x = 0, y = 0, channels = 0;
  if (stbi_info_from_memory(b.data(), int(b.size()), &x, &y, &channels) == 0) return false;
  *columns = x;
  *rows = y;
  return true;
}

bool Truncated(Kind kind, const Refusal& refuse) {
  return refuse(std::string("is truncated: its ") + KindName(kind) + " data stops before its end");
}

bool Undecodable(Kind kind, const Refusal& refuse) {
  const std::string kind_name = KindName(kind);
  return refuse("is a " + kind_name + " file plughost cannot decode: damaged, or a form of " +
                kind_name + " it does not read");
}

bool DecodeWithStb(Kind kind, const Bytes& b, const Refusal& refuse, Image* out) {
  int64_t columns = 0, rows = 0;
  if (!HeaderSize(kind, b, &columns, &rows)) {
    if (kind == Kind::kOther) return refuse(kNotAnImage, "the file");
    return EndsEarly(kind, b) ? Truncated(kind, refuse) : Undecodable(kind, refuse);
  }
  if (kind == Kind::kOther) kind = Kind::kTga;  // the one kind stb_image knows without a mark
  if (!SizeAllowed(columns, rows, refuse)) return false;
  if (kind != Kind::kJpeg && EndsEarly(kind, b)) return Truncated(kind, refuse);
  int x = 0, y = 0, channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(b.data(), int(b.size()), &x, &y, &channels, 3);
  if (pixels == nullptr) {
    if (kind == Kind::kJpeg && EndsEarly(kind, b)) return Truncated(kind, refuse);
    if (std::strcmp(stbi_failure_reason(), "outofmem") == 0) {
      return refuse("needs more memory than plughost could get for its " + std::to_string(columns) +
                    " x " + std::to_string(rows) + " pixels");
    }
    return Undecodable(kind, refuse);
  }
  Image image = Image::Blank(y, x, 3);
  if (!image.pixels.empty()) std::memcpy(image.pixels.data(), pixels, image.pixels.size());
  stbi_image_free(pixels);
  if (image.pixels.empty()) return refuse("is larger than 32767 pixels a side");
  *out = std::move(image);
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

bool DecodeImage(const std::vector<uint8_t>& bytes, const std::string& name, Image* image,
                 std::string* error) {
  const Refusal refuse{name, error};
  if (bytes.empty()) return refuse("is empty", "the file");
  // stb_image counts bytes in an int.
  if (bytes.size() > size_t(INT32_MAX)) return refuse("is larger than 2 GB", "the file");
  const Kind kind = KindOf(bytes);
  if (kind == Kind::kPnm) return DecodePnm(bytes, refuse, image);
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
