#include "kiss/group_colours.h"

#include <algorithm>

GroupColoursRefusal ReadGroupColours(const uint8_t* bytes, size_t size, int group,
                                     GroupColours* colours) {
  GroupColoursRefusal refusal;
  refusal.size = size;
  PaletteForm form;
  refusal.form = ReadPaletteForm(ReadPaletteHead(bytes, size), &form);
  if (refusal.form != FormFault::kNone) {
    refusal.fault = GroupColoursFault::kForm;
    return refusal;
  }
  *colours = GroupColours{};
  colours->group = group >= 0 && group < form.groups ? group : 0;
  colours->count = std::min(form.perGroup, kMaxColors);
  const uint64_t at = form.GroupAt(colours->group);
  refusal.needed = at + uint64_t(colours->count) * uint64_t(form.EntrySize());
  if (refusal.needed > size) {
    refusal.fault = GroupColoursFault::kCut;
    colours->count = 0;
    return refusal;
  }
  for (int k = 0; k < colours->count; ++k) {
    const uint8_t* entry = bytes + at + uint64_t(k) * uint64_t(form.EntrySize());
    uint8_t* rgb = colours->rgb + 3 * k;
    if (form.bits == 24)
      std::copy(entry, entry + 3, rgb);
    else
      DecodeColor12(entry, rgb);
  }
  return refusal;
}

GroupColoursRefusal ReadGroupColours(const std::vector<uint8_t>& bytes, int group,
                                     GroupColours* colours) {
  return ReadGroupColours(bytes.data(), bytes.size(), group, colours);
}

int PaletteGroups(const std::vector<uint8_t>& bytes) {
  PaletteForm form;
  if (ReadPaletteForm(ReadPaletteHead(bytes), &form) != FormFault::kNone) return 0;
  return form.groups;
}
