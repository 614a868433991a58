// plughost open: palettes in, images out, one file or a batch; the open
// use case does each file, this adapter only reads the options and says
// what happened.
#include <CLI/CLI.hpp>
#include <memory>

#include "plughost/commands/command_line_options.h"
#include "plughost/commands/commands.h"
#include "plughost/commands/report.h"
#include "plughost/commands/command_line_caller.h"

namespace plughost {

namespace {

const HostOptionUse kOpenUses = {
    true, true,
    "Hand the module a boolean under KEY among the scripting parameters it reads as it opens "
    "(it reads fooB)",
    true};

}  // namespace

int RunOpen(const Options& options, OpenRequest request, Streams io) {
  return RunCommandJob(options, io, {"open", "palette files", true, request.out},
                       [&](CommandLineCaller& session) { return OpenPalettes(session, request); });
}

CommandRow OpenCommand() {
  return {"open", "Open palette files through the module and write them as images", kOpenUses,
          [](CLI::App& command) -> CommandRun {
            auto request = std::make_shared<OpenRequest>();
            AddOpenOptions(command, *request);
            return [request](const Options& options, Streams io) {
              return RunOpen(options, *request, io);
            };
          }};
}

}  // namespace plughost
