// A palette file's bytes as a host sees them: what its first bytes say
// (signature, header fields, the form of its groups), where each group's
// entries lie, the one-group view of a file that a module opens as it opens
// any palette, and colours put back into entries in the file's own form.
// The host reads these bytes itself; the module reads its files through
// kiss_palette.h. Both go through the same header fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kiss/kiss_palette.h"

// What hosts know a palette by: the extension the module's property list
// gives ("KCF "), in lower case, and the bytes every palette with a header
// begins with, its signature and then its file mark.
constexpr char kPaletteExtension[] = "kcf";
std::string PaletteMagic();

// A palette of `groups` groups of `perGroup` 24-bit colours, every one black.
std::vector<uint8_t> BlackPalette(int16_t perGroup, int16_t groups);

// True when the bytes begin with "KiSS": the one test of the signature.
bool BeginsWithPaletteSignature(const uint8_t* bytes, size_t size);
// The file mark of a KiSS file (16 a palette, 32 a cel), which its first
// 5 bytes hold; -1 for a file without the signature or mark.
int KissFileMark(const uint8_t* bytes, size_t size);

// What a file's first bytes hold, read as the module reads a header.
struct PaletteHead {
  size_t size = 0;         // how many bytes were looked at
  bool signature = false;  // begins with "KiSS"
  bool whole = false;      // signature and all 32 header bytes
  PaletteHeader header{};  // the header's bytes, when whole
};
PaletteHead ReadPaletteHead(const uint8_t* bytes, size_t size);
PaletteHead ReadPaletteHead(const std::vector<uint8_t>& bytes);

// The form of a file's groups, from its header or the headerless form.
struct PaletteForm {
  bool headerless = false;
  int bits = 0;      // 12 or 24
  int perGroup = 0;  // colours in each group, at least 1
  int groups = 0;    // at least 1
  uint64_t colorsAt = 0;  // where entry 0 lies: behind the header, or byte 0

  int EntrySize() const { return ColorEntrySize(bits); }
  uint64_t GroupSize() const { return uint64_t(perGroup) * uint64_t(EntrySize()); }
  uint64_t GroupAt(int group) const { return colorsAt + uint64_t(group) * GroupSize(); }
  uint64_t End() const { return GroupAt(groups); }  // just past the last entry
  int64_t Colours() const { return int64_t{perGroup} * groups; }
  // The form of every file the module writes: a header, 24 bits, one group of 256.
  bool IsWritten() const;
};

// Why a file's first bytes give no groups to choose from.
enum class FormFault {
  kNone,
  kFewBytes,   // fewer than the 4 bytes of a signature
  kHeaderCut,  // "KiSS", but fewer than 32 bytes
  kMark,       // a file mark other than 16
  kDepth,      // bits per colour other than 12 or 24
  kNoColours,  // a count below 1
};
FormFault ReadPaletteForm(const PaletteHead& head, PaletteForm* form);

// The header of a file that passes the module's checks: mark, depth, and
// at most 256 colours (true of every headerless file).
bool HeadValid(const PaletteHead& head);

// How many colours opening the file decodes from its header's counts, at
// most 256: 12-bit colours are read group by group, so a negative count
// gives none whatever the product; 24-bit ones by the product.
int32_t ColoursDecoded(const PaletteHead& head);

// Bytes an opening reads in all: the header and the entries it decodes, or
// a headerless file's 320.
uint64_t BytesPromised(const PaletteHead& head);

// The file the module opens for one group: the file's own header (a KiSS
// header of 12 bits and 16 colours when it has none) with a group count of
// 1, then `colours`, the group's bytes as the file holds them.
std::vector<uint8_t> GroupView(const PaletteForm& form, const PaletteHead& head,
                               const std::vector<uint8_t>& colours);

// `count` colours (red, green, blue each) written over entries `first`
// on of `file`, in its own form; every other byte stays. A 12-bit entry
// takes each channel's top four bits and keeps its unused ones. Answers how
// many colours 12 bits could not hold exactly. The entries must lie within
// `file`.
int PutColours(const PaletteForm& form, const uint8_t* rgb, int first, int count,
               std::vector<uint8_t>* file);

// Where bytes without a header stop looking like the headerless form as
// palette tools write it: 12-bit colours whose second byte holds green in
// its low four bits and nothing above (the module ignores those bits, so
// only another kind of file sets them). Looks at the entries among the
// first 320 bytes that `size` covers; answers the offset of the first byte
// that does not fit, or -1 when every one does. A file beginning "KiSS"
// is never headerless: 0.
int64_t HeaderlessMisfit(const uint8_t* bytes, size_t size);

// What a KiSS file that is no palette is, by its mark: cels carry 32 (and
// 33 for some tools' variants).
bool IsCelMark(int mark);
