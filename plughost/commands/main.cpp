// plughost: loads a file-format module and opens, saves and probes files
// through it. See command_line.cpp for the commands, or run --help.
#include <cerrno>
#include <iostream>

#include "plughost/commands/command_line.h"
#include "plughost/commands/commands.h"
#include "plughost/files/file_checks.h"
#include "plughost/files/interrupt_cleanup.h"

int main(int argc, char** argv) {
  // From here on a closed pipe is a write error the program reports.
  plughost::RemovePendingOnInterrupt();
  const int status = plughost::RunCommandLine(argc, argv, std::cout, std::cerr);
  errno = 0;
  // A command that failed as the host has said why (a lost standard output
  // among the reasons); one sentence is enough.
  if (std::cout.flush() || status == plughost::kExitHost) return status;
  std::cerr << "plughost: cannot write to standard output: "
            << plughost::ErrnoText(errno != 0 ? errno : EIO) << "\n";
  return plughost::kExitHost;
}
