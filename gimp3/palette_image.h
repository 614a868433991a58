// GIMP 3's side of a palette: the image a palette opens as, and the layers
// an export reads, through libgimp-3.0's objects.
#pragma once

#include <vector>

#include <libgimp/gimp.h>

#include "gimp3/palette_jobs.h"

namespace file_kcf3 {

// A new image of `opened`: a layer for each, the first on top and the one
// the tools act on, and the history note as the image's comment.
GimpImage* MakeImage(const OpenedPalette& opened);

// The top-left 16 x 16 pixels of `drawable`, RGB, as it stores them, alpha
// left out; under its name, with its whole size.
PaletteLayer TopLeftPixels(GimpDrawable* drawable);

// Every layer of `image` from the top, each as a palette takes it.
std::vector<PaletteLayer> Layers(GimpImage* image);

}  // namespace file_kcf3
