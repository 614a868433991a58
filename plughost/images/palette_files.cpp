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
// name) is not read. Empty when it holds, else what is wrong.
std::string ReadColour(const std::string& line, uint8_t rgb[3]) {
  std::istringstream in(line);
  for (int k = 0; k < 3; ++k) {
    std::string word;
    if (!(in >> word)) return "expected three numbers (red, green, blue), found " + Quoted(line);
    char* end = nullptr;
    const long value = std::strtol(word.c_str(), &end, 10);
    if (*end != '\0') return Quoted(word) + " is not a number";
    if (value < 0 || value > 255) return Shortened(word) + " is not from 0 to 255";
    rgb[k] = static_cast<uint8_t>(value);
  }
  return "";
}

// One palette file being read: its lines, the image its colours fill, and
// the one sentence a refusal leaves.
struct PaletteReader {
  TextLines lines;
  const std::string& name;
  Image* image;
  int* colours;
  std::string* error;
  std::string line;

  bool Refuse(int number, const std::string& what) {
    *error = name + ": line " + std::to_string(number) + ": " + what;
    return false;
  }
  // The next line, or false: at the end (error left empty), on a read error
  // or on a line too long for any palette.
  bool NextLine() {
    if (!lines.Next(&line)) {
      if (lines.failed()) *error = name + ": the file could not be read to its end";
      return false;
    }
    if (!lines.tooLong()) return true;
    return Refuse(lines.number(), "longer than " + std::to_string(kMaxLineBytes) +
                                      " characters, which no palette line is");
  }
  bool Put(const std::string& text) {
    if (*colours == kEntries) return Refuse(lines.number(), "a palette holds at most 256 colours");
    uint8_t rgb[3];
    const std::string wrong = ReadColour(text, rgb);
    if (!wrong.empty()) return Refuse(lines.number(), wrong);
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
    return r->error->empty() && r->Refuse(1, "a GIMP palette begins \"GIMP Palette\"");
  }
  bool headed = true;
  while (r->NextLine()) {
    if (headed && IsGimpHeaderLine(r->line)) continue;
    headed = false;
    if (Blank(r->line) || r->line[0] == '#') continue;
    if (!r->Put(r->line)) return false;
  }
  return r->error->empty();
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
    return r->error->empty() && r->Refuse(1, "a JASC palette begins \"JASC-PAL\"");
  }
  if (!r->NextLine() || Trimmed(r->line) != "0100") {
    return r->error->empty() && r->Refuse(2, "expected the version \"0100\"");
  }
  *count = r->NextLine() ? JascCount(r->line) : -1;
  if (!r->error->empty()) return false;
  if (*count < 0) return r->Refuse(3, "expected the number of colours");
  if (*count > kEntries) {
    return r->Refuse(3, std::to_string(*count) + " colours, and a palette holds at most 256");
  }
  return true;
}

// Exactly the counted colour lines, then only blank lines.
bool DecodeJasc(PaletteReader* r) {
  long count = 0;
  if (!ReadJascHeader(r, &count)) return false;
  while (r->NextLine()) {
    if (*r->colours == count) {
      if (Blank(r->line)) continue;
      return r->Refuse(r->lines.number(), "more colours than the count on line 3");
    }
    if (!r->Put(r->line)) return false;
  }
  if (!r->error->empty()) return false;
  if (*r->colours < count) {
    return r->Refuse(r->lines.number() + 1, "the file ends after " + std::to_string(*r->colours) +
                                                " of its " + Counted(count, "colour", "colours"));
  }
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
             std::string* error)
      : source_(source), name_(name), image_(image), colours_(colours), error_(error) {}

  bool Decode() {
    uint8_t head[12];
    const uint64_t size = source_.size();
    if (!Read(0, head, std::min<uint64_t>(size, sizeof head))) return false;
    if (size < sizeof head)
      return Refuse(" is cut short: a RIFF palette begins with 12 bytes, and the file has " +
                    Counted(int64_t(size), "byte", "bytes"));
    if (std::memcmp(head, "RIFF", 4) != 0) return Refuse(" is not a RIFF palette: it does not begin \"RIFF\"");
    if (std::memcmp(head + 8, "PAL ", 4) != 0)
      return Refuse(" is a RIFF file of another kind (" + Id(head + 8) + "), not a palette");
    const uint64_t end = 8 + uint64_t{ReadU32(head + 4)};
    if (end > size)
      return Refuse(" is cut short: its RIFF header counts " + std::to_string(end) +
                    " bytes, and the file has " + std::to_string(size));
    for (uint64_t at = sizeof head; at + 8 <= end;) {
      uint8_t chunk[8];
      if (!Read(at, chunk, sizeof chunk)) return false;
      const uint64_t bytes = ReadU32(chunk + 4), next = at + 8 + bytes;
      if (next > end)
        return Refuse(" is damaged: its " + Id(chunk) + " chunk at byte " + std::to_string(at) +
                      " runs to byte " + std::to_string(next) + ", past the " +
                      std::to_string(end) + " bytes its RIFF header counts");
      if (std::memcmp(chunk, "data", 4) == 0) return Colours(at + 8, bytes);
      at = next + (bytes & 1);
    }
    return Refuse(" is a RIFF palette without a \"data\" chunk of colours");
  }

 private:
  // The colours of the "data" chunk of `bytes` bytes at `at`.
  bool Colours(uint64_t at, uint64_t bytes) {
    uint8_t head[4];
    if (bytes < sizeof head)
      return Refuse(" is damaged: its \"data\" chunk of " + Counted(int64_t(bytes), "byte", "bytes") +
                    " has no room for the version and count of its colours");
    if (!Read(at, head, sizeof head)) return false;
    if (ReadU16(head) != 0x0300) {
      char version[8];
      std::snprintf(version, sizeof version, "0x%04X", unsigned{ReadU16(head)});
      return Refuse(std::string(" is a RIFF palette of version ") + version +
                    ", where plughost reads version 0x0300");
    }
    const int count = ReadU16(head + 2);
    const uint64_t needed = sizeof head + 4 * uint64_t(count);
    if (needed > bytes)
      return Refuse(" is damaged: its " + Counted(count, "colour", "colours") + " need " +
                    std::to_string(needed) + " bytes of its \"data\" chunk, which holds " +
                    std::to_string(bytes));
    const int read = std::min(count, kEntries);
    uint8_t entries[4 * kEntries];
    if (!Read(at + sizeof head, entries, size_t(4 * read))) return false;
    for (int k = 0; k < read; ++k)
      for (int c = 0; c < 3; ++c) image_->At(k / kPerRow, k % kPerRow, c) = entries[4 * k + c];
    *colours_ = count;
    return true;
  }

  bool Read(uint64_t at, uint8_t* into, uint64_t count) {
    if (source_.ReadExact(at, into, size_t(count))) return true;
    *error_ = name_ + ": the file could not be read to its end";
    return false;
  }
  bool Refuse(const std::string& why) {
    *error_ = name_ + why;
    return false;
  }
  // A chunk's or form's four letters, quoted, any control in them escaped.
  static std::string Id(const uint8_t* at) {
    return Quoted(std::string(reinterpret_cast<const char*>(at), 4));
  }

  const ByteSource& source_;
  const std::string& name_;
  Image* image_;
  int* colours_;
  std::string* error_;
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
                       Image* image, int* colours, std::string* error) {
  Image read = Image::Blank(kPerRow, kPerRow, 3);
  *colours = 0;
  error->clear();
  bool ok = false;
  if (kind == ImageFormat::kRiffPalette || (kind == ImageFormat::kJascPalette && BeginsRiff(source))) {
    ok = RiffReader(source, name, &read, colours, error).Decode();
  } else {
    PaletteReader reader{TextLines(source), name, &read, colours, error, std::string()};
    ok = kind == ImageFormat::kGimpPalette ? DecodeGimp(&reader) : DecodeJasc(&reader);
  }
  if (ok) *image = read;
  return ok;
}

bool DecodePaletteText(const std::vector<uint8_t>& bytes, ImageFormat kind, const std::string& name,
                       Image* image, int* colours, std::string* error) {
  return DecodePaletteText(MemoryBytes(bytes), kind, name, image, colours, error);
}

}  // namespace plughost
