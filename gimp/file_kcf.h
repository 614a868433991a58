// file-kcf: GIMP's door to the Zentrow module. GIMP asks for a palette to be
// loaded or an image to be exported; the plug-in loads the native module and
// hands the request to plughost's use-case layer, which drives the module
// through the host library, and hands GIMP the image, or a refusal in one
// sentence naming the file. The plug-in translates and tells; every rule
// about files and palettes is the use-case layer's.
#pragma once

#include <string>

#include <libgimp/gimp.h>

#include "plughost/usecases/caller.h"

namespace file_kcf {

// The module file: beside the plug-in, as in a build tree or a user's
// plug-in folder; else where the package installs it, lib/zentrow/ of the
// prefix GIMP's plug-in folder lies in.
std::string ModulePath();

// The use-case layer's caller inside GIMP: the module loaded once, a plain
// host for each run, GIMP's progress bar, notes as GIMP messages, and the
// first refusal kept as the reason the call fails.
class GimpCaller : public plughost::KeepingCaller {
 public:
  // False with one sentence in refusal() when the module cannot be loaded.
  bool Load();
  const plughost::LoadedModule& module() const override { return module_; }
  std::unique_ptr<plughost::Host> NewHost(const std::string& operation,
                                          const std::string& file) override;
  void RunStarts(plughost::Host& host, const std::string& label) override;
  void Note(const std::string& text) override;
  std::string name() const override { return "the KiSS palette plug-in"; }
  // What a GIMP user can do about a file an export would replace.
  std::string Advise(const plughost::Advice& advice) const override;
  // A refusal of its own: the module cannot be loaded.
  const std::string& refusal() const { return refusal_.empty() ? KeepingCaller::refusal() : refusal_; }

 private:
  plughost::LoadedModule module_;
  std::string refusal_;
  std::string progress_;  // the label GIMP's bar shows
};

// Shows `text` to the user: a message box in GIMP, a line on the console
// of gimp-console. For what a user should know and may ignore.
void Tell(const std::string& text);

// A new image of the palette at `filename` (-1 with *refusal on failure).
gint32 LoadPalette(const std::string& filename, std::string* refusal);

// Exports `image` (its layers) or `drawable` to `filename`; false with
// *refusal when nothing was written.
bool SavePalette(const std::string& filename, gint32 image, gint32 drawable, std::string* refusal);

}  // namespace file_kcf
