// A KiSS set opened to be shown and recoloured: the doll's configuration,
// cels and palettes, whole, for a caller that draws it itself as colours
// change (the page). What the configuration passes over is told as notes,
// and a set that cannot be opened is refused in one sentence naming it.
// An archive opens in two steps, its members unpacked and then the set
// read from them, so that a caller that must keep answering (the page)
// can let other work run between them.
#pragma once

#include <string>
#include <vector>

#include "plughost/sets/doll_set.h"
#include "plughost/sets/lha_archive.h"
#include "plughost/usecases/caller.h"

namespace plughost {

// What the first step leaves for the second.
struct SetFiles {
  std::string path;                     // the archive or configuration asked for
  bool unpacked = false;                // an archive's members are in `members`
  std::vector<ArchiveMember> members;
};

// The first step, for the set at `path` (an LHA archive, or a .cnf with
// its cels and palettes beside it): an archive's members unpacked into
// *files, within the archive reader's limits; a configuration is left for
// the second step to read with the files beside it. kExitSuccess, or kExitHost after the
// caller was told why.
int UnpackSet(Caller& caller, const std::string& path, SetFiles* files);

// The second step: the set read from `files` into *doll, its
// configuration's notes told. kExitSuccess, or kExitHost after the caller
// was told why (*doll then holds nothing to draw).
int ViewSet(Caller& caller, const SetFiles& files, DollSet* doll);

}  // namespace plughost
