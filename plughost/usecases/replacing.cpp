#include "plughost/usecases/replacing.h"

#include "plughost/images/formats.h"
#include "plughost/usecases/palette_words.h"

namespace plughost {

namespace {

const Format* FormatOf(const ExistingFile& file) {
  return plughost::FormatOf(file.head.data(), file.head.size(), file.name);
}

std::string Unknown(const ExistingFile& file, const char* notA) {
  return "a file of " + std::to_string(file.size) + (file.size == 1 ? " byte" : " bytes") +
         " that is not " + notA;
}

std::string Forced(const Caller& caller, const std::string& sentence) {
  return sentence + caller.Advise({Hint::kReplace, "", 0});
}

// A new palette over a file that is no palette: what it is instead.
std::string NotAPalette(const ExistingFile& file, const Format* format) {
  if (format == nullptr) return file.name + " is " + Unknown(file, "a palette");
  if (format->kind == FileKind::kImage)
    return file.name + " holds an image, not a palette (" + format->name + ")";
  return file.name + " is " + format->name + ", not a palette";
}

}  // namespace

bool PaletteFormOf(const ExistingFile& file, PaletteForm* form, std::string* why) {
  const Format* format = FormatOf(file);
  const PaletteHead head = ReadPaletteHead(file.head);
  if (format != nullptr && format->id == ImageFormat::kKissPalette) {
    *why = FormFaultText(head, ReadPaletteForm(head, form));
    return why->empty();
  }
  // The module reads any file as headerless; only a .kcf that holds the 10
  // groups laid out as 12-bit colours is taken for one. No format the table
  // knows by its first bytes is laid out so, save a TGA's header by chance.
  if (!head.signature && ExtensionOf(file.name) == kPaletteExtension &&
      file.size >= kHeaderlessFileSize && HeaderlessMisfit(file.head.data(), file.head.size()) < 0) {
    ReadPaletteForm(head, form);
    return true;
  }
  *why = format != nullptr ? std::string("it is ") + format->name : "it is " + Unknown(file, "a palette");
  return false;
}

std::string WhatFileIs(const ExistingFile& file) {
  PaletteForm form;
  std::string why;
  if (PaletteFormOf(file, &form, &why)) return "a palette (" + FormText(form) + ")";
  const Format* format = FormatOf(file);
  return format != nullptr ? format->name : Unknown(file, "a palette");
}

ReplaceCheck MayReplaceWithPalette(bool force, const Caller& caller) {
  if (force) return nullptr;
  return [&caller](const ExistingFile& file) -> std::string {
    if (file.size == 0) return "";
    PaletteForm form;
    std::string why;
    if (PaletteFormOf(file, &form, &why)) {
      if (form.IsWritten()) return "";
      return file.name + " is a palette of another form (" + FormText(form) +
             "), which saving would lose: the module writes 24-bit, 1 group of 256 colours" +
             caller.Advise({Hint::kPutIntoOrReplace, file.name, 0});
    }
    const Format* format = FormatOf(file);
    if (format != nullptr && format->id == ImageFormat::kKissPalette)
      return Forced(caller, file.name + " is a KiSS palette " + caller.name() + " cannot read: " + why);
    return Forced(caller, NotAPalette(file, format));
  };
}

ReplaceCheck MayReplaceWithImage(bool force, const Caller& caller) {
  if (force) return nullptr;
  return [&caller](const ExistingFile& file) -> std::string {
    if (file.size == 0) return "";
    const Format* format = FormatOf(file);
    if (format != nullptr && (format->kind == FileKind::kImage || format->kind == FileKind::kPaletteText))
      return "";
    if (format != nullptr && format->kind == FileKind::kPalette)
      return Forced(caller, file.name + " holds a KiSS palette, not an image");
    if (format != nullptr) return Forced(caller, file.name + " is " + format->name + ", not an image");
    return Forced(caller, file.name + " is " + Unknown(file, ("an image or palette " + caller.name() + " knows").c_str()));
  };
}

ReplaceCheck MayReplaceWithTrace() {
  return [](const ExistingFile& file) -> std::string {
    const Format* format = FormatOf(file);
    if (format == nullptr) return "";
    const std::string what = format->kind == FileKind::kImage     ? "an image"
                             : format->kind == FileKind::kPalette ? "a KiSS palette"
                                                                  : format->name;
    return file.name + " holds " + what + ", not a trace; a trace never replaces it";
  };
}

ReplaceCheck MayReplaceInto(const PaletteForm& form, const FileStatus& read) {
  return [form, read](const ExistingFile& file) -> std::string {
    if (file.id == read.id && file.size == read.size && file.modified == read.modified) return "";
    return file.name + " changed after it was read (it is now " + WhatFileIs(file) +
           ", where it was a palette (" + FormText(form) + ")); nothing was written, so that no " +
           "change is lost";
  };
}

}  // namespace plughost
