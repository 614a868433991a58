// The command line of plughost: options and commands, parsed with CLI11 and
// handed to the commands of commands.h.
#pragma once

#include <ostream>

namespace plughost {

// Runs one command line; answers the exit status (see commands.h).
int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace plughost
