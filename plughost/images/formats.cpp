#include "plughost/images/formats.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "kiss/palette_bytes.h"
#include "plughost/files/file_checks.h"
#include "plughost/files/little_endian.h"
#include "plughost/images/image_decoders.h"
#include "plughost/images/image_fault.h"
#include "plughost/images/palette_files.h"
#include "plughost/images/png_chunks.h"
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

// An ISO media file ("ftyp" after the box size) whose brands name an image:
// its major brand, or for the generic HEIF brands one of its compatible
// brands among the bytes at hand.
bool IsBrand(const uint8_t* at, const char* const* brands) {
  for (const char* const* b = brands; *b != nullptr; ++b)
    if (std::memcmp(at, *b, 4) == 0) return true;
  return false;
}
bool IsFileType(const uint8_t* h, size_t n) {
  return n >= 16 && std::memcmp(h + 4, "ftyp", 4) == 0 && ReadBigU32(h) >= 16;
}
bool HasCompatibleBrand(const uint8_t* h, size_t n, const char* const* brands) {
  const size_t end = std::min<size_t>(n, ReadBigU32(h));
  for (size_t at = 16; at + 4 <= end; at += 4)
    if (IsBrand(h + at, brands)) return true;
  return false;
}
constexpr const char* kAvifBrands[] = {"avif", "avis", nullptr};
constexpr const char* kHeifBrands[] = {"heic", "heix", "hevc", "hevx", "heim", "heis", "hevm",
                                       "hevs", "mif1", "msf1", "mif2", nullptr};
constexpr const char* kGenericHeif[] = {"mif1", "msf1", "mif2", nullptr};
bool IsAvif(const uint8_t* h, size_t n) {
  return IsFileType(h, n) && (IsBrand(h + 8, kAvifBrands) ||
                              (IsBrand(h + 8, kGenericHeif) && HasCompatibleBrand(h, n, kAvifBrands)));
}
bool IsHeic(const uint8_t* h, size_t n) { return IsFileType(h, n) && IsBrand(h + 8, kHeifBrands); }

bool IsJpeg2000(const uint8_t* h, size_t n) {
  return Begins(h, n, "\0\0\0\x0CjP  \r\n\x87\n", 12) || Begins(h, n, "\xFF\x4F\xFF\x51", 4);
}
bool IsPsd(const uint8_t* h, size_t n) { return Begins(h, n, "8BPS", 4); }
bool IsSunRaster(const uint8_t* h, size_t n) { return Begins(h, n, "\x59\xA6\x6A\x95", 4); }
bool IsXpm(const uint8_t* h, size_t n) { return Begins(h, n, "/* XPM */", 9); }
bool IsMiff(const uint8_t* h, size_t n) { return Begins(h, n, "id=ImageMagick", 14); }
// "DDS " and the size of the header after it, 124.
bool IsDds(const uint8_t* h, size_t n) { return Begins(h, n, "DDS \x7C\0\0\0", 8); }
bool IsRiffPalette(const uint8_t* h, size_t n) {
  return Begins(h, n, "RIFF", 4) && n >= 12 && std::memcmp(h + 8, "PAL ", 4) == 0;
}

// The formats below have marks of two bytes or fewer, which a headerless
// palette may begin with: a file is one of them only when its header holds
// values the format allows and its first bytes are not laid out as 12-bit
// colours (every second byte below 0x10), as a palette's are.
bool NotHeaderless(const uint8_t* h, size_t n) { return HeaderlessMisfit(h, n) >= 0; }

// An icon or cursor directory: a count of 1 to 255 images, and a first
// entry whose reserved byte is 0, that has bytes, and whose bytes lie past
// the directory. An icon's entry gives 0 or 1 planes and a known depth.
bool IsIconDirectory(const uint8_t* h, size_t n, uint8_t type) {
  if (n < 22 || h[0] != 0 || h[1] != 0 || h[2] != type || h[3] != 0) return false;
  const uint16_t count = ReadU16(h + 4);
  const uint32_t bytes = ReadU32(h + 14), at = ReadU32(h + 18);
  if (count == 0 || count > 255 || h[9] != 0 || bytes == 0 || at < 6u + 16u * count) return false;
  if (type == 1) {
    const uint16_t planes = ReadU16(h + 10), depth = ReadU16(h + 12);
    if (planes > 1 || (depth != 0 && depth != 1 && depth != 4 && depth != 8 && depth != 16 &&
                       depth != 24 && depth != 32))
      return false;
  }
  return NotHeaderless(h, n);
}
bool IsIco(const uint8_t* h, size_t n) { return IsIconDirectory(h, n, 1); }
bool IsCur(const uint8_t* h, size_t n) { return IsIconDirectory(h, n, 2); }

// 0x0A, a version PCX has had, run-length coding, a depth of 1 to 8 bits,
// a window whose corners are in order, and in the 128-byte header a
// reserved byte of 0 and 1 to 4 planes.
bool IsPcx(const uint8_t* h, size_t n) {
  if (n < 66 || h[0] != 0x0A || h[2] != 1) return false;
  const uint8_t version = h[1], depth = h[3];
  if (version != 0 && version != 2 && version != 3 && version != 4 && version != 5) return false;
  if (depth != 1 && depth != 2 && depth != 4 && depth != 8) return false;
  if (ReadU16(h + 4) > ReadU16(h + 8) || ReadU16(h + 6) > ReadU16(h + 10)) return false;
  return h[64] == 0 && h[65] >= 1 && h[65] <= 4 && NotHeaderless(h, n);
}

// 01 DA (474), run-length or verbatim storage, 1 or 2 bytes a channel and
// 1 to 3 dimensions. Its second byte keeps it from any headerless palette.
bool IsSgi(const uint8_t* h, size_t n) {
  return Begins(h, n, "\x01\xDA", 2) && n >= 6 && h[2] <= 1 && (h[3] == 1 || h[3] == 2) &&
         h[4] == 0 && h[5] >= 1 && h[5] <= 3;
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

// The order is the order of recognition (the KiSS palette before any KiSS
// file, the formats of weak marks last) and of the lists in help and
// refusals. Of the rows that share an extension the first is written.
std::vector<Format> MakeTable() {
  using K = FileKind;
  using F = ImageFormat;
  return {
      {F::kPng, "a PNG image", "png", {"png"}, K::kImage, IsPng, WritePng, NewPngDecoder, false},
      {F::kBmp, "a BMP image", nullptr, {"bmp"}, K::kImage, IsBmp, nullptr, NewBmpDecoder, false},
      {F::kGif, "a GIF image", nullptr, {"gif"}, K::kImage, IsGif, nullptr, NewGifDecoder, false},
      {F::kPpm, "a PPM image", "ppm", {"ppm"}, K::kImage, IsPpm, WritePpm, NewNetpbmDecoder, false},
      {F::kPgm, "a PGM image", nullptr, {"pgm"}, K::kImage, IsPgm, nullptr, NewNetpbmDecoder, false},
      {F::kGimpPalette, "a GIMP palette", "gpl", {"gpl"}, K::kPaletteText, IsGimpPalette,
       WriteGimpPalette, nullptr, false},
      {F::kJascPalette, "a JASC palette", "pal", {"pal"}, K::kPaletteText, IsJascPalette,
       WriteJascPalette, nullptr, false},
      {F::kRiffPalette, "a RIFF palette", nullptr, {"pal"}, K::kPaletteText, IsRiffPalette, nullptr,
       nullptr, false},
      {F::kJpeg, "a JPEG image", nullptr, {"jpg", "jpeg", "jpe", "jfif"}, K::kImage, IsJpeg,
       nullptr, nullptr, true},
      {F::kTiff, "a TIFF image", nullptr, {"tif", "tiff"}, K::kImage, IsTiff, nullptr, nullptr,
       false},
      {F::kWebp, "a WebP image", nullptr, {"webp"}, K::kImage, IsWebp, nullptr, nullptr, false},
      {F::kAvif, "an AVIF image", nullptr, {"avif"}, K::kImage, IsAvif, nullptr, nullptr, false},
      {F::kHeic, "a HEIC image", nullptr, {"heic", "heif", "hif"}, K::kImage, IsHeic, nullptr,
       nullptr, false},
      {F::kJpeg2000, "a JPEG 2000 image", nullptr, {"jp2", "j2k", "jpx", "jpf", "j2c", "jpc"},
       K::kImage, IsJpeg2000, nullptr, nullptr, false},
      {F::kPsd, "a PSD image", nullptr, {"psd", "psb"}, K::kImage, IsPsd, nullptr, nullptr,
       false},
      {F::kSunRaster, "a Sun raster image", nullptr, {"ras", "sun"}, K::kImage, IsSunRaster,
       nullptr, nullptr, false},
      {F::kXpm, "an XPM image", nullptr, {"xpm"}, K::kImage, IsXpm, nullptr, nullptr, false},
      {F::kMiff, "a MIFF image", nullptr, {"miff"}, K::kImage, IsMiff, nullptr, nullptr, false},
      {F::kDds, "a DDS texture", nullptr, {"dds"}, K::kImage, IsDds, nullptr, nullptr, false},
      {F::kSgi, "an SGI image", nullptr, {"sgi", "rgb", "bw"}, K::kImage, IsSgi, nullptr, nullptr,
       false},
      {F::kNetpbm, "a PBM or PAM image", nullptr, {"pbm", "pam", "pnm"}, K::kImage, IsOtherNetpbm,
       nullptr, nullptr, false},
      {F::kKissPalette, "a KiSS palette", nullptr, {kPaletteExtension}, K::kPalette, IsKissPalette, nullptr,
       nullptr, false},
      {F::kKissCel, "a KiSS cel", nullptr, {"cel"}, K::kKissFile, IsKissCel, nullptr, nullptr,
       false},
      {F::kKissFile, "a KiSS file that is not a palette", nullptr, {}, K::kKissFile, IsKissFile,
       nullptr, nullptr, false},
      {F::kTga, "a TGA image", nullptr, {"tga", "icb", "vda", "vst"}, K::kImage, IsTga, nullptr,
       nullptr, false},
      {F::kIco, "a Windows icon", nullptr, {"ico"}, K::kImage, IsIco, nullptr, nullptr, false},
      {F::kCur, "a Windows cursor", nullptr, {"cur"}, K::kImage, IsCur, nullptr, nullptr, false},
      {F::kPcx, "a PCX image", nullptr, {"pcx"}, K::kImage, IsPcx, nullptr, nullptr, false},
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
    // A JASC and a RIFF palette are both .pal.
    const std::string extension = "." + f.extensions.front();
    if ((extensions + ",").find(extension + ",") == std::string::npos)
      extensions += (extensions.empty() ? "" : ", ") + extension;
  }
  return makers + " palettes (" + extensions + ")";
}

ImageSaid WhyNotRead(const Format& f) {
  if (f.lossy) return ImageSaid::kJpegNotRead;
  switch (f.kind) {
    case FileKind::kPaletteText: return ImageSaid::kPaletteTextByName;
    case FileKind::kPalette: return ImageSaid::kKissPaletteNotImage;
    case FileKind::kKissFile: return ImageSaid::kKissFileNotRead;
    case FileKind::kImage: break;
  }
  return ImageSaid::kFormNotRead;
}

}  // namespace plughost
