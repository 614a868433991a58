#include "plughost/images/formats.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "kiss/palette_bytes.h"
#include "plughost/files/file_checks.h"
#include "plughost/images/image_decoders.h"
#include "plughost/images/palette_files.h"
#include "plughost/images/png_files.h"

namespace plughost {

namespace {

bool Begins(const uint8_t* head, size_t size, const char* mark, size_t n) {
  return size >= n && std::memcmp(head, mark, n) == 0;
}

bool IsPng(const uint8_t* h, size_t n) { return Begins(h, n, "\x89PNG\r\n\x1A\n", 8); }
bool IsGif(const uint8_t* h, size_t n) { return Begins(h, n, "GIF87a", 6) || Begins(h, n, "GIF89a", 6); }
bool IsBmp(const uint8_t* h, size_t n) { return Begins(h, n, "BM", 2); }
bool IsJpeg(const uint8_t* h, size_t n) { return Begins(h, n, "\xFF\xD8\xFF", 3); }
bool IsTiff(const uint8_t* h, size_t n) {
  return Begins(h, n, "II*\0", 4) || Begins(h, n, "MM\0*", 4);
}
bool IsWebp(const uint8_t* h, size_t n) {
  return Begins(h, n, "RIFF", 4) && n >= 12 && std::memcmp(h + 8, "WEBP", 4) == 0;
}

// "P" and the form's digit: the reader says what is wrong after that.
bool IsNetpbmForm(const uint8_t* h, size_t n, const char* forms) {
  return n >= 2 && h[0] == 'P' && h[1] != '\0' && std::strchr(forms, h[1]) != nullptr;
}
bool IsPpm(const uint8_t* h, size_t n) { return IsNetpbmForm(h, n, "36"); }
bool IsPgm(const uint8_t* h, size_t n) { return IsNetpbmForm(h, n, "25"); }
// PBM and PAM, which save does not read, with white space after the form so
// that text beginning "P1" is not taken for one.
bool IsOtherNetpbm(const uint8_t* h, size_t n) {
  return IsNetpbmForm(h, n, "147") && n >= 3 && std::isspace(h[2]) != 0;
}

// A TGA has no mark: its 18-byte header is taken for one when every field
// holds a value TGA allows (a colour map only for a mapped image, a known
// image type and depth, a size) and the reserved bits of its descriptor
// are clear.
bool IsTga(const uint8_t* h, size_t n) {
  if (n < 18) return false;
  const uint8_t mapType = h[1], type = h[2], mapDepth = h[7], depth = h[16];
  const bool mapped = type == 1 || type == 9;
  const bool known = mapped || type == 2 || type == 3 || type == 10 || type == 11;
  const bool mapFits = mapped ? mapType == 1 && (mapDepth == 15 || mapDepth == 16 || mapDepth == 24 ||
                                                 mapDepth == 32)
                              : mapType == 0 && h[3] == 0 && h[4] == 0 && h[5] == 0 && h[6] == 0 &&
                                    mapDepth == 0;
  const bool depthFits = depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
  const bool sized = (h[12] | h[13]) != 0 && (h[14] | h[15]) != 0;
  return known && mapFits && depthFits && sized && (h[17] & 0xC0) == 0;
}

// The texts may begin with a UTF-8 byte-order mark.
bool BeginsText(const uint8_t* h, size_t n, const char* text) {
  if (Begins(h, n, "\xEF\xBB\xBF", 3)) h += 3, n -= 3;
  return Begins(h, n, text, std::strlen(text));
}
bool IsGimpPalette(const uint8_t* h, size_t n) { return BeginsText(h, n, "GIMP Palette"); }
bool IsJascPalette(const uint8_t* h, size_t n) { return BeginsText(h, n, "JASC-PAL"); }

bool IsKissPalette(const uint8_t* h, size_t n) { return KissFileMark(h, n) == kFileMark; }
bool IsKissCel(const uint8_t* h, size_t n) { return IsCelMark(KissFileMark(h, n)); }
bool IsKissFile(const uint8_t* h, size_t n) { return BeginsWithPaletteSignature(h, n); }

std::vector<uint8_t> WritePng(const Image& image, const std::string&, int) {
  return image.planes == 1 || image.planes == 3 ? EncodePng(image) : std::vector<uint8_t>();
}

std::vector<uint8_t> WritePpm(const Image& image, const std::string&, int) {
  if (image.planes != 1 && image.planes != 3) return {};
  const std::string header = std::string(image.planes == 1 ? "P5" : "P6") + "\n" +
                             std::to_string(image.columns) + " " + std::to_string(image.rows) +
                             "\n255\n";
  std::vector<uint8_t> out(header.begin(), header.end());
  out.insert(out.end(), image.pixels.begin(), image.pixels.end());
  return out;
}

std::vector<uint8_t> WriteGimpPalette(const Image& image, const std::string& name, int held) {
  return EncodePaletteText(image, ImageFormat::kGimpPalette, name, held);
}

std::vector<uint8_t> WriteJascPalette(const Image& image, const std::string& name, int held) {
  return EncodePaletteText(image, ImageFormat::kJascPalette, name, held);
}

// A palette is exact colours: a JPEG's were changed when it was saved.
constexpr char kJpegNotRead[] =
    "is a JPEG, which stores colours only approximately, so a palette taken from it would not "
    "be the colours painted: save the image as PNG and save the palette from that";

// The order is the order of recognition (the KiSS palette before any KiSS
// file) and of the lists in help and refusals.
std::vector<Format> MakeTable() {
  using K = FileKind;
  using F = ImageFormat;
  return {
      {F::kPng, "a PNG image", "png", {"png"}, K::kImage, IsPng, WritePng, NewPngDecoder, nullptr},
      {F::kBmp, "a BMP image", nullptr, {"bmp"}, K::kImage, IsBmp, nullptr, NewBmpDecoder, nullptr},
      {F::kGif, "a GIF image", nullptr, {"gif"}, K::kImage, IsGif, nullptr, NewGifDecoder, nullptr},
      {F::kPpm, "a PPM image", "ppm", {"ppm"}, K::kImage, IsPpm, WritePpm, NewNetpbmDecoder, nullptr},
      {F::kPgm, "a PGM image", nullptr, {"pgm"}, K::kImage, IsPgm, nullptr, NewNetpbmDecoder, nullptr},
      {F::kGimpPalette, "a GIMP palette", "gpl", {"gpl"}, K::kPaletteText, IsGimpPalette,
       WriteGimpPalette, nullptr, nullptr},
      {F::kJascPalette, "a JASC palette", "pal", {"pal"}, K::kPaletteText, IsJascPalette,
       WriteJascPalette, nullptr, nullptr},
      {F::kJpeg, "a JPEG image", nullptr, {"jpg", "jpeg", "jpe", "jfif"}, K::kImage, IsJpeg,
       nullptr, nullptr, kJpegNotRead},
      {F::kTiff, "a TIFF image", nullptr, {"tif", "tiff"}, K::kImage, IsTiff, nullptr, nullptr,
       nullptr},
      {F::kWebp, "a WebP image", nullptr, {"webp"}, K::kImage, IsWebp, nullptr, nullptr, nullptr},
      {F::kNetpbm, "a PBM or PAM image", nullptr, {"pbm", "pam", "pnm"}, K::kImage, IsOtherNetpbm,
       nullptr, nullptr, nullptr},
      {F::kTga, "a TGA image", nullptr, {"tga", "icb", "vda", "vst"}, K::kImage, IsTga, nullptr,
       nullptr, nullptr},
      {F::kKissPalette, "a KiSS palette", nullptr, {kPaletteExtension}, K::kPalette, IsKissPalette, nullptr,
       nullptr, nullptr},
      {F::kKissCel, "a KiSS cel", nullptr, {"cel"}, K::kKissFile, IsKissCel, nullptr, nullptr,
       nullptr},
      {F::kKissFile, "a KiSS file that is not a palette", nullptr, {}, K::kKissFile, IsKissFile,
       nullptr, nullptr, nullptr},
  };
}

}  // namespace

const std::vector<Format>& Formats() {
  static const std::vector<Format> table = MakeTable();
  return table;
}

std::string ExtensionOf(const std::string& path) {
  const std::string name = NameOf(path);
  const size_t dot = name.find_last_of('.');
  std::string ext = dot == std::string::npos || dot == 0 ? "" : name.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

const Format* FormatByName(const std::string& path) {
  const std::string ext = ExtensionOf(path);
  if (ext.empty()) return nullptr;
  for (const Format& f : Formats()) {
    if (std::find(f.extensions.begin(), f.extensions.end(), ext) != f.extensions.end()) return &f;
  }
  return nullptr;
}

const Format* FormatOf(const uint8_t* head, size_t size, const std::string& path) {
  for (const Format& f : Formats()) {
    if (f.recognise != nullptr && f.recognise(head, size)) return &f;
  }
  const Format* named = FormatByName(path);
  return named != nullptr && named->recognise == nullptr ? named : nullptr;
}

const Format& FormatById(ImageFormat id) {
  for (const Format& f : Formats()) {
    if (f.id == id) return f;
  }
  return Formats().front();
}

ImageFormat FormatFromPath(const std::string& path) {
  const Format* f = FormatByName(path);
  return f != nullptr && f->encode != nullptr ? f->id : ImageFormat::kUnknown;
}

std::vector<std::string> FormatOptions() {
  std::vector<std::string> options;
  for (const Format& f : Formats()) {
    if (f.option != nullptr) options.push_back(f.option);
  }
  return options;
}

std::string FormatsSaveReads() {
  std::string names;
  for (const Format& f : Formats()) {
    if (f.decoder == nullptr) continue;
    // "a PNG image" is named "PNG".
    const std::string name = f.name;
    names += (names.empty() ? "" : ", ") + name.substr(name.find(' ') + 1, name.rfind(' ') - name.find(' ') - 1);
  }
  return names;
}

std::string PaletteTextsSaveReads() {
  std::string makers, extensions;
  for (const Format& f : Formats()) {
    if (f.kind != FileKind::kPaletteText) continue;
    // "a GIMP palette" is GIMP's.
    const std::string name = f.name;
    const size_t first = name.find(' ') + 1, last = name.rfind(' ');
    makers += (makers.empty() ? "" : "/") + name.substr(first, last - first);
    extensions += (extensions.empty() ? "." : ", .") + f.extensions.front();
  }
  return makers + " palettes (" + extensions + ")";
}

}  // namespace plughost
