// plughost: loads a file-format module and opens, saves and probes files
// through it. See command_line.cpp for the commands, or run --help.
#include <cerrno>
#include <exception>
#include <iostream>
#include <new>

#include "plughost/commands/command_line.h"
#include "plughost/commands/commands.h"
#include "plughost/files/file_checks.h"
#include "plughost/files/interrupt_cleanup.h"
#include "plughost/system/system.h"

#ifdef __MINGW32__
// Windows hands a program its command line unexpanded: "*.kcf" is expanded
// by the C runtime's start-up, as on the shells of other systems, so the
// examples of INSTALL.txt work in cmd.exe too. A pattern that matches
// nothing stays as it was given, and is refused by its name.
extern "C" int _dowildcard;
int _dowildcard = -1;
#endif

namespace {

// The command, with what no part of it caught said in one sentence rather
// than ending in an abort: by then every new file of the command has been
// removed or put in place whole, as the unwinding went.
int Run(int argc, char** argv) {
  try {
    return plughost::RunCommandLine(argc, argv, std::cout, std::cerr);
  } catch (const std::bad_alloc&) {
    std::cerr << "plughost: stopped: there was not enough memory for this command\n";
  } catch (const std::exception&) {
    std::cerr << "plughost: stopped by a fault of plughost's own; please report it with the command\n";
  }
  return plughost::kExitHost;
}

}  // namespace

int main(int argc, char** argv) {
  // A standard output closed by the caller can show nothing: every write
  // to it fails, and a command stops before it puts anything in place.
  if (plughost::sys::KeepStandardDescriptors()) std::cout.setstate(std::ios::badbit);
  // From here on a closed pipe is a write error the program reports.
  plughost::RemovePendingOnInterrupt();
  const int status = Run(argc, argv);
  errno = 0;
  // A command that failed as the host has said why (a lost standard output
  // among the reasons); one sentence is enough.
  if (std::cout.flush() || status == plughost::kExitHost) return status;
  const int failure = plughost::sys::StdoutClosedAtStart() ? EBADF : errno != 0 ? errno : EIO;
  std::cerr << "plughost: cannot write to standard output: " << plughost::ErrnoText(failure) << "\n";
  return plughost::kExitHost;
}
