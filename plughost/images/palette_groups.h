// The groups of a KiSS palette file, read from the file's own bytes: its
// form (depth, colours per group, groups, with or without a header), where
// each group's colours lie, the one-group view of a file that the module
// opens as it opens any palette, and colours put back into a group in the
// file's own form with every other byte kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plughost {

struct PaletteForm {
  bool headerless = false;
  int bits = 0;      // 12 or 24
  int perGroup = 0;  // colours in each group, at least 1
  int groups = 0;    // at least 1
  uint64_t colorsAt = 0;  // where entry 0 lies: behind the header, or byte 0

  int EntrySize() const;
  uint64_t GroupSize() const;  // bytes of one group's entries
  uint64_t GroupAt(int group) const;
  int64_t Colours() const { return int64_t{perGroup} * groups; }
};

// The form of a file from its first bytes (its header, when it has one);
// false with the reason in words when the file has no groups to choose
// from ("its header has file mark 32, where a palette has 16").
bool ReadPaletteForm(const std::vector<uint8_t>& head, PaletteForm* form, std::string* why);

// "24-bit, 10 groups of 256 colours"; "no header: 10 groups of 16 12-bit colours".
std::string FormText(const PaletteForm& form);

// The form of every file the module writes: a header, 24 bits, one group of 256.
bool IsWrittenForm(const PaletteForm& form);

// "NAME has 10 groups (0 to 9); there is no group 12", or "" when `group`
// is one of the file's.
std::string GroupPastTheLast(const std::string& name, const PaletteForm& form, int group);

// The file the module opens for one group: the file's own header (a KiSS
// header of 12 bits and 16 colours when it has none) with a group count of
// 1, then `colours`, the group's bytes as the file holds them.
std::vector<uint8_t> GroupView(const PaletteForm& form, const std::vector<uint8_t>& head,
                               const std::vector<uint8_t>& colours);

// Why the module refused a group's view with `result`, in terms of the
// file the user named; "" when the code says it all.
std::string ExplainGroupRefusal(const PaletteForm& form, int group, uint64_t fileSize,
                                int result);

// What to do with a file refused for holding more colours than an image
// shows, when one group would fit: "; open one group at a time with
// --group N ...". "" for any other file.
std::string GroupHint(const std::vector<uint8_t>& head);

// `count` colours (red, green, blue each) written over entries `first`
// on of `file`, in its own form; every other byte stays. A 12-bit entry
// takes each channel's top four bits and keeps its unused ones. Answers how
// many colours 12 bits could not hold exactly. The entries must lie within
// `file`.
int PutColours(const PaletteForm& form, const uint8_t* rgb, int first, int count,
               std::vector<uint8_t>* file);

// `path` with "-N" after its stem: "out/kayla.png" gives "out/kayla-3.png".
std::string GroupOutput(const std::string& path, int group);

}  // namespace plughost
