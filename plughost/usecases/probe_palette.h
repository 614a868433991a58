// Probing a file: the module's filter selector's answer, the form of a
// palette (depth, colours per group, groups), and, where an opening would
// answer otherwise, what it would say.
#pragma once

#include <string>

#include "plughost/usecases/caller.h"

namespace plughost {

// One line for `name` ("a.kcf: palette (24-bit, 1 group of 256 colours)")
// to the caller's Done; kExitModule when the file does not open, whatever
// the filter says (a headerless palette opens, though the filter refuses it).
int ProbeFile(Caller& caller, const std::string& name);

}  // namespace plughost
