// plughost save: images in, palettes out, one file or a batch; or one
// image's colours put back into an existing palette in its own form, or a
// set's images each into the palette of its name in a folder. The save use
// cases do each file; this adapter reads the options and says what
// happened.
#include <CLI/CLI.hpp>
#include <memory>

#include "plughost/commands/command_line_options.h"
#include "plughost/commands/commands.h"
#include "plughost/commands/report.h"
#include "plughost/commands/command_line_caller.h"

namespace plughost {

namespace {

const HostOptionUse kSaveUses = {
    true, true,
    "Hand the module a boolean under KEY among the scripting parameters it reads as it saves "
    "(it reads barF)",
    true};

}  // namespace

int RunSave(const Options& options, const SaveRequest& request, Streams io) {
  return RunCommandJob(options, io, {"save", "images", false, request.out},
                       [&](CommandLineCaller& session) { return SavePalettes(session, request); });
}

CommandRow SaveCommand() {
  return {"save",
          "Save images (" + FormatsSaveReads() + ") or " + PaletteTextsSaveReads() +
              " as KiSS palettes through the module",
          kSaveUses, [](CLI::App& command) -> CommandRun {
            auto request = std::make_shared<SaveRequest>();
            AddSaveOptions(command, *request);
            return [request](const Options& options, Streams io) {
              return RunSave(options, *request, io);
            };
          }};
}

}  // namespace plughost
