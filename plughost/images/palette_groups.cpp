#include "plughost/images/palette_groups.h"

#include <algorithm>

#include "kiss/kiss_palette.h"
#include "plughost/files/file_checks.h"
#include "plughost/files/little_endian.h"

namespace plughost {

namespace {

bool HasSignature(const std::vector<uint8_t>& head) {
  static const uint8_t kSignature[4] = {'K', 'i', 'S', 'S'};
  return head.size() >= 4 && std::equal(kSignature, kSignature + 4, head.begin());
}

// Counts are signed 16-bit little-endian numbers.
int16_t Field16(const std::vector<uint8_t>& head, int at) {
  return static_cast<int16_t>(ReadU16(&head[size_t(at)]));
}

void SetField16(std::vector<uint8_t>* bytes, int at, int value) {
  (*bytes)[size_t(at)] = static_cast<uint8_t>(value & 0xFF);
  (*bytes)[size_t(at) + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

std::string Counted(int64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// "10 groups (0 to 9)", "1 group (group 0)".
std::string GroupsNumbered(int groups) {
  return Counted(groups, "group", "groups") +
         (groups == 1 ? " (group 0)" : " (0 to " + std::to_string(groups - 1) + ")");
}

PaletteForm HeaderlessForm() {
  PaletteForm form;
  form.headerless = true;
  form.bits = 12;
  form.perGroup = kHeaderlessColorsPerGroup;
  form.groups = kHeaderlessGroupCount;
  form.colorsAt = 0;
  return form;
}

// The fields of a whole header; false with the reason when they hold no group.
bool ReadHeaderFields(const std::vector<uint8_t>& head, PaletteForm* form, std::string* why) {
  const int mark = head[kFileMarkOffset], bits = head[kBitsPerColorOffset];
  const int perGroup = Field16(head, kColorsPerGroupOffset), groups = Field16(head, kGroupCountOffset);
  if (mark != kFileMark) {
    *why = "its header has file mark " + std::to_string(mark) + ", where a palette has " +
           std::to_string(kFileMark);
  } else if (bits != 12 && bits != 24) {
    *why = "its header gives " + std::to_string(bits) +
           " bits per colour, where a palette has 12 or 24";
  } else if (perGroup < 1 || groups < 1) {
    *why = "its header gives " + std::to_string(perGroup) + " colours per group and " +
           std::to_string(groups) + " groups, so no group holds a colour";
  }
  if (!why->empty()) return false;
  *form = PaletteForm{false, bits, perGroup, groups, uint64_t{kPaletteHeaderSize}};
  return true;
}

}  // namespace

int PaletteForm::EntrySize() const { return ColorEntrySize(bits); }

uint64_t PaletteForm::GroupSize() const { return uint64_t(perGroup) * uint64_t(EntrySize()); }

uint64_t PaletteForm::GroupAt(int group) const { return colorsAt + uint64_t(group) * GroupSize(); }

bool ReadPaletteForm(const std::vector<uint8_t>& head, PaletteForm* form, std::string* why) {
  why->clear();
  if (head.size() < 4) {
    *why = "it holds only " + Counted(int64_t(head.size()), "byte", "bytes");
    return false;
  }
  if (!HasSignature(head)) {
    *form = HeaderlessForm();
    return true;
  }
  if (head.size() < size_t{kPaletteHeaderSize}) {
    *why = "its header is cut short at " + Counted(int64_t(head.size()), "byte", "bytes") +
           " of " + std::to_string(kPaletteHeaderSize);
    return false;
  }
  return ReadHeaderFields(head, form, why);
}

std::string FormText(const PaletteForm& form) {
  const std::string groups = Counted(form.groups, "group", "groups") + " of " +
                             std::to_string(form.perGroup);
  if (form.headerless) return "no header: " + groups + " 12-bit colours";
  return std::to_string(form.bits) + "-bit, " + groups + (form.perGroup == 1 ? " colour" : " colours");
}

bool IsWrittenForm(const PaletteForm& form) {
  return !form.headerless && form.bits == 24 && form.perGroup == kMaxColors && form.groups == 1;
}

std::string GroupPastTheLast(const std::string& name, const PaletteForm& form, int group) {
  if (group >= 0 && group < form.groups) return "";
  return name + " has " + GroupsNumbered(form.groups) + "; there is no group " +
         std::to_string(group);
}

std::vector<uint8_t> GroupView(const PaletteForm& form, const std::vector<uint8_t>& head,
                               const std::vector<uint8_t>& colours) {
  std::vector<uint8_t> view(size_t{kPaletteHeaderSize} + colours.size(), 0);
  if (form.headerless) {
    const uint8_t header[] = {'K', 'i', 'S', 'S', kFileMark, 12};
    std::copy(std::begin(header), std::end(header), view.begin());
    SetField16(&view, kColorsPerGroupOffset, form.perGroup);
  } else {
    std::copy(head.begin(), head.begin() + kPaletteHeaderSize, view.begin());
  }
  SetField16(&view, kGroupCountOffset, 1);
  std::copy(colours.begin(), colours.end(), view.begin() + kPaletteHeaderSize);
  return view;
}

std::string ExplainGroupRefusal(const PaletteForm& form, int group, uint64_t fileSize,
                                int result) {
  const std::string which = "group " + std::to_string(group);
  if (form.perGroup > kMaxColors) {
    return which + " holds " + std::to_string(form.perGroup) +
           " colours, and a palette holds at most " + std::to_string(kMaxColors);
  }
  const uint64_t end = form.GroupAt(group) + form.GroupSize();
  if (fileSize >= end || result == 0) return "";
  return which + " is cut short: its colours end at byte " + std::to_string(end) +
         ", and the file has " + Counted(int64_t(fileSize), "byte", "bytes");
}

std::string GroupHint(const std::vector<uint8_t>& head) {
  PaletteForm form;
  std::string why;
  if (!ReadPaletteForm(head, &form, &why) || form.groups < 2) return "";
  if (form.perGroup > kMaxColors || form.Colours() <= kMaxColors) return "";
  return "; open one group at a time with --group N, N from 0 to " +
         std::to_string(form.groups - 1) + ", or every group with --group all";
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

std::string GroupOutput(const std::string& path, int group) {
  const std::string stem = StemOf(path);
  return FolderOf(path) + stem + "-" + std::to_string(group) + NameOf(path).substr(stem.size());
}

}  // namespace plughost
