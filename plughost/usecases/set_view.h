// A KiSS set opened to be shown and recoloured: the doll's configuration,
// cels and palettes, whole, for a caller that draws it itself as colours
// change (the page). What the configuration passes over is told as notes,
// and a set that cannot be opened is refused in one sentence naming it.
#pragma once

#include <string>

#include "plughost/sets/doll_set.h"
#include "plughost/usecases/caller.h"

namespace plughost {

// The set at `path` (an LHA archive, or a .cnf with its cels and palettes
// beside it) into *doll: kExitSuccess, or kExitHost after the caller was
// told why (*doll then holds nothing to draw).
int ViewSet(Caller& caller, const std::string& path, DollSet* doll);

}  // namespace plughost
