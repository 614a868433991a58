// The host's notes on a palette, read from the file's own bytes: why a
// module refused it, for each result a module may answer, and what to know
// of one that opened, however far the module read; the form of its groups,
// and what the file is and whether an output may replace it. Each is empty
// or one line of plain text, and a form read is one whose groups lie where
// the file says.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "interface/result_codes.h"
#include "plughost/images/formats.h"
#include "plughost/usecases/palette_words.h"
#include "plughost/usecases/replacing.h"

namespace {

void RequireOneLine(const std::string& note) {
  FUZZ_REQUIRE(note.size() < 300, "a note of %zu characters", note.size());
  for (char c : note) {
    FUZZ_REQUIRE(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "a control character: %s",
                 note.c_str());
  }
}

// A caller whose advice follows each refusal, as the command line's does;
// it runs no module.
class Advising : public plughost::KeepingCaller {
 public:
  const plughost::LoadedModule& module() const override { return none_; }
  std::unique_ptr<plughost::Host> NewHost(const std::string&, const std::string&) override {
    return nullptr;
  }
  std::string Advise(const plughost::Advice& advice) const override {
    return "; advice " + std::to_string(int(advice.hint)) + " on " + advice.file;
  }

 private:
  plughost::LoadedModule none_;
};

const Advising kAdvising;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The host reads at most the first 800 bytes for its notes.
  const std::vector<uint8_t> head(data, data + (size < 800 ? size : 800));
  for (int result : {int(kNoError), int(kCannotReadFile), int(kEndOfFile), -108, -1}) {
    RequireOneLine(plughost::ExplainRefusal(head, result));
  }
  // How far the module read, from the last bytes: anything up to the size.
  uint64_t read = size >= 2 ? uint64_t{data[size - 1]} << 8 | data[size - 2] : 0;
  if (read > size) read = size;
  RequireOneLine(plughost::OpenedNote(head, size, read));
  RequireOneLine(plughost::OpenedNote(head, uint64_t{1} << 40, read));
  PaletteForm form;
  const PaletteHead palette = ReadPaletteHead(head);
  const FormFault fault = ReadPaletteForm(palette, &form);
  RequireOneLine(plughost::FormFaultText(palette, fault));
  if (fault == FormFault::kNone) {
    RequireOneLine(plughost::FormText(form));
    FUZZ_REQUIRE(form.groups >= 1 && form.perGroup >= 1 && form.End() > form.colorsAt,
                 "a form of %d groups of %d", form.groups, form.perGroup);
    RequireOneLine(plughost::GroupPastTheLast("p.kcf", form, form.groups));
  }
  // An output over this file, by each name it may have.
  const std::vector<uint8_t> first(head.begin(), head.begin() + long(std::min(head.size(), plughost::kExistingHeadBytes)));
  for (const char* name : {"p.kcf", "p.png", "p.tga", "p"}) {
    const plughost::ExistingFile file{name, first, size, plughost::FileIdentity{}, 0};
    plughost::FormatOf(first.data(), first.size(), name);
    RequireOneLine(plughost::WhatFileIs(file));
    for (const auto& check : {plughost::MayReplaceWithPalette(false, kAdvising),
                              plughost::MayReplaceWithImage(false, kAdvising),
                              plughost::MayReplaceWithTrace()})
      RequireOneLine(check(file));
  }
  return 0;
}
