// The command line's batch: the use-case layer's Batch (usecases/batch.h)
// with the session as its caller, and what it tallied said in plughost's
// words.
#pragma once

#include <string>
#include <vector>

#include "plughost/commands/commands.h"
#include "plughost/usecases/batch.h"

namespace plughost {

// A whole command over a batch: the session started with `files` checked
// together and the module loaded, then `run` for each of `runs`, then what
// happened said: how many failed ("2 of 5 files could not be converted",
// unless `failedWords` is null), and the batch's status answered.
int RunCommandBatch(const Options& options, Streams io, const char* command,
                    const BatchFiles& files, const std::vector<std::string>& runs,
                    const BatchRun& run, const char* failedWords = "could not be converted");

}  // namespace plughost
