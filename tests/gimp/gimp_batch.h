// One headless GIMP run for a test: gimp-console-2.10 with a profile folder
// of the test's own, whose plug-in path puts the build tree's plug-ins
// before GIMP's, each Scheme command given as its own -b so that a call
// that fails does not stop the others, and GIMP's console output kept for
// the test to read.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace gimp_test {

// `text` as a Scheme string literal.
std::string Scheme(const std::string& text);

// Runs a program with both of its output streams into `log`: its exit
// status, or -1 when it did not exit by itself.
int Spawn(const std::vector<std::string>& args, const std::filesystem::path& log);

struct GimpRun {
  int status = -1;  // 124 when it ran out of time
  std::string log;  // GIMP's console: messages, and each command's outcome
};

// Runs `commands`, each of which may call the procedures of
// gimp_batch.cpp's table.scm, then quits GIMP; within `seconds`.
GimpRun RunGimp(const std::filesystem::path& folder, const std::vector<std::string>& commands,
                int seconds);

}  // namespace gimp_test
