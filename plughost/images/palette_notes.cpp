#include "plughost/images/palette_notes.h"

#include <algorithm>
#include <iterator>

#include "interface/result_codes.h"
#include "kiss/kiss_palette.h"

namespace plughost {

namespace {

// The header's fields, read from the bytes the host took from the file:
// kiss reads a header through the module's own file calls, which the host
// does not make. Only asked of a whole header.
struct HeaderFields {
  int mark, bits;
  int32_t perGroup, groups;  // signed 16-bit in the file
};

int16_t ReadS16(const std::vector<uint8_t>& b, int at) {
  const auto i = size_t(at);
  return static_cast<int16_t>(b[i] | (b[i + 1] << 8));
}

HeaderFields FieldsOf(const std::vector<uint8_t>& file) {
  return {file[kFileMarkOffset], file[kBitsPerColorOffset], ReadS16(file, kColorsPerGroupOffset),
          ReadS16(file, kGroupCountOffset)};
}

bool HasSignature(const std::vector<uint8_t>& file) {
  static constexpr char kSignature[] = {'K', 'i', 'S', 'S'};
  return file.size() >= kSignatureOffset + sizeof kSignature &&
         std::equal(std::begin(kSignature), std::end(kSignature),
                    file.begin() + kSignatureOffset,
                    [](char c, uint8_t byte) { return uint8_t(c) == byte; });
}

bool HasWholeHeader(const std::vector<uint8_t>& file) {
  return file.size() >= size_t{kPaletteHeaderSize};
}

std::string Groups(int32_t groups) {
  return std::to_string(groups) + (groups == 1 ? " group" : " groups");
}

std::string ExplainHeader(const std::vector<uint8_t>& file) {
  if (!HasSignature(file)) {
    return "it does not begin with \"KiSS\" (a headerless palette can still be opened)";
  }
  if (!HasWholeHeader(file)) return "";
  const HeaderFields h = FieldsOf(file);
  if (h.mark != kFileMark) {
    return "its header has file mark " + std::to_string(h.mark) + ", where a palette has " +
           std::to_string(kFileMark);
  }
  if (h.bits != 12 && h.bits != 24) {
    return "its header gives " + std::to_string(h.bits) +
           " bits per colour, where a palette has 12 or 24";
  }
  if (h.perGroup * h.groups > kMaxColors) {
    return "its header declares " + std::to_string(h.perGroup * h.groups) + " colours, " +
           std::to_string(h.perGroup) + " per group times " + Groups(h.groups) +
           ", and a palette holds at most " + std::to_string(kMaxColors);
  }
  return "";
}

// How many colours decoding takes from the header's counts, at most 256.
// Colours read group by group (12-bit ones) come to none when either count
// is negative, whatever their product.
int32_t ColorsTaken(const HeaderFields& h, bool byGroup) {
  if (byGroup && (h.perGroup < 0 || h.groups < 0)) return 0;
  return std::clamp(h.perGroup * h.groups, 0, kMaxColors);
}

// Bytes the header promises: header plus colour entries, 256 at most.
size_t BytesPromised(const std::vector<uint8_t>& file) {
  if (!HasSignature(file)) return size_t{kHeaderlessFileSize};
  if (!HasWholeHeader(file)) return size_t{kPaletteHeaderSize};  // the header itself
  const HeaderFields h = FieldsOf(file);
  const int entry = h.bits == 24 ? kColor24Size : kColor12Size;
  return size_t(kPaletteHeaderSize + ColorsTaken(h, h.bits != 24) * entry);
}

}  // namespace

std::string HeaderlessReading() {
  return "read as " + std::to_string(kHeaderlessGroupCount) + " groups of " +
         std::to_string(kHeaderlessColorsPerGroup) + " 12-bit colours";
}

std::string OpenedNote(const std::vector<uint8_t>& head, uint64_t size, uint64_t read) {
  if (!HasSignature(head)) {
    std::string note = "no KiSS header: " + HeaderlessReading();
    if (size > read) note += "; " + std::to_string(size - read) + " bytes were left unread";
    return note;
  }
  if (!HasWholeHeader(head)) return "";
  const HeaderFields h = FieldsOf(head);
  if (ColorsTaken(h, h.bits == 12) > 0) return "";
  return "its header gives " + std::to_string(h.perGroup) + " colours per group and " +
         Groups(h.groups) +
         " (as signed 16-bit numbers): nothing was decoded, every colour is black";
}

std::string ExplainRefusal(const std::vector<uint8_t>& file, int result) {
  if (result == kCannotReadFile) return ExplainHeader(file);
  if (result == kEndOfFile) {
    const size_t promised = BytesPromised(file);
    if (file.size() >= promised) return "";
    const std::string whole =
        HasSignature(file) ? "its header promises " : "a palette without a header has ";
    return "the file has " + std::to_string(file.size()) + " bytes, " + whole +
           std::to_string(promised);
  }
  return "";
}

}  // namespace plughost
