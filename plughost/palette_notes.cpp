#include "plughost/palette_notes.h"

#include "interface/result_codes.h"

namespace plughost {

namespace {

constexpr size_t kHeaderSize = 32;
constexpr size_t kFileMarkOffset = 4;
constexpr size_t kBitsPerColorOffset = 5;
constexpr size_t kColorsPerGroupOffset = 8;
constexpr size_t kGroupCountOffset = 10;
constexpr uint8_t kFileMark = 16;
constexpr int32_t kMaxColors = 256;
constexpr size_t kHeaderlessBytes = 320;  // 10 groups of 16 two-byte colours

int16_t ReadS16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int16_t>(b[at] | (b[at + 1] << 8));
}

bool HasSignature(const std::vector<uint8_t>& file) {
  return file.size() >= 4 && file[0] == 'K' && file[1] == 'i' && file[2] == 'S' && file[3] == 'S';
}

std::string ExplainHeader(const std::vector<uint8_t>& file) {
  if (!HasSignature(file)) {
    return "it does not begin with \"KiSS\" (a headerless palette can still be opened)";
  }
  if (file.size() < kHeaderSize) return "";
  const int mark = file[kFileMarkOffset], bits = file[kBitsPerColorOffset];
  if (mark != kFileMark) {
    return "its header has file mark " + std::to_string(mark) + ", where a palette has 16";
  }
  if (bits != 12 && bits != 24) {
    return "its header gives " + std::to_string(bits) +
           " bits per colour, where a palette has 12 or 24";
  }
  const int32_t perGroup = ReadS16(file, kColorsPerGroupOffset);
  const int32_t groups = ReadS16(file, kGroupCountOffset);
  if (perGroup * groups > kMaxColors) {
    return "its header declares " + std::to_string(perGroup * groups) + " colours, " +
           std::to_string(perGroup) + " per group times " + std::to_string(groups) +
           (groups == 1 ? " group" : " groups") + ", and a palette holds at most 256";
  }
  return "";
}

// Bytes the header promises: header plus colour entries, 256 at most.
size_t BytesPromised(const std::vector<uint8_t>& file) {
  if (!HasSignature(file)) return kHeaderlessBytes;
  if (file.size() < kHeaderSize) return kHeaderSize;  // the header itself
  const int32_t perGroup = ReadS16(file, kColorsPerGroupOffset);
  const int32_t groups = ReadS16(file, kGroupCountOffset);
  const bool wide = file[kBitsPerColorOffset] == 24;
  int32_t colors = perGroup * groups;
  // 12-bit colours are read group by group: a negative count reads none.
  if (colors < 0 || (!wide && (perGroup < 0 || groups < 0))) colors = 0;
  if (colors > kMaxColors) colors = kMaxColors;
  return kHeaderSize + size_t(colors) * (wide ? 3u : 2u);
}

// How many colours decoding takes from the header's counts.
int32_t ColorsDecoded(const std::vector<uint8_t>& file) {
  const int32_t perGroup = ReadS16(file, kColorsPerGroupOffset);
  const int32_t groups = ReadS16(file, kGroupCountOffset);
  if (file[kBitsPerColorOffset] == 12 && (perGroup < 0 || groups < 0)) return 0;
  const int32_t colors = perGroup * groups;
  return colors < 0 ? 0 : colors > kMaxColors ? kMaxColors : colors;
}

}  // namespace

std::string HeaderlessReading() { return "read as 10 groups of 16 12-bit colours"; }

std::string OpenedNote(const std::vector<uint8_t>& head, uint64_t size, uint64_t read) {
  if (!HasSignature(head)) {
    std::string note = "no KiSS header: " + HeaderlessReading();
    if (size > read) note += "; " + std::to_string(size - read) + " bytes were left unread";
    return note;
  }
  if (head.size() < kHeaderSize || ColorsDecoded(head) > 0) return "";
  const int32_t perGroup = ReadS16(head, kColorsPerGroupOffset);
  const int32_t groups = ReadS16(head, kGroupCountOffset);
  return "its header gives " + std::to_string(perGroup) + " colours per group and " +
         std::to_string(groups) + (groups == 1 ? " group" : " groups") +
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
