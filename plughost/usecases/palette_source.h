// One palette file as a command reads it: opened once, its header read and
// parsed once, and the bytes of its groups read in the same read and kept,
// so that every group opens from what was read rather than from the file
// again. A file whose groups are more than a source keeps is read group by
// group at their places when they are opened.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kiss/palette_bytes.h"

namespace plughost {

// The most of one palette a source keeps: far more than any KiSS palette
// holds (32,767 groups of 256 24-bit colours is 24 MiB), so that only a
// header that lies about its groups is read group by group.
constexpr uint64_t kMostSourceBytes = uint64_t{32} << 20;

struct PaletteSource {
  std::string input;
  std::string error;  // why the file could not be read, naming it; "" when it was
  uint64_t size = 0;  // the file's, when read
  // From byte 0: the header and every group the form holds, within the file
  // (at least the note bytes); only the header when that is over the limit.
  std::vector<uint8_t> bytes;
  PaletteHead head;
  PaletteForm form;
  FormFault fault = FormFault::kFewBytes;

  bool Read() const { return error.empty(); }
  // How many groups its header gives; 0 when its form cannot be read.
  int Groups() const { return Read() && fault == FormFault::kNone ? form.groups : 0; }
  // Whether the bytes of group `group` are kept.
  bool Holds(int group) const;
  // The first bytes, for notes: no more than kNoteBytes.
  std::vector<uint8_t> NoteBytes() const;
};

// `input` opened and read once; `source->error` says why when it could not be.
PaletteSource ReadPaletteSource(const std::string& input);

// The bytes of group `group` as the file holds them, fewer where it is cut
// short: from what the source kept, or read at the group's place. "" or
// why not, naming the file.
std::string GroupBytes(const PaletteSource& source, int group, std::vector<uint8_t>* colours);

}  // namespace plughost
