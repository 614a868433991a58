#include "plughost/images/palette_files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "plughost/files/file_checks.h"
#include "plughost/files/little_endian.h"
#include "plughost/images/formats.h"
#include "plughost/images/image_refusal.h"
#include "plughost/images/text_lines.h"

namespace plughost {

namespace {

constexpr int kEntries = 256;
constexpr int kPerRow = 16;

bool Blank(const std::string& line) {
  for (char c : line)
    if (!std::isspace(static_cast<unsigned char>(c))) return false;
  return true;
}

// A header line without the spaces an editor may leave after it.
std::string Trimmed(std::string line) {
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  return line;
}

// "R G B" at the start of the line, each 0 to 255; the rest (a GIMP colour's
// name) is not read. kNone when it holds, else what is wrong, with the
// line or word shortened in text.
ImageFault ReadColour(const std::string& line, uint8_t rgb[3]) {
  std::istringstream in(line);
  for (int k = 0; k < 3; ++k) {
    std::string word;
    if (!(in >> word)) return ImageFault(ImageSaid::kNotThreeNumbers).Text(Shortened(line));
    char* end = nullptr;
    const long value = std::strtol(word.c_str(), &end, 10);
    if (*end != '\0') return ImageFault(ImageSaid::kNotANumber).Text(Shortened(word));
    if (value < 0 || value > 255) return ImageFault(ImageSaid::kNotAByte).Text(Shortened(word));
    rgb[k] = static_cast<uint8_t>(value);
  }
  return ImageFault();
}

// One palette file being read: its lines, the image its colours fill, and
// the one fault a refusal leaves.
struct PaletteReader {
  TextLines lines;
  const std::string& name;
  Image* image;
  int* colours;
  ImageFault* fault;
  std::string line;

  bool Refuse(int number, ImageFault what) {
    what.Line(number);
    return ImageRefusal{name, fault}(std::move(what));
  }
  bool Refuse(int number, ImageSaid said) { return Refuse(number, ImageFault(said)); }
  bool refused() const { return fault->said != ImageSaid::kNone; }
  // The next line, or false: at the end (no fault), on a read error or on
  // a line too long for any palette.
  bool NextLine() {
    if (!lines.Next(&line)) {
      if (lines.failed()) ImageRefusal{name, fault}(ImageSaid::kPaletteUnreadable);
      return false;
    }
    if (!lines.tooLong()) return true;
    return Refuse(lines.number(),
                  ImageFault(ImageSaid::kLineTooLong).Limit(int64_t{kMaxLineBytes}));
  }
  bool Put(const std::string& text) {
    if (*colours == kEntries) return Refuse(lines.number(), ImageSaid::kTooManyColours);
    uint8_t rgb[3];
    ImageFault wrong = ReadColour(text, rgb);
    if (wrong.said != ImageSaid::kNone) return Refuse(lines.number(), std::move(wrong));
    for (int k = 0; k < 3; ++k) image->At(*colours / kPerRow, *colours % kPerRow, k) = rgb[k];
    ++*colours;
    return true;
  }
};

bool IsGimpHeaderLine(const std::string& line) {
  return line.rfind("Name:", 0) == 0 || line.rfind("Columns:", 0) == 0;
}

// Colour lines mixed with comments, blank lines and, before the first
// colour, the name and column count.
bool DecodeGimp(PaletteReader* r) {
  if (!r->NextLine() || r->line.rfind("GIMP Palette", 0) != 0) {
    return !r->refused() && r->Refuse(1, ImageSaid::kNoGimpHeader);
  }
  bool headed = true;
  while (r->NextLine()) {
    if (headed && IsGimpHeaderLine(r->line)) continue;
    headed = false;
    if (Blank(r->line) || r->line[0] == '#') continue;
    if (!r->Put(r->line)) return false;
  }
  return !r->refused();
}

// The count on line 3; -1 when it is not a number.
long JascCount(const std::string& line) {
  const std::string text = Trimmed(line);
  char* end = nullptr;
  const long count = std::strtol(text.c_str(), &end, 10);
  return text.empty() || *end != '\0' ? -1 : count;
}

bool ReadJascHeader(PaletteReader* r, long* count) {
  if (!r->NextLine() || Trimmed(r->line) != "JASC-PAL") {
    return !r->refused() && r->Refuse(1, ImageSaid::kNoJascHeader);
  }
  if (!r->NextLine() || Trimmed(r->line) != "0100") {
    return !r->refused() && r->Refuse(2, ImageSaid::kNoJascVersion);
  }
  *count = r->NextLine() ? JascCount(r->line) : -1;
  if (r->refused()) return false;
  if (*count < 0) return r->Refuse(3, ImageSaid::kNoJascCount);
  if (*count > kEntries)
    return r->Refuse(3, ImageFault(ImageSaid::kJascCountTooLarge).Count(*count));
  return true;
}

// Exactly the counted colour lines, then only blank lines.
bool DecodeJasc(PaletteReader* r) {
  long count = 0;
  if (!ReadJascHeader(r, &count)) return false;
  while (r->NextLine()) {
    if (*r->colours == count) {
      if (Blank(r->line)) continue;
      return r->Refuse(r->lines.number(), ImageSaid::kPastJascCount);
    }
    if (!r->Put(r->line)) return false;
  }
  if (r->refused()) return false;
  if (*r->colours < count)
    return r->Refuse(r->lines.number() + 1,
                     ImageFault(ImageSaid::kEndsBeforeCount).Count(*r->colours, count));
  return true;
}

// A RIFF palette: "RIFF", the size of what follows, "PAL ", then chunks of
// a four-letter name and a size (padded to an even size), one of them
// "data": a version (0x0300), a count, and 4 bytes a colour (red, green,
// blue, flags). Sizes are checked against the file before anything past
// them is read.
class RiffReader {
 public:
  RiffReader(const ByteSource& source, const std::string& name, Image* image, int* colours,
             ImageFault* fault)
      : source_(source), refuse_{name, fault}, image_(image), colours_(colours) {}

  bool Decode() {
    uint8_t head[12];
    const uint64_t size = source_.size();
    if (!Read(0, head, std::min<uint64_t>(size, sizeof head))) return false;
    if (size < sizeof head) return refuse_(ImageFault(ImageSaid::kRiffShort).Count(int64_t(size)));
    if (std::memcmp(head, "RIFF", 4) != 0) return refuse_(ImageSaid::kRiffNotRiff);
    if (std::memcmp(head + 8, "PAL ", 4) != 0)
      return refuse_(ImageFault(ImageSaid::kRiffOtherKind).Text(Id(head + 8)));
    const uint64_t end = 8 + uint64_t{ReadU32(head + 4)};
    if (end > size)
      return refuse_(ImageFault(ImageSaid::kRiffHeaderPastEnd).Count(int64_t(size), int64_t(end)));
    for (uint64_t at = sizeof head; at + 8 <= end;) {
      uint8_t chunk[8];
      if (!Read(at, chunk, sizeof chunk)) return false;
      const uint64_t bytes = ReadU32(chunk + 4), next = at + 8 + bytes;
      if (next > end) {
        return refuse_(ImageFault(ImageSaid::kRiffChunkPastEnd)
                           .Text(Id(chunk))
                           .Bytes(int64_t(at), int64_t(next))
                           .Count(0, int64_t(end)));
      }
      if (std::memcmp(chunk, "data", 4) == 0) return Colours(at + 8, bytes);
      at = next + (bytes & 1);
    }
    return refuse_(ImageSaid::kRiffNoData);
  }

 private:
  // The colours of the "data" chunk of `bytes` bytes at `at`.
  bool Colours(uint64_t at, uint64_t bytes) {
    uint8_t head[4];
    if (bytes < sizeof head)
      return refuse_(ImageFault(ImageSaid::kRiffDataTooSmall).Count(int64_t(bytes)));
    if (!Read(at, head, sizeof head)) return false;
    if (ReadU16(head) != 0x0300)
      return refuse_(ImageFault(ImageSaid::kRiffVersion).Value(ReadU16(head)));
    const int count = ReadU16(head + 2);
    const uint64_t needed = sizeof head + 4 * uint64_t(count);
    if (needed > bytes) {
      return refuse_(ImageFault(ImageSaid::kRiffDataShort)
                         .Count(count, int64_t(needed))
                         .Value(int64_t(bytes)));
    }
    const int read = std::min(count, kEntries);
    uint8_t entries[4 * kEntries];
    if (!Read(at + sizeof head, entries, size_t(4 * read))) return false;
    for (int k = 0; k < read; ++k)
      for (int c = 0; c < 3; ++c) image_->At(k / kPerRow, k % kPerRow, c) = entries[4 * k + c];
    *colours_ = count;
    return true;
  }

  bool Read(uint64_t at, uint8_t* into, uint64_t count) {
    return source_.ReadExact(at, into, size_t(count)) || refuse_(ImageSaid::kPaletteUnreadable);
  }
  // A chunk's or form's four letters, any control in them escaped.
  static std::string Id(const uint8_t* at) {
    return Shortened(std::string(reinterpret_cast<const char*>(at), 4));
  }

  const ByteSource& source_;
  const ImageRefusal refuse_;
  Image* image_;
  int* colours_;
};

bool BeginsRiff(const ByteSource& source) {
  uint8_t head[4];
  return source.ReadAt(0, head, sizeof head) == int64_t{sizeof head} &&
         std::memcmp(head, "RIFF", 4) == 0;
}

}  // namespace

std::vector<uint8_t> EncodePaletteText(const Image& image, ImageFormat kind,
                                       const std::string& name, int held) {
  if (image.planes != 3 || FormatById(kind).kind != FileKind::kPaletteText) return {};
  const int all = image.rows * image.columns;
  const int count = held >= 0 && held < all ? held : all;
  std::string text = kind == ImageFormat::kGimpPalette
                         ? "GIMP Palette\nName: " + Printable(name) + "\nColumns: 16\n#\n"
                         : "JASC-PAL\r\n0100\r\n" + std::to_string(count) + "\r\n";
  for (int k = 0; k < count; ++k) {
    const int r = image.At(k / image.columns, k % image.columns, 0);
    const int g = image.At(k / image.columns, k % image.columns, 1);
    const int b = image.At(k / image.columns, k % image.columns, 2);
    char line[48];
    if (kind == ImageFormat::kGimpPalette) {
      std::snprintf(line, sizeof line, "%3d %3d %3d\tIndex %d\n", r, g, b, k);
    } else {
      std::snprintf(line, sizeof line, "%d %d %d\r\n", r, g, b);
    }
    text += line;
  }
  return std::vector<uint8_t>(text.begin(), text.end());
}

bool DecodePaletteText(const ByteSource& source, ImageFormat kind, const std::string& name,
                       Image* image, int* colours, ImageFault* fault) {
  Image read = Image::Blank(kPerRow, kPerRow, 3);
  *colours = 0;
  *fault = ImageFault();
  bool ok = false;
  if (kind == ImageFormat::kRiffPalette || (kind == ImageFormat::kJascPalette && BeginsRiff(source))) {
    ok = RiffReader(source, name, &read, colours, fault).Decode();
  } else {
    PaletteReader reader{TextLines(source), name, &read, colours, fault, std::string()};
    ok = kind == ImageFormat::kGimpPalette ? DecodeGimp(&reader) : DecodeJasc(&reader);
  }
  if (ok) *image = read;
  return ok;
}

bool DecodePaletteText(const std::vector<uint8_t>& bytes, ImageFormat kind, const std::string& name,
                       Image* image, int* colours, ImageFault* fault) {
  return DecodePaletteText(MemoryBytes(bytes), kind, name, image, colours, fault);
}

}  // namespace plughost
