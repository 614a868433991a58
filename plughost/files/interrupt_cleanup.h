// New files that are not yet renamed over their targets are removed when
// the program is interrupted (Ctrl-C, a terminal closed, a kill), so that no
// temporary file outlives the command.
#pragma once

#include <string>

namespace plughost {

// Installs the handlers once; they remove what is pending and let the
// program end as it would have.
void RemovePendingOnInterrupt();
// Adds a file to remove on an interrupt; its slot, or -1 when it cannot.
int RememberPending(const std::string& path);
// The file was renamed or removed: nothing to do for it any more.
void ForgetPending(int slot);

}  // namespace plughost
