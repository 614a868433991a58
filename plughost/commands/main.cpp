// plughost: loads a file-format module and opens, saves and probes files
// through it. See command_line.cpp for the commands, or run --help.
#include <iostream>

#include "plughost/commands/command_line.h"

int main(int argc, char** argv) {
  const int status = plughost::RunCommandLine(argc, argv, std::cout, std::cerr);
  std::cout.flush();
  return status;
}
