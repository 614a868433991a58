#include "kiss/palette_bytes.h"

#include <algorithm>
#include <cstring>

std::string PaletteMagic() {
  PaletteHeader header{};
  SetPaletteSignature(header);
  SetFileMark(header, kFileMark);
  return std::string(reinterpret_cast<const char*>(header.bytes), kFileMarkOffset + 1);
}

std::vector<uint8_t> BlackPalette(int16_t perGroup, int16_t groups) {
  PaletteHeader header{};
  SetPaletteSignature(header);
  SetFileMark(header, kFileMark);
  SetBitsPerColor(header, 24);
  SetColorsPerGroup(header, perGroup);
  SetGroupCount(header, groups);
  std::vector<uint8_t> file(header.bytes, header.bytes + kPaletteHeaderSize);
  file.resize(file.size() + size_t(perGroup > 0 ? perGroup : 0) * size_t(groups > 0 ? groups : 0) *
                                kColor24Size);
  return file;
}

bool BeginsWithPaletteSignature(const uint8_t* bytes, size_t size) {
  PaletteHeader header{};
  if (size < 4) return false;
  std::memcpy(header.bytes, bytes, 4);
  return HasPaletteSignature(header);
}

int KissFileMark(const uint8_t* bytes, size_t size) {
  if (!BeginsWithPaletteSignature(bytes, size) || size <= size_t{kFileMarkOffset}) return -1;
  PaletteHeader header{};
  header.bytes[kFileMarkOffset] = bytes[kFileMarkOffset];
  return FileMark(header);
}

PaletteHead ReadPaletteHead(const uint8_t* bytes, size_t size) {
  PaletteHead head;
  head.size = size;
  head.signature = BeginsWithPaletteSignature(bytes, size);
  head.whole = head.signature && size >= size_t{kPaletteHeaderSize};
  if (head.whole) std::memcpy(head.header.bytes, bytes, kPaletteHeaderSize);
  return head;
}

PaletteHead ReadPaletteHead(const std::vector<uint8_t>& bytes) {
  return ReadPaletteHead(bytes.data(), bytes.size());
}

bool PaletteForm::IsWritten() const {
  return !headerless && bits == 24 && perGroup == kMaxColors && groups == 1;
}

FormFault ReadPaletteForm(const PaletteHead& head, PaletteForm* form) {
  if (head.size < 4) return FormFault::kFewBytes;
  if (!head.signature) {
    *form = PaletteForm{true, 12, kHeaderlessColorsPerGroup, kHeaderlessGroupCount, 0};
    return FormFault::kNone;
  }
  if (!head.whole) return FormFault::kHeaderCut;
  const PaletteHeader& h = head.header;
  if (FileMark(h) != kFileMark) return FormFault::kMark;
  if (BitsPerColor(h) != 12 && BitsPerColor(h) != 24) return FormFault::kDepth;
  if (ColorsPerGroup(h) < 1 || GroupCount(h) < 1) return FormFault::kNoColours;
  *form = PaletteForm{false, BitsPerColor(h), ColorsPerGroup(h), GroupCount(h),
                      uint64_t{kPaletteHeaderSize}};
  return FormFault::kNone;
}

bool HeadValid(const PaletteHead& head) { return !head.signature || PaletteHeaderValid(head.header); }

int32_t ColoursDecoded(const PaletteHead& head) {
  if (!head.signature) return kHeaderlessColorsPerGroup * kHeaderlessGroupCount;
  const PaletteHeader& h = head.header;
  if (BitsPerColor(h) != 24 && (ColorsPerGroup(h) < 0 || GroupCount(h) < 0)) return 0;
  return std::clamp(ColorCount(h), 0, kMaxColors);
}

uint64_t BytesPromised(const PaletteHead& head) {
  if (!head.signature) return uint64_t{kHeaderlessFileSize};
  if (!head.whole) return uint64_t{kPaletteHeaderSize};
  const int entry = ColorEntrySize(BitsPerColor(head.header));
  return uint64_t(kPaletteHeaderSize) + uint64_t(ColoursDecoded(head)) * uint64_t(entry);
}

std::vector<uint8_t> GroupView(const PaletteForm& form, const PaletteHead& head,
                               const std::vector<uint8_t>& colours) {
  PaletteHeader header = head.header;
  if (form.headerless) {
    header = PaletteHeader{};
    SetPaletteSignature(header);
    SetFileMark(header, kFileMark);
    SetBitsPerColor(header, 12);
    SetColorsPerGroup(header, static_cast<int16_t>(form.perGroup));
  }
  SetGroupCount(header, 1);
  std::vector<uint8_t> view(size_t{kPaletteHeaderSize} + colours.size());
  std::memcpy(view.data(), header.bytes, kPaletteHeaderSize);
  std::copy(colours.begin(), colours.end(), view.begin() + kPaletteHeaderSize);
  return view;
}

int PutColours(const PaletteForm& form, const uint8_t* rgb, int first, int count,
               std::vector<uint8_t>* file) {
  int rounded = 0;
  const size_t entry = size_t(form.EntrySize());
  for (int k = 0; k < count; ++k) {
    uint8_t* at = file->data() + form.colorsAt + size_t(first + k) * entry;
    const uint8_t* colour = rgb + 3 * k;
    if (form.bits == 24) {
      std::copy(colour, colour + 3, at);
      continue;
    }
    EncodeColor12(colour, at);
    uint8_t back[3];
    DecodeColor12(at, back);
    rounded += !std::equal(back, back + 3, colour);
  }
  return rounded;
}

int64_t HeaderlessMisfit(const uint8_t* bytes, size_t size) {
  if (BeginsWithPaletteSignature(bytes, size)) return 0;
  const size_t end = std::min(size, size_t{kHeaderlessFileSize});
  for (size_t at = 1; at < end; at += kColor12Size) {
    if (bytes[at] > 0x0F) return int64_t(at);
  }
  return -1;
}

bool IsCelMark(int mark) { return mark == 32 || mark == 33; }
