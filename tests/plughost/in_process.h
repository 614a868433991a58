// plughost's command line run in-process, against the built module, as the
// host's tests drive it: "{dir}" in an argument stands for the test's
// directory. ZENTROW_MODULE_PATH is the test target's.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "plughost/commands/command_line.h"
#include "tests/plughost/test_files.h"

namespace plughost_test {

struct Outcome {
  int status;
  std::string out, err;
};

inline Outcome RunPlughost(const TempDir& dir, std::vector<std::string> args) {
  std::vector<std::string> all = {"plughost", "--module", HostPath(ZENTROW_MODULE_PATH),
                                  "--answer-boxes"};
  for (std::string& a : args) {
    const size_t at = a.find("{dir}");
    if (at != std::string::npos) a.replace(at, 5, dir / "");
    all.push_back(a);
  }
  std::vector<const char*> argv;
  for (const std::string& a : all) argv.push_back(a.c_str());
  std::ostringstream out, err;
  const int status = plughost::RunCommandLine(int(argv.size()), argv.data(), out, err);
  return Outcome{status, out.str(), err.str()};
}

}  // namespace plughost_test
