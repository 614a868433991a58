// The program's commands, each an adapter: its options become a request of
// the use-case layer (plughost/usecases), and what that layer says is
// printed to the given streams. Each answers the exit status:
//   0 success; 1 the module answered a non-zero result; 2 a bad command
//   line; 3 the host itself failed (cannot read an image, load the module,
//   write an output); 4 some outputs in place and others not.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "plughost/host/host.h"
#include "plughost/usecases/requests.h"

namespace CLI {
class App;
}  // namespace CLI

namespace plughost {

struct Options {
  std::string module;  // empty: the module next to the program
  HostSettings settings;
  bool verbose = false;
  bool quiet = false;  // no line for each output, no closing summary
  std::string traceFile;     // empty: no trace
  bool answerBoxes = false;  // close the module's message boxes with OK
  bool helpHost = false;     // print the options for testing a module
};

struct Streams {
  std::ostream& out;
  std::ostream& err;
};

int RunOpen(const Options& options, OpenRequest request, Streams io);
int RunSave(const Options& options, const SaveRequest& request, Streams io);
int RunProbe(const Options& options, const std::vector<std::string>& files, Streams io);
int RunAbout(const Options& options, Streams io);
int RunInfo(const Options& options, const std::string& module, Streams io);

// The host options a command takes: the ones it uses. --module is always one.
struct HostOptionUse {
  bool trace;         // --trace and --answer-boxes: the command runs the module's code
  bool verbose;       // --verbose: it reports each selector call
  const char* param;  // what --param does for the command; null: no --param
  bool emulation;     // the host emulation group: it opens or saves files
};

// A command as the command line knows it: one row of the table. `setUp`
// adds the command's own options to its CLI::App, bound to a request of
// its own, and answers how the command then runs.
using CommandRun = std::function<int(const Options& options, Streams io)>;
struct CommandRow {
  std::string name;
  std::string description;
  HostOptionUse uses;
  std::function<CommandRun(CLI::App& command)> setUp;
};

// One row per command file.
CommandRow OpenCommand();
CommandRow SaveCommand();
CommandRow ProbeCommand();
CommandRow AboutCommand();
CommandRow InfoCommand();

}  // namespace plughost
