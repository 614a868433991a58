#include "plughost/usecases/palette_source.h"

#include <algorithm>

#include "plughost/files/file_checks.h"
#include "plughost/files/input_file.h"

namespace plughost {

namespace {

// How much of a file of `size` bytes whose first bytes are `head` to read:
// the header and the groups its form holds, or the note bytes if more.
uint64_t WantedBytes(uint64_t size, const PaletteForm& form, FormFault fault) {
  uint64_t wanted = kNoteBytes;
  if (fault == FormFault::kNone && form.End() <= kMostSourceBytes)
    wanted = std::max<uint64_t>(wanted, form.End());
  return std::min(size, wanted);
}

bool ReadFrom(const InputFile& file, uint64_t at, size_t count, std::vector<uint8_t>* into) {
  into->resize(count);
  const int64_t got = file.ReadAt(at, into->data(), count);
  if (got < 0) return false;
  into->resize(static_cast<size_t>(got));
  return true;
}

void ParseHead(PaletteSource* source) {
  source->head = ReadPaletteHead(source->bytes);
  source->fault = ReadPaletteForm(source->head, &source->form);
}

}  // namespace

bool PaletteSource::Holds(int group) const {
  return Groups() > 0 && group >= 0 && group < form.groups &&
         (bytes.size() >= form.GroupAt(group) + form.GroupSize() || bytes.size() == size);
}

std::vector<uint8_t> PaletteSource::NoteBytes() const {
  return std::vector<uint8_t>(bytes.begin(),
                              bytes.begin() + long(std::min<size_t>(bytes.size(), kNoteBytes)));
}

PaletteSource ReadPaletteSource(const std::string& input) {
  PaletteSource source;
  source.input = input;
  InputFile file;
  if (!file.Open(input, &source.error)) return source;
  source.size = file.size();
  // One read for the header and what a small palette's groups take, then
  // one for the rest of what its header promises, within the file.
  const size_t first = size_t(std::min<uint64_t>(source.size, std::max<uint64_t>(kNoteBytes, 4096)));
  std::vector<uint8_t> rest;
  if (!ReadFrom(file, 0, first, &source.bytes)) {
    source.error = input + ": " + ReasonText(LastSystemError());
    return source;
  }
  ParseHead(&source);
  const uint64_t wanted = WantedBytes(source.size, source.form, source.fault);
  if (wanted > source.bytes.size() && source.bytes.size() == first) {
    if (!ReadFrom(file, first, size_t(wanted - first), &rest)) {
      source.error = input + ": " + ReasonText(LastSystemError());
      return source;
    }
    source.bytes.insert(source.bytes.end(), rest.begin(), rest.end());
  }
  return source;
}

std::string GroupBytes(const PaletteSource& source, int group, std::vector<uint8_t>* colours) {
  const uint64_t at = source.form.GroupAt(group);
  const uint64_t held = source.size > at ? std::min(source.form.GroupSize(), source.size - at) : 0;
  if (source.Holds(group)) {
    // A group past the end of a file cut short holds nothing.
    const uint64_t from = std::min<uint64_t>(at, source.bytes.size());
    const uint64_t kept = std::min<uint64_t>(held, source.bytes.size() - from);
    colours->assign(source.bytes.begin() + long(from), source.bytes.begin() + long(from + kept));
    return "";
  }
  InputFile file;
  std::string error;
  if (!file.Open(source.input, &error)) return error;
  if (!ReadFrom(file, at, size_t(held), colours) || colours->size() != held)
    return source.input + ": " + ReasonText(LastSystemError());
  return "";
}

}  // namespace plughost
