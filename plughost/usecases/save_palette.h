// Saving through the module: an image or a palette text as a new palette
// (the one form the module writes), or its colours put back into an
// existing palette in the palette's own form, keeping the header, every
// other group and any bytes after them. The module always writes into a
// new file: the target is replaced only when every selector answered 0.
#pragma once

#include <string>
#include <vector>

#include "plughost/images/image_files.h"
#include "plughost/usecases/caller.h"
#include "plughost/usecases/requests.h"

namespace plughost {

// The image at `path` as the module is to save it: its top rows, or of a
// swatch of `swatch`-pixel tiles one pixel per tile; a .gpl or .pal file
// as the image of its colours. Notes go to the caller.
int ReadForSaving(Caller& caller, const std::string& path, int swatch, SaveImage* image);

// `image`, read from `source`, saved as a new palette at `out`.
int SaveNewPalette(Caller& caller, const std::string& source, const SaveImage& image,
                   const std::string& out, bool force, const std::string& label);

// An image's colours for one group of an existing palette (kNoGroup: every
// group its 16 x 16 image shows).
struct IntoPart {
  std::string source;  // where the image came from, for what is said
  int group = kNoGroup;
  SaveImage image;
};

// Every part put into `into` and the palette replaced once, whole or not at all.
int SaveIntoPalette(Caller& caller, const std::string& into, const std::vector<IntoPart>& parts,
                    const std::string& label);
// Every part put into a copy of the palette `from`, written as `out`.
int SaveIntoCopy(Caller& caller, const std::string& from, const std::string& out,
                 const std::vector<IntoPart>& parts, const std::string& label);

// One file of a save request: read, saved, reported.
int SaveToFile(Caller& caller, const SaveRequest& request, const std::string& path,
               const std::string& label);

// An editor's export of an image of layers to `target`: into an existing
// palette of another form, each layer by its name ("palette" the whole,
// "group N" that group, as palettes open as layers), every other byte
// kept; else `flat`, the image as exported, as a new palette, which
// replaces only a palette of the form the module writes. An image opened
// from `origin` (its editor's record of where it came from; "" for none),
// a palette of another form, exported under a name of its own is that
// palette copied with each layer put back, so that no group is lost.
struct NamedLayer {
  std::string name;
  SaveImage image;
};
int ExportPalette(Caller& caller, const std::string& target, const SaveImage& flat,
                  const std::vector<NamedLayer>& layers, const std::string& origin = "");

}  // namespace plughost
