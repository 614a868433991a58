#include "plughost/images/palette_files.h"

#include <cctype>
#include <cstdio>
#include <sstream>

#include "plughost/files/file_checks.h"

namespace plughost {

namespace {

constexpr int kEntries = 256;
constexpr int kPerRow = 16;

// The text split into lines, without their line ends (LF or CR LF).
std::vector<std::string> LinesOf(const std::vector<uint8_t>& bytes) {
  std::vector<std::string> lines(1);
  for (uint8_t b : bytes) {
    if (b == '\n') {
      if (!lines.back().empty() && lines.back().back() == '\r') lines.back().pop_back();
      lines.emplace_back();
    } else {
      lines.back() += static_cast<char>(b);
    }
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

bool Blank(const std::string& line) {
  for (char c : line)
    if (!std::isspace(static_cast<unsigned char>(c))) return false;
  return true;
}

// "R G B" at the start of the line, each 0 to 255; the rest (a GIMP colour's
// name) is not read. Empty when it holds, else what is wrong.
std::string ReadColour(const std::string& line, uint8_t rgb[3]) {
  std::istringstream in(line);
  for (int k = 0; k < 3; ++k) {
    long value = -1;
    std::string word;
    if (!(in >> word)) return "expected three numbers (red, green, blue), found \"" + line + "\"";
    char* end = nullptr;
    value = std::strtol(word.c_str(), &end, 10);
    if (*end != '\0') return "\"" + word + "\" is not a number";
    if (value < 0 || value > 255) return word + " is not from 0 to 255";
    rgb[k] = static_cast<uint8_t>(value);
  }
  return "";
}

void Put(Image* image, int entry, const uint8_t rgb[3]) {
  for (int k = 0; k < 3; ++k) image->At(entry / kPerRow, entry % kPerRow, k) = rgb[k];
}

// Colour lines from `first` on; GIMP's may be mixed with comments and blank
// lines, JASC's are exactly `expected` lines.
bool ReadColours(const std::vector<std::string>& lines, size_t first, bool gimp, int expected,
                 const std::string& name, Image* image, int* colours, std::string* error) {
  auto refuse = [&](size_t line, const std::string& what) {
    *error = name + ": line " + std::to_string(line + 1) + ": " + what;
    return false;
  };
  for (size_t i = first; i < lines.size(); ++i) {
    if (gimp && (Blank(lines[i]) || lines[i][0] == '#')) continue;
    if (!gimp && *colours == expected) return refuse(i, "more colours than the count on line 3");
    if (*colours == kEntries) return refuse(i, "a palette holds at most 256 colours");
    uint8_t rgb[3];
    const std::string wrong = ReadColour(lines[i], rgb);
    if (!wrong.empty()) return refuse(i, wrong);
    Put(image, (*colours)++, rgb);
  }
  if (!gimp && *colours < expected)
    return refuse(lines.size(), "the file ends after " + std::to_string(*colours) + " of its " +
                                    std::to_string(expected) + " colours");
  return true;
}

bool DecodeGimp(const std::vector<std::string>& lines, const std::string& name, Image* image,
                int* colours, std::string* error) {
  if (lines.empty() || lines[0].rfind("GIMP Palette", 0) != 0) {
    *error = name + ": line 1: a GIMP palette begins \"GIMP Palette\"";
    return false;
  }
  size_t first = 1;
  while (first < lines.size() &&
         (lines[first].rfind("Name:", 0) == 0 || lines[first].rfind("Columns:", 0) == 0))
    ++first;
  return ReadColours(lines, first, true, 0, name, image, colours, error);
}

bool DecodeJasc(const std::vector<std::string>& lines, const std::string& name, Image* image,
                int* colours, std::string* error) {
  auto refuse = [&](int line, const std::string& what) {
    *error = name + ": line " + std::to_string(line) + ": " + what;
    return false;
  };
  if (lines.empty() || lines[0] != "JASC-PAL") return refuse(1, "a JASC palette begins \"JASC-PAL\"");
  if (lines.size() < 2 || lines[1] != "0100") return refuse(2, "expected the version \"0100\"");
  char* end = nullptr;
  const long count = lines.size() < 3 ? -1 : std::strtol(lines[2].c_str(), &end, 10);
  if (count < 0 || end == lines[2].c_str() || *end != '\0')
    return refuse(3, "expected the number of colours");
  if (count > kEntries)
    return refuse(3, std::to_string(count) + " colours, and a palette holds at most 256");
  return ReadColours(lines, 3, false, static_cast<int>(count), name, image, colours, error);
}

}  // namespace

PaletteText PaletteTextFromPath(const std::string& path) {
  const std::string ext = ExtensionOf(path);
  return ext == "gpl" ? PaletteText::kGimp : ext == "pal" ? PaletteText::kJasc : PaletteText::kNone;
}

std::vector<uint8_t> EncodePaletteText(const Image& image, PaletteText kind,
                                       const std::string& name) {
  if (image.planes != 3 || kind == PaletteText::kNone) return {};
  const int count = image.rows * image.columns;
  std::string text = kind == PaletteText::kGimp
                         ? "GIMP Palette\nName: " + name + "\nColumns: 16\n#\n"
                         : "JASC-PAL\r\n0100\r\n" + std::to_string(count) + "\r\n";
  for (int k = 0; k < count; ++k) {
    const int r = image.At(k / image.columns, k % image.columns, 0);
    const int g = image.At(k / image.columns, k % image.columns, 1);
    const int b = image.At(k / image.columns, k % image.columns, 2);
    char line[48];
    if (kind == PaletteText::kGimp) {
      std::snprintf(line, sizeof line, "%3d %3d %3d\tIndex %d\n", r, g, b, k);
    } else {
      std::snprintf(line, sizeof line, "%d %d %d\r\n", r, g, b);
    }
    text += line;
  }
  return std::vector<uint8_t>(text.begin(), text.end());
}

bool DecodePaletteText(const std::vector<uint8_t>& bytes, PaletteText kind, const std::string& name,
                       Image* image, int* colours, std::string* error) {
  Image read = Image::Blank(kPerRow, kPerRow, 3);
  *colours = 0;
  const std::vector<std::string> lines = LinesOf(bytes);
  const bool ok = kind == PaletteText::kGimp ? DecodeGimp(lines, name, &read, colours, error)
                                             : DecodeJasc(lines, name, &read, colours, error);
  if (ok) *image = read;
  return ok;
}

}  // namespace plughost
