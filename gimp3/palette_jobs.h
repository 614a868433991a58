// The GIMP 3 plug-in's calls of the use-case layer, one a job: this file's
// .cpp is the only one of the plug-in that names a use case. What GIMP
// holds comes in as plain layers; what the layer answers goes back as
// layers, a note, or one sentence naming the file.
#pragma once

#include <string>
#include <vector>

#include "plughost/host/image.h"

namespace file_kcf3 {

// A layer as GIMP holds it: its name and its pixels, RGB row by row (a
// palette's image when it opens; the top-left 16 x 16 when it is exported,
// with the layer's whole size, for what is said of the rest).
struct PaletteLayer {
  std::string name;
  plughost::Image pixels;
  int rows = 0;
  int columns = 0;
};

// A palette opened: its layers from the top, and the module's history note.
struct OpenedPalette {
  std::vector<PaletteLayer> layers;
  std::string note;
};

// False with *refusal when the palette does not open.
bool OpenPalette(const std::string& file, OpenedPalette* opened, std::string* refusal);

// `layers` back into the palette at `file` by their names, or into a copy
// of `origin`, the palette the image was opened from ("" for none), or
// `flat` as a new palette; false with *refusal when nothing was written.
bool ExportPalette(const std::string& file, const PaletteLayer& flat,
                   const std::vector<PaletteLayer>& layers, const std::string& origin,
                   std::string* refusal);

}  // namespace file_kcf3
