// A batch: many inputs, an output each. Before anything is written, the
// session checks every file of the command together (files/file_plan.h).
// Then each file runs in turn and a bad one does not stop the rest.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "plughost/commands/commands.h"

namespace plughost {

class Session;

// One file of a batch: its name, and a label with its place for the
// progress bar ("a.kcf (3 of 20)").
using FileRun = std::function<int(const std::string& file, const std::string& label)>;

// Runs each file, says how many failed ("2 of 5 files could not be
// converted", unless `failedWords` is null), and answers the batch's
// status: the host's own failures outrank the module's refusals. Standard
// output that can no longer be written, or an interrupt, stops the batch
// with the host's status.
int RunBatch(Session& session, const std::vector<std::string>& files, const FileRun& run,
             const char* failedWords = "could not be converted");

// A whole command over a batch: the outputs checked and their folder made,
// the module loaded, then `run` for each file with the session.
using SessionRun =
    std::function<int(Session& session, const std::string& file, const std::string& label)>;
using OutputOf = std::function<std::string(const std::string& input)>;
int RunCommandBatch(const Options& options, Streams io, const char* command,
                    const std::vector<std::string>& inputs, const std::string& outDir,
                    const OutputOf& outputOf, const SessionRun& run);

}  // namespace plughost
