// plughost probe: the probe use case for each file, one line each.
#include <CLI/CLI.hpp>
#include <memory>

#include "plughost/commands/commands.h"
#include "plughost/commands/report.h"
#include "plughost/commands/command_line_caller.h"

namespace plughost {

namespace {

// probe prints the filter's answer, and with --verbose each selector's too.
const HostOptionUse kProbeUses = {
    true, true,
    "Hand the module a boolean under KEY among the scripting parameters it reads as probe "
    "tries an opening (it reads fooB)",
    true};

}  // namespace

int RunProbe(const Options& options, const std::vector<std::string>& files, Streams io) {
  return RunCommandJob(options, io, {"probe", "file", true, "", nullptr},
                       [&](CommandLineCaller& session) { return ProbeFiles(session, files); });
}

CommandRow ProbeCommand() {
  return {"probe", "Ask the module whether each file is a palette, one line each", kProbeUses,
          [](CLI::App& command) -> CommandRun {
            auto files = std::make_shared<std::vector<std::string>>();
            command.add_option("FILE", *files, "Files to ask about")->type_name("");
            return [files](const Options& options, Streams io) {
              return RunProbe(options, *files, io);
            };
          }};
}

}  // namespace plughost
