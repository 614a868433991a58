// The colours a cel takes from a palette file: one group's entries as red,
// green and blue, read through the same header fields as every palette.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kiss/palette_bytes.h"

struct GroupColours {
  int count = 0;  // entries of the group, at most 256
  int group = 0;  // the group they come from
  uint8_t rgb[kMaxColors * 3] = {};
};

enum class GroupColoursFault {
  kNone,
  kForm,  // its first bytes give no groups: `form`
  kCut,   // fewer bytes than the group's entries: `needed`, `size`
};

struct GroupColoursRefusal {
  GroupColoursFault fault = GroupColoursFault::kNone;
  FormFault form = FormFault::kNone;
  uint64_t needed = 0;
  uint64_t size = 0;
  explicit operator bool() const { return fault != GroupColoursFault::kNone; }
};

// Group `group` of the palette in `bytes`. A file with fewer groups gives
// its group 0, as a set's viewer fills out a palette's missing groups with
// its first.
GroupColoursRefusal ReadGroupColours(const uint8_t* bytes, size_t size, int group,
                                     GroupColours* colours);
GroupColoursRefusal ReadGroupColours(const std::vector<uint8_t>& bytes, int group,
                                     GroupColours* colours);

// How many groups the palette in `bytes` holds; 0 when its form gives none.
int PaletteGroups(const std::vector<uint8_t>& bytes);
