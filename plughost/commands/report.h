// A whole command over one job of the use-case layer: the command line's caller is the
// job's caller, and the report the job answers is said in plughost's words.
#pragma once

#include <functional>
#include <string>

#include "plughost/commands/commands.h"
#include "plughost/usecases/jobs.h"

namespace plughost {

class CommandLineCaller;

// What a command asks of its job: the words of its request's faults, and
// how its failed files are counted ("could not be converted"; null for
// none, as probe's lines say each).
struct JobWords {
  const char* command;  // "open"
  const char* inputs;   // what it takes: "palette files", "images", "file"
  bool opening;         // its inputs are palettes, not images
  std::string out;      // its one output, named in a fault
  const char* failed = "could not be converted";
};

// `job` run with the command line's caller, then what happened said; the
// report's status answered.
int RunCommandJob(const Options& options, Streams io, const JobWords& words,
                  const std::function<Report(CommandLineCaller& session)>& job);

}  // namespace plughost
