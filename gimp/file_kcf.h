// file-kcf: GIMP's door to the Zentrow module. GIMP asks for a palette to be
// loaded or an image to be exported; the plug-in loads the native module,
// drives its selectors through plughost's host library, and hands GIMP the
// image, or a refusal in one sentence naming the file.
#pragma once

#include <string>

#include <libgimp/gimp.h>

#include "plughost/host/host.h"
#include "plughost/host/module_loader.h"

namespace file_kcf {

// A KiSS palette is at most 16 x 16 colours, one pixel each.
constexpr int kGrid = 16;

// The module file: beside the plug-in, as in a build tree or a user's
// plug-in folder; else where the package installs it, lib/zentrow/ of the
// prefix GIMP's plug-in folder lies in.
std::string ModulePath();

// Loads the module; false with one sentence in *refusal.
bool LoadModule(plughost::LoadedModule* module, std::string* refusal);

// "result -30501: file cannot be read: not a palette file", as plughost says it.
std::string ResultText(int result);

// Shows `text` to the user: a message box in GIMP, a line on the console
// of gimp-console. For what a user should know and may ignore.
void Tell(const std::string& text);

// Progress of the module's calls on GIMP's progress bar.
void FollowProgress(plughost::Host& host, const std::string& what);

// What the host caught the module doing wrong, told to the user.
void TellViolations(const plughost::Host& host, const std::string& file);

// A new image of the palette at `filename` (-1 with *refusal on failure).
gint32 LoadPalette(const std::string& filename, std::string* refusal);

// Writes the top-left 16 x 16 pixels of `drawable` as a palette to
// `filename`, replacing it only once every selector answered 0; false with
// *refusal when nothing was written.
bool SavePalette(const std::string& filename, gint32 drawable, std::string* refusal);

}  // namespace file_kcf
